#include "ImageEditorLink.h"
#include "ImageEditorWindow.h"
#include "LinkServer.h"
#include "TestMain.h"
#include "TestPictures.h"
#include "TestSupport.h"
#include "WidgetSupport.h"

#include <QAction>
#include <QImageReader>
#include <QTemporaryDir>
#include <QTest>
#include <QUndoStack>

using namespace tramelle;
using namespace tramelle::imageeditor;
using namespace tramelle::test;

namespace {

// The editor in its own application folder, with a client standing in for the exercise editor.
struct Editor
{
    QTemporaryDir Dir;
    ScriptedPromptService Prompt;
    LinkServer Link;
    std::unique_ptr<ImageEditorWindow> Window;
    ImageEditorLink Client;
    QStringList Items; // what the client received, in order

    Editor()
    {
        QString error;
        if (Link.Start(Dir.path(), {}, &error) != LinkServer::StartResult::Listening)
            qFatal("link: %s", qPrintable(error));
        Window = std::make_unique<ImageEditorWindow>(Prompt, Link, Dir.path());
        Window->show();
        QObject::connect(&Client, &ImageEditorLink::ItemChanged,
                         [this](const QString& item, const QString& value) {
                             Items << item + QLatin1Char('=') + value;
                         });
    }
    QString PictureFolder() const { return Dir.path() + QStringLiteral("/Clinic/Picture"); }
    QString Photo(int orientation = 6)
    {
        const QString path = Dir.filePath(QStringLiteral("photo.jpg"));
        WriteFile(path, JpegWithOrientation(MarkedPicture(1600, 1200), orientation));
        return path;
    }
    void Trigger(const char* name) { TriggerAction(Window.get(), QString::fromLatin1(name)); }
};

} // namespace

class TestImageEditor : public QObject
{
    Q_OBJECT

private slots:
    // The exercise editor's road: source and save names sent, edits, save, status changed.
    void linkedEditAndSave()
    {
        Editor e;
        QVERIFY(e.Client.Connect(e.Dir.path()));
        QTRY_COMPARE(e.Items.size(), 2);
        const QString photo = e.Photo(6);
        const QString saveName = e.PictureFolder() + QStringLiteral("/100000_1.JPG");
        QVERIFY(e.Client.Send(LinkItem::OpenFName, photo));
        QVERIFY(e.Client.Send(LinkItem::SaveFName, saveName));
        QTRY_COMPARE(e.Window->SaveName(), saveName);
        QCOMPARE(e.Window->Document().Source().size(), QSize(1200, 1600)); // turned by its tag
        QTRY_COMPARE(e.Client.Value(LinkItem::StatFileName), photo);

        // Keys move and resize the frame; a run of them is one undo step.
        QWidget* canvas = e.Window->findChild<QWidget*>(QStringLiteral("picCanvas"));
        const QRectF start = e.Window->Document().State().Crop;
        QTest::keyClick(canvas, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(canvas, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(canvas, Qt::Key_Down);
        const QRectF moved = e.Window->Document().State().Crop;
        QVERIFY(moved.width() < start.width());
        QVERIFY(moved.top() > start.top() + (start.height() - moved.height()) / 2);
        QCOMPARE(e.Window->UndoStack()->count(), 1);
        e.Trigger("mnuRotateRight");
        QCOMPARE(e.Window->Document().TurnedSize(), QSizeF(1600, 1200));
        e.Trigger("mnuUndo");
        QCOMPARE(e.Window->Document().State().Crop, moved);
        e.Trigger("mnuRedo");
        QVERIFY(e.Window->isWindowModified());

        e.Trigger("mnuSave");
        QTRY_COMPARE(e.Client.Value(LinkItem::LinkStatus), QStringLiteral("1"));
        QVERIFY(e.Prompt.Records.isEmpty());
        QImageReader saved(saveName);
        QCOMPARE(saved.format(), QByteArray("jpeg"));
        QCOMPARE(saved.size(), QSize(400, 300));
        QVERIFY(!e.Window->isWindowModified());
        e.Trigger("mnuSave");
        QTRY_COMPARE(e.Client.Value(LinkItem::LinkStatus), QStringLiteral("2"));
        const QStringList expected{
            QStringLiteral("StatFileName="), QStringLiteral("VMRLinkStatus=0"),
            QStringLiteral("StatFileName=") + photo, QStringLiteral("VMRLinkStatus=1"),
            QStringLiteral("VMRLinkStatus=2")};
        QCOMPARE(e.Items, expected);
    }

    void refusedSaveKeepsTheOldFile()
    {
        Editor e;
        QVERIFY(e.Window->OpenPicture(e.Photo(1)));
        const QString outside = e.Dir.filePath(QStringLiteral("7_1.JPG"));
        WriteFile(outside, "old");
        QVERIFY(e.Client.Connect(e.Dir.path()));
        QVERIFY(e.Client.Send(LinkItem::SaveFName, outside));
        QTRY_COMPARE(e.Window->SaveName(), outside);
        QVERIFY(!e.Window->Save());
        QCOMPARE(e.Prompt.Records.size(), 1);
        QCOMPARE(e.Prompt.Records[0].title, QStringLiteral("Save Picture"));
        QVERIFY2(e.Prompt.Records[0].text.contains(QStringLiteral("only in the picture folder")),
                 qPrintable(e.Prompt.Records[0].text));
        QFile old(outside);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("old"));
        QCOMPARE(e.Client.Value(LinkItem::LinkStatus), QStringLiteral("0"));
    }

    void badPictureKeepsTheOpenOne()
    {
        Editor e;
        const QString photo = e.Photo(1);
        QVERIFY(e.Window->OpenPicture(photo));
        const QString bad = e.Dir.filePath(QStringLiteral("bad.jpg"));
        WriteFile(bad, "not a picture");
        e.Prompt.TextAnswers.push_back(bad);
        e.Trigger("mnuOpen");
        QCOMPARE(e.Prompt.Records.size(), 2);
        QCOMPARE(e.Prompt.Records[1].title, QStringLiteral("Open Picture"));
        QVERIFY(e.Prompt.Records[1].text.startsWith(
            QStringLiteral("The picture \"%1\" cannot be opened.").arg(bad)));
        QCOMPARE(e.Window->Document().FileName(), photo);
    }

    void closingWithChangesAsks()
    {
        Editor e;
        QVERIFY(e.Window->OpenPicture(e.Photo(1)));
        e.Trigger("mnuFlipHorizontal");
        e.Prompt.Answers.push_back(PromptAnswer::Cancel);
        QVERIFY(!e.Window->close());
        QCOMPARE(e.Prompt.Records.size(), 1);
        QCOMPARE(e.Prompt.Records[0].title, QStringLiteral("Save Changes"));
        QCOMPARE(e.Prompt.Records[0].buttons, PromptButtons::YesNoCancel);
        // Yes with no save name asks for one in the picture folder.
        e.Prompt.Answers.push_back(PromptAnswer::Yes);
        e.Prompt.TextAnswers.push_back(e.PictureFolder() + QStringLiteral("/5_2.JPG"));
        QVERIFY(e.Window->close());
        QVERIFY(QFileInfo::exists(e.PictureFolder() + QStringLiteral("/5_2.JPG")));
    }
};

TRAMELLE_TEST_MAIN(TestImageEditor)
#include "tst_imageeditor.moc"
