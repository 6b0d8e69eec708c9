// The library list and the exercise editor driven through their widgets, with a local
// server standing in for the image editor, and the icon made from a picture.
#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "ImageEditorLink.h"
#include "LibraryCache.h"
#include "LibraryStore.h"
#include "LoadPicture.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "WidgetSupport.h"
#include "frmEditExercise.h"
#include "frmLibrary.h"
#include "mdiVMR.h"

#include <QAction>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTest>
#include <QTreeView>

using namespace tramelle;
using namespace tramelle::test;

namespace {

void AddRow(AppContext& ctx, qint32 id, const QVariant& desc, const QString& joint = QString(),
            bool video = false)
{
    Exec(ctx.Db.LibraryDb(),
         QStringLiteral("INSERT INTO ExerciseLibrary (ExerciseID, code, Desc, AbbrevDesc, Joint, "
                        "Motion, Type, Reps, "
                        "Hold, Sets, HasVideo, IconSrc) VALUES (?, ?, ?, ?, ?, 'Flexion', 'ROM', "
                        "10, 0, 1, ?, 1)"),
         {id, QString::number(id), desc, QStringLiteral("Ex %1").arg(id), joint, video ? 1 : 0});
}

void UseRows(AppContext& ctx, const QList<qint32>& ids)
{
    Exec(ctx.Db.LibraryDb(), QStringLiteral("DELETE FROM ExerciseLibrary"));
    for (qint32 id : ids)
        AddRow(ctx, id, QStringLiteral("Desc %1").arg(id), QStringLiteral("Knee"));
}

int RowCount(AppContext& ctx)
{
    QSqlQuery q = Exec(ctx.Db.LibraryDb(), QStringLiteral("SELECT COUNT(*) FROM ExerciseLibrary"));
    return q.next() ? q.value(0).toInt() : -1;
}

QVariant Column(AppContext& ctx, qint32 id, const char* column)
{
    QSqlQuery q = Exec(ctx.Db.LibraryDb(),
                       QStringLiteral("SELECT \"%1\" FROM ExerciseLibrary WHERE ExerciseID = ?")
                           .arg(QLatin1String(column)),
                       {id});
    return q.next() ? q.value(0) : QVariant(QStringLiteral("<no row>"));
}

void WritePicture(const QString& path, int width, int height, QColor color)
{
    QDir().mkpath(QFileInfo(path).path());
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QVERIFY(image.save(path, "JPEG"));
}

void SelectRow(frmLibrary& library, qint32 id)
{
    CheckModel(library.Model());
    auto* view = Find<QTreeView>(&library, QStringLiteral("ListView1"));
    view->setCurrentIndex(library.Model()->index(library.Model()->RowOf(id), 0));
}

// Stands in for the image editor: answers on the link's socket, records what it is sent,
// and "saves" by writing the save name and advising a new status.
class FakeEditor : public QObject
{
public:
    explicit FakeEditor(const QString& appFolder)
    {
        const QString path = ImageEditorSocketPath(appFolder).Value();
        QLocalServer::removeServer(path);
        QVERIFY(Server.listen(path));
        connect(&Server, &QLocalServer::newConnection, this, [this] {
            Client = Server.nextPendingConnection();
            connect(Client, &QLocalSocket::readyRead, this, [this] {
                Reader.Append(Client->readAll());
                while (auto m = Reader.Next())
                    Received << *m;
            });
            Advise(LinkItem::StatFileName, QString());
            Advise(LinkItem::LinkStatus, QStringLiteral("0"));
        });
    }
    void Advise(const QString& item, const QString& value)
    {
        Client->write(EncodeLinkMessage({LinkMessageKind::Advise, item, value}));
        Client->flush();
    }
    QString Poked(const QString& item) const
    {
        for (const LinkMessage& m : Received)
            if (m.Kind == LinkMessageKind::Poke && m.Item == item)
                return m.Value;
        return QStringLiteral("<none>");
    }

    QLocalServer Server;
    QPointer<QLocalSocket> Client;
    LinkMessageReader Reader;
    QList<LinkMessage> Received;
};

} // namespace

class TestLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        frmEditExercise::SetLinkTimeout(0);
        frmLibrary::SetImageEditorProgram(QStringLiteral("/nonexistent/tramelle-imageeditor"));
    }

    void iconFromPicture()
    {
        QTemporaryDir dir;
        const QString picture = dir.filePath(QStringLiteral("1_1.JPG"));
        WritePicture(picture, 300, 225, Qt::red);
        const QString icon = dir.filePath(QStringLiteral("1.JPG"));
        QFile old(icon);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an old icon");
        old.close();

        const Result<QImage> loaded = LoadFile(picture);
        QVERIFY(loaded);
        QCOMPARE(loaded.Value().width(), 300);
        const Outcome saved = ResizeAndSaveFile(loaded.Value(), icon, IconWidth);
        QVERIFY2(saved, qPrintable(saved.Reason()));
        QImageReader reader(icon);
        QCOMPARE(reader.size(), QSize(61, 46));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2); // nothing left beside it

        // An unreadable picture makes nothing and says why.
        QFile bad(dir.filePath(QStringLiteral("2_1.JPG")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a picture");
        bad.close();
        const Result<QImage> unreadable = LoadFile(bad.fileName());
        QVERIFY(!unreadable);
        QVERIFY(unreadable.Reason().contains(QStringLiteral("2_1.JPG")));
        const Outcome refused = ResizeAndSaveFile(QImage(), icon, IconWidth);
        QVERIFY(!refused);
        QVERIFY(!refused.Reason().isEmpty());
        QCOMPARE(QImageReader(icon).size(), QSize(61, 46));
    }

    // Opening and closing set the main window's states; the list shows three digits and
    // sorts "Code" by number; delete is refused below 244 and asked from 244.
    void exportAndImportFromTheList()
    {
        TestContext t;
        UseRows(*t, {7, 100000, 100001});
        auto* library = new frmLibrary(*t, nullptr);
        const QString zip = JoinPath(t.Folder(), QStringLiteral("mine"));
        t.Prompt.Clear();
        SelectRow(*library, 100001);
        t.Prompt.Answers = {PromptAnswer::Yes};
        t.Prompt.TextAnswers = {zip};
        Find<QPushButton>(library, QStringLiteral("cmdExport"))->click();
        QCOMPARE(t.Prompt.Records.size(), 3);
        QCOMPARE(t.Prompt.Records.at(0).text,
                 QStringLiteral("Export only the selected exercise?\r\n\r\nNo exports every "
                                "exercise of the clinic's own (numbers from 100000)."));
        QCOMPARE(t.Prompt.Records.at(1).kind, QStringLiteral("save"));
        QVERIFY2(t.Prompt.Records.at(2).text.startsWith(QLatin1String(
                     "1 exercises and 0 protocols, with 0 pictures, icons and movies, were "
                     "exported to")),
                 qPrintable(t.Prompt.Records.at(2).text));
        QVERIFY(QFileInfo::exists(zip + QStringLiteral(".zip")));

        DeleteExercise(t->Db.LibraryDb(), 100001);
        t.Prompt.Clear();
        t.Prompt.TextAnswers = {zip + QStringLiteral(".zip")};
        Find<QPushButton>(library, QStringLiteral("cmdImport"))->click();
        QCOMPARE(t.Prompt.Records.size(), 2);
        QVERIFY2(t.Prompt.Records.at(1).text.startsWith(QLatin1String("Imported: 1 exercises")),
                 qPrintable(t.Prompt.Records.at(1).text));
        QCOMPARE(library->Model()->rowCount(), 3);
        library->close();
    }

    void listAndDelete()
    {
        TestContext t;
        UseRows(*t, {244, 7, 243, 1000, 100000});
        AddRow(*t, 250, QVariant(QMetaType(QMetaType::QString)));
        auto* library = new frmLibrary(*t, nullptr);
        CheckModel(library->Model());
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>{0});
        QCOMPARE(t.MainWindow.MenuStates, QList<int>{0});
        // No editor program beside the test: said once.
        QCOMPARE(t.Prompt.MessageTexts(),
                 QStringList{QStringLiteral("Can't find VMR Image Editor")});
        QCOMPARE(t.Prompt.Records.at(0).title, QStringLiteral("Image Editor Not Found"));
        QVERIFY(t.Launcher.Launches.isEmpty());

        LibraryListModel* model = library->Model();
        QCOMPARE(model->rowCount(), 6);
        QCOMPARE(Find<QLabel>(library, QStringLiteral("lblCount"))->text(),
                 QStringLiteral("6 exercises"));
        QStringList codes;
        for (int r = 0; r < model->rowCount(); ++r)
            codes << model->index(r, 0).data().toString();
        QCOMPARE(codes, (QStringList{"007", "243", "244", "250", "1000", "100000"}));
        QCOMPARE(model->headerData(4, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Type"));

        // Type-to-find looks in the sorted column.
        auto* view = Find<QTreeView>(library, QStringLiteral("ListView1"));
        view->setFocus();
        QTest::keyClicks(view, QStringLiteral("100"));
        QCOMPARE(model->Row(view->currentIndex().row()).ExerciseID, 1000);

        t.Prompt.Clear();
        SelectRow(*library, 243);
        Find<QPushButton>(library, QStringLiteral("cmdDelete"))->click();
        QCOMPARE(t.Prompt.MessageTexts(),
                 QStringList{QStringLiteral("Can't delete original exercises")});
        QCOMPARE(t.Prompt.Records.at(0).title, QStringLiteral("Error: Deleting original exercise"));
        t.Prompt.Clear();
        SelectRow(*library, 244);
        Find<QPushButton>(library, QStringLiteral("cmdDelete"))->click(); // Cancel
        QCOMPARE(t.Prompt.Records.at(0).title, QStringLiteral("Delete: Desc 244"));
        QCOMPARE(RowCount(*t), 6);
        t.Prompt.Answers = {PromptAnswer::Ok};
        Find<QPushButton>(library, QStringLiteral("cmdDelete"))->click();
        QCOMPARE(RowCount(*t), 5);
        QCOMPARE(model->rowCount(), 5);
        t.Prompt.Clear();
        SelectRow(*library, 250);
        Find<QPushButton>(library, QStringLiteral("cmdDelete"))->click();
        QCOMPARE(t.Prompt.Records.at(0).title, QStringLiteral("Delete: "));

        // Sorting by another column keeps the selection on its exercise.
        view->sortByColumn(1, Qt::DescendingOrder);
        QCOMPARE(model->Row(view->currentIndex().row()).ExerciseID, 250);
        QCOMPARE(library->SelectedExercise(), std::optional<qint32>(250));

        // Closing forgets the patient; a modified program is offered first, Cancel keeps
        // the window open.
        t->Program.PatientID = 5;
        t->Program.Modified = true;
        t.Prompt.Clear();
        t.Prompt.Answers = {PromptAnswer::Cancel};
        QPointer<frmLibrary> guard(library);
        library->setAttribute(Qt::WA_DeleteOnClose);
        library->show();
        Find<QPushButton>(library, QStringLiteral("cmdExit"))->click();
        QCOMPARE(t.Prompt.Records.at(0).title, QStringLiteral("Exercise Program Modified"));
        QCOMPARE(t.Prompt.Records.at(0).buttons, PromptButtons::YesNoCancel);
        QVERIFY(library->isVisible());
        QVERIFY(t->Program.PatientID.has_value());

        int rebuilt = 0;
        delete library;
        library = new frmLibrary(*t, [&] { ++rebuilt; });
        CheckModel(library->Model());
        library->setAttribute(Qt::WA_DeleteOnClose);
        guard = library;
        library->show();
        t.MainWindow.ToolbarStates.clear();
        t.MainWindow.MenuStates.clear();
        t.Prompt.Answers = {PromptAnswer::No};
        Find<QPushButton>(library, QStringLiteral("cmdExit"))->click();
        QTRY_VERIFY(!guard);
        QCOMPARE(rebuilt, 1);
        QVERIFY(t->Db.IsOpen());
        QVERIFY(!t->Program.PatientID);
        QCOMPARE(t.MainWindow.ToolbarStates, QList<int>{1});
        QCOMPARE(t.MainWindow.MenuStates, QList<int>{2});
    }

    // A new exercise: the number, Cancel storing nothing, then OK storing the row with the
    // joints in list order and the icon made; a refused write keeps the dialog open.
    void newExercise()
    {
        TestContext t;
        UseRows(*t, {7, 243});
        Exec(t->Db.LibraryDb(),
             QStringLiteral(
                 "UPDATE ExerciseLibrary SET Joint = ' Knee , Hip' WHERE ExerciseID = 7"));
        Exec(t->Db.LibraryDb(),
             QStringLiteral("UPDATE ExerciseLibrary SET Joint = ' , ,' WHERE ExerciseID = 243"));
        const int before = RowCount(*t);

        auto* cancelled = new frmEditExercise(*t, std::nullopt);
        QCOMPARE(cancelled->windowTitle(), QStringLiteral("Exercise Number: 100000"));
        QCOMPARE(t.Prompt.MessageTexts(),
                 QStringList{QStringLiteral("Can't find VMR Image Editor")});
        Find<QPushButton>(cancelled, QStringLiteral("cmdOkCancel_1"))->click();
        QCOMPARE(RowCount(*t), before);

        t.Prompt.Clear();
        FakeEditor editor(t.Folder());
        QPointer<frmEditExercise> dialog = new frmEditExercise(*t, std::nullopt);
        QVERIFY(t.Prompt.Records.isEmpty());
        dialog->show();
        auto* joints = Find<QListWidget>(dialog, QStringLiteral("lstJoint"));
        QCOMPARE(joints->count(), 2); // "Knee", "Hip"; the commas alone add nothing
        QCOMPARE(Find<QLineEdit>(dialog, QStringLiteral("txtRepsDef"))->text(),
                 QStringLiteral("10"));
        QCOMPARE(Find<QLineEdit>(dialog, QStringLiteral("txtSetsDef"))->text(),
                 QStringLiteral("1"));
        QTest::keyClicks(Find<QLineEdit>(dialog, QStringLiteral("txtAbbrevDesc")),
                         QStringLiteral("Wall slide with ball"));
        QCOMPARE(Find<QLineEdit>(dialog, QStringLiteral("txtAbbrevDesc"))->text(),
                 QStringLiteral("Wall slide with"));
        joints->item(1)->setSelected(true);
        joints->item(0)->setSelected(true);
        t.Prompt.TextAnswers = {QStringLiteral("Shoulder")};
        Find<QPushButton>(dialog, QStringLiteral("cmdNewJoint"))->click();
        QCOMPARE(joints->item(2)->text(), QStringLiteral("Shoulder"));
        QTest::keyClicks(Find<QPlainTextEdit>(dialog, QStringLiteral("txtPicture_1")),
                         QString(80, QLatin1Char('x')));
        Find<QRadioButton>(dialog, QStringLiteral("optExIcon_1"))->setChecked(true);

        // The link: the source and the save name go out; the status sent on connecting
        // is not a save, the next one reloads the picture from the save name.
        QTRY_VERIFY(editor.Client);
        QTRY_COMPARE(Find<QLabel>(dialog, QStringLiteral("lblLinkStatus"))->text(),
                     QStringLiteral("0"));
        QTest::mouseDClick(Find<QLabel>(dialog, QStringLiteral("imgPicture_1")), Qt::LeftButton);
        const QString save = t.Folder() + QStringLiteral("/Clinic/Picture/100000_2.JPG");
        QTRY_COMPARE(editor.Poked(LinkItem::SaveFName), save);
        QCOMPARE(editor.Received.first().Item, LinkItem::OpenFName);
        WritePicture(save, 400, 300, Qt::blue);
        editor.Advise(LinkItem::StatFileName, QStringLiteral("/photos/wall.jpg"));
        editor.Advise(LinkItem::LinkStatus, QStringLiteral("1"));
        QTRY_COMPARE(dialog->PictureSrc()[1], QStringLiteral("/photos/wall.jpg"));
        QVERIFY(!Find<QLabel>(dialog, QStringLiteral("imgPicture_1"))->pixmap().isNull());

        // A refused write: reported, the dialog stays with what was typed, no icon.
        Exec(t->Db.LibraryDb(),
             QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON ExerciseLibrary "
                            "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"));
        t.Prompt.Clear();
        Find<QPushButton>(dialog, QStringLiteral("cmdOkCancel_0"))->click();
        QCOMPARE(t.Prompt.Records.size(), 1);
        QVERIFY(t.Prompt.Records.at(0).text.contains(QStringLiteral("disk is full")));
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(RowCount(*t), before);
        const QString icon = t.Folder() + QStringLiteral("/Clinic/ICON/100000.JPG");
        QVERIFY(!QFile::exists(icon));
        QCOMPARE(QDir(t.Folder() + QStringLiteral("/Clinic/ICON")).entryList(QDir::Files),
                 QStringList());

        Exec(t->Db.LibraryDb(), QStringLiteral("DROP TRIGGER refuse"));
        Find<QPushButton>(dialog, QStringLiteral("cmdOkCancel_0"))->click();
        QTRY_VERIFY(!dialog);
        QCOMPARE(Column(*t, 100000, "Joint").toString(), QStringLiteral("Knee,Hip"));
        QCOMPARE(Column(*t, 100000, "AbbrevDesc").toString(), QStringLiteral("Wall slide with"));
        QCOMPARE(Column(*t, 100000, "Instruct1").toString().size(), 75);
        QCOMPARE(Column(*t, 100000, "Picture1").toString(), QStringLiteral("100000_2.JPG"));
        QCOMPARE(Column(*t, 100000, "Picture1Src").toString(), QStringLiteral("/photos/wall.jpg"));
        QCOMPARE(Column(*t, 100000, "IconSrc").toInt(), 2);
        QCOMPARE(QImageReader(icon).size().width(), 61);
        QCOMPARE(IconPath(*t, 100000), icon);
    }

    // The menu command opens the list with the toolbar and menus off; Exit brings them
    // back and the selection window is built again on the re-opened library.
    void menuCommandAndExit()
    {
        TestContext t;
        mdiVMR main(*t);
        t->SetMainWindowServices(&main);
        QVERIFY(main.CreateSelectionWindow());
        QPointer<frmExerciseSelection> before = main.SelectionWindow();
        // The editor program is started for the application folder, through the launcher.
        frmLibrary::SetImageEditorProgram(QStringLiteral("/bin/true"));
        TriggerAction(&main, QStringLiteral("mnuLibrary"));
        frmLibrary::SetImageEditorProgram(QStringLiteral("/nonexistent/tramelle-imageeditor"));
        QCOMPARE(t.Launcher.Launches.size(), 1);
        QCOMPARE(t.Launcher.Launches.at(0).arguments, ImageEditorArguments(t.Folder()));
        QVERIFY(t.Prompt.Records.isEmpty());
        auto* library = main.findChild<frmLibrary*>();
        QVERIFY(library);
        QCOMPARE(main.ToolbarState, ToolbarState::HelpOnly);
        QCOMPARE(main.MenuState, MenuState::Restricted);
        TriggerAction(&main, QStringLiteral("mnuLibrary")); // raises the open one
        QCOMPARE(main.findChildren<frmLibrary*>().size(), 1);
        library->findChild<QPushButton*>(QStringLiteral("cmdExit"))->click();
        QTRY_VERIFY(!before);
        QVERIFY(main.SelectionWindow());
        QCOMPARE(main.ToolbarState, ToolbarState::NoPatient);
        QCOMPARE(main.MenuState, MenuState::All);
        t->SetMainWindowServices(nullptr);
    }

    // Editing keeps the number's three digits in the caption and clears HasVideo.
    void editExercise()
    {
        TestContext t;
        Exec(t->Db.LibraryDb(), QStringLiteral("DELETE FROM ExerciseLibrary"));
        AddRow(*t, 7, QStringLiteral("Seven"), QStringLiteral("Knee, Hip"), true);
        auto* dialog = new frmEditExercise(*t, 7);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Exercise Number: 007"));
        auto* joints = Find<QListWidget>(dialog, QStringLiteral("lstJoint"));
        QCOMPARE(joints->selectedItems().size(), 2);
        QCOMPARE(Find<QComboBox>(dialog, QStringLiteral("cboPattern"))->currentText(),
                 QStringLiteral("Flexion"));
        Find<QPushButton>(dialog, QStringLiteral("cmdOkCancel_0"))->click();
        QCOMPARE(Column(*t, 7, "Joint").toString(), QStringLiteral("Knee,Hip"));
        QCOMPARE(Column(*t, 7, "HasVideo").toInt(), 0);
        QCOMPARE(Column(*t, 7, "Picture0").toString(), QStringLiteral("7_1.JPG"));
    }
};

TRAMELLE_TEST_MAIN(TestLibrary)
#include "tst_library.moc"
