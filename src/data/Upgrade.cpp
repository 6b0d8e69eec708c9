#include "Upgrade.h"

#include "AppContext.h"
#include "DbError.h"
#include "Paths.h"
#include "SafeFiles.h"
#include "Services.h"
#include "Transaction.h"
#include "UpgradeStepRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace tramelle {

using namespace upgrade;

namespace {

QStringList OldExerciseColumns(bool protocol)
{
    QStringList c;
    if (protocol)
        c << QStringLiteral("\"ProtocolID\" INTEGER NOT NULL REFERENCES "
                            "\"Protocol\"(\"ProtocolID\") ON DELETE CASCADE")
          << Int32Col("RankOnTape");
    else
        c << QStringLiteral("\"InvoiceID\" INTEGER NOT NULL REFERENCES \"Invoice\"(\"InvoiceID\") "
                            "ON DELETE CASCADE")
          << Int16Col("RankOnTape");
    c << Int32Col("ExerciseID") << Col("code") << Col("Desc") << Col("AbbrevDesc")
      << Int16Col("Reps") << Int16Col("Hold") << Int16Col("Sets") << Col("Icon") << Col("Movie")
      << Col("Picture0") << Col("Picture1") << Col("Picture2") << Col("Picture3");
    for (const char* name : {"Instruct0", "Instruct1", "Instruct2", "Instruct3"}) {
        QString def = SizedCol(name, OldInstructSize);
        // The first instruction of a protocol exercise could not be empty.
        if (protocol && qstrcmp(name, "Instruct0") == 0)
            def.insert(def.size() - 1, ProtocolInstruct0NotEmpty);
        c << def;
    }
    return c;
}

QString VersionTableStatement()
{
    for (const QString& s : SchemaStatements(DbFile::Main)) {
        if (s.startsWith(QLatin1String("CREATE TABLE \"Version\"")))
            return s;
    }
    throw DbError(Texts::tr("The Version table has no definition"));
}

QString BackupName(const QString& path, const QString& version)
{
    const QFileInfo info(path);
    const QString label =
        version.isEmpty() ? QStringLiteral("before %1").arg(OldestSchemaVersion) : version;
    return JoinPath(
        info.absolutePath(),
        QStringLiteral("%1 (version %2).%3").arg(info.completeBaseName(), label, info.suffix()));
}

} // namespace

std::optional<double> VersionNumber(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<QString> StoredVersion(const QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT \"Version\" FROM \"Version\"")) || !q.next())
        return std::nullopt;
    return q.value(0).toString().trimmed();
}

bool VersionAtLeast(const QSqlDatabase& db, const QString& version)
{
    const std::optional<QString> stored = StoredVersion(db);
    if (!stored)
        return false;
    const auto have = VersionNumber(*stored);
    const auto want = VersionNumber(version);
    return have && want && *have >= *want;
}

void SetVersion(const QSqlDatabase& db, const QString& version)
{
    Exec(db, QStringLiteral("DROP TABLE IF EXISTS \"Version\""));
    Exec(db, VersionTableStatement());
    Exec(db, QStringLiteral("INSERT INTO \"Version\" (\"Version\") VALUES (?)"), {version});
}

bool IsNewerThanCurrent(const QString& version, DbFile file)
{
    const auto have = VersionNumber(version);
    return have && *have > *VersionNumber(CurrentSchemaVersionOf(file));
}

QString NewerVersionMessage(const QString& path, const QString& version, DbFile file)
{
    return Texts::tr(
               "The database file %1 was made by a newer version of the program (file version %2; "
               "this program "
               "reads files up to version %3).\r\n\r\nThe file has not been changed. Use the newer "
               "version of the "
               "program with it.")
        .arg(Native(path), version, CurrentSchemaVersionOf(file));
}

QStringList OldestSchemaStatements(DbFile file)
{
    QStringList s;
    switch (file) {
    case DbFile::Main:
        s << Table("Patient", {QStringLiteral("\"PatientID\" INTEGER PRIMARY KEY AUTOINCREMENT"),
                               Col("ID"), Col("FirstName"), Col("LastName"), Col("FullName")})
          << Table("Invoice",
                   {QStringLiteral("\"InvoiceID\" INTEGER PRIMARY KEY AUTOINCREMENT"),
                    QStringLiteral("\"PatientID\" INTEGER REFERENCES \"Patient\"(\"PatientID\") ON "
                                   "DELETE CASCADE"),
                    Col("Date"), Col("Provider"), Col("Usage"), Col("BillAddr"), Col("PayMethod"),
                    Col("CardNum"), Col("CardDate"), Col("NameOnCard"), Int16Col("Tax"),
                    Col("ShipAddr"), Col("ShipPhone"), Col("ShipMethod")})
          << Table("Exercise", OldExerciseColumns(false))
          << Table("Items", {QStringLiteral("\"InvoiceID\" INTEGER NOT NULL REFERENCES "
                                            "\"Invoice\"(\"InvoiceID\") ON DELETE CASCADE"),
                             Col("PartNumber"), Col("Description"), Int16Col("Qty"),
                             Col("Price", "INTEGER"), Int16Col("RankOnOrder")})
          << Table("Protocol", {QStringLiteral("\"ProtocolID\" INTEGER PRIMARY KEY AUTOINCREMENT"),
                                Col("Name")})
          << Table("ProtocolExercise", OldExerciseColumns(true))
          << Table("Clinic",
                   {Col("Name"), Col("Phone"), Col("ShipAddr"), Col("ShipMethod"), Col("BillAddr"),
                    Col("PayMethod"), Col("CardNum"), Col("CardDate"), Col("NameOnCard")})
          << QStringLiteral("CREATE INDEX \"ProtocolRankOnTape\" ON \"ProtocolExercise\" "
                            "(\"ProtocolID\", \"RankOnTape\")")
          << QStringLiteral(
                 "CREATE INDEX \"ItemsInvoice\" ON \"Items\" (\"InvoiceID\", \"RankOnOrder\")")
          << QStringLiteral(
                 "CREATE INDEX \"InvoicePatient\" ON \"Invoice\" (\"PatientID\", \"Date\")")
          << QStringLiteral("CREATE INDEX \"PatientFullName\" ON \"Patient\" (\"FullName\")")
          << QStringLiteral("INSERT INTO \"Clinic\" DEFAULT VALUES");
        break;
    case DbFile::Library: {
        QStringList c{QStringLiteral("\"ExerciseID\" INTEGER NOT NULL UNIQUE CHECK (\"ExerciseID\" "
                                     "BETWEEN -2147483648 AND 2147483647)"),
                      Col("code"),
                      Col("Desc"),
                      Col("AbbrevDesc"),
                      Col("Joint"),
                      Col("Motion"),
                      Col("Type"),
                      Int16Col("Reps"),
                      Int16Col("Hold"),
                      Int16Col("Sets"),
                      Col("reps_opts"),
                      Col("hold_opts"),
                      Col("sets_opts"),
                      Col("Movie"),
                      Col("Icon"),
                      Col("Picture0"),
                      Col("Picture1"),
                      Col("Picture2"),
                      Col("Picture3")};
        for (const char* name : {"Instruct0", "Instruct1", "Instruct2", "Instruct3"})
            c << SizedCol(name, OldInstructSize);
        c << Int16Col("IconSrc") << Col("Picture0Src") << Col("Picture1Src") << Col("Picture2Src");
        s << Table("ExerciseLibrary", c)
          << QStringLiteral("CREATE INDEX \"AbbrevDesc\" ON \"ExerciseLibrary\" (\"AbbrevDesc\")");
        break;
    }
    case DbFile::Picklist:
        s << Table("Label",
                   {QStringLiteral(
                        "\"ID\" INTEGER PRIMARY KEY CHECK (\"ID\" BETWEEN -32768 AND 32767)"),
                    Col("Name")})
          << Table("Level1",
                   {QStringLiteral(
                        "\"ID\" INTEGER PRIMARY KEY CHECK (\"ID\" BETWEEN -32768 AND 32767)"),
                    Col("Name"),
                    QStringLiteral(
                        "\"LabelID\" INTEGER REFERENCES \"Label\"(\"ID\") ON DELETE CASCADE "
                        "CHECK (\"LabelID\" BETWEEN -32768 AND 32767)")})
          << QStringLiteral("CREATE INDEX \"Level1Label\" ON \"Level1\" (\"LabelID\")");
        break;
    }
    return s;
}

void CreateOldDatabaseFile(const QString& path, DbFile file, const QString& version)
{
    if (QFileInfo::exists(path))
        throw DbError(Texts::tr("Will not overwrite \"%1\"").arg(Native(path)));
    {
        ScopedDb db(path, false);
        Transaction t(db.Db());
        for (const QString& statement : OldestSchemaStatements(file))
            Exec(db.Db(), statement);
        t.Commit();
    }
    if (VersionNumber(version) > VersionNumber(OldestSchemaVersion)) {
        UpgradeOptions options;
        options.StopAt = version;
        UpgradeDatabaseFile(path, file, options);
        // The copy an upgrade keeps is of no use for a file made here.
        for (const QString& name :
             QDir(QFileInfo(path).absolutePath())
                 .entryList({QFileInfo(path).completeBaseName() + QStringLiteral(" (version *")}))
            QFile::remove(JoinPath(QFileInfo(path).absolutePath(), name));
    }
}

FileUpgradeResult UpgradeDatabaseFile(const QString& path, DbFile file,
                                      const UpgradeOptions& options)
{
    FileUpgradeResult result;
    const QString target = options.StopAt.isEmpty() ? CurrentSchemaVersionOf(file) : options.StopAt;
    {
        // A file at the current version is only read.
        ScopedDb reader(path, true);
        if (options.BeforeStatement)
            options.BeforeStatement(QStringLiteral("SELECT \"Version\" FROM \"Version\""));
        const std::optional<QString> stored = StoredVersion(reader.Db());
        result.FromVersion = stored.value_or(QString());
        if (stored && IsNewerThanCurrent(*stored, file))
            throw DbError(NewerVersionMessage(path, *stored, file));
        if (VersionAtLeast(reader.Db(), target))
            return result;
    }
    // A log left beside the file is merged first, so the copy below is whole.
    if (QFileInfo::exists(path + QStringLiteral("-wal")))
        ScopedDb(path, false).Close();
    try {
        const QString backup = BackupName(path, result.FromVersion);
        if (!QFileInfo::exists(backup)) {
            CopyFileSafely(path, backup);
            result.BackupPath = backup;
        }
    } catch (const MaintenanceFailure& e) {
        throw DbError(e.errors().first().description);
    }

    ScopedDb db(path, false);
    // Tables are rebuilt by dropping them: the cascades must not fire meanwhile.
    Exec(db.Db(), QStringLiteral("PRAGMA foreign_keys=OFF"));
    // A rebuilt table goes once straight into the file through a rollback journal (its new
    // pages need no journal) instead of twice through the log, and stays in the cache until
    // its step commits. Every step still commits durably; the log returns afterwards, and
    // the next opening brings it back should this run be cut short.
    Exec(db.Db(), QStringLiteral("PRAGMA journal_mode=DELETE"));
    Exec(db.Db(), QStringLiteral("PRAGMA cache_size=-262144"));
    auto restoreLog = qScopeGuard([&] {
        QSqlQuery q(db.Db());
        q.exec(QStringLiteral("PRAGMA cache_size=-2000"));
        q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    });
    StepRun run(db.Db(), path, options, result);
    for (const UpgradeStep& step : UpgradeSteps()) {
        const QString version = QLatin1String(step.Version);
        if (step.File != file || VersionNumber(version) > VersionNumber(target))
            continue;
        if (options.BeforeStatement)
            options.BeforeStatement(QStringLiteral("SELECT \"Version\" FROM \"Version\""));
        if (VersionAtLeast(db.Db(), version))
            continue;
        if (options.Status)
            options.Status(Texts::tr("Upgrading %1 to version %2...")
                               .arg(QFileInfo(path).fileName(), version));
        try {
            Transaction t(db.Db());
            step.Run(run);
            if (options.BeforeStatement)
                options.BeforeStatement(QStringLiteral("SetVersion ") + version);
            SetVersion(db.Db(), version);
            t.Commit();
        } catch (const DbError& e) {
            throw DbError(Texts::tr("The upgrade of %1 to version %2 failed; the file stays at the "
                                    "version before it.\r\n\r\n%3")
                              .arg(Native(path), version, e.message()));
        }
        result.StepsRun << version;
    }
    restoreLog.dismiss();
    Exec(db.Db(), QStringLiteral("PRAGMA cache_size=-2000"));
    Exec(db.Db(), QStringLiteral("PRAGMA journal_mode=WAL"));
    Exec(db.Db(), QStringLiteral("PRAGMA foreign_keys=ON"));
    return result;
}

void UpgradeDatabases(AppContext& ctx)
{
    UpgradeOptions options;
    options.UpdateFolders = {ctx.AppFolder(), DeliveredFilesFolder()};
    options.Prompt = &ctx.Prompt();
    options.Status = [&ctx](const QString& text) { ctx.MainWindow().SetStatusBar(text); };
    bool upgraded = false;
    for (DbFile file : {DbFile::Library, DbFile::Main, DbFile::Picklist}) {
        const QString path = ResolvePath(JoinPath(ctx.AppFolder(), DbFileName(file)));
        if (!QFileInfo(path).isFile())
            continue; // opening names the missing file
        upgraded = !UpgradeDatabaseFile(path, file, options).StepsRun.isEmpty() || upgraded;
    }
    if (upgraded)
        ctx.MainWindow().SetStatusBarReady();
}

void WriteUpdateFiles(const QList<DeliveredExercise>& rows, const QString& folder)
{
    const QString video = JoinPath(folder, VideoUpdateFileName);
    const QString library = JoinPath(folder, LibraryUpdateFileName);
    for (const QString& path : {video, library}) {
        try {
            RemoveDatabaseFile(path);
        } catch (const MaintenanceFailure& e) {
            throw DbError(e.errors().first().description);
        }
    }
    {
        ScopedDb db(video, false);
        Transaction t(db.Db());
        Exec(
            db.Db(),
            QStringLiteral(
                "CREATE TABLE \"Video\" (\"ExerciseID\" INTEGER PRIMARY KEY, \"HasVideo\" INTEGER, "
                "\"VideoReps\" INTEGER, \"VideoHold\" INTEGER, \"VideoSets\" INTEGER)"));
        for (const DeliveredExercise& row : rows) {
            const LibraryEntry& e = row.Entry;
            Exec(db.Db(), QStringLiteral("INSERT INTO \"Video\" VALUES (?, ?, ?, ?, ?)"),
                 {e.ExerciseID, e.HasVideo ? 1 : 0, e.VideoReps, e.VideoHold, e.VideoSets});
        }
        t.Commit();
    }
    CreateDatabaseFile(library, DbFile::Library);
    ScopedDb db(library, false);
    InsertLibraryRows(db.Db(), rows);
}

} // namespace tramelle
