#pragma once

#include "Database.h"
#include "DragController.h"
#include "LibraryCache.h"
#include "LibraryEntry.h"
#include "ProgramRules.h"

#include <QHash>
#include <QPixmap>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

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
class FilterLists;
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

    void InitListBoxes();
    void LoadPictsInSight();
    void LoadSelectedExs();
    void ClearSelectedExercises();
    void DropSelectedEx(int target, DragSource source);
    void DeleteTarget(DragSource source);
    void DeleteSelectedEx(int slot);
    // Puts `entry` into slot `destination` (the parameters dialog adds an exercise this way).
    void SetSelExFromTmp(int destination, const ProgramEntry& entry);
    // Shows slot i's caption again after its parameters changed.
    void RefreshSlotCaption(int slot);
    // Fills the provider and usage lists again from the store (after the pick lists were
    // edited), keeping the texts shown.
    void RefillPickLists();
    // Changes whenever slot i receives another entry, is cleared or is reloaded: a parameters
    // dialog opened on the slot compares it before writing back.
    quint64 SlotGeneration(int slot) const;
    // When `adding` more entries would pass 20: the "Exercise list full" message, and true.
    bool RefuseWhenFull(int adding = 1);
    // Asked by OK in a protocol mode; false keeps the window open with its exercises.
    void SetProtocolAcceptor(std::function<bool(Mode)> acceptor)
    {
        m_protocolAcceptor = std::move(acceptor);
    }

    // The filter lists' criteria.
    const QStringList& JointFilter() const;
    const QStringList& MotionFilter() const;
    const QStringList& TypeFilter() const;

    int SelectedSlot() const { return m_selectedSlot; }
    // Picture files read for the choice grid since the window was built.
    int ChoicePictureReads() const { return m_choicePictureReads; }
    ChoiceGrid* Grid() const { return m_srcFrame; }
    // The factor the layout is drawn at: it grows with the window, never below 1.
    double LayoutScale() const { return m_scale; }
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
    // Remembers where the window's own controls are at scale 1.
    void RecordBaseLayout();
    void ApplyScale(double scale);
    // Moves a control to `geometry` of the layout at scale 1.
    void SetBaseGeometry(QWidget* w, const QRect& geometry);
    void SizeChoiceGrid();
    // What a cell of `size` shows for `entry`: the exercise's picture when the cell is
    // larger than the icon, else (and when that picture is missing) the icon.
    QImage CellPicture(const LibraryEntry& entry, QSize size, int* errorNumber, QString* errorText);
    void CreateButtons();
    void FillProviderUsageLists();
    void ShowProgramHeaderControls(bool visible);
    void LayoutChoiceGrid();
    void ShowEdit(const ProgramEdit& edit);
    QPixmap SlotPicture(const ProgramEntry& entry, QSize size);

    void ViewList_Click(int index);
    void ApplyFilter(const LibraryFilter& filter);

    void ShowAllBtn_Click();
    void ToggleShowAll(bool programScrollVisible);

    void ConnectPointer();
    void PointerOver(DragSource what);

    void cmdOkCancel_Click(const QString& tag);
    void cmdProtocol_Click();
    void HideForm();
    void OpenExerciseParams(bool fromLibrary, int index);

    void StatusText(const QString& text);
    void StatusReady();
    // Reports a failure of a data routine that a handler ran.
    void ReportError(const QString& routine, const QString& message);

    AppContext& m_ctx;
    Mode m_selectionMode = Mode::None;
    std::function<bool(Mode)> m_protocolAcceptor;

    // Filter state.
    std::optional<LibraryFilter> m_lastFilter; // empty after a failed load: the next click reloads
    bool m_filterBusy = false;
    bool m_showAllBusy = false;
    bool m_deleteBusy = false;

    // Grid and program state.
    int m_selectedSlot = -1;
    int m_choicePictureReads = 0;
    DragController* m_pointer = nullptr;
    QString m_lastStatus;
    double m_scale = 1.0;
    QHash<QWidget*, QRect> m_baseGeometry;

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
