// The patient record and the video order form printed end to end into PDF files.
#include "PdfSupport.h"
#include "PrintJobs.h"
#include "RecordingSurface.h"
#include "TestMain.h"

#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

bool Near(double a, double b, double tolerance = 1.5)
{
    return qAbs(a - b) <= tolerance;
}

} // namespace

class TestPrintFormsPdf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("CUPS_SERVER", "/nonexistent/tramelle-cups.sock"); }

    void bothFormsAsPdf()
    {
        TestContext t(false);
        PdfMainWindow window;
        window.Pdf = QDir(t.Folder()).filePath(QStringLiteral("form.pdf"));
        t->SetMainWindowServices(&window);
        t->SetWindowServices(&window);
        FillProgram(*t, 4);
        ProgramState& p = t->Program;
        p.Entries[0].HasVideo = true;
        p.Entries[0].code = QStringLiteral("310");
        p.Entries[2].HasVideo = true;
        p.Entries[2].code = QStringLiteral("15");
        p.ShipMethod = QStringLiteral("UPS Next Day");
        p.OrderItems[0] = {QStringLiteral("VT"), QStringLiteral("Tape"), 1,
                           Currency::FromUnits(50)};
        p.OrderItemCount = 1;

        QVERIFY(PrintDocument(*t, PrintJobKind::PatientRecord));
        QList<PdfPage> pages = ReadPdf(window.Pdf);
        QCOMPARE(pages.size(), 1);
        PdfPage page = pages.first();
        QVERIFY(Near(page.size.width(), 612) && Near(page.size.height(), 792));
        // Labels at 1 inch (72 pt) and 4.25 inch, heads at their columns, all in order.
        QVERIFY(Near(page.Find(QStringLiteral("Patient:")).box.left(), 72));
        QVERIFY(Near(page.Find(QStringLiteral("Provider:")).box.left(), 306));
        QVERIFY(Near(page.Find(QStringLiteral("Code")).box.left(), 108));
        QVERIFY(Near(page.Find(QStringLiteral("Reps")).box.left(), 432));
        QVERIFY(Near(page.Find(QStringLiteral("Notes")).box.left(), 144));
        QVERIFY(page.Find(QStringLiteral("PROGRAM")).box.bottom() <
                page.Find(QStringLiteral("310")).box.top());
        QVERIFY(page.Find(QStringLiteral("C4")).box.bottom() <
                page.Find(QStringLiteral("LOG")).box.top());
        QVERIFY(page.Find(QStringLiteral("LOG")).box.bottom() <
                page.Find(QStringLiteral("Signature:")).box.top());
        QVERIFY(page.Find(QStringLiteral("Prepared")).box.bottom() < 792 - 36);

        QVERIFY(PrintDocument(*t, PrintJobKind::VideoOrder));
        pages = ReadPdf(window.Pdf);
        QCOMPARE(pages.size(), 1);
        page = pages.first();
        QVERIFY(Near(page.Find(QStringLiteral("DATE:")).box.left(), 450));
        QVERIFY(page.Has(QStringLiteral("12/8/26")));
        QVERIFY(Near(page.Find(QStringLiteral("310")).box.left(), 72));
        QVERIFY(page.Has(QStringLiteral("15")) && !page.Has(QStringLiteral("C2")) &&
                !page.Has(QStringLiteral("C4")));
        QVERIFY(page.Has(QStringLiteral("325")));                  // the checksum
        const PdfWord total = page.Find(QStringLiteral("$64.00")); // Next Day on 50, no tax
        QVERIFY(Near(total.box.left(), 496, 6));
        QVERIFY(total.box.bottom() < page.Find(QStringLiteral("FAX")).box.top());
        QVERIFY(page.Find(QStringLiteral("Prepared")).box.bottom() < 792 - 36);
        QCOMPARE(window.Dialogs, 2);
        QVERIFY(t.Prompt.Records.isEmpty());
    }
};

TRAMELLE_TEST_MAIN(TestPrintFormsPdf)
#include "tst_print_forms_pdf.moc"
