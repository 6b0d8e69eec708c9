#include "Documents.h"
#include "PdfSupport.h"
#include "PrintJobs.h"
#include "RecordingSurface.h"
#include "TestMain.h"

#include <QFileInfo>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

struct PdfContext
{
    TestContext t{false};
    PdfMainWindow window;

    explicit PdfContext(int exercises)
    {
        window.Pdf = QDir(t.Folder()).filePath(QStringLiteral("out.pdf"));
        t->SetMainWindowServices(&window);
        t->SetWindowServices(&window);
        t->Settings.PictureFolder = t.Folder() + QLatin1Char('/');
        t->Settings.PrintPatientCover = false;
        t->CoverText = QStringLiteral("Bring this program to every visit.\r\n");
        FillProgram(*t, exercises);
        WriteProgramPictures(t.Folder(), exercises);
    }
};

void VerifyLetter(const PdfPage& page, bool portrait)
{
    const QSizeF letter = portrait ? QSizeF(612, 792) : QSizeF(792, 612);
    QVERIFY2(qAbs(page.size.width() - letter.width()) < 0.5 &&
                 qAbs(page.size.height() - letter.height()) < 0.5,
             qPrintable(QStringLiteral("%1 x %2").arg(page.size.width()).arg(page.size.height())));
}

} // namespace

class TestPrintPdf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No printer queue at all, whatever the machine has.
        qputenv("CUPS_SERVER", "/nonexistent/tramelle-cups.sock");
    }

    void sheetsFourPerPageAsPdf()
    {
        PdfContext c(5);
        c.t->Geometry.PageScale = 0.75; // a preview's zoom survives the job
        QVERIFY(PrintExerciseSheetsCommand(*c.t, PrintJobKind::Exercises4, false));
        QCOMPARE(c.t->Geometry.PageScale, 0.75);
        QCOMPARE(c.window.Dialogs, 1);
        QCOMPARE(c.window.StatusTexts,
                 (QStringList{"Printing 4 Exercises Per Page", "Status: Ready"}));
        QVERIFY(c.t.Prompt.Records.isEmpty());

        const QList<PdfPage> pages = ReadPdf(c.window.Pdf);
        QCOMPARE(pages.size(), 2);
        for (const PdfPage& page : pages) {
            VerifyLetter(page, true);
            QVERIFY(page.Has(QStringLiteral("Riverside")));
            // Header labels at half an inch and 4.25 inch, from 0.875 inch down.
            const PdfWord patient = page.Find(QStringLiteral("Patient:"));
            QVERIFY(qAbs(patient.box.left() - 36) < 1.5);
            QVERIFY(qAbs(patient.box.top() - 63) < 3);
            QVERIFY(qAbs(page.Find(QStringLiteral("Provider:")).box.left() - 306) < 1.5);
            QVERIFY(page.Has(QStringLiteral("12/8/26")));
            QVERIFY(page.Find(QStringLiteral("Prepared")).box.top() > 700);
        }
        QVERIFY(pages[0].Has(QStringLiteral("(C4)")));
        QVERIFY(!pages[0].Has(QStringLiteral("(C5)")));
        QVERIFY(pages[1].Has(QStringLiteral("(C5)")));
        // The number label ends at the margin, its text starts there.
        QVERIFY(pages[1].Find(QStringLiteral("5.")).box.right() <= 36.5);
        QVERIFY(qAbs(pages[1].Find(QStringLiteral("(C5)")).box.left() - 36) < 1.5);
        // Instructions stand under the pictures of their column.
        QVERIFY(qAbs(pages[0].Find(QStringLiteral("Move")).box.left() - 216) < 1.5);
        QVERIFY(qAbs(pages[0].Find(QStringLiteral("Return")).box.left() - 396) < 1.5);
    }

    void coverAndLandscapeSheetsInOneJob()
    {
        PdfContext c(3);
        c.t->Settings.PrintPatientCover = true;
        QVERIFY(PrintExerciseSheetsCommand(*c.t, PrintJobKind::Exercises2, false));
        QCOMPARE(c.window.Dialogs, 1);
        QCOMPARE(c.window.StatusTexts.first(), QStringLiteral("Printing 2 Exercises Per Page"));

        const QList<PdfPage> pages = ReadPdf(c.window.Pdf);
        QCOMPARE(pages.size(), 3);
        VerifyLetter(pages[0], true);
        VerifyLetter(pages[1], false);
        VerifyLetter(pages[2], false);
        QVERIFY(pages[0].Has(QStringLiteral("Bring")));
        QVERIFY(qAbs(pages[0].Find(QStringLiteral("Bring")).box.left() - 90) < 1.5);
        QVERIFY(qAbs(pages[0].Find(QStringLiteral("Patient:")).box.left() - 90) < 1.5);
        QVERIFY(!pages[0].Has(QStringLiteral("(C1)")));
        QVERIFY(qAbs(pages[1].Find(QStringLiteral("Patient:")).box.left() - 36) < 1.5);
        QVERIFY(pages[1].Has(QStringLiteral("(C2)")));
        QVERIFY(pages[2].Has(QStringLiteral("(C3)")));
        // Landscape columns at 0.5, 3.75 and 7 inch.
        QVERIFY(qAbs(pages[1].Find(QStringLiteral("Move")).box.left() - 270) < 1.5);
        QVERIFY(qAbs(pages[1].Find(QStringLiteral("Return")).box.left() - 504) < 1.5);
        QVERIFY(pages[2].Find(QStringLiteral("Prepared")).box.top() > 520);
    }

    void coverPageAloneIsSent()
    {
        PdfContext c(2);
        QVERIFY(PrintDocument(*c.t, PrintJobKind::CoverPage));
        const QList<PdfPage> pages = ReadPdf(c.window.Pdf);
        QCOMPARE(pages.size(), 1);
        VerifyLetter(pages[0], true);
        QVERIFY(pages[0].Has(QStringLiteral("Bring")));
    }

    void cancelledDialogPrintsNothing()
    {
        PdfContext c(3);
        c.t->Settings.PrintPatientCover = true;
        c.window.Answer = false;
        QVERIFY(!PrintExerciseSheetsCommand(*c.t, PrintJobKind::Exercises4, false));
        QCOMPARE(c.window.Dialogs, 1);
        QVERIFY(!QFileInfo::exists(c.window.Pdf));
        QVERIFY(c.t.Prompt.Records.isEmpty());
        QCOMPARE(c.window.StatusTexts.last(), QStringLiteral("Status: Ready"));
    }

    void failedJobIsReported()
    {
        PdfContext c(2);
        c.window.Pdf = QDir(c.t.Folder()).filePath(QStringLiteral("no such folder/out.pdf"));
        c.t->Geometry.PageScale = 1.5;
        QVERIFY(!PrintDocument(*c.t, PrintJobKind::Exercises4));
        QCOMPARE(c.t.Prompt.Records.size(), 1);
        const PromptRecord r = c.t.Prompt.Records.first();
        QCOMPARE(r.icon, PromptIcon::Critical);
        QVERIFY2(r.text.startsWith(QStringLiteral("The exercise sheets could not be printed.")),
                 qPrintable(r.text));
        QVERIFY(r.text.contains(QStringLiteral("no such folder")));
        QCOMPARE(c.t->Geometry.PageScale, 1.5);
    }

    void toolbarPrintWithoutAnyPrinterSaysSo()
    {
        PdfContext c(2);
        QVERIFY(!PrintExerciseSheetsCommand(*c.t, PrintJobKind::Exercises4, true));
        QCOMPARE(c.window.Dialogs, 0);
        QCOMPARE(c.t.Prompt.Records.size(), 1);
        QCOMPARE(c.t.Prompt.Records.first().icon, PromptIcon::Warning);
        QVERIFY(c.t.Prompt.Records.first().text.startsWith(
            QStringLiteral("There is no printer to print on.")));
        // The skip is one-shot: the next command asks again.
        QVERIFY(PrintExerciseSheetsCommand(*c.t, PrintJobKind::Exercises4, false));
        QCOMPARE(c.window.Dialogs, 1);
    }

    void longestInstructionsAsPdf_data()
    {
        QTest::addColumn<bool>("delivered");
        QTest::newRow("delivered library") << true;
        QTest::newRow("75 characters of long words") << false;
    }

    void longestInstructionsAsPdf()
    {
        QFETCH(bool, delivered);
        PdfContext c(20);
        QList<QStringList> texts;
        if (delivered)
            texts = LongestDeliveredInstructions(20);
        else
            for (int i = 0; i < 5; ++i)
                texts.append({LongWordsInstruction(i), LongWordsInstruction(i + 1),
                              LongWordsInstruction(i + 2)});
        SetInstructions(*c.t, texts);
        QVERIFY(PrintDocument(*c.t, PrintJobKind::Exercises4));
        const QList<PdfPage> pages = ReadPdf(c.window.Pdf);
        QCOMPARE(pages.size(), 5);
        for (int n = 0; n < pages.size(); ++n) {
            const PdfPage& page = pages[n];
            QList<double> headings;
            for (const PdfWord& w : page.words)
                if (w.text.startsWith(QStringLiteral("(C")))
                    headings << w.box.top();
            auto inHeading = [&](const PdfWord& w) {
                for (double top : headings)
                    if (qAbs(w.box.top() - top) < 1)
                        return true;
                return false;
            };
            QVERIFY(page.Has(QStringLiteral("(C%1)").arg(4 * n + 1)));
            QVERIFY(page.Has(QStringLiteral("(C%1)").arg(4 * n + 4)));
            for (int i = 0; i < page.words.size(); ++i) {
                const PdfWord& a = page.words[i];
                for (int j = i + 1; j < page.words.size(); ++j) {
                    const QRectF overlap = a.box.intersected(page.words[j].box);
                    QVERIFY2(overlap.width() < 0.5 || overlap.height() < 0.5,
                             qPrintable(QStringLiteral("page %1: %2 / %3")
                                            .arg(n + 1)
                                            .arg(a.text, page.words[j].text)));
                }
                // Under the pictures no word passes the right edge of its 2-inch column.
                if (a.box.top() > 120 && a.box.bottom() < 700 && !inHeading(a)) {
                    const double left = a.box.left() < 216 - 1   ? 36
                                        : a.box.left() < 396 - 1 ? 216
                                                                 : 396;
                    QVERIFY2(a.box.right() <= left + 144 + 1, qPrintable(a.text));
                }
            }
        }
    }

    void pdfFileNamesAndReplacing()
    {
        PdfContext c(2);
        c.t->Program.PatientID = 7;
        c.t->Program.PatientName = QStringLiteral("O/Neil: Ann");
        QVERIFY(PrintDocument(*c.t, PrintJobKind::Exercises4));
        QCOMPARE(QFileInfo(c.window.ProposedFiles.last()).fileName(),
                 QStringLiteral("O-Neil- Ann - Exercise Sheets - 2026-12-08.pdf"));
        // The next proposal is in the folder last printed to.
        c.t->Program.PatientName = QStringLiteral("Doe, Jane");
        QVERIFY(PrintDocument(*c.t, PrintJobKind::PatientRecord));
        QCOMPARE(c.window.ProposedFiles.last(),
                 QDir(c.t.Folder())
                     .filePath(QStringLiteral("Doe, Jane - Patient Record - 2026-12-08.pdf")));
        c.t->Program.PatientID.reset();
        QCOMPARE(QFileInfo(ProposedPdfFile(*c.t, QStringLiteral("Video Order"))).fileName(),
                 QStringLiteral("Video Order - 2026-12-08.pdf"));
        QCOMPARE(SafeFileName(QStringLiteral("..a\\b*c?d\"e<f>g|h\ti.")),
                 QStringLiteral("a-b-c-d-e-f-g-h-i"));

        // A job that fails leaves the file it was to replace as it was, and no part file.
        QFile old(c.window.Pdf);
        QVERIFY(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
        old.write("the earlier file");
        old.close();
        QVERIFY(!PrintDocument(*c.t, static_cast<PrintJobKind>(9)));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the earlier file"));
        old.close();
        QCOMPARE(QDir(c.t.Folder())
                     .entryList(QStringList{QStringLiteral("*.part*")}, QDir::Files | QDir::Hidden),
                 QStringList());
        // One that succeeds replaces it whole.
        QVERIFY(PrintDocument(*c.t, PrintJobKind::Exercises4));
        QCOMPARE(ReadPdf(c.window.Pdf).size(), 1);
        QCOMPARE(QDir(c.t.Folder())
                     .entryList(QStringList{QStringLiteral("*.part*")}, QDir::Files | QDir::Hidden),
                 QStringList());
    }
};

TRAMELLE_TEST_MAIN(TestPrintPdf)
#include "tst_print_pdf.moc"
