#include "frmTip.h"

#include "AppContext.h"
#include "Paths.h"
#include "TipsFile.h"
#include "WindowServices.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QVBoxLayout>

namespace tramelle {

namespace {

const QString TipsFileName = QStringLiteral("TIPOFDAY.TXT");
constexpr int WordFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
// A word wider than the box is broken anywhere rather than running out of it.
constexpr int AnywhereFlags = WordFlags | Qt::TextWrapAnywhere;

} // namespace

void TipLabel::SetTip(const QString& text)
{
    m_full = text;
    Fit();
}

// The longest beginning of the text that fits the box, found by halving.
void TipLabel::Fit()
{
    const QRect box = contentsRect();
    const QFontMetrics metrics(font());
    m_flags = metrics.boundingRect(box, WordFlags, m_full).width() <= box.width() ? WordFlags
                                                                                  : AnywhereFlags;
    const int TipFlags = m_flags;
    const auto fits = [&](const QString& t) {
        return metrics.boundingRect(box, TipFlags, t).height() <= box.height();
    };
    QString shown = m_full;
    if (!box.isEmpty() && !fits(shown)) {
        const QString more = QStringLiteral("...");
        qsizetype low = 0;
        qsizetype high = m_full.size();
        while (low < high) {
            const qsizetype mid = (low + high + 1) / 2;
            if (fits(m_full.left(mid) + more))
                low = mid;
            else
                high = mid - 1;
        }
        shown = m_full.left(low) + more;
    }
    setText(shown);
}

void TipLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(contentsRect(), m_flags, text());
}

void TipLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Fit();
}

frmTip::frmTip(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), lblTipText(new TipLabel(this)),
      chkLoadTipsAtStartup(new QCheckBox(tr("&Show Tips at Startup"), this))
{
    setObjectName(QStringLiteral("frmTip"));
    setWindowTitle(tr("Tip of the Day"));

    auto* area = new QFrame(this);
    area->setObjectName(QStringLiteral("Picture1"));
    area->setFrameShape(QFrame::Panel);
    area->setFrameShadow(QFrame::Sunken);
    area->setAutoFillBackground(true);
    QPalette white = area->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    area->setPalette(white);
    auto* heading = new QLabel(tr("Did you know..."), area);
    heading->setObjectName(QStringLiteral("Label1"));
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    heading->setFont(bold);
    lblTipText->setObjectName(QStringLiteral("lblTipText"));
    lblTipText->setMinimumSize(320, 130);
    lblTipText->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* areaLayout = new QVBoxLayout(area);
    areaLayout->addWidget(heading);
    areaLayout->addWidget(lblTipText, 1);

    chkLoadTipsAtStartup->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    auto* next = new QPushButton(tr("&Next Tip"), this);
    next->setObjectName(QStringLiteral("cmdNextTip"));
    connect(next, &QPushButton::clicked, this, &frmTip::cmdNextTip_Click);
    auto* edit = new QPushButton(tr("&Edit Tips"), this);
    edit->setObjectName(QStringLiteral("cmdEditTip"));
    connect(edit, &QPushButton::clicked, this, &frmTip::cmdEditTip_Click);
    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &frmTip::cmdOK_Click);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(next);
    buttons->addWidget(edit);
    buttons->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(area, 1);
    top->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(chkLoadTipsAtStartup);

    chkLoadTipsAtStartup->setChecked(true);
    adjustSize();
    Windows(m_ctx).CenterForm(this);
    if (!LoadTips(m_ctx.AppPathAndFName(TipsFileName))) {
        lblTipText->SetTip(tr("That the %1 file was not found? \n\nCreate a text file named %1 "
                              "using NotePad with 1 tip per line. Then place it in the same "
                              "directory as the application. ")
                               .arg(TipsFileName));
    }
}

bool frmTip::LoadTips(const QString& file)
{
    std::optional<QStringList> tips = ReadTipsFile(file);
    if (!tips)
        return false;
    m_tips = std::move(*tips);
    DoNextTip();
    return true;
}

void frmTip::DoNextTip()
{
    if (m_tips.isEmpty())
        return;
    m_currentTip = static_cast<int>(QRandomGenerator::global()->bounded(m_tips.size())) + 1;
    DisplayCurrentTip();
}

void frmTip::DisplayCurrentTip()
{
    if (!m_tips.isEmpty())
        lblTipText->SetTip(m_tips.at(m_currentTip - 1));
}

void frmTip::cmdNextTip_Click()
{
    DoNextTip();
}

void frmTip::cmdEditTip_Click()
{
    const QString path = m_ctx.AppPathAndFName(TipsFileName);
    // An editor opens a file that exists: a missing one is created empty first.
    if (!QFile::exists(path)) {
        QFile created(path);
        created.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    }
    if (const Outcome opened = m_ctx.Launcher().OpenDocument(path); !opened) {
        m_ctx.Prompt().Message(tr("Tip of the Day"),
                               tr("The tips file %1 could not be opened in a text editor.")
                                       .arg(QDir::toNativeSeparators(path)) +
                                   QStringLiteral("\r\n\r\n") + opened.Reason(),
                               PromptIcon::Warning);
    }
}

void frmTip::cmdOK_Click()
{
    m_ctx.Settings.ShowTips = chkLoadTipsAtStartup->isChecked();
    accept();
}

} // namespace tramelle
