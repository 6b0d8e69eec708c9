// The media folders: choosing them, finding the product media, and copying it.
#include "MediaFiles.h"
#include "Paths.h"
#include "TestMain.h"
#include "TestSupport.h"
#include "WidgetSupport.h"
#include "frmCheckMedia.h"
#include "frmMedia.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

using namespace tramelle;
using namespace tramelle::test;

namespace {

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// A "CD" with the probe picture (its name in another case), a second picture and a movie,
// and an application folder with an earlier copy.
struct MediaFixture
{
    TestContext t{false};
    QTemporaryDir Outside;
    QString Cd = Outside.path() + QStringLiteral("/cd/");
    QString App = t->AppFolder();
    QString OldPictures = Outside.path() + QStringLiteral("/elsewhere/Picture/");
    QString OldMovies = Outside.path() + QStringLiteral("/elsewhere/Movie/");

    MediaFixture()
    {
        WriteTestFile(Cd + QStringLiteral("PICTURE/385_1.jpg"), "probe");
        WriteTestFile(Cd + QStringLiteral("PICTURE/1_1.JPG"), "new picture");
        WriteTestFile(Cd + QStringLiteral("MOVIE/1.AVI"), QByteArray(300 * 1024, 'm'));
        t->Settings.CDDrive = Cd;
        t->Settings.PictureFolder = OldPictures;
        t->Settings.MovieFolder = OldMovies;
    }
};

} // namespace

class TestMedia : public QObject
{
    Q_OBJECT

private slots:
    void folderFromTheChosenFile()
    {
        QCOMPARE(MediaFolderFromSample(QStringLiteral("/srv/media/Picture/1_1.JPG")),
                 QStringLiteral("/srv/media/Picture/"));
        // Whatever the chosen file is called, its own name is cut off.
        QCOMPARE(MediaFolderFromSample(QStringLiteral("/srv/clinic pictures/knee-12.jpeg")),
                 QStringLiteral("/srv/clinic pictures/"));
        QCOMPARE(MediaFolderFromSample(QStringLiteral("C:\\VMR\\Movie\\1.AVI"))
                     .endsWith(QStringLiteral("VMR/Movie/")),
                 true);
        QCOMPARE(MediaFolderFromSample(QString()), QString());
    }

    void mediaLocationsChooseFoldersAndOkKeepsThem()
    {
        TestContext t(false);
        t->Settings.IconFolder = QStringLiteral("/old/ICON/");
        t->Settings.PictureFolder = QStringLiteral("/old/Picture/");
        t->Settings.MovieFolder = QStringLiteral("/old/Movie/");
        {
            frmMedia dlg(*t);
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Media Locations"));
            QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("lblMedia_1"))->text(),
                     QDir::toNativeSeparators(QStringLiteral("/old/Picture/")));
            // Pictures: a file of another name in another folder; Movies: cancelled.
            t.Prompt.TextAnswers.push_back(QStringLiteral("/new/pictures/99_2.JPG"));
            t.Prompt.TextAnswers.push_back(QString());
            ClickButton(&dlg, QStringLiteral("cmdMedia_1"));
            ClickButton(&dlg, QStringLiteral("cmdMedia_2"));
            QCOMPARE(t.Prompt.Records.size(), 2);
            // The dialog starts in the product media's folder of the kind, offering the sample.
            QVERIFY2(t.Prompt.Records[0].text.endsWith(QStringLiteral("/Picture/1_1.JPG")),
                     qPrintable(t.Prompt.Records[0].text));
            QVERIFY(t.Prompt.Records[1].text.endsWith(QStringLiteral("/Movie/1.AVI")));
            QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("lblMedia_1"))->text(),
                     QDir::toNativeSeparators(QStringLiteral("/new/pictures/")));
            QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("lblMedia_2"))->text(),
                     QDir::toNativeSeparators(QStringLiteral("/old/Movie/")));
            // Nothing changes before OK.
            QCOMPARE(t->Settings.PictureFolder, QStringLiteral("/old/Picture/"));
            ClickButton(&dlg, QStringLiteral("cmdOKCancel_0"));
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        }
        QCOMPARE(t->Settings.PictureFolder, QStringLiteral("/new/pictures/"));
        QCOMPARE(t->Settings.MovieFolder, QStringLiteral("/old/Movie/"));
        QCOMPARE(t->Settings.IconFolder, QStringLiteral("/old/ICON/"));

        frmMedia again(*t);
        t.Prompt.TextAnswers.push_back(QStringLiteral("/other/1.JPG"));
        ClickButton(&again, QStringLiteral("cmdMedia_0"));
        ClickButton(&again, QStringLiteral("cmdOKCancel_1"));
        QCOMPARE(t->Settings.IconFolder, QStringLiteral("/old/ICON/"));
    }

    void probeFoundPointsAtTheCdAndNotFoundSaysSo()
    {
        MediaFixture f;
        {
            frmCheckMedia dlg(*f.t);
            QCOMPARE(dlg.windowTitle(), QStringLiteral("Exericse Pictures Not Found"));
            // The drive setting is selected among the choices.
            QCOMPARE(dlg.ChosenDrive(), f.Cd);
            QVERIFY(frmCheckMedia::DriveChoices(*f.t).contains(ProductMediaFolder()));
            ClickButton(&dlg, QStringLiteral("cmdPictureLocation_0"));
            QVERIFY(f.t.Prompt.Records.isEmpty());
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        }
        QCOMPARE(f.t->Settings.PictureFolder, f.Cd + QStringLiteral("PICTURE/"));
        QCOMPARE(f.t->Settings.MovieFolder, f.Cd + QStringLiteral("MOVIE/"));

        QVERIFY(QFile::remove(f.Cd + QStringLiteral("PICTURE/385_1.jpg")));
        f.t->Settings.PictureFolder = f.OldPictures;
        frmCheckMedia dlg(*f.t);
        dlg.show();
        ClickButton(&dlg, QStringLiteral("cmdPictureLocation_0"));
        ClickButton(&dlg, QStringLiteral("cmdPictureLocation_1"));
        QCOMPARE(f.t.Prompt.Records.size(), 2);
        const PromptRecord& r = f.t.Prompt.Records.first();
        QCOMPARE(r.title, QStringLiteral("Exercise Pictures Not Found"));
        QCOMPARE(r.text,
                 QStringLiteral(
                     "Check the CD-ROM drive setting\r\nand that the CD is in the computer."));
        QCOMPARE(r.icon, PromptIcon::Information);
        // The window stays open for another try, and nothing changed.
        QVERIFY(dlg.isVisible());
        QCOMPARE(f.t->Settings.PictureFolder, f.OldPictures);
        QVERIFY(!QFileInfo::exists(f.App + QStringLiteral("/Picture")));
    }

    void copyReplacesAnEarlierCopyKeepsClinicFilesAndDropsBmpTwins()
    {
        MediaFixture f;
        WriteTestFile(f.App + QStringLiteral("/Picture/1_1.JPG"), "old picture");
        WriteTestFile(f.App + QStringLiteral("/Picture/1_1.BMP"), "old bitmap");
        WriteTestFile(f.App + QStringLiteral("/Picture/900_1.JPG"), "the clinic's own");
        {
            frmCheckMedia dlg(*f.t);
            ClickButton(&dlg, QStringLiteral("cmdPictureLocation_1"));
            QCOMPARE(dlg.result(), int(QDialog::Accepted));
        }
        QVERIFY2(f.t.Prompt.Records.isEmpty(), qPrintable(f.t.Prompt.MessageTexts().join('\n')));
        QCOMPARE(f.t->Settings.PictureFolder, f.App + QStringLiteral("/Picture/"));
        QCOMPARE(f.t->Settings.MovieFolder, f.App + QStringLiteral("/Movie/"));
        QCOMPARE(Entries(f.App + QStringLiteral("/Picture")),
                 (QStringList{"1_1.JPG", "385_1.jpg", "900_1.JPG"}));
        QCOMPARE(TestFileBytes(f.App + QStringLiteral("/Picture/1_1.JPG")),
                 QByteArray("new picture"));
        QCOMPARE(TestFileBytes(f.App + QStringLiteral("/Picture/900_1.JPG")),
                 QByteArray("the clinic's own"));
        QCOMPARE(TestFileBytes(f.App + QStringLiteral("/Movie/1.AVI")).size(), 300 * 1024);
        // No staging or old folder is left beside the copies.
        for (const QString& name : Entries(f.App))
            QVERIFY2(!name.startsWith(QLatin1Char('.')) || name.endsWith(QStringLiteral(".lock")),
                     qPrintable(name));
        QCOMPARE(f.t.MainWindow.ProgressCaptions,
                 (QStringList{"Copying Pictures From CD To Hard Drive",
                              "Copying Movies From CD To Hard Drive"}));
        QCOMPARE(f.t.MainWindow.Progress.first(), -2);
    }

    void aDiskThatFillsUpKeepsTheOldSettingsAndFolders()
    {
        MediaFixture f;
        WriteTestFile(f.App + QStringLiteral("/Picture/1_1.JPG"), "old picture");
        // Writes stop at 64 KB a file, as on a disk that has filled up: the movie fails.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limited = saved;
        limited.rlim_cur = 64 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
        {
            frmCheckMedia dlg(*f.t);
            ClickButton(&dlg, QStringLiteral("cmdPictureLocation_1"));
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        QCOMPARE(f.t.Prompt.Records.size(), 1);
        const QString text = f.t.Prompt.Records.first().text;
        QVERIFY2(text.contains(QDir::toNativeSeparators(QStringLiteral("MOVIE/1.AVI"))),
                 qPrintable(text));
        QCOMPARE(f.t->Settings.PictureFolder, f.OldPictures);
        QCOMPARE(f.t->Settings.MovieFolder, f.OldMovies);
        QCOMPARE(Entries(f.App), (QStringList{"Picture"}));
        QCOMPARE(TestFileBytes(f.App + QStringLiteral("/Picture/1_1.JPG")),
                 QByteArray("old picture"));
    }

    void notEnoughFreeSpaceIsRefusedBeforeCopying()
    {
        MediaFixture f;
        // A sparse movie larger than the free space: it costs nothing to make.
        QFile big(f.Cd + QStringLiteral("MOVIE/2.AVI"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        const qint64 free = MediaCopy::BytesAvailable(f.App);
        if (!big.resize(free + (qint64(1) << 30)))
            QSKIP("this file system cannot hold a sparse file of that size");
        big.close();
        frmCheckMedia dlg(*f.t);
        ClickButton(&dlg, QStringLiteral("cmdPictureLocation_1"));
        QCOMPARE(f.t.Prompt.Records.size(), 1);
        QVERIFY(f.t.Prompt.Records.first().text.contains(QStringLiteral("MB of free space")));
        QVERIFY(f.t.MainWindow.ProgressCaptions.isEmpty());
        QCOMPARE(f.t->Settings.PictureFolder, f.OldPictures);
        QVERIFY(!QFileInfo::exists(f.App + QStringLiteral("/Picture")));
    }

    void cancelStopsTheCopyAndKeepsTheOldSettings()
    {
        MediaFixture f;
        f.t.MainWindow.CancelAfterUpdates = 1;
        frmCheckMedia dlg(*f.t);
        dlg.show();
        ClickButton(&dlg, QStringLiteral("cmdPictureLocation_1"));
        QVERIFY(f.t.Prompt.Records.isEmpty());
        QVERIFY(dlg.isVisible());
        QCOMPARE(f.t.MainWindow.ProgressCaptions.size(), 1);
        QCOMPARE(f.t->Settings.PictureFolder, f.OldPictures);
        QCOMPARE(Entries(f.App), QStringList());
        // The buttons work again.
        QVERIFY(dlg.findChild<QPushButton*>(QStringLiteral("cmdPictureLocation_2"))->isEnabled());
    }

    void anInterruptedSwapIsPutBack()
    {
        QTemporaryDir dir;
        WriteTestFile(dir.filePath(QStringLiteral(".Picture.old/1_1.JPG")), "whole");
        WriteTestFile(dir.filePath(QStringLiteral(".Picture.staging/1_1.JPG")), "half");
        WriteTestFile(dir.filePath(QStringLiteral("Movie/1.AVI")), "movie");
        WriteTestFile(dir.filePath(QStringLiteral(".Movie.old/1.AVI")), "older movie");
        MediaCopy::RecoverInterrupted(dir.path(), {MediaKind::Picture, MediaKind::Movie});
        QCOMPARE(Entries(dir.path()), (QStringList{"Movie", "Picture"}));
        QCOMPARE(TestFileBytes(dir.filePath(QStringLiteral("Picture/1_1.JPG"))),
                 QByteArray("whole"));
        QCOMPARE(TestFileBytes(dir.filePath(QStringLiteral("Movie/1.AVI"))), QByteArray("movie"));
    }
};

TRAMELLE_TEST_MAIN(TestMedia)
#include "tst_media.moc"
