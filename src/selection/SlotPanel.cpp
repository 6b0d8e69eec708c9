#include "SlotPanel.h"

#include "ChoiceGrid.h"
#include "LayoutScale.h"
#include "TextHelpers.h"

#include <QFrame>
#include <QLabel>

namespace tramelle {

namespace {

template <typename T>
int IndexOf(const std::array<T*, MaxProgramEntries>& controls, const QObject* object)
{
    for (size_t i = 0; i < controls.size(); ++i) {
        if (controls[i] == object)
            return static_cast<int>(i);
    }
    return -1;
}

void SetCaptionColour(QLabel* label, bool blue)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, blue ? QColor(Qt::blue) : QColor(Qt::black));
    label->setPalette(palette);
}

} // namespace

SlotPanel::SlotPanel(PictureLoader loader, QWidget* parent)
    : QWidget(parent), m_loader(std::move(loader))
{
    setObjectName(QStringLiteral("TargetFrame"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setFocusPolicy(Qt::ClickFocus);
    resize(BaseSize);
    auto label = [this](const QString& name, QRect geometry) {
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setGeometry(geometry);
        return l;
    };
    for (int i = 0; i < MaxProgramEntries; ++i) {
        const auto k = static_cast<size_t>(i);
        m_pictures[k] = label(QStringLiteral("TargetIm_%1").arg(i), PictureRect(i));
        m_captions[k] = label(QStringLiteral("DescLabel_%1").arg(i), CaptionRect(i));
        m_captions[k]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        m_captions[k]->setTextFormat(Qt::PlainText);
        m_numbers[k] = label(QStringLiteral("NumLabel_%1").arg(i), NumberRect(i));
        m_numbers[k]->setText(QString::number(i + 1));
        m_numbers[k]->setAlignment(Qt::AlignRight | Qt::AlignTop);
    }
    m_selectedRect = new QFrame(this);
    m_selectedRect->setObjectName(QStringLiteral("TgtSelectedRect"));
    m_selectedRect->setFrameShape(QFrame::Box);
    m_selectedRect->setLineWidth(2);
    m_selectedRect->setStyleSheet(
        QStringLiteral("QFrame { color: #000080; background: transparent; }"));
    m_selectedRect->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_selectedRect->resize(71, 54);
    m_selectedRect->hide();
}

QRect SlotPanel::PictureRect(int i)
{
    return {18 + 88 * (i % 5), 4 + 80 * (i / 5), 70, 53};
}

QRect SlotPanel::CaptionRect(int i)
{
    return {16 + 88 * (i % 5), 58 + 80 * (i / 5), 77, 29};
}

QRect SlotPanel::NumberRect(int i)
{
    return {1 + 88 * (i % 5), 4 + 80 * (i / 5), 16, 14};
}

void SlotPanel::SetScale(double scale, const ProgramState& program)
{
    m_scale = scale;
    resize(Scaled(QRect(QPoint(), BaseSize), scale).size());
    for (int i = 0; i < MaxProgramEntries; ++i) {
        Picture(i)->setGeometry(Scaled(PictureRect(i), scale));
        Caption(i)->setGeometry(Scaled(CaptionRect(i), scale));
        m_numbers.at(static_cast<size_t>(i))->setGeometry(Scaled(NumberRect(i), scale));
    }
    m_selectedRect->setLineWidth(Scaled(2, scale));
    m_selectedRect->resize(Scaled(71, scale), Scaled(54, scale));
    SetSelected(m_selectedSlot);
    for (int i = 0; i < program.EntryCount && i < MaxProgramEntries; ++i) {
        Picture(i)->setPixmap(
            m_loader(program.Entries.at(static_cast<size_t>(i)), Picture(i)->size()));
        RefreshCaption(program, i);
    }
}

void SlotPanel::ShowAll(const ProgramState& program)
{
    for (int i = 0; i < MaxProgramEntries; ++i) {
        if (i < program.EntryCount)
            ShowSlot(program, i);
        else
            ClearSlot(i);
    }
}

void SlotPanel::Apply(const ProgramState& program, const ProgramEdit& edit)
{
    // The pictures as they were: an entry that moved takes its picture along, unread.
    std::array<QPixmap, MaxProgramEntries> before;
    for (const SlotChange& change : edit.Changes) {
        if (change.From >= 0)
            before.at(static_cast<size_t>(change.From)) = Picture(change.From)->pixmap();
    }
    for (const SlotChange& change : edit.Changes) {
        if (change.Slot >= program.EntryCount)
            ClearSlot(change.Slot);
        else if (change.From >= 0)
            Show(program, change.Slot, before.at(static_cast<size_t>(change.From)));
        else
            ShowSlot(program, change.Slot);
    }
}

void SlotPanel::ShowSlot(const ProgramState& program, int slot)
{
    Show(program, slot,
         m_loader(program.Entries.at(static_cast<size_t>(slot)), Picture(slot)->size()));
}

void SlotPanel::Show(const ProgramState& program, int slot, const QPixmap& picture)
{
    ++m_generation.at(static_cast<size_t>(slot));
    Picture(slot)->setPixmap(picture);
    RefreshCaption(program, slot);
}

void SlotPanel::RefreshCaption(const ProgramState& program, int slot)
{
    QLabel* label = Caption(slot);
    const QString caption = EntryCaption(program, slot);
    label->setFont(ChoiceGrid::FittingFont(font(), label->size(), caption, label->alignment()));
    label->setText(caption);
    SetCaptionColour(label, !program.Entries.at(static_cast<size_t>(slot)).Movie.isEmpty());
}

void SlotPanel::ClearSlot(int slot)
{
    ++m_generation.at(static_cast<size_t>(slot));
    Picture(slot)->setPixmap(QPixmap());
    Caption(slot)->clear();
}

void SlotPanel::SetSelected(int slot)
{
    m_selectedSlot = slot;
    if (slot < 0 || slot >= MaxProgramEntries) {
        m_selectedRect->hide();
        return;
    }
    m_selectedRect->move(Picture(slot)->pos());
    m_selectedRect->show();
    m_selectedRect->raise();
}

int SlotPanel::PictureIndex(const QObject* object) const
{
    return IndexOf(m_pictures, object);
}

int SlotPanel::CaptionIndex(const QObject* object) const
{
    return IndexOf(m_captions, object);
}

int SlotPanel::NumberIndex(const QObject* object) const
{
    return IndexOf(m_numbers, object);
}

void SlotPanel::WatchWith(QObject* filter)
{
    setMouseTracking(true);
    installEventFilter(filter);
    for (const auto* controls : {&m_pictures, &m_captions, &m_numbers}) {
        for (QLabel* l : *controls) {
            l->setMouseTracking(true);
            l->installEventFilter(filter);
        }
    }
}

} // namespace tramelle
