// Printing to a system printer, through a print server of the test's own with a queue
// that takes jobs (and holds them, so the file sent can be read back) and one that
// refuses them.
#include "CupsJob.h"
#include "PdfSupport.h"
#include "PrintJobs.h"
#include "RecordingSurface.h"
#include "TestMain.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QPageRanges>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace tramelle;
using namespace tramelle::test;

namespace {

// A main window whose printer dialog picks a queue of the test server.
class QueueMainWindow : public RecordingMainWindowServices
{
public:
    QString Queue;
    int Copies = 1;

    bool MaybeShowPrintDlg(QPrinter* printer, const QString&) override
    {
        printer->setPrinterName(Queue);
        printer->setCopyCount(Copies);
        return true;
    }
};

bool Run(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, arguments);
    const bool ok =
        p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return ok;
}

} // namespace

class TestPrintCups : public QObject
{
    Q_OBJECT

    QTemporaryDir m_server{QStringLiteral("/tmp/tramelle-cups-XXXXXX")};
    QProcess m_cupsd;

    QString ServerPath(const QString& name) const { return m_server.filePath(name); }

    // The data file of the newest job the server holds.
    QString NewestJobFile() const
    {
        QString newest;
        QDirIterator it(ServerPath(QStringLiteral("spool")), {QStringLiteral("d*-001")},
                        QDir::Files);
        while (it.hasNext()) {
            const QString f = it.next();
            if (f > newest)
                newest = f;
        }
        return newest;
    }

private slots:
    void initTestCase()
    {
        const QString cupsd =
            QStandardPaths::findExecutable(QStringLiteral("cupsd"), {QStringLiteral("/usr/sbin")});
        if (cupsd.isEmpty())
            QSKIP("cupsd is not installed (scripts/install-deps installs it)");
        QVERIFY(m_server.isValid());
        for (const char* folder : {"spool", "cache", "state", "log"})
            QVERIFY(QDir(m_server.path()).mkpath(QLatin1String(folder)));
        const QString socket = ServerPath(QStringLiteral("cups.sock"));
        QFile conf(ServerPath(QStringLiteral("cupsd.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(
            QStringLiteral(
                "Listen %1\nLogLevel warn\nWebInterface No\nBrowsing No\n"
                "PreserveJobFiles Yes\nDefaultAuthType None\n"
                "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n")
                .arg(socket)
                .toUtf8());
        conf.close();
        QFile files(ServerPath(QStringLiteral("cups-files.conf")));
        QVERIFY(files.open(QIODevice::WriteOnly));
        files.write(
            QStringLiteral(
                "ServerRoot %1\nRequestRoot %1/spool\nTempDir %1/spool\nCacheDir %1/cache\n"
                "StateDir %1/state\nErrorLog %1/log/error_log\nAccessLog %1/log/access_log\n"
                "PageLog %1/log/page_log\nFileDevice Yes\n")
                .arg(m_server.path())
                .toUtf8());
        files.close();

        // Every use of the print server in this process and its children goes here.
        qputenv("CUPS_SERVER", QFile::encodeName(socket));
        m_cupsd.start(cupsd, {QStringLiteral("-f"), QStringLiteral("-c"),
                              ServerPath(QStringLiteral("cupsd.conf")), QStringLiteral("-s"),
                              ServerPath(QStringLiteral("cups-files.conf"))});
        QVERIFY(m_cupsd.waitForStarted());
        QString status;
        for (int i = 0; i < 100; ++i) {
            Run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &status);
            if (status.contains(QStringLiteral("is running")))
                break;
            QThread::msleep(100);
        }
        if (!status.contains(QStringLiteral("is running"))) {
            QFile log(ServerPath(QStringLiteral("log/error_log")));
            log.open(QIODevice::ReadOnly);
            QSKIP(qPrintable(QStringLiteral("the test's print server did not start: %1 %2")
                                 .arg(status, QString::fromLocal8Bit(log.readAll()))));
        }
        QString out;
        // Jobs are held on a stopped queue, so their files stay in the spool.
        QVERIFY2(Run(QStringLiteral("lpadmin"),
                     {QStringLiteral("-p"), QStringLiteral("Tramelle"), QStringLiteral("-E"),
                      QStringLiteral("-v"), QStringLiteral("file:///dev/null"),
                      QStringLiteral("-m"), QStringLiteral("raw")},
                     &out),
                 qPrintable(out));
        QVERIFY2(Run(QStringLiteral("cupsdisable"), {QStringLiteral("Tramelle")}, &out),
                 qPrintable(out));
        QVERIFY2(Run(QStringLiteral("lpadmin"),
                     {QStringLiteral("-p"), QStringLiteral("Refuses"), QStringLiteral("-E"),
                      QStringLiteral("-v"), QStringLiteral("file:///dev/null"),
                      QStringLiteral("-m"), QStringLiteral("raw")},
                     &out),
                 qPrintable(out));
        QVERIFY2(Run(QStringLiteral("cupsreject"), {QStringLiteral("Refuses")}, &out),
                 qPrintable(out));
        QVERIFY(!QPrinterInfo::printerInfo(QStringLiteral("Tramelle")).isNull());
    }

    void cleanupTestCase()
    {
        if (m_cupsd.state() != QProcess::NotRunning) {
            m_cupsd.terminate();
            if (!m_cupsd.waitForFinished(10000))
                m_cupsd.kill();
        }
    }

    // The choices of the printer dialog travel with the file; no "landscape", which
    // would turn the portrait cover of a landscape job.
    void dialogChoicesBecomeJobOptions()
    {
        QPrinter chosen(QPrinter::HighResolution);
        chosen.setPrinterName(QStringLiteral("Tramelle/draft"));
        chosen.setPageSize(QPageSize(QPageSize::Letter));
        chosen.setPageOrientation(QPageLayout::Landscape);
        chosen.setCopyCount(3);
        chosen.setCollateCopies(true);
        chosen.setColorMode(QPrinter::GrayScale);
        chosen.setPrintRange(QPrinter::PageRange);
        QPageRanges ranges;
        ranges.addRange(2, 3);
        chosen.setPageRanges(ranges);
        const CupsJob job(chosen);
        QCOMPARE(job.Destination(), QStringLiteral("Tramelle"));
        const QList<std::pair<QByteArray, QByteArray>> expected{{"media", "Letter"},
                                                                {"copies", "3"},
                                                                {"collate", "true"},
                                                                {"sides", "one-sided"},
                                                                {"print-color-mode", "monochrome"},
                                                                {"page-ranges", "2-3"}};
        for (const auto& option : expected)
            QVERIFY2(job.Options().contains(option), option.first.constData());
        for (const auto& option : job.Options())
            QVERIFY(option.first != "landscape");
    }

    // The cover and landscape sheets reach the queue as one file, each page in its own
    // orientation; nothing is reported.
    void sheetsReachTheQueue()
    {
        TestContext t(false);
        QueueMainWindow window;
        window.Queue = QStringLiteral("Tramelle");
        window.Copies = 2;
        t->SetMainWindowServices(&window);
        t->SetWindowServices(&window);
        t->Settings.PictureFolder = t.Folder() + QLatin1Char('/');
        t->Settings.PrintPatientCover = true;
        t->CoverText = QStringLiteral("Bring this program to every visit.\r\n");
        FillProgram(*t, 3);
        WriteProgramPictures(t.Folder(), 3);

        const QString before = NewestJobFile();
        QVERIFY(PrintExerciseSheetsCommand(*t, PrintJobKind::Exercises2, false));
        QCOMPARE(t.Prompt.MessageTexts(), QStringList());
        const QString sent = NewestJobFile();
        QVERIFY(!sent.isEmpty() && sent != before);

        const QList<PdfPage> pages = ReadPdf(sent);
        QCOMPARE(pages.size(), 3);
        QVERIFY(pages[0].size.width() < pages[0].size.height());
        QVERIFY(pages[1].size.width() > pages[1].size.height());
        QVERIFY(pages[0].Has(QStringLiteral("Bring")));
        QVERIFY(pages[2].Has(QStringLiteral("(C3)")));
        QString jobs;
        QVERIFY(Run(QStringLiteral("lpstat"), {QStringLiteral("-o"), QStringLiteral("Tramelle")},
                    &jobs));
        QVERIFY2(jobs.contains(QStringLiteral("Tramelle-")), qPrintable(jobs));
    }

    // A queue that refuses jobs is reported with the server's reason, not taken for printed.
    void refusedJobIsReported()
    {
        TestContext t(false);
        QueueMainWindow window;
        window.Queue = QStringLiteral("Refuses");
        t->SetMainWindowServices(&window);
        t->SetWindowServices(&window);
        t->Settings.PictureFolder = t.Folder() + QLatin1Char('/');
        t->Settings.PrintPatientCover = false;
        FillProgram(*t, 2);

        QVERIFY(!PrintExerciseSheetsCommand(*t, PrintJobKind::Exercises4, false));
        QCOMPARE(t.Prompt.Records.size(), 1);
        QCOMPARE(t.Prompt.Records.first().icon, PromptIcon::Critical);
        const QString text = t.Prompt.Records.first().text;
        QVERIFY2(text.startsWith(QStringLiteral("The exercise sheets could not be printed.\r\n"
                                                "The printer \"Refuses\" refused the job: ")),
                 qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("not accepting")), qPrintable(text));
    }
};

TRAMELLE_TEST_MAIN(TestPrintCups)
#include "tst_print_cups.moc"
