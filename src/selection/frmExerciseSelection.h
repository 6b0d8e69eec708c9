#pragma once

#include "Database.h"
#include "LibraryCache.h"
#include "LibraryEntry.h"

#include <QPixmap>
#include <QStringList>
#include <QWidget>
#include <array>
#include <optional>

class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace tramelle {

class AppContext;
class ChoiceGrid;

// "Select Exercises": the filter lists, the grid of library choices and the 20-slot program
// list that the user fills by dragging. Lives hidden between uses; OK, Cancel and Protocol
// hide it. Dragging is done by hand with press, move and release inside the window.
class frmExerciseSelection : public QWidget
{
    Q_OBJECT

public:
    // What the window edits: 0 nothing yet (start-up), 1 the current patient's program,
    // 2 a new protocol, 3 an existing protocol.
    enum Mode { ModeNone = 0, ModeProgram = 1, ModeNewProtocol = 2, ModeEditProtocol = 3 };

    // Something being dragged: a library choice (pool index) or a program slot.
    struct DragSource
    {
        enum Kind { None, Choice, Slot };
        Kind kind = None;
        int index = -1;
    };

    // Loads the whole library into the pool and builds the grid (the form's load).
    explicit frmExerciseSelection(AppContext& ctx, QWidget* parent = nullptr);
    ~frmExerciseSelection() override;

    int SelectionMode() const { return m_selectionMode; }
    void SetSelectionMode(int mode) { m_selectionMode = mode; }

    // Each time the window is opened for work; with recall the stored program is loaded.
    void InitExerciseSelection(bool recall);
    // The window became the active child: header controls, menu and toolbar by mode.
    void FormActivate();

    void InitListBoxes();
    void LoadPictsInSight();
    void LoadSelectedExs();
    void ClearSelectedExercises();
    void DropSelectedEx(int target, DragSource source);
    void DeleteTarget(DragSource source);
    void DeleteSelectedEx(int slot);
    void SetSelExFromAnother(int destination, int source);
    // Puts `entry` into slot `destination` (the parameters dialog adds an exercise this way).
    void SetSelExFromTmp(int destination, const ProgramEntry& entry);
    // Shows slot i's caption again after its parameters changed.
    void RefreshSlotCaption(int slot);
    // Fills the provider and usage lists again from the store (after the pick lists were
    // edited), keeping the texts shown.
    void RefillPickLists();
    // Changes whenever slot i receives another entry, is cleared or is reloaded: a parameters
    // dialog opened on the slot compares it before writing back.
    quint64 SlotGeneration(int slot) const { return m_slotGeneration.at(static_cast<size_t>(slot)); }
    // With 20 entries: the "Exercise list full" message, and true.
    bool RefuseWhenFull();

    // The filter lists' criteria, exposed for the list queries and for checks.
    const QStringList& JointFilter() const { return m_jointFilter; }
    const QStringList& MotionFilter() const { return m_motionFilter; }
    const QStringList& TypeFilter() const { return m_typeFilter; }
    // The statement behind the list with this tag ("Joint", "Motion", "Type").
    BoundStatement BuildListQuery(const QString& tag) const;

    int SelectedSlot() const { return m_selectedSlot; }
    // Picture files read for the choice grid since the window was built.
    int ChoicePictureReads() const { return m_choicePictureReads; }
    ChoiceGrid* Grid() const { return m_srcFrame; }

signals:
    // A double click asks for the parameters dialog: a library choice (pool index) or a
    // program slot.
    void editRequested(bool fromLibrary, int index);
    // "Protocol" was pressed.
    void protocolRequested();
    // OK in a protocol mode: the protocol editor stores the exercises.
    void protocolAccepted(int selectionMode);
    // The window was hidden (OK, Cancel, Protocol): open parameters dialogs close.
    void windowHidden();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void FillProviderUsageLists();
    void ShowProgramHeaderControls(bool visible);
    void LayoutChoiceGrid();
    void ShowSelectedEx(int slot, const QPixmap* picture = nullptr);
    void ClearTargetSlot(int slot);
    void SetSelExFromPool(int slot, int poolIndex);
    void CopyEntryInto(int slot, const ProgramEntry& entry, const QPixmap* picture);

    void FillFilterList(const BoundStatement& query, QListWidget* list, bool sorted);
    static QStringList BuildInClause(const QListWidget* list);
    static QStringList BuildLikeClause(const QListWidget* list);
    static bool ListContains(const QListWidget* list, const QString& text);
    void ViewListClick(int index);
    void ApplyFilter(const LibraryFilter& filter);

    void ShowAllBtnClick();
    void ToggleShowAll(bool programScrollVisible);

    void SrcImMouseDown(int choice);
    void TargetImMouseDown(int slot);
    void BeginDrag(DragSource source, const QPixmap& picture, QPoint globalPos);
    void DragMove(QPoint globalPos);
    void EndDrag(QPoint globalPos);
    void DescLabelDragOver(int slot, int yTwips);
    void SrcImDblClick(int choice);
    void TargetImDblClick(int slot);
    void MouseOver(QObject* watched, QPoint localPos);

    void cmdOkCancelClick(const QString& tag);
    void cmdProtocolClick();
    void HideForm();
    void OpenExerciseParams(bool fromLibrary, int index);

    void StatusText(const QString& text);
    void StatusReady();
    // Reports a failure of a data routine that a handler ran.
    void ReportError(const QString& routine, const QString& message);

    AppContext& m_ctx;
    int m_selectionMode = ModeNone;

    // Filter state.
    QStringList m_jointFilter, m_motionFilter, m_typeFilter;
    std::optional<LibraryFilter> m_lastFilter; // empty after a failed load: the next click reloads
    int m_fillingLists = 0;
    bool m_filterBusy = false;
    bool m_showAllBusy = false;
    bool m_deleteBusy = false;

    // Grid and program state.
    int m_selectedSlot = -1;
    bool m_autoScrollArmed = false;
    int m_choicePictureReads = 0;
    std::array<quint64, 20> m_slotGeneration{};
    DragSource m_drag;
    bool m_dragMoved = false;
    QPoint m_dragHotSpot;
    QString m_lastStatus;

    // Controls.
    QLabel* ChoicesLabel = nullptr;
    QWidget* ChoiceOuterFrame = nullptr;
    ChoiceGrid* m_srcFrame = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QLabel* SelectedLabel = nullptr;
    QWidget* SelExOuterFrame = nullptr;
    QWidget* TargetFrame = nullptr;
    std::array<QLabel*, 20> TargetIm{};
    std::array<QLabel*, 20> DescLabel{};
    std::array<QLabel*, 20> NumLabel{};
    QFrame* TgtSelectedRect = nullptr;
    QScrollBar* VScroll2 = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QLabel*, 3> ViewLabel{};
    std::array<QListWidget*, 3> ViewList{};
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
    QLabel* m_dragImage = nullptr;
};

} // namespace tramelle
