#include "frmExerciseSelection.h"

#include "AppContext.h"
#include "ChoiceGrid.h"
#include "DbError.h"
#include "Paths.h"
#include "PickListCombo.h"
#include "ProgramStore.h"
#include "ScaledPicture.h"
#include "TextHelpers.h"
#include "frmExerciseParams.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMetaMethod>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSqlQuery>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace tramelle {

namespace {

const QString AllRow = QStringLiteral("(All)");
const QString ListTags[3] = {QStringLiteral("Joint"), QStringLiteral("Motion"), QStringLiteral("Type")};

// Program slot i: picture, caption and number, inside TargetFrame.
QRect SlotPictureRect(int i)
{
    return {18 + 88 * (i % 5), 4 + 80 * (i / 5), 70, 53};
}
QRect SlotCaptionRect(int i)
{
    return {16 + 88 * (i % 5), 58 + 80 * (i / 5), 77, 29};
}
QRect SlotNumberRect(int i)
{
    return {1 + 88 * (i % 5), 4 + 80 * (i / 5), 16, 14};
}

constexpr int ProviderLimit = 40; // the stored column's size

template <size_t N, typename T>
int IndexOf(const std::array<T*, N>& controls, const QObject* object)
{
    for (size_t i = 0; i < N; ++i) {
        if (controls[i] == object)
            return static_cast<int>(i);
    }
    return -1;
}

QString IconFile(const AppContext& ctx, const LibraryEntry& entry)
{
    const QString& folder = ctx.Settings.IconFolder;
    return folder.isEmpty() ? entry.Icon : WithTrailingSlash(folder) + entry.Icon;
}

// The hourglass until the scope ends, whatever way it is left.
[[nodiscard]] auto WaitPointer()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    return qScopeGuard([] { QApplication::restoreOverrideCursor(); });
}

// Sets a busy flag until the scope ends.
[[nodiscard]] auto BusyFlag(bool& flag)
{
    flag = true;
    return qScopeGuard([&flag] { flag = false; });
}

// Refills nest (a click refills two lists): list clicks stay ignored until the outermost
// refill ends.
[[nodiscard]] auto FillingDepth(int& depth)
{
    ++depth;
    return qScopeGuard([&depth] { --depth; });
}

void SetCaptionColour(QLabel* label, bool blue)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, blue ? QColor(Qt::blue) : QColor(Qt::black));
    label->setPalette(palette);
}

} // namespace

frmExerciseSelection::frmExerciseSelection(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmExerciseSelection"));
    setWindowTitle(tr("Select Exercises"));
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(11);
    setFont(small);
    CreateControls();

    // The form's load: the whole library becomes the pool.
    const auto wait = WaitPointer();
    try {
        LoadLibraryCache(m_ctx);
        m_lastFilter = LibraryFilter{};
    } catch (const DbError& e) {
        ReportError(QStringLiteral("Form_Load"), e.message());
    }
    DragModeOp[static_cast<size_t>(m_ctx.Library.DragMode == 1 ? 1 : 0)]->setChecked(true);
    LayoutChoiceGrid();
    try {
        FillProviderUsageLists();
    } catch (const DbError& e) {
        ReportError(QStringLiteral("Form_Load"), e.message());
    }
    m_ctx.MainWindow().SetStatusBarReady();
    connect(this, &frmExerciseSelection::editRequested, this, &frmExerciseSelection::OpenExerciseParams);
}

frmExerciseSelection::~frmExerciseSelection() = default;

void frmExerciseSelection::CreateControls()
{
    // Controls keep their places at the top left; the window may grow (it is shown
    // maximised in the main window) but not shrink below them.
    setMinimumSize(756, 466);
    setMouseTracking(true);
    installEventFilter(this);

    auto label = [this](QWidget* parent, const QString& name, const QString& text, QRect geometry) {
        auto* l = new QLabel(text, parent);
        l->setObjectName(name);
        l->setGeometry(geometry);
        l->setMouseTracking(true);
        l->installEventFilter(this);
        return l;
    };
    auto panel = [this](QWidget* parent, const QString& name, QRect geometry) {
        auto* w = new QWidget(parent);
        w->setObjectName(name);
        w->setGeometry(geometry);
        w->setAutoFillBackground(true);
        w->setBackgroundRole(QPalette::Base);
        w->setMouseTracking(true);
        w->installEventFilter(this);
        return w;
    };

    ChoicesLabel = label(this, QStringLiteral("ChoicesLabel"), tr("Exercise Library"), {8, 0, 200, 14});
    ChoiceOuterFrame = panel(this, QStringLiteral("ChoiceOuterFrame"), {8, 16, 465, 197});
    m_srcFrame = new ChoiceGrid(ChoiceOuterFrame);
    m_srcFrame->setObjectName(QStringLiteral("SrcFrame"));
    m_srcFrame->setGeometry(-1, 0, 463, ChoiceOuterFrame->height() + 1);
    m_srcFrame->installEventFilter(this);

    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setGeometry(473, 16, 17, 197);
    VScroll1->setRange(0, 0);
    VScroll1->setSingleStep(1);
    VScroll1->setPageStep(2);
    connect(VScroll1, &QScrollBar::valueChanged, this, [this](int value) {
        m_srcFrame->move(-1, -ChoiceGrid::RowPitch * value);
        // While the thumb is dragged only the panel moves; pictures load when it settles.
        if (!VScroll1->isSliderDown())
            LoadPictsInSight();
    });
    connect(VScroll1, &QScrollBar::sliderReleased, this, [this] { LoadPictsInSight(); });

    SelectedLabel = label(this, QStringLiteral("SelectedLabel"), tr("Patient's Exercise Program"), {8, 216, 250, 14});
    SelExOuterFrame = panel(this, QStringLiteral("SelExOuterFrame"), {8, 230, 465, 187});
    TargetFrame = panel(SelExOuterFrame, QStringLiteral("TargetFrame"), {-1, -2, 463, 327});
    TargetFrame->setFocusPolicy(Qt::ClickFocus);
    for (int i = 0; i < MaxProgramEntries; ++i) {
        const auto slot = static_cast<size_t>(i);
        TargetIm[slot] = label(TargetFrame, QStringLiteral("TargetIm_%1").arg(i), QString(), SlotPictureRect(i));
        DescLabel[slot] = label(TargetFrame, QStringLiteral("DescLabel_%1").arg(i), QString(), SlotCaptionRect(i));
        DescLabel[slot]->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        DescLabel[slot]->setTextFormat(Qt::PlainText);
        NumLabel[slot] = label(TargetFrame, QStringLiteral("NumLabel_%1").arg(i), QString::number(i + 1),
                               SlotNumberRect(i));
        NumLabel[slot]->setAlignment(Qt::AlignRight | Qt::AlignTop);
    }
    TgtSelectedRect = new QFrame(TargetFrame);
    TgtSelectedRect->setObjectName(QStringLiteral("TgtSelectedRect"));
    TgtSelectedRect->setFrameShape(QFrame::Box);
    TgtSelectedRect->setLineWidth(2);
    TgtSelectedRect->setStyleSheet(QStringLiteral("QFrame { color: #000080; background: transparent; }"));
    TgtSelectedRect->setAttribute(Qt::WA_TransparentForMouseEvents);
    TgtSelectedRect->resize(71, 54);
    TgtSelectedRect->hide();

    VScroll2 = new QScrollBar(Qt::Vertical, this);
    VScroll2->setObjectName(QStringLiteral("VScroll2"));
    VScroll2->setGeometry(473, 230, 17, 187);
    VScroll2->setRange(2, 162);
    VScroll2->setSingleStep(80);
    VScroll2->setPageStep(160);
    VScroll2->setValue(2);
    connect(VScroll2, &QScrollBar::valueChanged, this, [this](int value) { TargetFrame->move(-1, -value); });

    Frame2 = new QGroupBox(tr("Drag Mode"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(8, 420, 200, 40);
    Frame2->setMouseTracking(true);
    Frame2->installEventFilter(this);
    const QString modes[2] = {tr("Insert (def)"), tr("Replace")};
    for (int i = 0; i < 2; ++i) {
        auto* option = new QRadioButton(modes[i], Frame2);
        option->setObjectName(QStringLiteral("DragModeOp_%1").arg(i));
        option->setGeometry(8 + 96 * i, 17, 90, 18);
        DragModeOp[static_cast<size_t>(i)] = option;
        connect(option, &QRadioButton::clicked, this, [this, i] { m_ctx.Library.DragMode = i; });
    }

    Frame1 = new QGroupBox(tr("View"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(496, 8, 161, 409);
    Frame1->setMouseTracking(true);
    Frame1->installEventFilter(this);
    const QString captions[3] = {tr("Joint:"), tr("Pattern:"), tr("Type:")};
    // The first caption sits below the frame's title and top edge.
    const QRect listRects[3] = {{8, 38, 145, 95}, {8, 154, 145, 95}, {8, 278, 145, 124}};
    for (int i = 0; i < 3; ++i) {
        const auto k = static_cast<size_t>(i);
        const QRect r = listRects[k];
        ViewLabel[k] = label(Frame1, QStringLiteral("ViewLabel_%1").arg(i), captions[k], {r.left(), r.top() - 15, 140, 14});
        auto* list = new QListWidget(Frame1);
        list->setObjectName(QStringLiteral("ViewList_%1").arg(i));
        list->setProperty("tag", ListTags[k]);
        list->setGeometry(r);
        list->setSelectionMode(QAbstractItemView::ExtendedSelection);
        ViewList[k] = list;
        connect(list, &QListWidget::itemSelectionChanged, this, [this, i] { ViewListClick(i); });
    }

    auto button = [this](const QString& name, const QString& text, QStyle::StandardPixmap icon, int top) {
        auto* b = new QPushButton(style()->standardIcon(icon), text, this);
        b->setObjectName(name);
        b->setGeometry(664, top, 84, 26);
        b->setIconSize(QSize(12, 12));
        return b;
    };
    cmdOkCancel[0] = button(QStringLiteral("cmdOkCancel_0"), tr("OK"), QStyle::SP_DialogOkButton, 14);
    cmdOkCancel[0]->setProperty("tag", QStringLiteral("OK"));
    cmdOkCancel[1] = button(QStringLiteral("cmdOkCancel_1"), tr("Cancel"), QStyle::SP_DialogCancelButton, 44);
    cmdOkCancel[1]->setProperty("tag", QStringLiteral("Cancel"));
    for (QPushButton* b : cmdOkCancel)
        connect(b, &QPushButton::clicked, this, [this, b] { cmdOkCancelClick(b->property("tag").toString()); });
    ShowAllBtn = button(QStringLiteral("ShowAllBtn"), tr("&Show All"), QStyle::SP_FileDialogDetailedView, 90);
    connect(ShowAllBtn, &QPushButton::clicked, this, [this] { ShowAllBtnClick(); });
    cmdProtocol = button(QStringLiteral("cmdProtocol"), tr("Protocol"), QStyle::SP_FileDialogContentsView, 120);
    connect(cmdProtocol, &QPushButton::clicked, this, [this] { cmdProtocolClick(); });
    cmdClear = button(QStringLiteral("cmdClear"), tr("Clear"), QStyle::SP_DialogResetButton, 150);
    connect(cmdClear, &QPushButton::clicked, this, [this] { ClearSelectedExercises(); });

    lblProvider = label(this, QStringLiteral("lblProvider"), tr("Provider"), {216, 428, 48, 14});
    cboProvider = new QComboBox(this);
    cboProvider->setObjectName(QStringLiteral("cboProvider"));
    cboProvider->setProperty("tag", QStringLiteral("Provider"));
    cboProvider->setEditable(true);
    cboProvider->setInsertPolicy(QComboBox::NoInsert);
    cboProvider->lineEdit()->setMaxLength(ProviderLimit);
    cboProvider->setGeometry(266, 424, 180, 22);
    lblUsage = label(this, QStringLiteral("lblUsage"), tr("Usage"), {456, 428, 38, 14});
    cboUsage = new QComboBox(this);
    cboUsage->setObjectName(QStringLiteral("cboUsage"));
    cboUsage->setProperty("tag", QStringLiteral("Usage"));
    cboUsage->setEditable(true);
    cboUsage->setInsertPolicy(QComboBox::NoInsert);
    cboUsage->setGeometry(496, 424, 161, 22);
    connect(cboProvider, &QComboBox::activated, this, [this] {
        m_ctx.Program.Modified = true;
        m_ctx.Program.Provider = cboProvider->currentText();
    });
    connect(cboUsage, &QComboBox::activated, this, [this] {
        m_ctx.Program.Modified = true;
        m_ctx.Program.Usage = cboUsage->currentText();
    });

    m_dragImage = new QLabel(this);
    m_dragImage->setObjectName(QStringLiteral("DragImage"));
    m_dragImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dragImage->setFrameShape(QFrame::Box);
    m_dragImage->setStyleSheet(QStringLiteral("QLabel { border: 1px dashed #000080; background: white; }"));
    m_dragImage->resize(ChoiceGrid::PictureWidth + 2, ChoiceGrid::PictureHeight + 2);
    m_dragImage->hide();
}

void frmExerciseSelection::FillProviderUsageLists()
{
    FillPickListCombo(m_ctx, cboProvider, cboProvider->property("tag").toString());
    FillPickListCombo(m_ctx, cboUsage, cboUsage->property("tag").toString());
}

void frmExerciseSelection::RefillPickLists()
{
    try {
        FillProviderUsageLists();
    } catch (const DbError& e) {
        ReportError(QStringLiteral("RefillPickLists"), e.message());
    }
}

void frmExerciseSelection::ShowProgramHeaderControls(bool visible)
{
    for (QWidget* w : {static_cast<QWidget*>(lblUsage), static_cast<QWidget*>(cboUsage),
                       static_cast<QWidget*>(lblProvider), static_cast<QWidget*>(cboProvider),
                       static_cast<QWidget*>(cmdProtocol)})
        w->setVisible(visible);
}

// ---------------------------------------------------------------------------------------
// Opening and activation

void frmExerciseSelection::InitExerciseSelection(bool recall)
{
    const auto wait = WaitPointer();
    m_selectedSlot = -1;
    try {
        InitListBoxes();
        LoadPictsInSight();
        if (recall) {
            LoadProgram(m_ctx, m_ctx.Program.InvoiceID);
            m_lastStatus.clear();
            if (!m_ctx.Program.Provider.isEmpty())
                cboProvider->setEditText(m_ctx.Program.Provider);
            if (!m_ctx.Program.Usage.isEmpty())
                cboUsage->setEditText(m_ctx.Program.Usage);
        }
    } catch (const DbError& e) {
        ReportError(QStringLiteral("InitExerciseSelection"), e.message());
    }
    LoadSelectedExs();
}

void frmExerciseSelection::FormActivate()
{
    switch (m_selectionMode) {
    case ModeNone:
        m_ctx.MainWindow().UpdateMenu(2);
        break;
    case ModeProgram:
        ShowProgramHeaderControls(true);
        m_ctx.MainWindow().UpdateMenu(1);
        m_ctx.MainWindow().UpdateToolbar(3);
        break;
    default:
        m_ctx.MainWindow().UpdateMenu(1);
        ShowProgramHeaderControls(false);
        break;
    }
}

// ---------------------------------------------------------------------------------------
// Filter lists

BoundStatement frmExerciseSelection::BuildListQuery(const QString& tag) const
{
    BoundStatement s;
    if (tag == ListTags[0]) {
        // The Joint list sorts its own rows.
        s.Sql = QStringLiteral("SELECT DISTINCT Joint AS Item FROM ExerciseLibrary");
    } else if (tag == ListTags[1]) {
        s = LibraryFilterCondition(LibraryFilter{m_jointFilter, {}, {}});
        s.Sql = QStringLiteral("SELECT DISTINCT Motion AS Item FROM ExerciseLibrary") + s.Sql +
                QStringLiteral(" ORDER BY Motion COLLATE NOCASE");
    } else if (tag == ListTags[2]) {
        s = LibraryFilterCondition(LibraryFilter{m_jointFilter, m_motionFilter, {}});
        s.Sql = QStringLiteral("SELECT DISTINCT Type AS Item FROM ExerciseLibrary") + s.Sql +
                QStringLiteral(" ORDER BY Type COLLATE NOCASE");
    }
    return s;
}

bool frmExerciseSelection::ListContains(const QListWidget* list, const QString& text)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == text)
            return true;
    }
    return false;
}

void frmExerciseSelection::FillFilterList(const BoundStatement& query, QListWidget* list, bool sorted)
{
    const auto filling = FillingDepth(m_fillingLists);
    QSqlQuery q = Exec(m_ctx.Db.LibraryDb(), query.Sql, query.Values);
    QStringList values;
    int rows = 0;
    while (q.next()) {
        ++rows;
        if (!q.value(0).isNull())
            values << q.value(0).toString();
    }
    ThrowIfFailed(q.lastError());
    q.finish();

    list->clear();
    if (rows > 1)
        list->addItem(AllRow);
    // A row may name several joints separated by commas: each becomes one row, once.
    for (const QString& value : std::as_const(values)) {
        for (const QString& piece : SplitCommaList(value)) {
            if (!ListContains(list, piece))
                list->addItem(piece);
        }
    }
    if (sorted) {
        const int first = rows > 1 ? 1 : 0;
        QStringList texts;
        for (int i = first; i < list->count(); ++i)
            texts << list->item(i)->text();
        std::stable_sort(texts.begin(), texts.end(), [](const QString& a, const QString& b) {
            return QString::compare(a, b, Qt::CaseInsensitive) < 0;
        });
        for (int i = first; i < list->count(); ++i)
            list->item(i)->setText(texts.at(i - first));
    }
}

// The selected rows from row `first` on; nothing when "(All)" is selected.
static QStringList SelectedRows(const QListWidget* list, int first)
{
    if (list->count() > 0 && list->item(0)->text() == AllRow && list->item(0)->isSelected())
        return {};
    QStringList selected;
    for (int i = first; i < list->count(); ++i) {
        if (list->item(i)->isSelected())
            selected << list->item(i)->text();
    }
    return selected;
}

QStringList frmExerciseSelection::BuildInClause(const QListWidget* list)
{
    return SelectedRows(list, 0);
}

QStringList frmExerciseSelection::BuildLikeClause(const QListWidget* list)
{
    // The first row never restricts the joints, also when it is not "(All)".
    return SelectedRows(list, 1);
}

void frmExerciseSelection::InitListBoxes()
{
    const auto filling = FillingDepth(m_fillingLists);
    m_jointFilter.clear();
    m_motionFilter.clear();
    m_typeFilter.clear();
    for (size_t i = 0; i < ViewList.size(); ++i) {
        FillFilterList(BuildListQuery(ListTags[i]), ViewList[i], i == 0);
        if (ViewList[i]->count() > 0)
            ViewList[i]->setCurrentRow(0);
    }
    // The lists now offer everything, so the pool must be the whole library as well.
    if (!m_lastFilter || !m_lastFilter->IsEmpty() || !m_ctx.Db.LibraryRecordset.Filter.IsEmpty())
        ApplyFilter(LibraryFilter{});
    else
        LayoutChoiceGrid();
}

void frmExerciseSelection::ViewListClick(int index)
{
    if (m_fillingLists > 0 || m_filterBusy)
        return;
    const auto busy = BusyFlag(m_filterBusy);
    const auto wait = WaitPointer();
    try {
        switch (index) {
        case 0:
            m_jointFilter = BuildLikeClause(ViewList[0]);
            FillFilterList(BuildListQuery(ListTags[1]), ViewList[1], false);
            m_motionFilter.clear();
            FillFilterList(BuildListQuery(ListTags[2]), ViewList[2], false);
            m_typeFilter.clear();
            break;
        case 1:
            m_motionFilter = BuildInClause(ViewList[1]);
            FillFilterList(BuildListQuery(ListTags[2]), ViewList[2], false);
            m_typeFilter.clear();
            break;
        case 2:
            m_typeFilter = BuildInClause(ViewList[2]);
            break;
        default:
            return;
        }
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const LibraryFilter filter{m_jointFilter, m_motionFilter, m_typeFilter};
        if (!m_lastFilter || filter != *m_lastFilter) {
            ApplyFilter(filter);
            LoadPictsInSight();
        }
    } catch (const DbError& e) {
        ReportError(QStringLiteral("ViewList_Click"), e.message());
    }
}

void frmExerciseSelection::ApplyFilter(const LibraryFilter& filter)
{
    // Until the pool is rebuilt it matches no filter: a failed load is retried by the next click.
    m_lastFilter.reset();
    m_ctx.Db.LibraryRecordset.Filter = filter;
    auto layout = qScopeGuard([this] { LayoutChoiceGrid(); });
    LoadLibraryCacheFiltered(m_ctx);
    m_lastFilter = filter;
}

void frmExerciseSelection::ShowAllBtnClick()
{
    if (m_showAllBusy)
        return;
    const auto busy = BusyFlag(m_showAllBusy);
    ToggleShowAll(VScroll2->isVisibleTo(this));
}

void frmExerciseSelection::ToggleShowAll(bool programScrollVisible)
{
    const bool show = !programScrollVisible;
    Frame1->setVisible(show);
    ChoicesLabel->setVisible(show);
    for (QPushButton* b : {cmdOkCancel[0], cmdOkCancel[1], cmdProtocol, cmdClear})
        b->setEnabled(show);
    int step = 1;
    if (show) {
        ShowAllBtn->setText(tr("&Show All"));
        m_autoScrollArmed = false;
    } else {
        ShowAllBtn->setText(tr("&Show Choices"));
        step = -1;
        ChoiceOuterFrame->hide();
        VScroll1->hide();
        VScroll2->hide();
        TargetFrame->move(-1, -2);
    }
    // Slide the program panel up (or back down) by 140 pixels, growing it by as much.
    const int labelTop = SelectedLabel->y();
    const int frameTop = SelExOuterFrame->y();
    const int frameHeight = SelExOuterFrame->height();
    for (int offset = 0; offset <= 140; offset += 10) {
        SelectedLabel->move(SelectedLabel->x(), labelTop + step * offset);
        SelExOuterFrame->setGeometry(SelExOuterFrame->x(), frameTop + step * offset, SelExOuterFrame->width(),
                                     frameHeight - step * offset);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    if (!show) {
        m_autoScrollArmed = true;
    } else {
        ChoiceOuterFrame->show();
        VScroll1->show();
        VScroll2->show();
        // The panel follows its scroll bar again.
        TargetFrame->move(-1, -VScroll2->value());
    }
}

// ---------------------------------------------------------------------------------------
// Choice grid

void frmExerciseSelection::LayoutChoiceGrid()
{
    const int n = m_ctx.Library.LibraryCount;
    m_srcFrame->Reset(n);
    const int height = n < 11 ? ChoiceOuterFrame->height() + 1
                              : ChoiceGrid::CaptionRect(n - 1).top() + ChoiceGrid::CaptionHeight +
                                    ChoiceGrid::PictureTop;
    m_srcFrame->resize(m_srcFrame->width(), height);
    VScroll1->setMaximum(static_cast<int>(std::nearbyint((n - 1) / 5.0)));
}

void frmExerciseSelection::LoadPictsInSight()
{
    const int n = std::min<int>(m_ctx.Library.LibraryCount, m_srcFrame->Count());
    const int row = static_cast<int>(std::nearbyint(-m_srcFrame->y() / double(ChoiceGrid::RowPitch)));
    const int first = std::max(ChoiceGrid::Columns * row, 0);
    const int last = std::min(first + 14, n - 1);
    const QSize size(ChoiceGrid::PictureWidth, ChoiceGrid::PictureHeight);
    for (int i = first; i <= last; ++i) {
        if (m_srcFrame->IsLoaded(i))
            continue;
        const LibraryEntry& entry = m_ctx.Library.Entries.at(i);
        ++m_choicePictureReads;
        ScaledPicture picture = LoadScaledPicture(IconFile(m_ctx, entry), size);
        if (!picture.Missing && picture.ErrorNumber != 0)
            m_ctx.Prompt().Message(QStringLiteral("Error in LoadPictsInSight"),
                                   QStringLiteral("Error%1 %2").arg(picture.ErrorNumber).arg(picture.ErrorText),
                                   PromptIcon::None, PromptButtons::Ok);
        m_srcFrame->SetCell(i, std::move(picture.Image), entry.AbbrevDesc, !entry.Movie.isEmpty());
    }
}

// ---------------------------------------------------------------------------------------
// Program slots

void frmExerciseSelection::ShowSelectedEx(int slot, const QPixmap* picture)
{
    const auto k = static_cast<size_t>(slot);
    ++m_slotGeneration.at(k);
    const ProgramEntry& entry = m_ctx.Program.Entries.at(k);
    if (picture) {
        TargetIm[k]->setPixmap(*picture);
    } else {
        const ScaledPicture loaded = LoadScaledPicture(IconFile(m_ctx, entry), TargetIm[k]->size());
        TargetIm[k]->setPixmap(QPixmap::fromImage(loaded.Image));
        if (!loaded.Missing && loaded.ErrorNumber != 0)
            m_ctx.Prompt().Message(QStringLiteral("SetSelExFromPool"),
                                   QStringLiteral("Error: %1,  %2").arg(loaded.ErrorNumber).arg(loaded.ErrorText),
                                   PromptIcon::Warning, PromptButtons::Ok);
    }
    RefreshSlotCaption(slot);
}

void frmExerciseSelection::RefreshSlotCaption(int slot)
{
    const auto k = static_cast<size_t>(slot);
    const QString caption = EntryCaption(m_ctx.Program, slot);
    DescLabel[k]->setFont(ChoiceGrid::FittingFont(font(), DescLabel[k]->size(), caption, DescLabel[k]->alignment()));
    DescLabel[k]->setText(caption);
    SetCaptionColour(DescLabel[k], !m_ctx.Program.Entries.at(k).Movie.isEmpty());
}

void frmExerciseSelection::ClearTargetSlot(int slot)
{
    const auto k = static_cast<size_t>(slot);
    ++m_slotGeneration.at(k);
    TargetIm[k]->setPixmap(QPixmap());
    DescLabel[k]->clear();
}

void frmExerciseSelection::LoadSelectedExs()
{
    const int count = m_ctx.Program.EntryCount;
    for (int i = 0; i < MaxProgramEntries; ++i) {
        if (i < count)
            ShowSelectedEx(i);
        else
            ClearTargetSlot(i);
    }
}

void frmExerciseSelection::CopyEntryInto(int slot, const ProgramEntry& entry, const QPixmap* picture)
{
    m_ctx.Program.Modified = true;
    StatusReady();
    m_ctx.Program.Entries.at(static_cast<size_t>(slot)) = entry;
    ShowSelectedEx(slot, picture);
}

void frmExerciseSelection::SetSelExFromPool(int slot, int poolIndex)
{
    CopyEntryInto(slot, m_ctx.Library.Entries.at(poolIndex), nullptr);
}

void frmExerciseSelection::SetSelExFromAnother(int destination, int source)
{
    // The picture moves with its entry: no need to read the file again.
    const QPixmap picture = TargetIm.at(static_cast<size_t>(source))->pixmap();
    const ProgramEntry entry = m_ctx.Program.Entries.at(static_cast<size_t>(source));
    CopyEntryInto(destination, entry, &picture);
}

void frmExerciseSelection::SetSelExFromTmp(int destination, const ProgramEntry& entry)
{
    CopyEntryInto(destination, entry, nullptr);
}

void frmExerciseSelection::ClearSelectedExercises()
{
    m_ctx.Program.Modified = true;
    StatusReady();
    m_ctx.Program.EntryCount = 0;
    LoadSelectedExs();
}

bool frmExerciseSelection::RefuseWhenFull()
{
    if (m_ctx.Program.EntryCount < MaxProgramEntries)
        return false;
    m_ctx.Prompt().Message(QStringLiteral("Exercise list full"),
                           QStringLiteral("No room for more exercises.\r\nPlease delete one first."),
                           PromptIcon::Information, PromptButtons::Ok);
    return true;
}

void frmExerciseSelection::DropSelectedEx(int target, DragSource source)
{
    ProgramState& program = m_ctx.Program;
    program.Modified = true;
    StatusReady();
    if (target < 0 || target >= MaxProgramEntries)
        return;
    if (source.kind == DragSource::Choice) {
        if (source.index < 0 || source.index >= m_ctx.Library.LibraryCount || RefuseWhenFull())
            return;
        if (target < program.EntryCount) {
            // Inserted before the slot dropped on.
            for (int c = program.EntryCount - 1; c >= target; --c)
                SetSelExFromAnother(c + 1, c);
            SetSelExFromPool(target, source.index);
        } else {
            // Appended after the last entry, whichever empty slot received it.
            SetSelExFromPool(program.EntryCount, source.index);
            const int top = SlotPictureRect(program.EntryCount).top();
            if (top < VScroll2->value())
                VScroll2->setValue(top - 2);
        }
        ++program.EntryCount;
    } else if (source.kind == DragSource::Slot) {
        const int s = source.index;
        const int t = target;
        if (s == t || s < 0 || s >= program.EntryCount || t >= program.EntryCount)
            return;
        if (m_ctx.Library.DragMode == 1) {
            // Replace: the two entries change places.
            const ProgramEntry held = program.Entries.at(static_cast<size_t>(t));
            const QPixmap heldPicture = TargetIm.at(static_cast<size_t>(t))->pixmap();
            SetSelExFromAnother(t, s);
            CopyEntryInto(s, held, &heldPicture);
        } else {
            // Insert: the dragged entry lands on t, those between move towards s.
            const ProgramEntry held = program.Entries.at(static_cast<size_t>(s));
            const QPixmap heldPicture = TargetIm.at(static_cast<size_t>(s))->pixmap();
            if (s > t) {
                for (int h = s; h >= t + 1; --h)
                    SetSelExFromAnother(h, h - 1);
            } else {
                for (int g = s; g <= t - 1; ++g)
                    SetSelExFromAnother(g, g + 1);
            }
            CopyEntryInto(t, held, &heldPicture);
        }
    }
}

void frmExerciseSelection::DeleteTarget(DragSource source)
{
    if (source.kind == DragSource::Slot)
        DeleteSelectedEx(source.index);
}

void frmExerciseSelection::DeleteSelectedEx(int slot)
{
    if (m_deleteBusy)
        return;
    const auto busy = BusyFlag(m_deleteBusy);
    ProgramState& program = m_ctx.Program;
    if (slot < 0 || slot >= program.EntryCount)
        return;
    program.Modified = true;
    StatusReady();
    for (int k = slot; k <= program.EntryCount - 2; ++k)
        SetSelExFromAnother(k, k + 1);
    --program.EntryCount;
    ClearTargetSlot(program.EntryCount);
}

// ---------------------------------------------------------------------------------------
// Mouse and keyboard

void frmExerciseSelection::SrcImMouseDown(int choice)
{
    TgtSelectedRect->hide();
    m_selectedSlot = -1;
    m_srcFrame->SetSelected(choice);
    m_autoScrollArmed = false;
}

void frmExerciseSelection::TargetImMouseDown(int slot)
{
    const QRect r = SlotPictureRect(slot);
    TgtSelectedRect->move(r.topLeft());
    m_srcFrame->SetSelected(-1);
    TgtSelectedRect->show();
    TgtSelectedRect->raise();
    m_selectedSlot = slot;
    TargetFrame->setFocus(Qt::MouseFocusReason);
}

void frmExerciseSelection::BeginDrag(DragSource source, const QPixmap& picture, QPoint globalPos)
{
    m_drag = source;
    m_dragMoved = false;
    m_dragHotSpot = globalPos;
    m_dragImage->setPixmap(picture);
}

void frmExerciseSelection::DragMove(QPoint globalPos)
{
    if (!m_dragMoved && (globalPos - m_dragHotSpot).manhattanLength() < QApplication::startDragDistance())
        return;
    m_dragMoved = true;
    const QPoint local = mapFromGlobal(globalPos);
    m_dragImage->move(local - QPoint(m_dragImage->width() / 2, m_dragImage->height() / 2));
    m_dragImage->show();
    m_dragImage->raise();
    QWidget* over = childAt(local);
    const int slot = IndexOf(DescLabel, over);
    if (slot >= 0)
        DescLabelDragOver(slot, over->mapFromGlobal(globalPos).y() * 15);
}

void frmExerciseSelection::EndDrag(QPoint globalPos)
{
    const DragSource source = m_drag;
    m_drag = DragSource{};
    m_dragImage->hide();
    QWidget* over = childAt(mapFromGlobal(globalPos));
    if (!over)
        return;
    const int slot = IndexOf(TargetIm, over);
    if (slot >= 0) {
        DropSelectedEx(slot, source);
    } else if (over == m_srcFrame) {
        // A program picture dropped on a choice picture or on the choice panel leaves the
        // program; the choice captions take no drop.
        if (m_srcFrame->CaptionAt(m_srcFrame->mapFromGlobal(globalPos)) < 0)
            DeleteTarget(source);
    }
}

void frmExerciseSelection::DescLabelDragOver(int slot, int yTwips)
{
    if (!m_autoScrollArmed)
        return;
    m_autoScrollArmed = false;
    const int top = TargetFrame->y() + DescLabel.at(static_cast<size_t>(slot))->y();
    if (top < 0)
        VScroll2->setValue(std::max(VScroll2->minimum(), VScroll2->value() - VScroll2->singleStep()));
    if (yTwips > 150 && top > 80 && slot < 15)
        VScroll2->setValue(std::min(VScroll2->maximum(), VScroll2->value() + VScroll2->singleStep()));
}

void frmExerciseSelection::SrcImDblClick(int choice)
{
    if (RefuseWhenFull())
        return;
    emit editRequested(true, choice);
}

void frmExerciseSelection::TargetImDblClick(int slot)
{
    if (slot < m_ctx.Program.EntryCount)
        emit editRequested(false, slot);
}

void frmExerciseSelection::MouseOver(QObject* watched, QPoint localPos)
{
    int choice = -1;
    if (watched == m_srcFrame) {
        choice = m_srcFrame->PictureAt(localPos);
        if (choice < 0)
            choice = m_srcFrame->CaptionAt(localPos);
    }
    if (choice >= 0 && choice < m_ctx.Library.LibraryCount) {
        StatusText(QStringLiteral("Exercise: ") + m_ctx.Library.Entries.at(choice).Desc);
        return;
    }
    int slot = IndexOf(TargetIm, watched);
    if (slot < 0)
        slot = IndexOf(DescLabel, watched);
    if (slot >= 0 && slot < m_ctx.Program.EntryCount) {
        StatusText(QStringLiteral("Exercise: ") + EntryDescription(m_ctx.Program, slot));
        return;
    }
    if (m_lastStatus != QLatin1String("\x01"))
        StatusReady();
}

bool frmExerciseSelection::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton)
            break;
        const QPoint global = me->globalPosition().toPoint();
        if (watched == m_srcFrame) {
            const int choice = m_srcFrame->PictureAt(me->position().toPoint());
            if (choice >= 0) {
                SrcImMouseDown(choice);
                BeginDrag({DragSource::Choice, choice}, QPixmap::fromImage(m_srcFrame->Picture(choice)), global);
                return true;
            }
        } else if (const int slot = IndexOf(TargetIm, watched); slot >= 0) {
            TargetImMouseDown(slot);
            BeginDrag({DragSource::Slot, slot}, TargetIm.at(static_cast<size_t>(slot))->pixmap(), global);
            return true;
        }
        break;
    }
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton)
            break;
        if (watched == m_srcFrame) {
            const int choice = m_srcFrame->PictureAt(me->position().toPoint());
            if (choice >= 0) {
                SrcImDblClick(choice);
                return true;
            }
        } else if (const int slot = IndexOf(TargetIm, watched); slot >= 0) {
            TargetImDblClick(slot);
            return true;
        }
        break;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (m_drag.kind != DragSource::None && (me->buttons() & Qt::LeftButton)) {
            DragMove(me->globalPosition().toPoint());
            return true;
        }
        if (me->buttons() == Qt::NoButton && watched->isWidgetType()) {
            // Handled here so that the panel behind does not answer the same move.
            MouseOver(watched, me->position().toPoint());
            return true;
        }
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<QMouseEvent*>(event);
        if (m_drag.kind != DragSource::None && me->button() == Qt::LeftButton) {
            EndDrag(me->globalPosition().toPoint());
            return true;
        }
        break;
    }
    case QEvent::KeyPress:
        if (watched == TargetFrame && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
            if (m_selectedSlot >= 0)
                DeleteSelectedEx(m_selectedSlot);
            return true;
        }
        break;
    case QEvent::FocusOut:
        if (watched == TargetFrame)
            TgtSelectedRect->hide();
        break;
    case QEvent::Wheel:
        // The wheel scrolls the panel under the pointer.
        if (watched == m_srcFrame || watched == ChoiceOuterFrame) {
            QCoreApplication::sendEvent(VScroll1, event);
            return true;
        }
        if (watched == TargetFrame || watched == SelExOuterFrame || IndexOf(TargetIm, watched) >= 0 ||
            IndexOf(DescLabel, watched) >= 0 || IndexOf(NumLabel, watched) >= 0) {
            if (VScroll2->isVisibleTo(this))
                QCoreApplication::sendEvent(VScroll2, event);
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// Buttons

void frmExerciseSelection::cmdOkCancelClick(const QString& tag)
{
    ProgramState& program = m_ctx.Program;
    if (tag == QLatin1String("OK")) {
        if (m_selectionMode == ModeProgram) {
            program.Modified = true;
            StatusReady();
            program.Provider = cboProvider->currentText();
            program.Usage = cboUsage->currentText();
            const QDateTime now = QDateTime::currentDateTime();
            program.Date = QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()));
            m_ctx.MainWindow().UpdateToolbar(2);
            m_lastStatus.clear();
            // A failed save keeps the window open with the edits; the user has been told why.
            if (!SaveProgram(m_ctx, false))
                return;
        } else if (m_selectionMode == ModeNewProtocol || m_selectionMode == ModeEditProtocol) {
            emit protocolAccepted(m_selectionMode);
        }
    } else if (tag == QLatin1String("Cancel")) {
        if (m_selectionMode == ModeProgram) {
            try {
                LoadProgram(m_ctx, program.InvoiceID);
            } catch (const DbError& e) {
                ReportError(QStringLiteral("cmdOkCancel_Click"), e.message());
            }
            m_lastStatus.clear();
            m_ctx.MainWindow().UpdateToolbar(2);
        }
    } else {
        return;
    }
    HideForm();
    m_ctx.MainWindow().UpdateMenu(2);
}

void frmExerciseSelection::cmdProtocolClick()
{
    // Until a protocol list is connected the button does nothing.
    if (!isSignalConnected(QMetaMethod::fromSignal(&frmExerciseSelection::protocolRequested)))
        return;
    HideForm();
    emit protocolRequested();
}

void frmExerciseSelection::HideForm()
{
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->hide();
    else
        hide();
    emit windowHidden();
}

void frmExerciseSelection::OpenExerciseParams(bool fromLibrary, int index)
{
    // Each double click opens its own dialog, which keeps its own source.
    frmExerciseParams::Open(m_ctx, *this, fromLibrary, index);
}

// ---------------------------------------------------------------------------------------
// Status bar and errors

void frmExerciseSelection::StatusText(const QString& text)
{
    if (text == m_lastStatus)
        return;
    m_lastStatus = text;
    m_ctx.MainWindow().SetStatusBar(text);
}

void frmExerciseSelection::StatusReady()
{
    m_lastStatus = QStringLiteral("\x01");
    m_ctx.MainWindow().SetStatusBarReady();
}

void frmExerciseSelection::ReportError(const QString& routine, const QString& message)
{
    m_ctx.Prompt().Message(QStringLiteral("Error in ") + routine, message, PromptIcon::Critical, PromptButtons::Ok);
}

} // namespace tramelle
