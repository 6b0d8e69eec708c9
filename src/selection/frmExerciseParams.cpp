#include "frmExerciseParams.h"

#include "AppContext.h"
#include "DeliveredData.h"
#include "Paths.h"
#include "ScaledPicture.h"
#include "TextHelpers.h"
#include "WindowServices.h"
#include "frmExerciseSelection.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMediaPlayer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QUrl>
#include <QVideoFrame>
#include <QVideoSink>
#include <QVideoWidget>
#include <algorithm>
#include <cmath>

namespace tramelle {

namespace {

QStringList NumberRows(int last, int step)
{
    QStringList rows;
    for (int v = 0; v <= last; v += step)
        rows << QString::number(v);
    return rows;
}

const QString DialogTitle = QStringLiteral("Exercise Parameters");

} // namespace

const QStringList frmExerciseParams::RepsRows = NumberRows(25, 5);
const QStringList frmExerciseParams::HoldRows = NumberRows(60, 5);
const QStringList frmExerciseParams::SetsRows = NumberRows(10, 1);

frmExerciseParams* frmExerciseParams::Open(AppContext& ctx, frmExerciseSelection& selection,
                                           bool fromLibrary, int index)
{
    const int count = fromLibrary ? ctx.Library.LibraryCount : ctx.Program.EntryCount;
    if (index < 0 || index >= count)
        return nullptr;
    auto* dialog = new frmExerciseParams(ctx, selection, fromLibrary, index);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->Form_Load();
    return dialog;
}

frmExerciseParams::frmExerciseParams(AppContext& ctx, frmExerciseSelection& selection,
                                     bool fromLibrary, int index)
    : QDialog(&selection), m_ctx(ctx), m_selection(selection), m_fromLibrary(fromLibrary),
      m_index(index)
{
    setObjectName(QStringLiteral("frmExerciseParams"));
    setWindowTitle(tr("Exercise Parameters"));
    setModal(false);
    QFont small(QStringLiteral("Arial"));
    small.setPixelSize(11);
    setFont(small);
    CreateControls();

    if (m_fromLibrary) {
        m_workEntry = m_ctx.Library.Entries.at(index);
    } else {
        m_workEntry = m_ctx.Program.Entries.at(static_cast<size_t>(index));
        m_sourceGeneration = m_selection.SlotGeneration(index);
    }
    setWindowTitle(QStringLiteral("Exercise: ") + m_workEntry.Desc);
    // The selection window's OK, Cancel and Protocol end the work this dialog belongs to.
    connect(&m_selection, &frmExerciseSelection::windowHidden, this, &QWidget::close);
}

frmExerciseParams::~frmExerciseParams()
{
    cmdControl_Click(MovieCommand::Close);
}

void frmExerciseParams::CreateControls()
{
    setFixedSize(457, 428);

    fraMovie = new QGroupBox(tr("Movie"), this);
    fraMovie->setObjectName(QStringLiteral("fraMovie"));
    fraMovie->setGeometry(8, 0, 249, 213);
    MovFrame = new QWidget(fraMovie);
    MovFrame->setObjectName(QStringLiteral("MovFrame"));
    MovFrame->setGeometry(16, 16, 193, 145);
    BtnFrame = new QWidget(fraMovie);
    BtnFrame->setObjectName(QStringLiteral("BtnFrame"));
    BtnFrame->setGeometry(56, 168, 165, 30);
    // Open and Close are used from code only; the visible ones run left to right.
    const QString controls[6] = {tr("Open"), tr("Play"),  tr("Pause"),
                                 tr("Stop"), tr("Close"), tr("Rewind")};
    const int visibleOrder[6] = {-1, 0, 1, 2, -1, 3};
    for (int i = 0; i < 6; ++i) {
        auto* b = new QPushButton(controls[i], BtnFrame);
        b->setObjectName(QStringLiteral("cmdControl_%1").arg(i));
        b->setGeometry(visibleOrder[i] * 41, 0, 40, 26);
        b->setVisible(visibleOrder[i] >= 0);
        b->setAutoDefault(false);
        cmdControl[static_cast<size_t>(i)] = b;
        connect(b, &QPushButton::clicked, this,
                [this, i] { cmdControl_Click(static_cast<MovieCommand>(i)); });
    }

    fraOptions = new QGroupBox(tr("Options"), this);
    fraOptions->setObjectName(QStringLiteral("fraOptions"));
    fraOptions->setGeometry(264, 0, 105, 213);
    const QString captions[3] = {tr("Repetitions:"), tr("Hold (secs):"), tr("Sets:")};
    const char* listNames[3] = {"RepsList", "HoldList", "SetsList"};
    std::array<QComboBox*, 3> lists{};
    for (int i = 0; i < 3; ++i) {
        const auto k = static_cast<size_t>(i);
        Label1[k] = new QLabel(captions[k], fraOptions);
        Label1[k]->setObjectName(QStringLiteral("Label1_%1").arg(i));
        Label1[k]->setGeometry(8, 20 + 56 * i, 89, 14);
        lists[k] = new QComboBox(fraOptions);
        lists[k]->setObjectName(QString::fromLatin1(listNames[k]));
        lists[k]->setEditable(true);
        lists[k]->setInsertPolicy(QComboBox::NoInsert);
        // What is typed is what is stored: "3" must not become the row "30" as it is typed.
        lists[k]->setCompleter(nullptr);
        lists[k]->setGeometry(8, 36 + 56 * i, 89, 22);
        Label1[k]->setBuddy(lists[k]);
    }
    RepsList = lists[0];
    HoldList = lists[1];
    SetsList = lists[2];

    fraExercises = new QGroupBox(tr("Exercises"), this);
    fraExercises->setObjectName(QStringLiteral("fraExercises"));
    fraExercises->setGeometry(8, 216, 441, 185);
    for (int i = 0; i < 3; ++i) {
        const auto k = static_cast<size_t>(i);
        const int left = 8 + 144 * i;
        Image1[k] = new QLabel(fraExercises);
        Image1[k]->setObjectName(QStringLiteral("Image1_%1").arg(i));
        Image1[k]->setGeometry(left, 18, 136, 104);
        Image1[k]->setFrameShape(QFrame::Box);
        Image1[k]->setAlignment(Qt::AlignCenter);
        txtInstr[k] = new QPlainTextEdit(fraExercises);
        txtInstr[k]->setObjectName(QStringLiteral("txtInstr_%1").arg(i));
        txtInstr[k]->setTabChangesFocus(true);
        // Three whole lines between the margins (the box wants a margin and a pixel more
        // below), and no more than a sliver of a fourth.
        txtInstr[k]->document()->setDocumentMargin(1);
        const int lines =
            static_cast<int>(std::ceil(3 * QFontMetricsF(txtInstr[k]->font()).lineSpacing()));
        txtInstr[k]->setGeometry(left, 126, 136, lines + 2 * txtInstr[k]->frameWidth() + 5);
        txtInstr[k]->installEventFilter(this);
        connect(txtInstr[k], &QPlainTextEdit::textChanged, this,
                [this, i] { InstructionChanged(i); });
    }

    const QList<QPushButton*> okCancel = MakeButtonArray(
        this, QStringLiteral("cmdOkCancel"), OkCancelButtons(tr("OK"), tr("Cancel")),
        [this](int index) { cmdOkCancel_Click(static_cast<OkCancelButton>(index)); });
    for (int i = 0; i < 2; ++i) {
        QPushButton* b = okCancel.at(i);
        b->setGeometry(377, 8 + 32 * i, 72, 26);
        // Enter presses OK wherever it does not start a new line.
        b->setDefault(i == 0);
        cmdOkCancel[static_cast<size_t>(i)] = b;
    }

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 406, 457, 22);
}

void frmExerciseParams::Form_Load()
{
    Windows(m_ctx).CenterForm(this);
    InitListBoxes();
    show();
    OpenMovieFile();
    LoadExercisePictures();
}

void frmExerciseParams::InitListBoxes()
{
    const std::pair<QComboBox*, const QStringList*> lists[3] = {
        {RepsList, &RepsRows}, {HoldList, &HoldRows}, {SetsList, &SetsRows}};
    for (const auto& [list, rows] : lists) {
        list->clear();
        list->addItems(*rows);
    }
    RepsList->setEditText(QString::number(m_workEntry.Reps));
    HoldList->setEditText(QString::number(m_workEntry.Hold));
    SetsList->setEditText(QString::number(m_workEntry.Sets));
}

void frmExerciseParams::LoadExercisePictures()
{
    const QString* pictures[3] = {&m_workEntry.Picture0, &m_workEntry.Picture1,
                                  &m_workEntry.Picture2};
    const QString* texts[3] = {&m_workEntry.Instruct0, &m_workEntry.Instruct1,
                               &m_workEntry.Instruct2};
    for (size_t i = 0; i < 3; ++i) {
        // A picture that cannot be shown leaves its box empty, without a word.
        QImage image;
        if (!pictures[i]->isEmpty())
            image = LoadScaledPicture(FindMediaFile(m_ctx, MediaKind::Picture, *pictures[i]),
                                      Image1[i]->size())
                        .Image;
        Image1[i]->setPixmap(QPixmap::fromImage(image));
        const QSignalBlocker block(txtInstr[i]);
        txtInstr[i]->setPlainText(FromCrLf(*texts[i]));
        m_instrText[i] = txtInstr[i]->toPlainText();
    }
}

void frmExerciseParams::InstructionChanged(int i)
{
    const auto k = static_cast<size_t>(i);
    if (m_restoringInstr)
        return;
    // More than the column holds never reaches the entry: what was typed or pasted is cut
    // to what fits, between whole characters.
    QPlainTextEdit* box = txtInstr[k];
    const LimitedText fitted = FitStoredLength(m_instrText[k], box->toPlainText(),
                                               box->textCursor().position(), InstructLimit);
    if (fitted.Changed) {
        m_restoringInstr = true;
        box->setPlainText(fitted.Text);
        QTextCursor cursor = box->textCursor();
        cursor.setPosition(fitted.Caret);
        box->setTextCursor(cursor);
        m_restoringInstr = false;
        QApplication::beep();
    }
    m_instrText[k] = fitted.Text;
    ShowCharactersLeft(i);
}

void frmExerciseParams::ShowCharactersLeft(int i)
{
    const qsizetype left = std::max<qsizetype>(
        InstructLimit - StoredLength(ToCrLf(txtInstr[static_cast<size_t>(i)]->toPlainText())), 0);
    if (left == 0)
        StatusBar1->showMessage(
            tr("No characters left: an instruction holds %1 characters.").arg(InstructLimit));
    else
        StatusBar1->showMessage(left == 1 ? tr("1 character left")
                                          : tr("%1 characters left").arg(left));
}

bool frmExerciseParams::eventFilter(QObject* watched, QEvent* event)
{
    const auto box = std::find(txtInstr.begin(), txtInstr.end(), watched);
    if (box != txtInstr.end()) {
        if (event->type() == QEvent::FocusIn) {
            ShowCharactersLeft(static_cast<int>(box - txtInstr.begin()));
        } else if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                (key->modifiers() & Qt::ControlModifier)) {
                cmdOkCancel[0]->click();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------
// OK and Cancel

void frmExerciseParams::cmdOkCancel_Click(OkCancelButton button)
{
    if (button == OkCancelButton::Ok) {
        qint16 reps = 0, hold = 0, sets = 0;
        if (!ReadNumber(RepsList, tr("Repetitions"), reps) ||
            !ReadNumber(HoldList, tr("Hold (secs)"), hold) ||
            !ReadNumber(SetsList, tr("Sets"), sets))
            return;
        m_workEntry.Reps = reps;
        m_workEntry.Hold = hold;
        m_workEntry.Sets = sets;
        m_workEntry.Instruct0 = ToCrLf(txtInstr[0]->toPlainText());
        m_workEntry.Instruct1 = ToCrLf(txtInstr[1]->toPlainText());
        m_workEntry.Instruct2 = ToCrLf(txtInstr[2]->toPlainText());
        if (m_fromLibrary ? !AppendToProgram() : !ApplyToSlot())
            return;
        close();
    } else {
        close();
    }
}

bool frmExerciseParams::ReadNumber(QComboBox* list, const QString& field, qint16& value)
{
    const Result<qint16> number = NullToInteger(QVariant(list->currentText()));
    // Repetitions, seconds and sets are counts: none of them can be below 0.
    if (number && number.Value() >= 0) {
        value = number.Value();
        return true;
    }
    m_ctx.Prompt().Message(DialogTitle,
                           tr("%1: \"%2\" is out of range. Enter a whole number from 0 to 32767.")
                               .arg(field, list->currentText()),
                           PromptIcon::Warning, PromptButtons::Ok);
    list->setFocus();
    list->lineEdit()->selectAll();
    return false;
}

bool frmExerciseParams::ApplyToSlot()
{
    ProgramState& program = m_ctx.Program;
    if (m_index >= program.EntryCount ||
        m_selection.SlotGeneration(m_index) != m_sourceGeneration) {
        // The slot holds another exercise now (moved, deleted or reloaded): writing there
        // would change the wrong one.
        m_ctx.Prompt().Message(
            DialogTitle,
            tr("Slot %1 of the program no longer holds this exercise: it was moved, deleted "
               "or reloaded while this window was open.\r\nThe changes were not applied.")
                .arg(m_index + 1),
            PromptIcon::Information, PromptButtons::Ok);
        close();
        return false;
    }
    m_selection.ChangeEntry(m_index, m_workEntry);
    return true;
}

bool frmExerciseParams::AppendToProgram()
{
    // The program may have filled up while this dialog was open; it stays open so that
    // the user can make room and press OK again.
    if (m_selection.RefuseWhenFull())
        return false;
    m_selection.AppendEntry(m_workEntry);
    return true;
}

void frmExerciseParams::closeEvent(QCloseEvent* event)
{
    cmdControl_Click(MovieCommand::Close);
    // Not QDialog's: it would call reject(), which closes again.
    event->accept();
}

void frmExerciseParams::reject()
{
    // Esc is Cancel: close, so that the dialog is released like after the buttons.
    close();
}

// ---------------------------------------------------------------------------------------
// Movie

void frmExerciseParams::OpenMovieFile()
{
    m_movieFile = m_workEntry.Movie.isEmpty()
                      ? QString()
                      : JoinPath(m_ctx.Settings.MovieFolder, m_workEntry.Movie);
    m_movieFound = m_workEntry.Movie.isEmpty()
                       ? QString()
                       : FindMediaFile(m_ctx, MediaKind::Movie, m_workEntry.Movie);
    // Without a movie there is nothing to play.
    EnableMovieButtons(!m_movieFound.isEmpty());
    cmdControl_Click(MovieCommand::Open);
}

int frmExerciseParams::nFuncOpenMedia(QWidget* window, const QString& file, QSize* size)
{
    if (m_mediaHandle != 0)
        cmdControl_Click(MovieCommand::Close);
    m_movieError.clear();
    m_video = new QVideoWidget(window);
    m_video->setObjectName(QStringLiteral("MovieVideo"));
    m_video->setAspectRatioMode(Qt::KeepAspectRatio);
    m_video->setGeometry(window->rect());
    m_player = new QMediaPlayer(this);
    m_player->setVideoOutput(m_video);
    connect(m_player, &QMediaPlayer::errorOccurred, this,
            [this](QMediaPlayer::Error, const QString& message) { MovieFailed(message); });
    // Paused at the start, the movie shows its first frame until Play.
    // Only once: Stop leaves the movie stopped.
    m_firstFramePending = true;
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this,
            [this](QMediaPlayer::MediaStatus status) {
                if (status == QMediaPlayer::LoadedMedia && m_firstFramePending &&
                    m_player->playbackState() == QMediaPlayer::StoppedState) {
                    m_firstFramePending = false;
                    m_player->pause();
                }
            });
    m_player->setSource(QUrl::fromLocalFile(file));
    m_video->show();
    // The paused player hands its first frame to the sink but may leave the video area
    // unpainted: the frame is shown as a picture until Play.
    m_still = new QLabel(window);
    m_still->setObjectName(QStringLiteral("MovieStill"));
    m_still->setGeometry(window->rect());
    m_still->setAlignment(Qt::AlignCenter);
    m_still->hide();
    connect(m_video->videoSink(), &QVideoSink::videoFrameChanged, this,
            [this](const QVideoFrame& frame) {
                if (!m_still || !m_player ||
                    m_player->playbackState() != QMediaPlayer::PausedState ||
                    m_player->position() != 0 || !frame.isValid())
                    return;
                const QImage image = frame.toImage();
                if (image.isNull())
                    return;
                m_still->setPixmap(QPixmap::fromImage(
                    image.scaled(m_still->size() * devicePixelRatioF(), Qt::KeepAspectRatio,
                                 Qt::SmoothTransformation)));
                // The video area may be a window of its own, drawn over its siblings.
                m_video->hide();
                m_still->show();
            });
    if (size)
        *size = window->size();
    return 1;
}

void frmExerciseParams::EnableMovieButtons(bool enabled)
{
    for (MovieCommand c :
         {MovieCommand::Play, MovieCommand::Pause, MovieCommand::Stop, MovieCommand::Rewind})
        cmdControl[static_cast<size_t>(c)]->setEnabled(enabled);
}

void frmExerciseParams::MovieFailed(const QString& message)
{
    // The backend may report one fault several times: say it once.
    const QString text = tr("The movie cannot be played: %1").arg(message);
    if (text == m_movieError)
        return;
    m_movieError = text;
    StatusBar1->showMessage(text);
}

void frmExerciseParams::cmdControl_Click(MovieCommand command)
{
    switch (command) {
    case MovieCommand::Open: {
        // A missing movie leaves the area empty.
        if (m_movieFound.isEmpty())
            return;
        QSize size;
        m_mediaHandle = nFuncOpenMedia(MovFrame, m_movieFound, &size);
        break;
    }
    case MovieCommand::Play:
        if (m_still && m_still->isVisible()) {
            m_still->hide();
            m_video->show();
        }
        if (m_player)
            m_player->play();
        break;
    case MovieCommand::Pause:
        if (m_player)
            m_player->pause();
        break;
    case MovieCommand::Stop:
        if (m_player)
            m_player->stop();
        break;
    case MovieCommand::Close:
        if (m_mediaHandle == 0)
            return;
        m_mediaHandle = 0;
        if (m_player) {
            m_player->disconnect(this);
            m_player->stop();
            m_player->setSource(QUrl());
            delete m_player;
            m_player = nullptr;
        }
        delete m_still;
        m_still = nullptr;
        delete m_video;
        m_video = nullptr;
        break;
    case MovieCommand::Rewind:
        if (m_player)
            m_player->setPosition(0);
        break;
    }
}

} // namespace tramelle
