#include "Database.h"

#include "AppContext.h"
#include "DbError.h"
#include "DeliveredData.h"
#include "Paths.h"
#include "Upgrade.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QUuid>

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

} // namespace

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
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        const QString err = db.lastError().databaseText().isEmpty() ? db.lastError().text()
                                                                     : db.lastError().databaseText();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw DbError(err);
    }
    try {
        // The encoding is fixed by the first write, so it comes before the journal mode.
        if (!newFileEncoding.isEmpty())
            Exec(db, QStringLiteral("PRAGMA encoding = '%1'").arg(newFileEncoding));
        ApplyDurableSettings(db);
    } catch (...) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw;
    }
    return db;
}

void CloseConnection(const QString& connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.isOpen()) {
            {
                QSqlQuery q(db);
                q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
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
        // Without a journal beside it, the file is read as immutable so that the check
        // creates no side files either; with one, it must be read through the journal.
        if (QFileInfo::exists(path + QStringLiteral("-wal"))) {
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
        } else {
            db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
                               QStringLiteral("?mode=ro&immutable=1"));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY"));
        }
        auto fail = [&](const QString& error) {
            result.status = DbFileCheck::Damaged;
            result.error = error;
        };
        if (!db.open()) {
            fail(db.lastError().databaseText().isEmpty() ? db.lastError().text() : db.lastError().databaseText());
        } else {
            QSqlQuery q(db);
            // Reading the schema fails on a file that is not a database or is locked.
            if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='table'"))) {
                fail(q.lastError().databaseText());
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
                        fail(v.lastError().databaseText());
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
    auto openOne = [](const QString& path, const QString& name) {
        if (!QFileInfo::exists(path))
            throw DbError(FileError(QStringLiteral("Cannot open"), path, QStringLiteral("the file does not exist")));
        try {
            OpenConnection(path, name);
        } catch (const DbError& e) {
            throw DbError(FileError(QStringLiteral("Cannot open"), path, e.message()));
        }
    };
    try {
        openOne(MainPath, m_prefix + QStringLiteral("-main"));
        openOne(LibraryPath, m_prefix + QStringLiteral("-library"));
        LibraryRecordset.Open = true;
        LibraryRecordset.Filter = LibraryFilter{};
        openOne(PicklistPath, m_prefix + QStringLiteral("-picklist"));
    } catch (...) {
        m_open = true;
        Close();
        throw;
    }
    m_open = true;
}

void Databases::Close()
{
    LibraryRecordset.Open = false;
    CloseConnection(m_prefix + QStringLiteral("-main"));
    CloseConnection(m_prefix + QStringLiteral("-picklist"));
    CloseConnection(m_prefix + QStringLiteral("-library"));
    m_open = false;
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
    ctx.Db.Close();
}

DataFilesCheck PrepareDataFiles(const QString& appFolder, const QString& deliveredFolder)
{
    DataFilesCheck result;
    const DbFile files[] = {DbFile::Main, DbFile::Library, DbFile::Picklist};
    QStringList missing;
    for (DbFile f : files) {
        if (!QFileInfo(ResolvePath(JoinPath(appFolder, DbFileName(f)))).isFile())
            missing << DbFileName(f);
    }
    if (missing.size() == 3) {
        try {
            InstallDeliveredFiles(appFolder, deliveredFolder);
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
    for (DbFile f : files) {
        const QString path = ResolvePath(JoinPath(appFolder, DbFileName(f)));
        const DbFileCheck check = CheckDatabaseFile(path, f);
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

void InstallDeliveredFiles(const QString& appFolder, const QString& deliveredFolder)
{
    if (!QDir().mkpath(appFolder))
        throw DbError(FileError(QStringLiteral("Cannot create the folder"), appFolder,
                                QStringLiteral("permission denied or invalid path")));
    const QString staging = JoinPath(appFolder, QStringLiteral(".install-") +
                                                    QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!QDir().mkpath(staging))
        throw DbError(FileError(QStringLiteral("Cannot write to the folder"), appFolder,
                                QStringLiteral("permission denied")));
    auto cleanup = [&] { QDir(staging).removeRecursively(); };
    const DbFile files[] = {DbFile::Main, DbFile::Library, DbFile::Picklist};
    QStringList renamed;
    try {
        for (DbFile f : files)
            CreateDatabaseFile(JoinPath(staging, DbFileName(f)), f);
        FillDeliveredData(JoinPath(staging, MainDbFileName), JoinPath(staging, LibraryDbFileName),
                          JoinPath(staging, PicklistDbFileName), deliveredFolder);
        for (DbFile f : files) {
            const QString from = JoinPath(staging, DbFileName(f));
            const QString to = JoinPath(appFolder, DbFileName(f));
            if (!QFile::rename(from, to))
                throw DbError(FileError(QStringLiteral("Cannot create"), to, QStringLiteral("rename failed")));
            renamed << to;
        }
    } catch (...) {
        // Leave no part of an installation behind: the next start installs again.
        for (const QString& path : renamed)
            QFile::remove(path);
        cleanup();
        throw;
    }
    cleanup();
    // Texts, icons and help: copied when the delivered folder has them, never overwriting.
    if (!deliveredFolder.isEmpty() && QFileInfo(deliveredFolder).isDir()) {
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
                    throw DbError(FileError(QStringLiteral("Cannot copy"), it.filePath(), src.errorString()));
                QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
            }
        }
    }
}

} // namespace tramelle
