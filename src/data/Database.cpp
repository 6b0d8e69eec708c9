#include "Database.h"

#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "Paths.h"
#include "Upgrade.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QUuid>

#include <condition_variable>
#include <mutex>
#include <thread>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tramelle {

namespace {

// Column fragments. Integer columns of the data model are 16-bit, Long 32-bit; a value
// out of range is refused by the engine rather than wrapped.
QString Text(const char* name)
{
    return QStringLiteral("\"%1\" TEXT").arg(QLatin1String(name));
}
QString SizedText(const char* name, int size)
{
    return QStringLiteral("\"%1\" TEXT CHECK (length(\"%1\") <= %2)").arg(QLatin1String(name)).arg(size);
}
QString Int16(const char* name)
{
    return QStringLiteral("\"%1\" INTEGER CHECK (\"%1\" BETWEEN -32768 AND 32767)").arg(QLatin1String(name));
}
QString Int32(const char* name)
{
    return QStringLiteral("\"%1\" INTEGER CHECK (\"%1\" BETWEEN -2147483648 AND 2147483647)")
        .arg(QLatin1String(name));
}
QString Boolean(const char* name)
{
    return QStringLiteral("\"%1\" INTEGER CHECK (\"%1\" IN (0, 1))").arg(QLatin1String(name));
}
QString DateTime(const char* name)
{
    return QStringLiteral("\"%1\" TEXT").arg(QLatin1String(name));
}
QString Money(const char* name)
{
    return QStringLiteral("\"%1\" INTEGER").arg(QLatin1String(name));
}

// The exercise columns shared by Exercise and ProtocolExercise.
QStringList ProgramExerciseColumns()
{
    return {Int32("ExerciseID"), Text("code"),        Text("Desc"),         Text("AbbrevDesc"),
            Int16("Reps"),       Int16("Hold"),       Int16("Sets"),        Text("Icon"),
            Text("Movie"),       Text("Picture0"),    Text("Picture1"),     Text("Picture2"),
            SizedText("Instruct0", 75), SizedText("Instruct1", 75), SizedText("Instruct2", 75),
            Boolean("HasVideo"), Int32("VideoReps"),  Int32("VideoHold"),   Int32("VideoSets")};
}

QString CreateTable(const char* table, const QStringList& columns)
{
    return QStringLiteral("CREATE TABLE \"%1\" (\n  %2\n)")
        .arg(QLatin1String(table), columns.join(QStringLiteral(",\n  ")));
}

QString VersionTable()
{
    return QStringLiteral("CREATE TABLE \"Version\" (\"Version\" TEXT NOT NULL "
                          "CHECK (length(\"Version\") BETWEEN 1 AND 20))");
}

QStringList ColumnNames(const QStringList& defs)
{
    QStringList names;
    for (const QString& d : defs) {
        const int a = d.indexOf(QLatin1Char('"'));
        const int b = d.indexOf(QLatin1Char('"'), a + 1);
        names << d.mid(a + 1, b - a - 1);
    }
    return names;
}

QStringList PatientColumns()
{
    return {QStringLiteral("\"PatientID\" INTEGER PRIMARY KEY AUTOINCREMENT"), Text("ID"),
            Text("FirstName"), Text("LastName"), Text("FullName")};
}
QStringList InvoiceColumns()
{
    return {QStringLiteral("\"InvoiceID\" INTEGER PRIMARY KEY AUTOINCREMENT"),
            QStringLiteral("\"PatientID\" INTEGER REFERENCES \"Patient\"(\"PatientID\") ON DELETE CASCADE"),
            DateTime("Date"), SizedText("Provider", 40), Text("Usage"), Text("BillAddr"),
            Text("PayMethod"), Text("CardNum"), DateTime("CardDate"), Text("NameOnCard"),
            Int16("Tax"), Text("ShipAddr"), Text("ShipPhone"), Text("ShipMethod")};
}
QStringList ExerciseColumns()
{
    QStringList c{QStringLiteral("\"InvoiceID\" INTEGER NOT NULL REFERENCES \"Invoice\"(\"InvoiceID\") ON DELETE CASCADE"),
                  Int32("RankOnTape")};
    return c + ProgramExerciseColumns();
}
QStringList ItemsColumns()
{
    return {QStringLiteral("\"InvoiceID\" INTEGER NOT NULL REFERENCES \"Invoice\"(\"InvoiceID\") ON DELETE CASCADE"),
            Text("PartNumber"), Text("Description"), Int16("Qty"), Money("Price"),
            Int16("RankOnOrder")};
}
QStringList ProtocolColumns()
{
    return {QStringLiteral("\"ProtocolID\" INTEGER PRIMARY KEY AUTOINCREMENT"), Text("Name")};
}
QStringList ProtocolExerciseColumns()
{
    QStringList c{QStringLiteral("\"ProtocolID\" INTEGER NOT NULL REFERENCES \"Protocol\"(\"ProtocolID\") ON DELETE CASCADE"),
                  Int32("RankOnTape")};
    return c + ProgramExerciseColumns();
}
QStringList ClinicColumns()
{
    return {Text("Name"),      Text("Phone"),   Text("ShipAddr"),     Text("ShipMethod"),
            Text("BillAddr"),  Text("PayMethod"), Text("CardNum"), DateTime("CardDate"),
            Text("NameOnCard")};
}
QStringList ExerciseLibraryColumns()
{
    return {QStringLiteral("\"ExerciseID\" INTEGER NOT NULL UNIQUE CHECK (\"ExerciseID\" BETWEEN -2147483648 AND 2147483647)"),
            Text("code"), Text("Desc"), Text("AbbrevDesc"), Text("Joint"), Text("Motion"), Text("Type"),
            Int16("Reps"), Int16("Hold"), Int16("Sets"), Text("Movie"), Text("Icon"),
            Text("Picture0"), Text("Picture1"), Text("Picture2"),
            SizedText("Instruct0", 75), SizedText("Instruct1", 75), SizedText("Instruct2", 75),
            Boolean("HasVideo"), Int32("VideoReps"), Int32("VideoHold"), Int32("VideoSets"),
            Int16("IconSrc"), Text("Picture0Src"), Text("Picture1Src"), Text("Picture2Src")};
}
QStringList LabelColumns()
{
    return {QStringLiteral("\"ID\" INTEGER PRIMARY KEY CHECK (\"ID\" BETWEEN -32768 AND 32767)"),
            Text("Name")};
}
QStringList Level1Columns()
{
    return {QStringLiteral("\"ID\" INTEGER PRIMARY KEY CHECK (\"ID\" BETWEEN -32768 AND 32767)"),
            SizedText("Name", 40),
            QStringLiteral("\"LabelID\" INTEGER REFERENCES \"Label\"(\"ID\") ON DELETE CASCADE "
                           "CHECK (\"LabelID\" BETWEEN -32768 AND 32767)")};
}

void ApplyDurableSettings(const QSqlDatabase& db)
{
    Exec(db, QStringLiteral("PRAGMA foreign_keys=ON"));
    Exec(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    Exec(db, QStringLiteral("PRAGMA synchronous=FULL"));
}

QString FileError(const QString& what, const QString& path, const QString& reason)
{
    return QStringLiteral("%1 \"%2\": %3").arg(what, QDir::toNativeSeparators(path), reason);
}

// Another program holds the file: said plainly, with the file named.
QString InUseText(const QString& path)
{
    return FileError(
        QStringLiteral("Cannot open"), path,
        QStringLiteral("another program is using it. Close that program, then start again."));
}

bool IsInUse(int engineCode)
{
    return engineCode == EngineBusy || engineCode == EngineLocked;
}

QString ReadOnlyRefusal(const QString& path, const QString& reason)
{
    return QStringLiteral("The database file %1 is read-only (%2): nothing can be stored in it.")
        .arg(QDir::toNativeSeparators(path), reason);
}

QString DamagedRefusal(const QString& path)
{
    return QStringLiteral(
               "The database file %1 is damaged and has been opened read-only: nothing can "
               "be stored in it. Rebuild in the Database menu repairs it.")
        .arg(QDir::toNativeSeparators(path));
}

// Opens a configured connection and applies its settings; on failure the connection is
// forgotten and DbError carries the engine's text and code.
QSqlDatabase OpenConfigured(QSqlDatabase db,
                            const std::function<void(const QSqlDatabase&)>& settings)
{
    const QString connectionName = db.connectionName();
    if (!db.open()) {
        const QString err = EngineText(db.lastError());
        const int code = EngineCode(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw DbError(err, code);
    }
    try {
        settings(db);
    } catch (...) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw;
    }
    return db;
}

// A file that may stay read-only (the library, the pick lists) when it cannot be written.
QSqlDatabase OpenReadOnlyConnection(const QString& path, const QString& connectionName)
{
    // Built in place, so no other handle is left when a failure forgets the connection.
    auto make = [&] {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        ConfigureReadOnly(db, path);
        return db;
    };
    return OpenConfigured(
        make(), [](const QSqlDatabase& c) { Exec(c, QStringLiteral("PRAGMA foreign_keys=ON")); });
}

// Makes a rename durable against a power cut, not only against a crash.
void SyncFolder(const QString& folder)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

const QString InstallFolderPrefix = QStringLiteral(".install-");
const QString InstallManifestName = QStringLiteral("install.manifest");
const DbFile AllFiles[] = {DbFile::Main, DbFile::Library, DbFile::Picklist};

QByteArray FileDigest(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    return hash.result().toHex();
}

// The staged files' digests, written once all three are complete and before the first
// is moved into place: a staging folder with a manifest can always be finished.
void WriteInstallManifest(const QString& staging)
{
    QSaveFile file(JoinPath(staging, InstallManifestName));
    if (!file.open(QIODevice::WriteOnly))
        throw DbError(
            FileError(QStringLiteral("Cannot write"), file.fileName(), file.errorString()));
    for (DbFile f : AllFiles) {
        const QString name = DbFileName(f);
        file.write(name.toUtf8() + '\t' + FileDigest(JoinPath(staging, name)) + '\n');
    }
    if (!file.commit())
        throw DbError(
            FileError(QStringLiteral("Cannot write"), file.fileName(), file.errorString()));
}

// Empty unless the manifest is whole.
QHash<QString, QByteArray> ReadInstallManifest(const QString& staging)
{
    QHash<QString, QByteArray> digests;
    QFile file(JoinPath(staging, InstallManifestName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() == 2 && parts[1].size() == 64)
            digests.insert(QString::fromUtf8(parts[0]), parts[1]);
    }
    for (DbFile f : AllFiles) {
        if (!digests.contains(DbFileName(f)))
            return {};
    }
    return digests;
}

void CopyFolder(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString rel = QDir(from).relativeFilePath(it.filePath());
        const QString target = JoinPath(to, rel);
        if (it.fileInfo().isDir()) {
            QDir().mkpath(target);
            continue;
        }
        QDir().mkpath(QFileInfo(target).absolutePath());
        if (QFileInfo::exists(target))
            continue;
        QFile src(it.filePath());
        if (!src.copy(target))
            throw DbError(FileError(QStringLiteral("Cannot copy"), it.filePath(), src.errorString()));
        // Delivered files may come from a read-only folder; the copies belong to the clinic.
        QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
}

// Texts, icons and help: copied when the delivered folder has them, never overwriting.
void CopyDeliveredExtras(const QString& appFolder, const QString& deliveredFolder)
{
    if (deliveredFolder.isEmpty() || !QFileInfo(deliveredFolder).isDir())
        return;
    QDirIterator it(deliveredFolder, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (name.endsWith(QLatin1String(".json"), Qt::CaseInsensitive))
            continue; // the sample data went into the databases
        const QString target = JoinPath(appFolder, name);
        if (it.fileInfo().isDir()) {
            CopyFolder(it.filePath(), target);
        } else if (!QFileInfo::exists(target)) {
            QFile src(it.filePath());
            if (!src.copy(target))
                throw DbError(
                    FileError(QStringLiteral("Cannot copy"), it.filePath(), src.errorString()));
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                              QFile::ReadOther);
        }
    }
}

// A staging folder left by an installation that was stopped (a crash, a power cut).
// Without its manifest the files were still being built: it goes, and the start
// installs anew. With it, every delivered file is either still staged or already in
// place exactly as staged: the staged ones are moved in and the extras copied. A file in
// the application folder that differs from what was staged is the clinic's: then
// nothing is touched and the usual checks report what is missing. True when an
// installation was finished here.
bool FinishInterruptedInstall(const QString& appFolder, const QString& deliveredFolder,
                              const InstallStepHook& hook)
{
    bool finished = false;
    const QStringList stagings = QDir(appFolder).entryList(
        {InstallFolderPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& folder : stagings) {
        const QString staging = JoinPath(appFolder, folder);
        const QHash<QString, QByteArray> digests = ReadInstallManifest(staging);
        if (digests.isEmpty()) {
            QDir(staging).removeRecursively();
            continue;
        }
        bool sound = true;
        for (DbFile f : AllFiles) {
            const QString name = DbFileName(f);
            const QString target = ResolvePath(JoinPath(appFolder, name));
            const QString staged = JoinPath(staging, name);
            const QString present = QFileInfo::exists(target) ? target : staged;
            if (FileDigest(present) != digests.value(name) ||
                QFileInfo::exists(present + QStringLiteral("-wal")))
                sound = false;
        }
        if (!sound)
            continue;
        for (DbFile f : AllFiles) {
            const QString name = DbFileName(f);
            const QString target = JoinPath(appFolder, name);
            if (QFileInfo::exists(ResolvePath(target)))
                continue;
            if (hook)
                hook(QStringLiteral("rename ") + name);
            if (!QFile::rename(JoinPath(staging, name), target))
                throw DbError(FileError(QStringLiteral("Cannot create"), target,
                                        QStringLiteral("rename failed")));
            SyncFolder(appFolder);
        }
        if (hook)
            hook(QStringLiteral("copy"));
        CopyDeliveredExtras(appFolder, deliveredFolder);
        QDir(staging).removeRecursively();
        finished = true;
    }
    return finished;
}

} // namespace

void ConfigureReadOnly(QSqlDatabase& db, const QString& path)
{
    if (QFileInfo::exists(path + QStringLiteral("-wal"))) {
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
    } else {
        db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
                           QStringLiteral("?mode=ro&immutable=1"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY"));
    }
}

QString DbFileName(DbFile file)
{
    switch (file) {
    case DbFile::Main:
        return MainDbFileName;
    case DbFile::Library:
        return LibraryDbFileName;
    case DbFile::Picklist:
        return PicklistDbFileName;
    }
    return {};
}

QStringList SchemaStatements(DbFile file)
{
    QStringList s;
    switch (file) {
    case DbFile::Main:
        s << CreateTable("Patient", PatientColumns()) << CreateTable("Invoice", InvoiceColumns())
          << CreateTable("Exercise", ExerciseColumns()) << CreateTable("Items", ItemsColumns())
          << CreateTable("Protocol", ProtocolColumns())
          << CreateTable("ProtocolExercise", ProtocolExerciseColumns())
          << CreateTable("Clinic", ClinicColumns()) << VersionTable()
          << QStringLiteral("CREATE INDEX \"RankOnTape\" ON \"Exercise\" (\"InvoiceID\", \"RankOnTape\")")
          << QStringLiteral("CREATE INDEX \"ProtocolRankOnTape\" ON \"ProtocolExercise\" (\"ProtocolID\", \"RankOnTape\")")
          << QStringLiteral("CREATE INDEX \"ItemsInvoice\" ON \"Items\" (\"InvoiceID\", \"RankOnOrder\")")
          << QStringLiteral("CREATE INDEX \"InvoicePatient\" ON \"Invoice\" (\"PatientID\", \"Date\")")
          << QStringLiteral("CREATE INDEX \"PatientFullName\" ON \"Patient\" (\"FullName\")")
          << QStringLiteral("INSERT INTO \"Clinic\" DEFAULT VALUES");
        break;
    case DbFile::Library:
        s << CreateTable("ExerciseLibrary", ExerciseLibraryColumns()) << VersionTable()
          << QStringLiteral("CREATE INDEX \"AbbrevDesc\" ON \"ExerciseLibrary\" (\"AbbrevDesc\")");
        break;
    case DbFile::Picklist:
        s << CreateTable("Label", LabelColumns()) << CreateTable("Level1", Level1Columns()) << VersionTable()
          << QStringLiteral("CREATE INDEX \"Level1Label\" ON \"Level1\" (\"LabelID\")");
        break;
    }
    return s;
}

QList<QPair<QString, QStringList>> RequiredTables(DbFile file)
{
    const QStringList version{QStringLiteral("Version")};
    switch (file) {
    case DbFile::Main:
        return {{QStringLiteral("Patient"), ColumnNames(PatientColumns())},
                {QStringLiteral("Invoice"), ColumnNames(InvoiceColumns())},
                {QStringLiteral("Exercise"), ColumnNames(ExerciseColumns())},
                {QStringLiteral("Items"), ColumnNames(ItemsColumns())},
                {QStringLiteral("Protocol"), ColumnNames(ProtocolColumns())},
                {QStringLiteral("ProtocolExercise"), ColumnNames(ProtocolExerciseColumns())},
                {QStringLiteral("Clinic"), ColumnNames(ClinicColumns())},
                {QStringLiteral("Version"), version}};
    case DbFile::Library:
        return {{QStringLiteral("ExerciseLibrary"), ColumnNames(ExerciseLibraryColumns())},
                {QStringLiteral("Version"), version}};
    case DbFile::Picklist:
        return {{QStringLiteral("Label"), ColumnNames(LabelColumns())},
                {QStringLiteral("Level1"), ColumnNames(Level1Columns())},
                {QStringLiteral("Version"), version}};
    }
    return {};
}

QSqlDatabase OpenConnection(const QString& path, const QString& connectionName, const QString& newFileEncoding)
{
    auto make = [&] {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        return db;
    };
    return OpenConfigured(make(), [&](const QSqlDatabase& c) {
        // The encoding is fixed by the first write, so it comes before the journal mode.
        if (!newFileEncoding.isEmpty())
            Exec(c, QStringLiteral("PRAGMA encoding = '%1'").arg(newFileEncoding));
        ApplyDurableSettings(c);
    });
}

QString CloseConnection(const QString& connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        return {};
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        ForgetWriteState(db);
        if (db.isOpen()) {
            {
                QSqlQuery q(db);
                // A read-only file has nothing of ours to merge.
                if (!db.connectOptions().contains(QLatin1String("QSQLITE_OPEN_READONLY"))) {
                    if (!q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")))
                        problem = EngineText(q.lastError());
                    else if (q.next() && q.value(0).toInt() != 0)
                        problem = QStringLiteral("another program is using the file");
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
    return problem;
}

void CreateDatabaseFile(const QString& path, DbFile file)
{
    const QString name = QStringLiteral("create-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (QFileInfo::exists(path))
        throw DbError(FileError(QStringLiteral("Will not overwrite"), path, QStringLiteral("the file exists")));
    try {
        // The library is read whole into memory many times a day: stored as UTF-16 it
        // reaches Qt's strings without a conversion per value.
        QSqlDatabase db = OpenConnection(path, name,
                                         file == DbFile::Library ? QStringLiteral("UTF-16le") : QString());
        ThrowIfFailed(db.transaction() ? QSqlError() : db.lastError());
        try {
            for (const QString& statement : SchemaStatements(file))
                Exec(db, statement);
            Exec(db, QStringLiteral("INSERT INTO \"Version\" (\"Version\") VALUES (?)"), {CurrentSchemaVersion});
            if (!db.commit())
                ThrowIfFailed(db.lastError());
        } catch (...) {
            db.rollback();
            throw;
        }
    } catch (...) {
        CloseConnection(name);
        QFile::remove(path);
        throw;
    }
    CloseConnection(name);
}

DbFileCheck CheckDatabaseFile(const QString& path, DbFile file)
{
    DbFileCheck result;
    const QString name = QStringLiteral("check-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // The check creates no side files and changes nothing.
        ConfigureReadOnly(db, path);
        auto fail = [&](const QString& error) {
            result.status = DbFileCheck::Damaged;
            result.error = error;
        };
        if (!db.open()) {
            fail(EngineText(db.lastError()));
        } else {
            QSqlQuery q(db);
            // Reading the schema fails on a file that is not a database or is locked.
            if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"))) {
                fail(EngineText(q.lastError()));
                if (IsInUse(EngineCode(q.lastError())))
                    result.status = DbFileCheck::InUse;
            } else {
                QStringList tables;
                while (q.next())
                    tables << q.value(0).toString();
                q.finish();
                QStringList problems;
                // Columns are checked below, only for a file at the current version: an
                // older file lacks some of them until it is upgraded. The oldest files
                // have no Version table at all.
                for (const auto& required : RequiredTables(file)) {
                    if (!tables.contains(required.first, Qt::CaseInsensitive) && required.first != QLatin1String("Version"))
                        problems << QStringLiteral("table %1 is missing").arg(required.first);
                }
                if (!problems.isEmpty()) {
                    fail(problems.join(QStringLiteral("; ")));
                } else if (!tables.contains(QStringLiteral("Version"), Qt::CaseInsensitive)) {
                    result.status = DbFileCheck::NeedsUpgrade;
                } else {
                    QSqlQuery v(db);
                    if (!v.exec(QStringLiteral("SELECT \"Version\" FROM \"Version\""))) {
                        fail(EngineText(v.lastError()));
                    } else if (!v.next()) {
                        fail(QStringLiteral("the Version table is empty"));
                    } else {
                        result.version = v.value(0).toString().trimmed();
                        v.finish();
                        // Versions compare as numbers ("3.80" is "3.8").
                        if (VersionNumber(result.version) != VersionNumber(CurrentSchemaVersion)) {
                            result.status = DbFileCheck::NeedsUpgrade;
                        } else {
                            for (const auto& [table, columns] : RequiredTables(file)) {
                                const QSqlRecord record = db.record(table);
                                for (const QString& c : columns) {
                                    if (record.indexOf(c) < 0)
                                        problems << QStringLiteral("column %1.%2 is missing").arg(table, c);
                                }
                            }
                            if (!problems.isEmpty())
                                fail(problems.join(QStringLiteral("; ")));
                        }
                    }
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QuickCheckResult QuickCheckFile(const QString& path)
{
    QuickCheckResult result;
    const QString name =
        QStringLiteral("quick-check-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        ConfigureReadOnly(db, path);
        if (!db.open()) {
            result.ok = false;
            result.report = EngineText(db.lastError());
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA quick_check(10)"))) {
                result.ok = false;
                result.report = EngineText(q.lastError());
            } else {
                QStringList findings;
                while (q.next())
                    findings << q.value(0).toString();
                if (findings != QStringList{QStringLiteral("ok")}) {
                    result.ok = false;
                    result.report = findings.join(QStringLiteral("\r\n"));
                }
            }
            q.finish();
            q = QSqlQuery();
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

QString FileWriteProblem(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return f.errorString();
    return {};
}

// The quick check of one file on its own thread.
class MainFileCheck
{
public:
    // finished runs on the check's thread once the result is known.
    MainFileCheck(const QString& path, std::function<void()> finished)
    {
        m_thread = std::thread([this, path, finished = std::move(finished)] {
            QuickCheckResult result = QuickCheckFile(path);
            {
                std::lock_guard lock(m_mutex);
                m_result = std::move(result);
                m_finished = true;
            }
            m_done.notify_all();
            finished();
        });
    }
    ~MainFileCheck() { m_thread.join(); }
    MainFileCheck(const MainFileCheck&) = delete;
    MainFileCheck& operator=(const MainFileCheck&) = delete;

    QuickCheckResult Wait()
    {
        std::unique_lock lock(m_mutex);
        m_done.wait(lock, [this] { return m_finished; });
        return m_result;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    QuickCheckResult m_result;
    std::thread m_thread;
};

Databases::Databases(QString connectionPrefix) : m_prefix(std::move(connectionPrefix)) {}

Databases::~Databases()
{
    Close();
}

QSqlDatabase Databases::MainDb() const
{
    return QSqlDatabase::database(m_prefix + QStringLiteral("-main"), false);
}
QSqlDatabase Databases::LibraryDb() const
{
    return QSqlDatabase::database(m_prefix + QStringLiteral("-library"), false);
}
QSqlDatabase Databases::PicklistDb() const
{
    return QSqlDatabase::database(m_prefix + QStringLiteral("-picklist"), false);
}

void Databases::Open(const QString& appFolder)
{
    Close();
    MainPath = ResolvePath(JoinPath(appFolder, MainDbFileName));
    LibraryPath = ResolvePath(JoinPath(appFolder, LibraryDbFileName));
    PicklistPath = ResolvePath(JoinPath(appFolder, PicklistDbFileName));
    auto openOne = [](const QString& path, const QString& name, bool mayBeReadOnly) {
        if (!QFileInfo::exists(path))
            throw DbError(FileError(QStringLiteral("Cannot open"), path, QStringLiteral("the file does not exist")));
        const QString writeProblem = FileWriteProblem(path);
        if (!writeProblem.isEmpty() && !mayBeReadOnly)
            throw DbError(FileError(QStringLiteral("Cannot write"), path, writeProblem));
        // Changes left in the journal by a run that could not merge them (a full disk).
        const bool leftover = QFileInfo(path + QStringLiteral("-wal")).size() > 0;
        try {
            if (!writeProblem.isEmpty()) {
                SetWriteRefusal(OpenReadOnlyConnection(path, name),
                                ReadOnlyRefusal(path, writeProblem));
                return;
            }
            QSqlDatabase db = OpenConnection(path, name);
            // Taking the write lock once finds a file that another program holds.
            Exec(db, QStringLiteral("BEGIN IMMEDIATE"));
            Exec(db, QStringLiteral("ROLLBACK"));
            if (leftover) {
                QSqlQuery merge(db);
                merge.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            }
        } catch (const DbError& e) {
            if (IsInUse(e.engineCode()))
                throw DbError(InUseText(path), e.engineCode());
            throw DbError(FileError(QStringLiteral("Cannot open"), path, e.message()),
                          e.engineCode());
        }
    };
    try {
        openOne(MainPath, m_prefix + QStringLiteral("-main"), false);
        openOne(LibraryPath, m_prefix + QStringLiteral("-library"), true);
        LibraryRecordset.Open = true;
        LibraryRecordset.Filter = LibraryFilter{};
        openOne(PicklistPath, m_prefix + QStringLiteral("-picklist"), true);
    } catch (...) {
        m_open = true;
        Close();
        throw;
    }
    m_open = true;
}

QList<QPair<QString, QString>> Databases::Close()
{
    // The check reads the main file: it ends before the file closes.
    m_check.reset();
    m_alive = std::make_shared<int>(0);
    m_onDamaged = nullptr;
    m_damageReported = false;
    m_mainDamage.clear();
    LibraryRecordset.Open = false;
    QList<QPair<QString, QString>> kept;
    const struct
    {
        const char* suffix;
        const QString& path;
    } order[] = {{"-main", MainPath}, {"-picklist", PicklistPath}, {"-library", LibraryPath}};
    for (const auto& c : order) {
        const QString problem = CloseConnection(m_prefix + QLatin1String(c.suffix));
        if (!problem.isEmpty() && QFileInfo(c.path + QStringLiteral("-wal")).size() > 0)
            kept.append({c.path, problem});
    }
    m_open = false;
    return kept;
}

void Databases::StartMainFileCheck(std::function<void(const QString& report)> onDamaged)
{
    m_check.reset();
    m_onDamaged = std::move(onDamaged);
    m_damageReported = false;
    // The result is taken on this thread, from its event loop; the check's thread
    // only computes it.
    std::weak_ptr<int> alive = m_alive;
    m_check = std::make_unique<MainFileCheck>(MainPath, [alive, this] {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            QMetaObject::invokeMethod(
                app,
                [alive, this] {
                    if (!alive.expired())
                        ApplyMainFileCheck();
                },
                Qt::QueuedConnection);
        }
    });
    SetWriteGate(MainDb(), [this] { ApplyMainFileCheck(); });
}

void Databases::ApplyMainFileCheck()
{
    if (!m_check)
        return;
    const QuickCheckResult result = m_check->Wait();
    SetWriteGate(MainDb(), {});
    if (!result.ok && m_mainDamage.isEmpty()) {
        m_mainDamage = result.report.isEmpty() ? QStringLiteral("the check failed") : result.report;
        const QSqlDatabase db = MainDb();
        Exec(db, QStringLiteral("PRAGMA query_only=1"));
        SetWriteRefusal(db, DamagedRefusal(MainPath));
    }
    if (!m_mainDamage.isEmpty() && !m_damageReported && m_onDamaged) {
        m_damageReported = true;
        m_onDamaged(m_mainDamage);
    }
}

void OpenDatabases(AppContext& ctx)
{
    // Files of an older version are brought up to date first; the upgrade opens and
    // closes them itself.
    ctx.Db.Close();
    UpgradeDatabases(ctx);
    ctx.Db.Open(ctx.AppFolder());
    ctx.Program.PatientID.reset();
    ctx.Program.InvoiceID.reset();
}

void CloseDatabases(AppContext& ctx)
{
    const QList<QPair<QString, QString>> kept = ctx.Db.Close();
    for (const auto& [path, reason] : kept) {
        ctx.Prompt().Message(
            QStringLiteral("Database"),
            QStringLiteral(
                "The last changes to the database file %1 could not be written into it "
                "(%2).\r\n\r\n"
                "They are kept beside it in %3 and will be merged into the file the next time "
                "the program starts. Do not delete or move that file.")
                .arg(QDir::toNativeSeparators(path), reason,
                     QDir::toNativeSeparators(path + QStringLiteral("-wal"))),
            PromptIcon::Warning);
    }
}

DataFilesCheck PrepareDataFiles(const QString& appFolder, const QString& deliveredFolder,
                                const InstallStepHook& hook)
{
    DataFilesCheck result;
    const DbFile files[] = {DbFile::Main, DbFile::Library, DbFile::Picklist};
    try {
        result.installed = FinishInterruptedInstall(appFolder, deliveredFolder, hook);
    } catch (const DbError& e) {
        result.title = QStringLiteral("Installation Failed");
        result.message = QStringLiteral("The data files could not be created in %1.\r\n\r\n%2")
                             .arg(QDir::toNativeSeparators(appFolder), e.message());
        return result;
    }
    QStringList missing;
    for (DbFile f : files) {
        if (!QFileInfo(ResolvePath(JoinPath(appFolder, DbFileName(f)))).isFile())
            missing << DbFileName(f);
    }
    if (missing.size() == 3) {
        try {
            InstallDeliveredFiles(appFolder, deliveredFolder, hook);
        } catch (const DbError& e) {
            result.title = QStringLiteral("Installation Failed");
            result.message = QStringLiteral("The data files could not be created in %1.\r\n\r\n%2")
                                 .arg(QDir::toNativeSeparators(appFolder), e.message());
            return result;
        }
        result.installed = true;
        result.ok = true;
        return result;
    }
    if (!missing.isEmpty()) {
        result.title = QStringLiteral("Missing Database");
        result.message = QStringLiteral("The following database files are missing from %1:\r\n\r\n%2\r\n\r\n"
                                        "Restore them from your backup. The program will now end.")
                             .arg(QDir::toNativeSeparators(appFolder), missing.join(QStringLiteral("\r\n")));
        return result;
    }
    // The main file takes every save: one that cannot be written is refused now, before
    // anything is opened beside it. The other two may stay read-only.
    const QString mainPath = ResolvePath(JoinPath(appFolder, MainDbFileName));
    if (const QString problem = FileWriteProblem(mainPath); !problem.isEmpty()) {
        result.title = QStringLiteral("Database Error");
        result.message =
            QStringLiteral("The database file %1 cannot be written: %2.\r\n\r\n"
                           "The program keeps its patients and programs in it and cannot work "
                           "with it read-only. Make the file writable, then start the program "
                           "again. The program will now end.")
                .arg(QDir::toNativeSeparators(mainPath), problem);
        return result;
    }
    for (DbFile f : files) {
        const QString path = ResolvePath(JoinPath(appFolder, DbFileName(f)));
        const DbFileCheck check = CheckDatabaseFile(path, f);
        if (check.status == DbFileCheck::InUse) {
            result.title = QStringLiteral("Database Error");
            result.message = InUseText(path);
            return result;
        }
        if (check.status == DbFileCheck::Damaged) {
            result.title = QStringLiteral("Database Error");
            result.message = QStringLiteral("The database file %1 cannot be used.\r\n\r\n%2")
                                 .arg(QDir::toNativeSeparators(path), check.error);
            return result;
        }
        // An older file is upgraded when it is opened; a newer one is left alone.
        if (check.status == DbFileCheck::NeedsUpgrade && IsNewerThanCurrent(check.version)) {
            result.title = QStringLiteral("Newer Database Version");
            result.message = NewerVersionMessage(path, check.version);
            return result;
        }
        if (check.status == DbFileCheck::NeedsUpgrade && !VersionNumber(check.version) && !check.version.isEmpty()) {
            result.title = QStringLiteral("Database Error");
            result.message = QStringLiteral("The database file %1 cannot be used.\r\n\r\nIts version \"%2\" is not a number.")
                                 .arg(QDir::toNativeSeparators(path), check.version);
            return result;
        }
    }
    result.ok = true;
    return result;
}

void InstallDeliveredFiles(const QString& appFolder, const QString& deliveredFolder,
                           const InstallStepHook& hook)
{
    auto step = [&](const QString& name) {
        if (hook)
            hook(name);
    };
    if (!QDir().mkpath(appFolder))
        throw DbError(FileError(QStringLiteral("Cannot create the folder"), appFolder,
                                QStringLiteral("permission denied or invalid path")));
    const QString staging = JoinPath(
        appFolder, InstallFolderPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!QDir().mkpath(staging))
        throw DbError(FileError(QStringLiteral("Cannot write to the folder"), appFolder,
                                QStringLiteral("permission denied")));
    QStringList renamed;
    try {
        for (DbFile f : AllFiles)
            CreateDatabaseFile(JoinPath(staging, DbFileName(f)), f);
        FillDeliveredData(JoinPath(staging, MainDbFileName), JoinPath(staging, LibraryDbFileName),
                          JoinPath(staging, PicklistDbFileName), deliveredFolder);
        WriteInstallManifest(staging);
        step(QStringLiteral("staged"));
        for (DbFile f : AllFiles) {
            const QString from = JoinPath(staging, DbFileName(f));
            const QString to = JoinPath(appFolder, DbFileName(f));
            step(QStringLiteral("rename ") + DbFileName(f));
            if (!QFile::rename(from, to))
                throw DbError(FileError(QStringLiteral("Cannot create"), to, QStringLiteral("rename failed")));
            renamed << to;
            SyncFolder(appFolder);
        }
    } catch (...) {
        // Leave no part of an installation behind: the next start installs again.
        for (const QString& path : renamed)
            QFile::remove(path);
        QDir(staging).removeRecursively();
        throw;
    }
    step(QStringLiteral("copy"));
    CopyDeliveredExtras(appFolder, deliveredFolder);
    // Only now: a start that finds the staging folder copies what is still missing.
    QDir(staging).removeRecursively();
    step(QStringLiteral("done"));
}

} // namespace tramelle
