// The patient record and the video order form printed end to end into PDF files.
#include "PdfSupport.h"
#include "PrintJobs.h"
#include "RecordingSurface.h"

#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

struct FormContext
{
    TestContext t{false};
    PdfMainWindow window;

    FormContext()
    {
        window.Pdf = QDir(t.Folder()).filePath(QStringLiteral("form.pdf"));
        t->SetMainWindowServices(&window);
        FillProgram(*t, 4);
        t->VendorFax = QStringLiteral("(800) 555-0147");
        t->VendorPhone = QStringLiteral("(800) 555-0123");
    }

    PdfPage PrintOnePage(PrintJobKind kind)
    {
        if (!PrintDocument(*t, kind))
            return {};
        const QList<PdfPage> pages = ReadPdf(window.Pdf);
        if (pages.size() != 1)
            return {};
        return pages.first();
    }
};

bool Near(double a, double b, double tolerance = 1.5)
{
    return qAbs(a - b) <= tolerance;
}

} // namespace

class TestPrintFormsPdf : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        InitTestEnvironment();
        qputenv("CUPS_SERVER", "/nonexistent/tramelle-cups.sock");
    }

    void patientRecord()
    {
        FormContext c;
        const PdfPage page = c.PrintOnePage(PrintKindPatientRecord);
        QVERIFY(Near(page.size.width(), 612) && Near(page.size.height(), 792));
        QCOMPARE(c.window.Dialogs, 1);
        QVERIFY(c.t.Prompt.Records.isEmpty());

        // Labels at 1 inch (72 pt) and 4.25 inch, the grids' heads at their columns.
        QVERIFY(Near(page.Find(QStringLiteral("Patient:")).box.left(), 72));
        QVERIFY(Near(page.Find(QStringLiteral("Provider:")).box.left(), 306));
        QVERIFY(Near(page.Find(QStringLiteral("Nbr")).box.left(), 72));
        QVERIFY(Near(page.Find(QStringLiteral("Code")).box.left(), 108));
        QVERIFY(Near(page.Find(QStringLiteral("Reps")).box.left(), 432));
        QVERIFY(Near(page.Find(QStringLiteral("Notes")).box.left(), 144));
        QVERIFY(page.Has(QStringLiteral("PROGRAM")) && page.Has(QStringLiteral("LOG")));
        QVERIFY(page.Has(QStringLiteral("C4")) && page.Has(QStringLiteral("5s")));
        const PdfWord program = page.Find(QStringLiteral("PROGRAM"));
        const PdfWord log = page.Find(QStringLiteral("LOG"));
        const PdfWord signature = page.Find(QStringLiteral("Signature:"));
        QVERIFY(program.box.top() < page.Find(QStringLiteral("C1")).box.top());
        QVERIFY(page.Find(QStringLiteral("C4")).box.bottom() < log.box.top());
        QVERIFY(log.box.bottom() < signature.box.top());
        QVERIFY(signature.box.bottom() < page.Find(QStringLiteral("Prepared")).box.top());
        QVERIFY(page.Find(QStringLiteral("Prepared")).box.bottom() < 792 - 36);
    }

    void videoOrderForm()
    {
        FormContext c;
        ProgramState& p = c.t->Program;
        p.Entries[0].HasVideo = true;
        p.Entries[0].code = QStringLiteral("310");
        p.Entries[2].HasVideo = true;
        p.Entries[2].code = QStringLiteral("15");
        p.ShipMethod = QStringLiteral("UPS Next Day");
        p.PayMethod = QStringLiteral("Master Card");
        p.OrderItems[0] = {QStringLiteral("VT"), QStringLiteral("Tape"), 1, Currency::FromUnits(50)};
        p.OrderItemCount = 1;
        const PdfPage page = c.PrintOnePage(PrintKindVideoOrder);
        QVERIFY(Near(page.size.width(), 612) && Near(page.size.height(), 792));
        QVERIFY(c.t.Prompt.Records.isEmpty());

        QVERIFY(Near(page.Find(QStringLiteral("BILL")).box.left(), 72, 20));
        QVERIFY(Near(page.Find(QStringLiteral("DATE:")).box.left(), 450));
        QVERIFY(page.Has(QStringLiteral("12/8/26")));
        QVERIFY(page.Has(QStringLiteral("TAPE")));
        QVERIFY(Near(page.Find(QStringLiteral("310")).box.left(), 72));
        QVERIFY(page.Has(QStringLiteral("C3")) || page.Has(QStringLiteral("15")));
        QVERIFY(!page.Has(QStringLiteral("C2")));
        QVERIFY(page.Has(QStringLiteral("325"))); // the checksum
        // Next Day on 50 without tax.
        QVERIFY(page.Has(QStringLiteral("$64.00")));
        QVERIFY(page.Has(QStringLiteral("$14.00")));
        QVERIFY(page.Has(QStringLiteral("(800)")));
        const PdfWord total = page.Find(QStringLiteral("$64.00"));
        QVERIFY(total.box.bottom() < page.Find(QStringLiteral("FAX")).box.top());
        QVERIFY(page.Find(QStringLiteral("Prepared")).box.bottom() < 792 - 36);
    }
};

QTEST_MAIN(TestPrintFormsPdf)
#include "tst_print_forms_pdf.moc"
