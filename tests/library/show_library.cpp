// The road of a new exercise, on screen: the library list opened from the menu, "Add",
// three pictures made by a stand-in for the image editor, OK, "Exit", the new exercise in
// the selection window with its icon, and the exercise sheet printed to a PDF. Each step
// is saved as a picture of the screen in the folder given:
//   xvfb-run -a -s "-screen 0 1280x1024x24" show_library /tmp/shots
// With --real-editor the image editor beside this program is started instead of the
// stand-in, opens a 4000 x 3000 photograph and is made to save each picture by pressing
// its Save keys through xdotool (there is no window manager under Xvfb).
#include "AppContext.h"
#include "ChoiceGrid.h"
#include "DeliveredData.h"
#include "ImageEditorLink.h"
#include "LibraryCache.h"
#include "PdfSupport.h"
#include "PrintJobs.h"
#include "TestSupport.h"
#include "frmEditExercise.h"
#include "frmExerciseSelection.h"
#include "frmLibrary.h"
#include "mdiVMR.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <memory>

using namespace tramelle;
using namespace tramelle::test;

namespace {

QString g_shots;

void Shot(const QString& name)
{
    QTest::qWait(400);
    QGuiApplication::primaryScreen()->grabWindow(0).save(g_shots + QLatin1Char('/') + name +
                                                         QStringLiteral(".png"));
}

// Answers on the link like the image editor and "saves" a drawn picture to the save name.
class StandInEditor : public QObject
{
public:
    explicit StandInEditor(const QString& appFolder)
    {
        const QString path = ImageEditorSocketPath(appFolder).Value();
        QLocalServer::removeServer(path);
        m_server.listen(path);
        connect(&m_server, &QLocalServer::newConnection, this, [this] {
            m_client = m_server.nextPendingConnection();
            connect(m_client, &QLocalSocket::readyRead, this, [this] {
                m_reader.Append(m_client->readAll());
                while (auto m = m_reader.Next())
                    if (m->Item == LinkItem::SaveFName)
                        Save(m->Value);
            });
            Advise(LinkItem::StatFileName, QString());
            Advise(LinkItem::LinkStatus, QStringLiteral("0"));
        });
    }

private:
    void Advise(const QString& item, const QString& value)
    {
        m_client->write(EncodeLinkMessage({LinkMessageKind::Advise, item, value}));
        m_client->flush();
    }
    void Save(const QString& file)
    {
        static const QColor colors[] = {QColor(200, 60, 60), QColor(60, 140, 60),
                                        QColor(60, 80, 200)};
        QImage image(400, 300, QImage::Format_RGB32);
        image.fill(colors[m_saves % 3]);
        QPainter p(&image);
        p.setPen(Qt::white);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 40, QFont::Bold));
        p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("Step %1").arg(m_saves + 1));
        p.end();
        image.save(file, "JPEG");
        ++m_saves;
        Advise(LinkItem::StatFileName, QStringLiteral("/photos/wall-slide-%1.jpg").arg(m_saves));
        Advise(LinkItem::LinkStatus, QString::number(m_saves));
    }

    QLocalServer m_server;
    QLocalSocket* m_client = nullptr;
    LinkMessageReader m_reader;
    int m_saves = 0;
};

// Presses the Save keys in the image editor's window.
bool PressSaveInEditor()
{
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("search"), QStringLiteral("--sync"),
                   QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                   QStringLiteral("Image Editor"), QStringLiteral("windowfocus"),
                   QStringLiteral("--sync"), QStringLiteral("key"), QStringLiteral("ctrl+s")});
    return xdotool.waitForFinished(10000) && xdotool.exitCode() == 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitTestEnvironment();
    QStringList args = QCoreApplication::arguments().mid(1);
    const bool realEditor = args.removeAll(QStringLiteral("--real-editor")) > 0;
    g_shots = !args.isEmpty() ? args.first() : QDir::tempPath();
    QDir().mkpath(g_shots);
    TestContext tc;
    // The product media stand read-only in their own folder; the clinic's go to Clinic/.
    tc->Settings.IconFolder = tc.Folder() + QStringLiteral("/ICON/");
    tc->Settings.PictureFolder = ProductMediaFolder() + QStringLiteral("Picture/");
    std::unique_ptr<StandInEditor> standIn;
    if (!realEditor)
        standIn = std::make_unique<StandInEditor>(tc.Folder());

    mdiVMR main(tc.Ctx.operator*());
    tc->SetMainWindowServices(&main);
    main.resize(1200, 900);
    main.move(0, 0);
    main.show();
    main.CreateSelectionWindow();
    main.UpdateToolbar(ToolbarState::NoPatient);
    main.UpdateMenu(MenuState::All);

    main.findChild<QAction*>(QStringLiteral("mnuLibrary"))->trigger();
    auto* library = main.findChild<frmLibrary*>();
    library->move(20, 80);
    QProcess realEditorProcess;
    if (realEditor) {
        // The library list asked the launcher to start the editor: start it as asked, with
        // a photograph to open.
        if (tc.Launcher.Launches.isEmpty()) {
            std::fprintf(stderr, "the library list did not start the image editor\n");
            return 1;
        }
        const QString photo = g_shots + QStringLiteral("/photo.jpg");
        QImage image(4000, 3000, QImage::Format_RGB32);
        QPainter p(&image);
        QLinearGradient gradient(0, 0, 4000, 3000);
        gradient.setColorAt(0, QColor(30, 90, 160));
        gradient.setColorAt(1, QColor(230, 190, 80));
        p.fillRect(image.rect(), gradient);
        p.setPen(QPen(Qt::white, 40));
        p.drawEllipse(QPoint(2000, 1500), 900, 900);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 300, QFont::Bold));
        p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("PHOTO"));
        p.end();
        image.save(photo, "JPEG", 90);
        const LaunchRecord launch = tc.Launcher.Launches.last();
        realEditorProcess.setProcessChannelMode(QProcess::ForwardedChannels);
        realEditorProcess.start(launch.program, launch.arguments + QStringList{photo});
        if (!realEditorProcess.waitForStarted(5000)) {
            std::fprintf(stderr, "the image editor %s does not start\n",
                         qPrintable(launch.program));
            return 1;
        }
        QLocalSocket probe;
        const QString socket = ImageEditorSocketPath(tc.Folder()).Value();
        if (!QTest::qWaitFor(
                [&] {
                    probe.connectToServer(socket);
                    return probe.waitForConnected(100);
                },
                10000)) {
            std::fprintf(stderr, "the image editor does not answer on the link\n");
            return 1;
        }
        probe.disconnectFromServer();
    }
    // Without a window manager the image editor stays above the program's windows.
    auto toFront = [&] {
        if (!realEditor)
            return;
        main.raise();
        main.activateWindow();
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != &main && w->isVisible())
                w->raise();
    };
    Shot(QStringLiteral("1-library"));

    library->findChild<QPushButton*>(QStringLiteral("cmdAdd"))->click();
    frmEditExercise* dialog = library->Editor();
    dialog->move(60, 60);
    QTest::qWait(300);
    QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("txtAbbrevDesc")),
                     QStringLiteral("AAA wall slide"));
    QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("txtDescription")),
                     QStringLiteral("Wall slide with a ball behind the back"));
    auto* joints = dialog->findChild<QListWidget*>(QStringLiteral("lstJoint"));
    if (joints->count() > 0)
        joints->item(0)->setSelected(true);
    const QString texts[3] = {QStringLiteral("Stand with the ball behind your back."),
                              QStringLiteral("Bend your knees slowly."),
                              QStringLiteral("Come back up.")};
    for (int i = 0; i < 3; ++i) {
        QTest::keyClicks(dialog->findChild<QPlainTextEdit*>(QStringLiteral("txtPicture_%1").arg(i)),
                         texts[i]);
        QTest::mouseDClick(dialog->findChild<QWidget*>(QStringLiteral("imgPicture_%1").arg(i)),
                           Qt::LeftButton);
        QTest::qWait(300);
        if (realEditor) {
            if (i == 0)
                Shot(QStringLiteral("2a-image-editor"));
            auto* status = dialog->findChild<QLabel*>(QStringLiteral("lblLinkStatus"));
            const QString before = status->text();
            if (!PressSaveInEditor() ||
                !QTest::qWaitFor([&] { return status->text() != before; }, 10000)) {
                std::fprintf(stderr, "picture %d: the image editor did not save\n", i + 1);
                return 1;
            }
            QTest::qWait(300);
            toFront();
            dialog->raise();
            if (i == 0)
                Shot(QStringLiteral("2b-after-save"));
        }
    }
    Shot(QStringLiteral("2-editor"));
    dialog->findChild<QPushButton*>(QStringLiteral("cmdOkCancel_0"))->click();
    toFront();
    Shot(QStringLiteral("3-stored"));

    library->findChild<QPushButton*>(QStringLiteral("cmdExit"))->click();
    QTest::qWait(300);
    frmExerciseSelection* selection = main.SelectionWindow();
    selection->SetSelectionMode(frmExerciseSelection::ModeProgram);
    selection->parentWidget()->showMaximized();
    selection->InitExerciseSelection(false);
    selection->Form_Activate();
    toFront();
    Shot(QStringLiteral("4-selection"));

    // The sheet of a program holding the new exercise, through the real print path.
    const auto found = std::find_if(tc->Library.Entries.cbegin(), tc->Library.Entries.cend(),
                                    [](const LibraryEntry& e) { return e.ExerciseID == 100000; });
    if (found == tc->Library.Entries.cend()) {
        std::fprintf(stderr, "the new exercise is not in the selection window's library\n");
        return 1;
    }
    tc->Program.Entries[0] = *found;
    tc->Program.EntryCount = 1;
    PdfMainWindow pdf;
    pdf.Pdf = g_shots + QStringLiteral("/5-sheet.pdf");
    tc->SetMainWindowServices(&pdf);
    tc->SetWindowServices(&pdf);
    PrintDocument(*tc, PrintJobKind::Exercises4);
    tc->SetMainWindowServices(&main);
    tc->SetWindowServices(&main);
    if (realEditor) {
        realEditorProcess.terminate();
        realEditorProcess.waitForFinished(5000);
    }
    std::printf("new exercise 100000 stored; icon %s; sheet %s\n",
                qPrintable(IconPath(*tc, 100000)), qPrintable(pdf.Pdf));
    return 0;
}
