// The texts marked for translation, as lupdate collects them from src/ and tools/.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

namespace {

// A message's source text; lupdate writes control characters as <byte value="xd"/>.
QString ReadSource(QXmlStreamReader& xml)
{
    QString text;
    while (xml.readNext() != QXmlStreamReader::EndElement ||
           xml.name() != QLatin1String("source")) {
        if (xml.atEnd())
            break;
        if (xml.isCharacters())
            text += xml.text();
        else if (xml.isStartElement() && xml.name() == QLatin1String("byte"))
            text +=
                QChar(xml.attributes().value(QLatin1String("value")).mid(1).toUShort(nullptr, 16));
    }
    return text;
}

// Context and source text of every message of a .ts file.
QSet<QString> Messages(const QString& tsFile)
{
    QFile file(tsFile);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QSet<QString> messages;
    QXmlStreamReader xml(&file);
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            messages.insert(context + QLatin1Char('|') + ReadSource(xml));
    }
    return xml.hasError() ? QSet<QString>() : messages;
}

} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QSet<QString> m_messages;
    QString m_output;

private slots:
    void initTestCase()
    {
        const QString lupdate = QStringLiteral(TRAMELLE_LUPDATE);
        if (lupdate.isEmpty() || lupdate.endsWith(QLatin1String("-NOTFOUND")))
            QSKIP("lupdate is not installed");
        QVERIFY(m_dir.isValid());
        const QString ts = m_dir.filePath(QStringLiteral("check.ts"));
        QProcess run;
        run.setWorkingDirectory(QStringLiteral(TRAMELLE_SOURCE_DIR));
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(lupdate,
                  {QStringLiteral("-no-obsolete"), QStringLiteral("-locations"),
                   QStringLiteral("none"), QStringLiteral("-extensions"), QStringLiteral("cpp,h"),
                   QStringLiteral("src"), QStringLiteral("tools"), QStringLiteral("-ts"), ts});
        QVERIFY(run.waitForFinished(120000));
        m_output = QString::fromLocal8Bit(run.readAll());
        QCOMPARE(run.exitCode(), 0);
        m_messages = Messages(ts);
        QVERIFY(!m_messages.isEmpty());
    }

    // lupdate names every call it cannot read ("file.cpp:12: Cannot invoke tr() like this").
    void everyMarkedTextIsReadable()
    {
        static const QRegularExpression complaint(QStringLiteral("^\\S+:\\d+: .*$"),
                                                  QRegularExpression::MultilineOption);
        QCOMPARE(complaint.match(m_output).captured(), QString());
    }

    // Texts from tables are looked up later by the class that shows them; the marker must
    // name that class, or the translation is never found.
    void tableTextsAreCollectedWhereTheyAreLookedUp_data()
    {
        QTest::addColumn<QString>("message");
        for (const char* message :
             {"tramelle::mdiVMR|Patient", "tramelle::mdiVMR|Select patient",
              "tramelle::mdiVMR|Print exercise eheets", "tramelle::mdiVMR|Status: Ready",
              "tramelle::frmCheckMedia|Hard Drive", "tramelle::frmMedia|Pictures",
              "tramelle::LibraryListModel|Desc", "PatientWindows|Delete"})
            QTest::newRow(message) << QString::fromLatin1(message);
    }

    void tableTextsAreCollectedWhereTheyAreLookedUp()
    {
        QFETCH(QString, message);
        QVERIFY2(m_messages.contains(message), qPrintable(message));
    }

    // A sample of each way a text is marked: tr() in a window, a named context outside
    // one, texts joined across lines, and the separate image editor.
    void textsOfEveryKindAreCollected_data()
    {
        QTest::addColumn<QString>("message");
        for (const char* message :
             {"tramelle::mdiVMR|E&xit", "tramelle::frmBackup|Can't process '%1', %2",
              "tramelle::frmSelectPatient|Are you sure you want to delete %1",
              "Maintenance|Compressing the database...", "MediaCopy|%1: the folder was not found",
              "Startup|You have a previous version of the VMR Database.\r\nRun the Velmora "
              "Database Ugrade program to import your data.",
              "DesktopLauncherService|%1 could not be started.",
              "PictureDocument|The file does not exist.",
              "tramelle::imageeditor::ImageEditorWindow|&Open...",
              // Words on printed pages, from a table, and messages of the data layer.
              "tramelle::PageComposer|Patient:", "tramelle::VideoOrderForm| Ground     ",
              "tramelle::TextHelpers|Overflow: %1 does not fit a 16-bit integer",
              "tramelle::LibraryStore|Cannot read", "Upgrade|Upgrading %1 to version %2...",
              "Backup|The backup was aborted."})
            QTest::newRow(message) << QString::fromLatin1(message);
    }

    void textsOfEveryKindAreCollected()
    {
        QFETCH(QString, message);
        QVERIFY2(m_messages.contains(message), qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
