#include "ExportFolder.h"
#include "PdfSupport.h"
#include "Startup.h"
#include "TestMain.h"

#include <QLockFile>
#include <QTest>
#include <memory>

using namespace tramelle;
using namespace tramelle::test;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

    std::unique_ptr<ExportFolder> m_folder;
    qint32 m_jane = 0;
    qint32 m_bob = 0;
    qint32 m_older = 0;
    qint32 m_latest = 0;

    Run Start(const QStringList& arguments)
    {
        QProcess p;
        p.setProcessEnvironment(m_folder->Environment());
        p.start(QStringLiteral(TRAMELLE_BINARY), arguments);
        if (!p.waitForFinished(60000))
            p.kill();
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }

    QString Out(const QString& name) const { return m_folder->Home.filePath(name); }

private slots:
    void initTestCase()
    {
        m_folder = std::make_unique<ExportFolder>();
        m_jane = m_folder->AddPatient(QStringLiteral("Doe"), QStringLiteral("Jane"));
        m_bob = m_folder->AddPatient(QStringLiteral("Roe"), QStringLiteral("Bob"));
        m_latest = m_folder->StoreProgram(m_jane, 20, QDate(2026, 12, 8));
        m_older = m_folder->StoreProgram(m_jane, 3, QDate(2026, 11, 2));
        QVERIFY(m_latest > 0 && m_older > 0);
    }

    void everyKindExportsWithoutChangingTheDataFolder_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("cover");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("lastPageText");
        QTest::newRow("sheets4 with cover") << "sheets4" << true << 6 << "(C20)";
        QTest::newRow("sheets4") << "sheets4" << false << 5 << "(C20)";
        QTest::newRow("sheets2") << "sheets2" << false << 10 << "(C20)";
        QTest::newRow("cover") << "cover" << false << 1 << "Patient:";
        QTest::newRow("record") << "record" << false << 1 << "C20";
        QTest::newRow("order") << "order" << false << 1 << "Doe,";
        QTest::newRow("large") << "large" << false << 20 << "(C20)";
    }

    void everyKindExportsWithoutChangingTheDataFolder()
    {
        QFETCH(QString, kind);
        QFETCH(bool, cover);
        QFETCH(int, pages);
        QFETCH(QString, lastPageText);
        m_folder->WriteSettings(cover);
        const QStringList before = m_folder->Snapshot();
        const QString file = Out(kind + QStringLiteral(".pdf"));
        const Run run = Start({QStringLiteral("--export-pdf"), kind, QStringLiteral("--program"),
                               QString::number(m_latest), QStringLiteral("--out"), file});
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QVERIFY2(run.err.isEmpty(), qPrintable(run.err));
        const QList<PdfPage> read = ReadPdf(file);
        QCOMPARE(read.size(), pages);
        QVERIFY(read.first().Has(QStringLiteral("Jane")));
        QVERIFY(read.last().Has(lastPageText));
        QCOMPARE(m_folder->Snapshot(), before);
        QVERIFY(!QFileInfo::exists(InstanceLockPath(m_folder->AppFolder)));
    }

    void aPatientMeansTheLatestProgramAndARunningProgramIsNoObstacle()
    {
        m_folder->WriteSettings(false);
        // A running instance: its lock taken and its files open with their journals.
        QLockFile lock(InstanceLockPath(m_folder->AppFolder));
        QVERIFY(lock.tryLock(0));
        AppContext running(m_folder->AppFolder);
        OpenDatabases(running);
        QVERIFY(QFileInfo::exists(running.Db.MainPath + QStringLiteral("-wal")));

        const QString file = Out(QStringLiteral("latest.pdf"));
        const Run run = Start({QStringLiteral("--export-pdf=sheets4"), QStringLiteral("--patient"),
                               QString::number(m_jane), QStringLiteral("--out"), file});
        CloseDatabases(running);
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QCOMPARE(ReadPdf(file).size(), 5);
    }

    void badRequestsAreRefusedAndWriteNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString out = QStringLiteral("--out=refused.pdf");
        QTest::newRow("unknown kind")
            << QStringList{"--export-pdf", "poster", "--program", "1", out} << 2
            << "Unknown document \"poster\": KIND is one of sheets4, sheets2, cover, record, "
               "order, large.";
        QTest::newRow("no program") << QStringList{"--export-pdf", "large", out} << 2
                                    << "Give either --program INVOICEID or --patient PATIENTID.";
        QTest::newRow("both") << QStringList{"--export-pdf", "large", "--program", "1",
                                             "--patient",    "1",     out}
                              << 2 << "Give either";
        QTest::newRow("no file") << QStringList{"--export-pdf", "large", "--program", "1"} << 2
                                 << "Missing --out FILE.";
        QTest::newRow("no kind") << QStringList{"--program", "1", out} << 2
                                 << "Missing --export-pdf KIND.";
        QTest::newRow("too large")
            << QStringList{"--export-pdf", "cover", "--program", "4294967297", out} << 2
            << "\"4294967297\" is not a record number";
        QTest::newRow("negative") << QStringList{"--export-pdf", "cover", "--patient", "-3", out}
                                  << 2 << "\"-3\" is not a record number";
        QTest::newRow("unknown option") << QStringList{"--export-pdf", "cover", "--bogus", out} << 2
                                        << "Unknown option 'bogus'.";
        QTest::newRow("unknown program")
            << QStringList{"--export-pdf", "cover", "--program", "9999", out} << 1
            << "The cover page could not be exported to";
        QTest::newRow("unknown patient")
            << QStringList{"--export-pdf", "record", "--patient", "9999", out} << 1
            << "There is no patient 9999.";
    }

    void badRequestsAreRefusedAndWriteNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        const Run run = Start(arguments);
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        if (status == 2)
            QVERIFY2(run.err.contains(QStringLiteral("Try \"vmr-tramelle --help\".")),
                     qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(Out(QStringLiteral("refused.pdf"))));
    }

    void aPatientWithoutProgramsAndAMissingProgramAreNamed()
    {
        Run run = Start({QStringLiteral("--export-pdf"), QStringLiteral("large"),
                         QStringLiteral("--patient"), QString::number(m_bob),
                         QStringLiteral("--out"), Out(QStringLiteral("bob.pdf"))});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains(
                     QStringLiteral("The patient %1 (Roe, Bob) has no stored program.").arg(m_bob)),
                 qPrintable(run.err));
        run = Start({QStringLiteral("--export-pdf"), QStringLiteral("large"),
                     QStringLiteral("--program"), QStringLiteral("9999"), QStringLiteral("--out"),
                     Out(QStringLiteral("none.pdf"))});
        QVERIFY2(run.err.contains(QStringLiteral("There is no stored program 9999.")),
                 qPrintable(run.err));
        QVERIFY(!QFileInfo::exists(Out(QStringLiteral("bob.pdf"))));
    }

    void helpListsTheExport()
    {
        const Run run = Start({QStringLiteral("--help")});
        QCOMPARE(run.status, 0);
        for (const char* text : {"--export-pdf <KIND>", "--program <INVOICEID>",
                                 "--patient <PATIENTID>", "--out <FILE>", "sheets4, sheets2"})
            QVERIFY2(run.out.contains(QLatin1String(text)), qPrintable(run.out));
    }
};

TRAMELLE_TEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
