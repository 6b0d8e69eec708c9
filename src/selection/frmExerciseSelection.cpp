#include "frmExerciseSelection.h"
#include "Outcome.h"

#include "AppContext.h"
#include "ChoiceGrid.h"
#include "DbError.h"
#include "HistoryButtons.h"
#include "LayoutScale.h"
#include "PickListCombo.h"
#include "ProgramCommands.h"
#include "ProgramStore.h"
#include "SlotPanel.h"
#include "StoredLengthLimit.h"
#include "TextHelpers.h"
#include "WaitPointer.h"
#include "frmExerciseParams.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMetaMethod>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyle>

namespace tramelle {

namespace {

constexpr int ProviderLimit = 40; // the stored column's size
constexpr int BaseFontPixels = 11;
constexpr int BaseButtonIcon = 12;

// Sets a busy flag until the scope ends.
[[nodiscard]] auto BusyFlag(bool& flag)
{
    flag = true;
    return qScopeGuard([&flag] { flag = false; });
}

} // namespace

frmExerciseSelection::frmExerciseSelection(AppContext& ctx, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_status(ctx.MainWindow())
{
    setObjectName(QStringLiteral("frmExerciseSelection"));
    setWindowTitle(tr("Select Exercises"));
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(11);
    setFont(small);
    CreateControls();
    m_layout.Record(this, {m_srcFrame, TargetFrame});

    // The form's load: the whole library becomes the pool.
    const WaitPointer wait;
    try {
        if (const Outcome loaded = m_choices->LoadLibrary(); !loaded)
            ReportError(QStringLiteral("Form_Load"), loaded.Reason());
    } catch (const DbError& e) {
        ReportError(QStringLiteral("Form_Load"), e.message());
    }
    DragModeOp[m_ctx.Library.DragMode == DragMode::Replace ? 1 : 0]->setChecked(true);
    m_choices->Reset();
    try {
        FillProviderUsageLists();
    } catch (const DbError& e) {
        ReportError(QStringLiteral("Form_Load"), e.message());
    }
    m_ctx.MainWindow().SetStatusBarReady();
    connect(this, &frmExerciseSelection::editRequested, this,
            &frmExerciseSelection::OpenExerciseParams);
}

frmExerciseSelection::~frmExerciseSelection() = default;

void frmExerciseSelection::CreateControls()
{
    // Controls keep their places at the top left; the window may grow (it is shown
    // maximised in the main window) but not shrink below them.
    setMinimumSize(BaseSize);
    auto watch = [](QWidget* w, const QString& name, QRect geometry) {
        w->setObjectName(name);
        w->setGeometry(geometry);
    };
    auto label = [&](const QString& name, const QString& text, QRect geometry) {
        auto* l = new QLabel(text, this);
        watch(l, name, geometry);
        return l;
    };
    auto panel = [&](const QString& name, QRect geometry) {
        auto* w = new QWidget(this);
        w->setAutoFillBackground(true);
        w->setBackgroundRole(QPalette::Base);
        watch(w, name, geometry);
        return w;
    };

    ChoicesLabel = label(QStringLiteral("ChoicesLabel"), tr("Exercise Library"), {8, 0, 200, 14});
    ChoiceOuterFrame = panel(QStringLiteral("ChoiceOuterFrame"), {8, 16, 465, 197});
    m_srcFrame = new ChoiceGrid(ChoiceOuterFrame);
    m_srcFrame->setObjectName(QStringLiteral("SrcFrame"));
    m_srcFrame->setGeometry(-1, 0, 463, ChoiceOuterFrame->height() + 1);

    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    VScroll1->setGeometry(473, 16, 17, 197);
    VScroll1->setRange(0, 0);
    VScroll1->setSingleStep(1);
    VScroll1->setPageStep(2);
    m_choices = new ChoicePane(m_ctx, ChoiceOuterFrame, m_srcFrame, VScroll1, this);

    SelectedLabel =
        label(QStringLiteral("SelectedLabel"), tr("Patient's Exercise Program"), {8, 216, 250, 14});
    SelExOuterFrame = panel(QStringLiteral("SelExOuterFrame"), {8, 230, 465, 187});
    TargetFrame = new SlotPanel(ProgramSlots::Loader(m_ctx, this), SelExOuterFrame);
    TargetFrame->move(-1, -2);

    VScroll2 = new QScrollBar(Qt::Vertical, this);
    VScroll2->setObjectName(QStringLiteral("VScroll2"));
    VScroll2->setGeometry(473, 230, 17, 187);
    VScroll2->setRange(2, 162);
    VScroll2->setSingleStep(80);
    VScroll2->setPageStep(160);
    VScroll2->setValue(2);
    connect(VScroll2, &QScrollBar::valueChanged, this,
            [this](int value) { TargetFrame->move(Scaled(-1, Scale()), -Scaled(value, Scale())); });
    m_slots = new ProgramSlots(m_ctx, TargetFrame, VScroll2, this);
    connect(m_slots, &ProgramSlots::edited, this, [this] { m_status.Ready(); });

    Frame2 = new QGroupBox(tr("Drag Mode"), this);
    watch(Frame2, QStringLiteral("Frame2"), {8, 420, 200, 40});
    const QString modes[2] = {tr("Insert (def)"), tr("Replace")};
    for (int i = 0; i < 2; ++i) {
        auto* option = new QRadioButton(modes[i], Frame2);
        option->setObjectName(QStringLiteral("DragModeOp_%1").arg(i));
        option->setGeometry(8 + 96 * i, 17, 90, 18);
        DragModeOp[static_cast<size_t>(i)] = option;
        const DragMode mode = i == 1 ? DragMode::Replace : DragMode::Insert;
        connect(option, &QRadioButton::clicked, this,
                [this, mode] { m_ctx.Library.DragMode = mode; });
    }

    Frame1 = new FilterLists(m_ctx, this);
    watch(Frame1, QStringLiteral("Frame1"), {496, 8, 161, 409});
    connect(Frame1, &FilterLists::listClicked, this, &frmExerciseSelection::ViewList_Click);

    CreateButtons();
    AddHistoryButtons(this, m_slots->History(), {664, 186, 40, 26}, {708, 186, 40, 26});

    lblProvider = label(QStringLiteral("lblProvider"), tr("Provider"), {216, 428, 48, 14});
    lblUsage = label(QStringLiteral("lblUsage"), tr("Usage"), {456, 428, 38, 14});
    auto combo = [this](const QString& tag, QRect geometry, QString ProgramState::*field) {
        auto* box = new QComboBox(this);
        box->setObjectName(QStringLiteral("cbo") + tag);
        box->setProperty("tag", tag);
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setGeometry(geometry);
        connect(box, &QComboBox::activated, this, [this, box, field] {
            m_ctx.Program.Modified = true;
            m_ctx.Program.*field = box->currentText();
        });
        return box;
    };
    cboProvider = combo(QStringLiteral("Provider"), {266, 424, 180, 22}, &ProgramState::Provider);
    LimitStoredLength(cboProvider->lineEdit(), ProviderLimit);
    cboUsage = combo(QStringLiteral("Usage"), {496, 424, 161, 22}, &ProgramState::Usage);

    ConnectPointer();
}

void frmExerciseSelection::CreateButtons()
{
    auto button = [this](const QString& name, const QString& text, QStyle::StandardPixmap icon,
                         int top) {
        auto* b = new QPushButton(style()->standardIcon(icon), text, this);
        b->setObjectName(name);
        b->setGeometry(664, top, 84, 26);
        b->setIconSize(QSize(12, 12));
        return b;
    };
    QList<ArrayButton> okCancel = OkCancelButtons(tr("OK"), tr("Cancel"));
    okCancel[0].icon = style()->standardIcon(QStyle::SP_DialogOkButton);
    okCancel[1].icon = style()->standardIcon(QStyle::SP_DialogCancelButton);
    const QList<QPushButton*> made =
        MakeButtonArray(this, QStringLiteral("cmdOkCancel"), okCancel, [this](int index) {
            cmdOkCancel_Click(static_cast<OkCancelButton>(index));
        });
    for (int i = 0; i < 2; ++i) {
        QPushButton* b = made.at(i);
        b->setGeometry(664, 14 + 30 * i, 84, 26);
        b->setIconSize(QSize(12, 12));
        cmdOkCancel[static_cast<size_t>(i)] = b;
    }
    ShowAllBtn = button(QStringLiteral("ShowAllBtn"), tr("&Show All"),
                        QStyle::SP_FileDialogDetailedView, 90);
    connect(ShowAllBtn, &QPushButton::clicked, this, [this] { ShowAllBtn_Click(); });
    cmdProtocol = button(QStringLiteral("cmdProtocol"), tr("Protocol"),
                         QStyle::SP_FileDialogContentsView, 120);
    connect(cmdProtocol, &QPushButton::clicked, this, [this] { cmdProtocol_Click(); });
    cmdClear = button(QStringLiteral("cmdClear"), tr("Clear"), QStyle::SP_DialogResetButton, 150);
    connect(cmdClear, &QPushButton::clicked, this, [this] { ClearSelectedExercises(); });
}

// ---------------------------------------------------------------------------------------
// Scale: the layout grows with the window, one factor for both directions

void frmExerciseSelection::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    ApplyScale(LayoutScaleFor(event->size(), BaseSize));
}

void frmExerciseSelection::ApplyScale(double scale)
{
    if (scale == Scale())
        return;
    QFont f = font();
    f.setPixelSize(Scaled(BaseFontPixels, scale));
    setFont(f);
    m_layout.SetScale(scale);
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setIconSize(QSize(Scaled(BaseButtonIcon, scale), Scaled(BaseButtonIcon, scale)));

    m_choices->SetScale(scale);
    TargetFrame->SetScale(scale, m_ctx.Program);
    // In the all-slots layout the panel stays at its first rows.
    const int slotsTop = VScroll2->isVisibleTo(this) ? VScroll2->value() : 2;
    TargetFrame->move(Scaled(-1, scale), -Scaled(slotsTop, scale));
    LoadPictsInSight();
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
    for (QWidget* w :
         std::initializer_list<QWidget*>{lblUsage, cboUsage, lblProvider, cboProvider, cmdProtocol})
        w->setVisible(visible);
}

// ---------------------------------------------------------------------------------------
// Opening and activation

void frmExerciseSelection::InitExerciseSelection(bool recall)
{
    const WaitPointer wait;
    m_selectedSlot = -1;
    try {
        if (const Outcome lists = InitListBoxes(); !lists) {
            ReportError(QStringLiteral("InitExerciseSelection"), lists.Reason());
            LoadSelectedExs();
            return;
        }
        LoadPictsInSight();
        if (recall) {
            LoadProgram(m_ctx, m_ctx.Program.InvoiceID);
            m_status.Forget();
            if (!m_ctx.Program.Provider.isEmpty())
                cboProvider->setEditText(m_ctx.Program.Provider);
            if (!m_ctx.Program.Usage.isEmpty())
                cboUsage->setEditText(m_ctx.Program.Usage);
        }
    } catch (const DbError& e) {
        ReportError(QStringLiteral("InitExerciseSelection"), e.message());
    }
    LoadSelectedExs();
    m_slots->History().Reset();
}

void frmExerciseSelection::Form_Activate()
{
    switch (m_selectionMode) {
    case Mode::None:
        m_ctx.MainWindow().UpdateMenu(MenuState::All);
        break;
    case Mode::Program:
        ShowProgramHeaderControls(true);
        m_ctx.MainWindow().UpdateMenu(MenuState::PrintOnly);
        m_ctx.MainWindow().UpdateToolbar(ToolbarState::SelectionActive);
        break;
    case Mode::NewProtocol:
    case Mode::EditProtocol:
        // A protocol is not the patient's program: nothing of it may be printed.
        m_ctx.MainWindow().UpdateMenu(MenuState::Restricted);
        ShowProgramHeaderControls(false);
        break;
    }
}

// ---------------------------------------------------------------------------------------
// Filter lists

Outcome frmExerciseSelection::InitListBoxes()
{
    Frame1->Reset();
    // The lists now offer everything, so the pool must be the whole library as well.
    if (!m_choices->ShowsWholeLibrary())
        return m_choices->ShowPool(LibraryFilter{});
    m_choices->Reset();
    return Outcome::Done();
}

void frmExerciseSelection::ViewList_Click(int index)
{
    if (m_filterBusy)
        return;
    const auto busy = BusyFlag(m_filterBusy);
    const WaitPointer wait;
    try {
        Frame1->TakeSelection(index);
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const LibraryFilter filter = Frame1->Filter();
        if (!m_choices->Shows(filter)) {
            if (const Outcome shown = m_choices->ShowPool(filter); shown)
                LoadPictsInSight();
            else
                ReportError(QStringLiteral("ViewList_Click"), shown.Reason());
        }
    } catch (const DbError& e) {
        ReportError(QStringLiteral("ViewList_Click"), e.message());
    }
}

void frmExerciseSelection::ShowAllBtn_Click()
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
    if (show) {
        ShowAllBtn->setText(tr("&Show All"));
        m_pointer->SetAutoScrollArmed(false);
    } else {
        ShowAllBtn->setText(tr("&Show Choices"));
        ChoiceOuterFrame->hide();
        VScroll1->hide();
        VScroll2->hide();
        TargetFrame->move(Scaled(-1, Scale()), -Scaled(2, Scale()));
    }
    // Slide the program panel up (or back down) by 140 pixels, growing it by as much.
    m_layout.SlideUp(SelectedLabel, SelExOuterFrame, show ? -140 : 140);
    if (!show) {
        m_pointer->SetAutoScrollArmed(true);
    } else {
        ChoiceOuterFrame->show();
        VScroll1->show();
        VScroll2->show();
        // The panel follows its scroll bar again.
        TargetFrame->move(Scaled(-1, Scale()), -Scaled(VScroll2->value(), Scale()));
    }
}

// ---------------------------------------------------------------------------------------
// Pointer and keys

void frmExerciseSelection::ConnectPointer()
{
    auto* pointer = new DragController(
        {this, m_srcFrame, ChoiceOuterFrame, VScroll1, TargetFrame, SelExOuterFrame, VScroll2},
        this);
    m_pointer = pointer;
    for (QWidget* w :
         std::initializer_list<QWidget*>{this, ChoiceOuterFrame, SelExOuterFrame, Frame1, Frame2,
                                         ChoicesLabel, SelectedLabel, lblProvider, lblUsage})
        pointer->Watch(w);
    connect(pointer, &DragController::choicePressed, this, [this](int choice) {
        TargetFrame->SetSelected(-1);
        m_selectedSlot = -1;
        m_srcFrame->SetSelected(choice);
    });
    connect(pointer, &DragController::slotPressed, this, [this](int slot) {
        m_srcFrame->SetSelected(-1);
        TargetFrame->SetSelected(slot);
        m_selectedSlot = slot;
        TargetFrame->setFocus(Qt::MouseFocusReason);
    });
    connect(pointer, &DragController::droppedOnSlot, this, &frmExerciseSelection::DropSelectedEx);
    connect(pointer, &DragController::droppedOnChoices, this, [this](DragSource what) {
        if (what.kind == DragSource::Slot)
            DeleteSelectedEx(what.index);
    });
    connect(pointer, &DragController::doubleClicked, this, [this](DragSource what) {
        if (what.kind == DragSource::Choice && !RefuseWhenFull())
            emit editRequested(true, what.index);
        else if (what.kind == DragSource::Slot && what.index < m_ctx.Program.EntryCount)
            emit editRequested(false, what.index);
    });
    connect(pointer, &DragController::pointerOver, this, &frmExerciseSelection::PointerOver);
    connect(pointer, &DragController::deletePressed, this, [this] {
        if (m_selectedSlot >= 0)
            DeleteSelectedEx(m_selectedSlot);
    });
}

void frmExerciseSelection::PointerOver(DragSource what)
{
    if (what.kind == DragSource::Choice && what.index < m_ctx.Library.LibraryCount) {
        m_status.Show(QStringLiteral("Exercise: ") + m_ctx.Library.Entries.at(what.index).Desc);
    } else if (what.kind == DragSource::Slot && what.index < m_ctx.Program.EntryCount) {
        m_status.Show(QStringLiteral("Exercise: ") + EntryDescription(m_ctx.Program, what.index));
    } else if (!m_status.IsReady()) {
        m_status.Ready();
    }
}

// ---------------------------------------------------------------------------------------
// Buttons

void frmExerciseSelection::cmdOkCancel_Click(OkCancelButton button)
{
    const bool forProgram = m_selectionMode == Mode::Program;
    if (button == OkCancelButton::Ok) {
        if (forProgram) {
            // A failed save keeps the window open with the edits; the user has been told why.
            if (!AcceptProgram(m_ctx, cboProvider->currentText(), cboUsage->currentText(),
                               m_status))
                return;
        } else if (m_selectionMode == Mode::NewProtocol || m_selectionMode == Mode::EditProtocol) {
            if (m_protocolAcceptor && !m_protocolAcceptor(m_selectionMode))
                return;
            emit protocolAccepted(m_selectionMode);
        }
    } else if (forProgram) {
        RevertProgram(m_ctx, m_status);
    }
    HideForm();
    // Stored, thrown away or handed back: the edits cannot be taken back any more.
    m_slots->History().Reset();
    m_ctx.MainWindow().UpdateMenu(MenuState::All);
}

void frmExerciseSelection::cmdProtocol_Click()
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
// Errors

void frmExerciseSelection::ReportError(const QString& routine, const QString& message)
{
    ReportFailure(m_ctx, routine, message);
}

} // namespace tramelle
