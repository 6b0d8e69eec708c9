#include "Documents.h"
#include "PdfSupport.h"
#include "PrintJobs.h"
#include "RecordingSurface.h"
#include "TestMain.h"

#include <QFileInfo>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

Q_DECLARE_METATYPE(tramelle::PrintJobKind)

namespace {

struct ExportContext
{
    TestContext t{false};

    explicit ExportContext(int exercises)
    {
        t->Settings.PictureFolder = t.Folder() + QLatin1Char('/');
        t->Settings.PrintPatientCover = false;
        t->CoverText = QStringLiteral("Bring this program to every visit.\r\n");
        FillProgram(*t, exercises);
        t->Program.PatientID = 7;
        WriteProgramPictures(t.Folder(), exercises);
    }
    QString File(const QString& name) const { return QDir(t.Folder()).filePath(name); }
};

} // namespace

class TestPrintExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("CUPS_SERVER", "/nonexistent/tramelle-cups.sock"); }

    void everyDocumentExports_data()
    {
        QTest::addColumn<PrintJobKind>("kind");
        QTest::addColumn<bool>("cover");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("lastPageText");
        QTest::newRow("sheets 4") << PrintJobKind::Exercises4 << false << 2 << "(C5)";
        QTest::newRow("sheets 2") << PrintJobKind::Exercises2 << false << 3 << "(C5)";
        QTest::newRow("cover and sheets") << PrintJobKind::Exercises4 << true << 3 << "(C5)";
        QTest::newRow("cover page") << PrintJobKind::CoverPage << false << 1 << "Bring";
        QTest::newRow("patient record") << PrintJobKind::PatientRecord << false << 1 << "LOG";
        QTest::newRow("video order") << PrintJobKind::VideoOrder << false << 1 << "Riverside";
        QTest::newRow("large print") << PrintJobKind::LargePrint << false << 5 << "(C5)";
    }

    void everyDocumentExports()
    {
        QFETCH(PrintJobKind, kind);
        QFETCH(bool, cover);
        QFETCH(int, pages);
        QFETCH(QString, lastPageText);
        ExportContext c(5);
        c.t->Settings.PrintPatientCover = cover;
        const QString file = c.File(QStringLiteral("out.pdf"));
        const Outcome written = ExportPdf(*c.t, kind, file);
        QVERIFY2(written.Ok(), qPrintable(written.Reason()));
        const QList<PdfPage> read = ReadPdf(file);
        QCOMPARE(read.size(), pages);
        QVERIFY(read.last().Has(lastPageText));
        QCOMPARE(read.first().Has(QStringLiteral("Bring")),
                 cover || kind == PrintJobKind::CoverPage);
        QCOMPARE(c.t->LastPdfFolder, c.t.Folder());
        // Nothing is left beside the file.
        QCOMPARE(
            QDir(c.t.Folder()).entryList({QStringLiteral("*.pdf*")}, QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("out.pdf")});
    }

    void largePrintPdfHasLargeTypeInsideTheMargins()
    {
        ExportContext c(2);
        const QString file = c.File(QStringLiteral("large.pdf"));
        QVERIFY(ExportPdf(*c.t, PrintJobKind::LargePrint, file).Ok());
        const QList<PdfPage> pages = ReadPdf(file);
        QCOMPARE(pages.size(), 2);
        for (const PdfPage& page : pages) {
            QCOMPARE(page.size, QSizeF(612, 792));
            for (const PdfWord& w : page.words) {
                QVERIFY2(w.box.left() >= 54 - 0.5 && w.box.right() <= 558 + 0.5 &&
                             w.box.top() >= 54 - 0.5 && w.box.bottom() <= 738 + 0.5,
                         qPrintable(w.text));
            }
            // The title is in 12 points: the instructions stand at least 16/12 as tall.
            const double title = page.Find(QStringLiteral("Riverside")).box.height();
            QVERIFY(title > 0);
            QVERIFY(page.Find(QStringLiteral("Return")).box.height() >= title * 16 / 12 - 0.1);
            QVERIFY(page.Find(QStringLiteral("slowly")).box.height() >= title * 16 / 12 - 0.1);
        }
        QVERIFY(pages[1].Has(QStringLiteral("(C2)")));
        QVERIFY(!pages[0].Has(QStringLiteral("(C2)")));
    }

    void exportCommandAsksWhereAndSaysWhereItWent()
    {
        ExportContext c(4);
        const QString folder = c.File(QStringLiteral("exports"));
        QVERIFY(QDir().mkpath(folder));
        c.t->LastPdfFolder = folder;
        const QString file = QDir(folder).filePath(QStringLiteral("chosen.pdf"));
        c.t.Prompt.TextAnswers.push_back(file);
        QVERIFY(ExportPdfCommand(*c.t, PrintJobKind::Exercises4));

        QCOMPARE(c.t.Prompt.Records.size(), 1);
        const PromptRecord& dialog = c.t.Prompt.Records.first();
        QCOMPARE(dialog.kind, QStringLiteral("save"));
        QCOMPARE(dialog.title, QStringLiteral("Export PDF"));
        QCOMPARE(dialog.text, QDir(folder).filePath(
                                  QStringLiteral("Doe, Jane - Exercise Sheets - 2026-12-08.pdf")));
        QCOMPARE(c.t.MainWindow.StatusTexts,
                 (QStringList{QStringLiteral("Exporting Exercise Sheets"),
                              QStringLiteral("Exercise Sheets exported to ") + file}));
        QCOMPARE(ReadPdf(file).size(), 1);

        // A cancelled dialog writes nothing and says nothing.
        c.t.Prompt.Clear();
        c.t.MainWindow.StatusTexts.clear();
        QVERIFY(!ExportPdfCommand(*c.t, PrintJobKind::LargePrint));
        QCOMPARE(c.t.Prompt.Records.size(), 1);
        QVERIFY(c.t.MainWindow.StatusTexts.isEmpty());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("chosen.pdf")});
    }

    void aFailedExportIsToldAndKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<PrintJobKind>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder")
            << "missing/out.pdf" << PrintJobKind::LargePrint << "does not exist";
        QTest::newRow("a folder") << "taken" << PrintJobKind::LargePrint
                                  << "is a folder, not a file";
        // A document this build cannot compose stops the job after the file was begun.
        QTest::newRow("failed job")
            << "old.pdf" << static_cast<PrintJobKind>(99) << "cannot be printed by this version";
    }

    void aFailedExportIsToldAndKeepsTheOldFile()
    {
        QFETCH(QString, target);
        QFETCH(PrintJobKind, kind);
        QFETCH(QString, reason);
        ExportContext c(3);
        QVERIFY(QDir().mkpath(c.File(QStringLiteral("taken"))));
        WriteTestFile(c.File(QStringLiteral("old.pdf")), "the old file");
        c.t.Prompt.TextAnswers.push_back(c.File(target));
        QVERIFY(!ExportPdfCommand(*c.t, kind));

        QCOMPARE(c.t.Prompt.Records.size(), 2);
        const PromptRecord& message = c.t.Prompt.Records.last();
        QCOMPARE(message.title, QStringLiteral("Error in Export PDF"));
        QCOMPARE(message.icon, PromptIcon::Critical);
        QVERIFY2(
            message.text.startsWith(QStringLiteral("The %1 could not be exported to \"%2\".\r\n")
                                        .arg(DocumentName(kind).toLower(), c.File(target))),
            qPrintable(message.text));
        QVERIFY2(message.text.contains(reason), qPrintable(message.text));
        QCOMPARE(c.t.MainWindow.StatusTexts.last(), QStringLiteral("Status: Ready"));
        QCOMPARE(TestFileBytes(c.File(QStringLiteral("old.pdf"))), QByteArray("the old file"));
        QCOMPARE(
            QDir(c.t.Folder()).entryList({QStringLiteral("*.pdf*")}, QDir::Files | QDir::Hidden),
            QStringList{QStringLiteral("old.pdf")});
    }
};

TRAMELLE_TEST_MAIN(TestPrintExport)
#include "tst_print_export.moc"
