#pragma once

#include "ButtonArray.h"
#include "ChoicePane.h"
#include "Database.h"
#include "DragController.h"
#include "FilterLists.h"
#include "LibraryEntry.h"
#include "ProgramRules.h"
#include "ProgramSlots.h"
#include "ScaledLayout.h"
#include "StatusLine.h"

#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace tramelle {

class AppContext;
class ChoiceGrid;
class DragController;
class SlotPanel;

// "Select Exercises": the filter lists, the grid of library choices and the 20-slot program
// list that the user fills by dragging. Lives hidden between uses; OK, Cancel and Protocol
// hide it. Dragging is done by hand with press, move and release inside the window.
class frmExerciseSelection : public QWidget
{
    Q_OBJECT

public:
    // What the window edits.
    enum class Mode
    {
        None = 0,         // nothing yet (start-up)
        Program = 1,      // the current patient's program
        NewProtocol = 2,  // a new protocol
        EditProtocol = 3, // an existing protocol
    };
    Q_ENUM(Mode)
    static constexpr Mode ModeNone = Mode::None;
    static constexpr Mode ModeProgram = Mode::Program;
    static constexpr Mode ModeNewProtocol = Mode::NewProtocol;
    static constexpr Mode ModeEditProtocol = Mode::EditProtocol;

    using DragSource = tramelle::DragSource;

    // Loads the whole library into the pool and builds the grid (the form's load).
    explicit frmExerciseSelection(AppContext& ctx, QWidget* parent = nullptr);
    ~frmExerciseSelection() override;

    Mode SelectionMode() const { return m_selectionMode; }
    void SetSelectionMode(Mode mode) { m_selectionMode = mode; }

    // Each time the window is opened for work; with recall the stored program is loaded.
    void InitExerciseSelection(bool recall);
    // The window became the active child: header controls, menu and toolbar by mode.
    void Form_Activate();

    Outcome InitListBoxes();
    void LoadPictsInSight() { m_choices->LoadInSight(); }
    void LoadSelectedExs() { m_slots->ShowAll(); }
    void ClearSelectedExercises() { m_slots->Clear(); }
    void DropSelectedEx(int target, DragSource source) { m_slots->Drop(target, source); }
    void DeleteSelectedEx(int slot) { m_slots->Delete(slot); }
    // The parameters dialog's OK: appends `entry` to the program, or gives slot i's entry new
    // parameters.
    void AppendEntry(const ProgramEntry& entry) { m_slots->Append(entry); }
    void ChangeEntry(int slot, const ProgramEntry& entry) { m_slots->Change(slot, entry); }
    // Shows the slots after their entries were replaced elsewhere (a protocol was put in),
    // which undo, named `text`, takes back to `before`.
    void ProgramReplaced(const QString& text, const ProgramState& before)
    {
        m_slots->Replaced(text, before);
    }
    ProgramHistory& History() { return m_slots->History(); }
    // Fills the provider and usage lists again from the store (after the pick lists were
    // edited), keeping the texts shown.
    void RefillPickLists();
    // Changes whenever slot i receives another entry, is cleared or is reloaded: a parameters
    // dialog opened on the slot compares it before writing back.
    quint64 SlotGeneration(int slot) const { return m_slots->Generation(slot); }
    // When `adding` more entries would pass 20: the "Exercise list full" message, and true.
    bool RefuseWhenFull(int adding = 1) { return m_slots->RefuseWhenFull(adding); }
    // Asked by OK in a protocol mode; false keeps the window open with its exercises.
    void SetProtocolAcceptor(std::function<bool(Mode)> acceptor)
    {
        m_protocolAcceptor = std::move(acceptor);
    }

    // The filter lists' criteria.
    const QStringList& JointFilter() const { return Frame1->JointFilter(); }
    const QStringList& MotionFilter() const { return Frame1->MotionFilter(); }
    const QStringList& TypeFilter() const { return Frame1->TypeFilter(); }

    int SelectedSlot() const { return m_selectedSlot; }
    // Picture files read for the choice grid since the window was built.
    int ChoicePictureReads() const { return m_choices->PictureReads(); }
    ChoiceGrid* Grid() const { return m_srcFrame; }
    // The factor the layout is drawn at: it grows with the window, never below 1.
    double LayoutScale() const { return m_layout.Scale(); }
    // The window's layout at scale 1; also its smallest size.
    static constexpr QSize BaseSize{756, 466};

signals:
    // A double click asks for the parameters dialog: a library choice (pool index) or a
    // program slot.
    void editRequested(bool fromLibrary, int index);
    // "Protocol" was pressed.
    void protocolRequested();
    // OK in a protocol mode stored the exercises (or nobody was asked to).
    void protocolAccepted(frmExerciseSelection::Mode selectionMode);
    // The window was hidden (OK, Cancel, Protocol): open parameters dialogs close.
    void windowHidden();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void ApplyScale(double scale);
    double Scale() const { return m_layout.Scale(); }
    void CreateButtons();
    void FillProviderUsageLists();
    void ShowProgramHeaderControls(bool visible);

    void ViewList_Click(int index);

    void ShowAllBtn_Click();
    void ToggleShowAll(bool programScrollVisible);

    void ConnectPointer();
    void PointerOver(DragSource what);

    void cmdOkCancel_Click(OkCancelButton button);
    void cmdProtocol_Click();
    void HideForm();
    void OpenExerciseParams(bool fromLibrary, int index);

    // Reports a failure of a data routine that a handler ran.
    void ReportError(const QString& routine, const QString& message);

    AppContext& m_ctx;
    Mode m_selectionMode = Mode::None;
    std::function<bool(Mode)> m_protocolAcceptor;

    bool m_filterBusy = false;
    bool m_showAllBusy = false;

    int m_selectedSlot = -1;
    ChoicePane* m_choices = nullptr;
    ProgramSlots* m_slots = nullptr;
    DragController* m_pointer = nullptr;
    StatusLine m_status;
    ScaledLayout m_layout;

    // Controls.
    QLabel* ChoicesLabel = nullptr;
    QWidget* ChoiceOuterFrame = nullptr;
    ChoiceGrid* m_srcFrame = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QLabel* SelectedLabel = nullptr;
    QWidget* SelExOuterFrame = nullptr;
    SlotPanel* TargetFrame = nullptr;
    QScrollBar* VScroll2 = nullptr;
    FilterLists* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    std::array<QRadioButton*, 2> DragModeOp{};
    std::array<QPushButton*, 2> cmdOkCancel{};
    QPushButton* ShowAllBtn = nullptr;
    QPushButton* cmdProtocol = nullptr;
    QPushButton* cmdClear = nullptr;
    QLabel* lblProvider = nullptr;
    QComboBox* cboProvider = nullptr;
    QLabel* lblUsage = nullptr;
    QComboBox* cboUsage = nullptr;
};

} // namespace tramelle
