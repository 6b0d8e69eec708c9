#include "PdfSupport.h"
#include "RecordingSurface.h"
#include "TestMain.h"
#include "frmPrintPreview.h"

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <QTest>

using namespace tramelle;
using namespace tramelle::test;

namespace {

void Click(QWidget& window, const char* key)
{
    auto* action = window.findChild<QAction*>(QString::fromLatin1(key));
    QVERIFY2(action, key);
    action->trigger();
}

bool Enabled(QWidget& window, const char* key)
{
    return window.findChild<QAction*>(QString::fromLatin1(key))->isEnabled();
}

QString Status(QWidget& window)
{
    return window.findChild<QLabel*>(QStringLiteral("StatusPanel1"))->text();
}

bool HasInk(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(255, 255, 255))
                return true;
    return false;
}

} // namespace

class TestPrintPreview : public QObject
{
    Q_OBJECT

private slots:
    void pagesAndPaging()
    {
        TestContext t(false);
        FillProgram(*t, 5);
        t->Settings.PrintPatientCover = false;
        t->Settings.PictureFolder = t.Folder();
        WriteProgramPictures(t.Folder(), 5);
        t->Geometry.PageScale = 1;
        {
            frmPrintPreview preview(*t, PrintJobKind::Exercises4);
            QCOMPARE(preview.windowTitle(), QStringLiteral("Print Preview"));
            QCOMPARE(t->Geometry.PageScale, 0.75);
            QCOMPARE(preview.LastPage(), 1);
            // A scaled replica of a Letter page: 8.5 x 11 inch at 0.75 of 96 pixels per inch.
            QCOMPARE(preview.PageImage(0).size(), QSize(612, 792));
            QVERIFY(HasInk(preview.PageImage(1)));
            QCOMPARE(Status(preview), QStringLiteral("Page: 1 of 2"));
            QVERIFY(!Enabled(preview, "Prev"));
            QVERIFY(Enabled(preview, "Next"));

            Click(preview, "Prev"); // refused at the first page
            QCOMPARE(preview.CurrentPage(), 0);
            Click(preview, "Next");
            QCOMPARE(preview.CurrentPage(), 1);
            QCOMPARE(Status(preview), QStringLiteral("Page: 2 of 2"));
            QVERIFY(Enabled(preview, "Prev"));
            QVERIFY(!Enabled(preview, "Next"));
            Click(preview, "Next");
            QCOMPARE(preview.CurrentPage(), 1);
            // Paging shows pictures already composed.
            QCOMPARE(preview.Compositions(), 1);

            // Zooming composes every page again and stays on page 2.
            Click(preview, "ZoomIn");
            QCOMPARE(t->Geometry.PageScale, 1.0);
            QCOMPARE(preview.Compositions(), 2);
            QCOMPARE(preview.CurrentPage(), 1);
            QCOMPARE(Status(preview), QStringLiteral("Page: 2 of 2"));
            QCOMPARE(preview.PageImage(1).size(), QSize(816, 1056));
        }
        // Closing the preview gives the printer's scale back.
        QCOMPARE(t->Geometry.PageScale, 1.0);
        QVERIFY(!t->Geometry.PreviewMode);
    }

    void zoomLimits()
    {
        TestContext t(false);
        FillProgram(*t, 1);
        t->Settings.PrintPatientCover = false;
        frmPrintPreview preview(*t, PrintJobKind::Exercises2);
        QCOMPARE(preview.PageImage(0).size(), QSize(792, 612));
        for (int i = 0; i < 10; ++i)
            Click(preview, "ZoomIn");
        QCOMPARE(t->Geometry.PageScale, 2.0);
        QCOMPARE(preview.Compositions(), 6); // 0.75 then 1, 1.25, 1.5, 1.75, 2
        QCOMPARE(preview.PageImage(0).size(), QSize(2112, 1632));
        for (int i = 0; i < 10; ++i)
            Click(preview, "ZoomOut");
        QCOMPARE(t->Geometry.PageScale, 0.25);
        QCOMPARE(preview.Compositions(), 13);
        QCOMPARE(preview.PageImage(0).size(), QSize(264, 204));
    }

    void onePageDocumentAndKeys()
    {
        TestContext t(false);
        FillProgram(*t, 2);
        t->CoverText = QStringLiteral("Welcome\r\n");
        frmPrintPreview preview(*t, PrintJobKind::CoverPage);
        QCOMPARE(preview.LastPage(), 0);
        QCOMPARE(Status(preview), QStringLiteral("Page: 1 of 1"));
        QVERIFY(!Enabled(preview, "Prev"));
        QVERIFY(!Enabled(preview, "Next"));

        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        auto* bar = preview.findChild<QScrollBar*>(QStringLiteral("VScroll1"));
        QVERIFY(bar);
        QVERIFY(bar->maximum() > 0); // 792 pixels of page do not fit 770 of window
        for (int i = 0; i < 200; ++i)
            preview.ScrollByKey(Qt::Key_Down);
        QCOMPARE(bar->value(), bar->maximum());
        preview.ScrollByKey(Qt::Key_Up);
        QCOMPARE(bar->value(), bar->maximum() - 20);
        QTest::keyClick(preview.findChild<QWidget*>(QStringLiteral("PagePrev")), Qt::Key_Escape);
        QVERIFY(!preview.isVisible());
    }

    void previewShowsWhatItsPrintPrints()
    {
        TestContext t(false);
        PdfMainWindow window;
        window.Pdf = QDir(t.Folder()).filePath(QStringLiteral("preview.pdf"));
        t->SetMainWindowServices(&window);
        t->SetWindowServices(&window);
        FillProgram(*t, 3);
        t->CoverText = QStringLiteral("Welcome to the clinic.\r\n");
        t->Settings.PrintPatientCover = true;
        frmPrintPreview preview(*t, PrintJobKind::Exercises2);
        // The cover in portrait, then two landscape sheets.
        QCOMPARE(preview.LastPage(), 2);
        QCOMPARE(Status(preview), QStringLiteral("Page: 1 of 3"));
        QCOMPARE(preview.PageImage(0).size(), QSize(612, 792));
        QCOMPARE(preview.PageImage(1).size(), QSize(792, 612));
        QCOMPARE(preview.PageImage(2).size(), QSize(792, 612));
        Click(preview, "ZoomOut");
        const int compositions = preview.Compositions();
        QCOMPARE(preview.LastPage(), 2);
        Click(preview, "Print");
        QCOMPARE(t->Geometry.PageScale, 0.5);
        QCOMPARE(preview.Compositions(), compositions);
        QCOMPARE(window.Dialogs, 1);
        // The job holds the same pages: the cover leads the sheets.
        const QList<PdfPage> pages = ReadPdf(window.Pdf);
        QCOMPARE(pages.size(), 3);
        QVERIFY(pages[0].Has(QStringLiteral("Welcome")));
        QVERIFY(!pages[0].Has(QStringLiteral("(C1)")));
        QVERIFY(pages[1].Has(QStringLiteral("(C2)")));
        QVERIFY(pages[2].Has(QStringLiteral("(C3)")));

        // With the preference off neither shows the cover.
        t->Settings.PrintPatientCover = false;
        frmPrintPreview plain(*t, PrintJobKind::Exercises2);
        QCOMPARE(Status(plain), QStringLiteral("Page: 1 of 2"));
    }
};

TRAMELLE_TEST_MAIN(TestPrintPreview)
#include "tst_print_preview.moc"
