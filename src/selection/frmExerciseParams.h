#pragma once

#include "ButtonArray.h"
#include "LibraryEntry.h"

#include <QDialog>
#include <QString>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QMediaPlayer;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QVideoWidget;

namespace tramelle {

class AppContext;
class frmExerciseSelection;

// The movie controls; each is the index of its button in cmdControl ("cmdControl_<n>").
enum class MovieCommand
{
    Open = 0,
    Play = 1,
    Pause = 2,
    Stop = 3,
    Close = 4,
    Rewind = 5,
};

// "Exercise: <description>": repetitions, hold time, sets and the three instruction texts
// of one exercise, with its pictures and its movie. Opened without blocking from a library
// choice (OK appends the exercise to the program) or from a program slot (OK changes the
// slot). Each dialog keeps its own source, so several can be open at once.
class frmExerciseParams : public QDialog
{
    Q_OBJECT

public:
    // Rows of the drop-down lists; any number can be typed as well.
    static const QStringList RepsRows;
    static const QStringList HoldRows;
    static const QStringList SetsRows;

    // Builds, centres and shows a dialog that deletes itself when closed. Returns nullptr
    // when the source no longer exists (a choice outside the pool, an unused slot).
    static frmExerciseParams* Open(AppContext& ctx, frmExerciseSelection& selection,
                                   bool fromLibrary, int index);

    frmExerciseParams(AppContext& ctx, frmExerciseSelection& selection, bool fromLibrary,
                      int index);
    ~frmExerciseParams() override;

    bool FromLibrary() const { return m_fromLibrary; }
    int SourceIndex() const { return m_index; }
    const LibraryEntry& WorkEntry() const { return m_workEntry; }

    // Fills the three lists with their rows and sets their texts from the entry.
    void InitListBoxes();
    // Builds MovieFile from the movie folder and the entry's movie, and opens it when it is
    // a regular file inside the folder.
    void OpenMovieFile();
    // Opens `file` inside `window`; returns the media handle, 0 when nothing was opened.
    // `size` receives the size the movie is drawn at.
    int nFuncOpenMedia(QWidget* window, const QString& file, QSize* size);
    // Harmless without a movie.
    void cmdControl_Click(MovieCommand command);

    const QString& MovieFile() const { return m_movieFile; }
    int MediaHandle() const { return m_mediaHandle; }
    QMediaPlayer* Player() const { return m_player; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    // Ctrl+Enter in an instruction box presses OK (Enter there starts a new line).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    void Form_Load();
    void LoadExercisePictures();
    void cmdOkCancel_Click(OkCancelButton button);
    // The list's number by the numeric-prefix rule; false (after saying so) when it does
    // not fit 16 bits.
    bool ReadNumber(QComboBox* list, const QString& field, qint16& value);
    bool ApplyToSlot();
    bool AppendToProgram();
    void InstructionChanged(int i);
    // "n characters left" for the instruction box in use.
    void ShowCharactersLeft(int i);
    void EnableMovieButtons(bool enabled);
    void MovieFailed(const QString& message);

    AppContext& m_ctx;
    frmExerciseSelection& m_selection;
    const bool m_fromLibrary;
    const int m_index;
    quint64 m_sourceGeneration = 0; // the slot's generation when the dialog opened
    LibraryEntry m_workEntry;

    QString m_movieFile;
    QString m_movieFound; // the regular file MovieFile names, "" when there is none
    int m_mediaHandle = 0;
    QMediaPlayer* m_player = nullptr;
    QVideoWidget* m_video = nullptr;
    QLabel* m_still = nullptr; // the first frame, until Play
    QString m_movieError;
    bool m_firstFramePending = false; // the movie pauses on its first frame once loaded

    // The last accepted text of each instruction box, to cut an edit that would not fit
    // the stored column.
    std::array<QString, 3> m_instrText;
    bool m_restoringInstr = false;

    QGroupBox* fraMovie = nullptr;
    QWidget* MovFrame = nullptr;
    QWidget* BtnFrame = nullptr;
    std::array<QPushButton*, 6> cmdControl{};
    QGroupBox* fraOptions = nullptr;
    std::array<QLabel*, 3> Label1{};
    QComboBox* RepsList = nullptr;
    QComboBox* HoldList = nullptr;
    QComboBox* SetsList = nullptr;
    QGroupBox* fraExercises = nullptr;
    std::array<QLabel*, 3> Image1{};
    std::array<QPlainTextEdit*, 3> txtInstr{};
    std::array<QPushButton*, 2> cmdOkCancel{};
    QStatusBar* StatusBar1 = nullptr;
};

} // namespace tramelle
