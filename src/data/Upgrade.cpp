#include "Upgrade.h"

#include "AppContext.h"
#include "DbError.h"
#include "Paths.h"
#include "SafeFiles.h"
#include "Services.h"
#include "Transaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace tramelle {

namespace {

QString Tr(const char* text)
{
    return QCoreApplication::translate("Upgrade", text);
}

// Column fragments of the oldest schema, laid out as the table statements below.
QString Col(const char* name, const char* type = "TEXT")
{
    return QStringLiteral("\"%1\" %2").arg(QLatin1String(name), QLatin1String(type));
}
QString Int16Col(const char* name)
{
    return QStringLiteral("\"%1\" INTEGER CHECK (\"%1\" BETWEEN -32768 AND 32767)")
        .arg(QLatin1String(name));
}
QString Int32Col(const char* name)
{
    return QStringLiteral("\"%1\" INTEGER CHECK (\"%1\" BETWEEN -2147483648 AND 2147483647)")
        .arg(QLatin1String(name));
}
QString SizedCol(const char* name, int size)
{
    return QStringLiteral("\"%1\" TEXT CHECK (length(\"%1\") <= %2)")
        .arg(QLatin1String(name))
        .arg(size);
}
QString BoolCol(const char* name)
{
    return QStringLiteral("\"%1\" INTEGER CHECK (\"%1\" IN (0, 1))").arg(QLatin1String(name));
}
QString Table(const char* name, const QStringList& columns)
{
    return QStringLiteral("CREATE TABLE \"%1\" (\n  %2\n)")
        .arg(QLatin1String(name), columns.join(QStringLiteral(",\n  ")));
}
const QString ColumnSeparator = QStringLiteral(",\n  ");

// Instruction texts were 50 characters before they were widened.
constexpr int OldInstructSize = 50;
const QString ProtocolInstruct0NotEmpty = QStringLiteral(" AND \"Instruct0\" <> ''");

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
    throw DbError(QStringLiteral("The Version table has no definition"));
}

QString Native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

// How a rebuilt table's rules are applied to the rows copied into it.
enum class RebuildChecks
{
    Applied,
    // The new rules only accept more than the old ones did, which every row met.
    OnlyWidened
};

// The run of one step on an open file: statements go through Run so that tests can
// watch them and make one fail.
class StepRun
{
public:
    StepRun(QSqlDatabase db, const QString& path, const UpgradeOptions& options,
            FileUpgradeResult& result)
        : Db(std::move(db)), Path(path), Options(options), Result(result)
    {
    }

    QSqlDatabase Db;
    QString Path;
    const UpgradeOptions& Options;
    FileUpgradeResult& Result;

    QSqlQuery Run(const QString& sql, const QVariantList& values = {})
    {
        if (Options.BeforeStatement)
            Options.BeforeStatement(sql);
        return Exec(Db, sql, values);
    }

    qint64 Number(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q = Run(sql, values);
        return q.next() ? q.value(0).toLongLong() : 0;
    }

    void Notice(const QString& text)
    {
        Result.Notices << text;
        if (Options.Prompt)
            Options.Prompt->Message(Tr("Database Upgrade"), text, PromptIcon::Information);
    }

    // The update file, or nothing (with a notice naming it) when no folder holds it.
    std::optional<QString> UpdateFile(const QString& name, const QString& skipped)
    {
        for (const QString& folder : Options.UpdateFolders) {
            const QString path = ResolvePath(JoinPath(folder, name));
            if (QFileInfo(path).isFile())
                return path;
        }
        Notice(Tr("The update file \"%1\" was not found, so %2 in %3.")
                   .arg(name, skipped, Native(QFileInfo(Path).fileName())));
        return std::nullopt;
    }

    bool HasColumn(const QString& table, const QString& column)
    {
        QSqlQuery q = Run(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {table});
        while (q.next()) {
            if (q.value(0).toString().compare(column, Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }

    // Rebuilds a table from its own definition as `edit` changes it, keeping its rows,
    // row ids, indexes and key counter: the engine cannot change a column in place.
    void RebuildTable(const QString& table, const std::function<QString(QString)>& edit,
                      RebuildChecks checks = RebuildChecks::Applied)
    {
        QSqlQuery def =
            Run(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?"),
                {table});
        if (!def.next())
            throw DbError(QStringLiteral("The table %1 is missing").arg(table));
        const QString sql = def.value(0).toString();
        def.finish();
        QStringList indexes;
        QSqlQuery idx = Run(QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'index' AND "
                                           "tbl_name = ? AND sql IS NOT NULL"),
                            {table});
        while (idx.next())
            indexes << idx.value(0).toString();
        idx.finish();
        const std::optional<qint64> sequence = [&]() -> std::optional<qint64> {
            if (Number(QStringLiteral(
                    "SELECT count(*) FROM sqlite_master WHERE name = 'sqlite_sequence'")) == 0)
                return std::nullopt;
            QSqlQuery s =
                Run(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"), {table});
            return s.next() ? std::optional<qint64>(s.value(0).toLongLong()) : std::nullopt;
        }();

        const QString temp = table + QStringLiteral("_upgrade");
        QString created = edit(sql);
        const QString head = QStringLiteral("CREATE TABLE \"%1\"").arg(table);
        if (!created.startsWith(head))
            throw DbError(QStringLiteral("Unexpected definition of the table %1").arg(table));
        created.replace(0, head.size(), QStringLiteral("CREATE TABLE \"%1\"").arg(temp));
        Run(created);

        QStringList columns;
        bool rowidAlias = false;
        QSqlQuery info =
            Run(QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?)"), {temp});
        while (info.next()) {
            // Columns new to the table start empty (a quoted name the old table lacks
            // would be read as a text).
            if (!HasColumn(table, info.value(0).toString()))
                continue;
            columns << QStringLiteral("\"%1\"").arg(info.value(0).toString());
            if (info.value(2).toInt() == 1 &&
                info.value(1).toString().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) ==
                    0)
                rowidAlias = true;
        }
        info.finish();
        const QString list = columns.join(QStringLiteral(", "));
        const QString keyed = rowidAlias ? list : QStringLiteral("rowid, ") + list;
        {
            // Checking rules every row is known to meet would only cost time.
            const bool skipChecks = checks == RebuildChecks::OnlyWidened;
            if (skipChecks)
                Run(QStringLiteral("PRAGMA ignore_check_constraints=ON"));
            auto restoreChecks = qScopeGuard([&] {
                if (skipChecks)
                    QSqlQuery(Db).exec(QStringLiteral("PRAGMA ignore_check_constraints=OFF"));
            });
            Run(QStringLiteral("INSERT INTO \"%1\" (%2) SELECT %2 FROM \"%3\" ORDER BY rowid")
                    .arg(temp, keyed, table));
        }
        Run(QStringLiteral("DROP TABLE \"%1\"").arg(table));
        Run(QStringLiteral("ALTER TABLE \"%1\" RENAME TO \"%2\"").arg(temp, table));
        for (const QString& index : std::as_const(indexes))
            Run(index);
        // Keys of deleted rows are never given out again.
        if (sequence)
            Run(QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE name = ?"),
                {*sequence, table});
    }
};

namespace {

QString ReplaceOnce(QString sql, const QString& from, const QString& to)
{
    if (sql.count(from) != 1)
        throw DbError(QStringLiteral("Unexpected table definition (looking for %1)").arg(from));
    return sql.replace(from, to);
}

QString DropColumnDef(const QString& sql, const QString& columnDef)
{
    return ReplaceOnce(sql, ColumnSeparator + columnDef, QString());
}

// Reads rows of an update file into a temporary table of the file being upgraded.
void LoadUpdateTable(StepRun& s, const QString& updatePath, const QString& sourceTable,
                     const QString& tempTable, const QStringList& columns)
{
    s.Run(QStringLiteral("DROP TABLE IF EXISTS temp.\"%1\"").arg(tempTable));
    QStringList defs;
    for (const QString& c : columns)
        defs << QStringLiteral("\"%1\"%2")
                    .arg(c, c == QLatin1String("ExerciseID")
                                ? QStringLiteral(" INTEGER PRIMARY KEY")
                                : QString());
    s.Run(QStringLiteral("CREATE TEMP TABLE \"%1\" (%2)")
              .arg(tempTable, defs.join(QStringLiteral(", "))));
    QStringList quoted;
    for (const QString& c : columns)
        quoted << QStringLiteral("\"%1\"").arg(c);
    ScopedDb source(updatePath, true);
    QSqlQuery read(source.Db());
    read.setForwardOnly(true);
    if (!read.exec(QStringLiteral("SELECT %1 FROM \"%2\"")
                       .arg(quoted.join(QStringLiteral(", ")), sourceTable)))
        throw DbError(QStringLiteral("\"%1\": %2").arg(Native(updatePath), EngineText(read.lastError())),
                      EngineCode(read.lastError()));
    QSqlQuery insert(s.Db);
    ThrowIfFailed(
        insert, insert.prepare(QStringLiteral("INSERT OR REPLACE INTO temp.\"%1\" VALUES (%2)")
                                   .arg(tempTable, QStringList(columns.size(), QStringLiteral("?"))
                                                       .join(QLatin1Char(',')))));
    while (read.next()) {
        for (int i = 0; i < columns.size(); ++i)
            insert.bindValue(i, read.value(i));
        ThrowIfFailed(insert, insert.exec());
    }
    ThrowIfFailed(read.lastError());
}

// Adds the video columns to a table and fills them from "Video.MDB"; rows the video
// table does not list get no video, since readers take HasVideo as true or false.
void AddVideoColumns(StepRun& s, const QString& table, bool addColumns)
{
    if (addColumns) {
        s.Run(QStringLiteral("ALTER TABLE \"%1\" ADD COLUMN %2").arg(table, BoolCol("HasVideo")));
        for (const char* c : {"VideoReps", "VideoHold", "VideoSets"})
            s.Run(QStringLiteral("ALTER TABLE \"%1\" ADD COLUMN %2").arg(table, Int32Col(c)));
    }
    if (const auto video = s.UpdateFile(
            VideoUpdateFileName, Tr("the video columns of %1 were set to no video").arg(table))) {
        LoadUpdateTable(s, *video, QStringLiteral("Video"), QStringLiteral("UpdateVideo"),
                        {QStringLiteral("ExerciseID"), QStringLiteral("HasVideo"),
                         QStringLiteral("VideoReps"), QStringLiteral("VideoHold"),
                         QStringLiteral("VideoSets")});
        s.Run(QStringLiteral(
                  "UPDATE \"%1\" SET \"HasVideo\" = CASE WHEN v.\"HasVideo\" THEN 1 ELSE 0 END, "
                  "\"VideoReps\" = coalesce(v.\"VideoReps\", 0), \"VideoHold\" = "
                  "coalesce(v.\"VideoHold\", 0), "
                  "\"VideoSets\" = coalesce(v.\"VideoSets\", 0) FROM temp.\"UpdateVideo\" AS v "
                  "WHERE v.\"ExerciseID\" = \"%1\".\"ExerciseID\"")
                  .arg(table));
        s.Run(QStringLiteral("DROP TABLE temp.\"UpdateVideo\""));
    }
    s.Run(QStringLiteral("UPDATE \"%1\" SET \"HasVideo\" = coalesce(\"HasVideo\", 0), "
                         "\"VideoReps\" = coalesce(\"VideoReps\", 0), "
                         "\"VideoHold\" = coalesce(\"VideoHold\", 0), \"VideoSets\" = "
                         "coalesce(\"VideoSets\", 0) "
                         "WHERE \"HasVideo\" IS NULL OR \"VideoReps\" IS NULL OR \"VideoHold\" IS "
                         "NULL OR \"VideoSets\" IS NULL")
              .arg(table));
}

// The delivered exercises (numbers 1 to 9999) get pictures named ".JPG".
void RenamePictures(StepRun& s, const QString& table)
{
    QStringList sets;
    for (const char* c : {"Icon", "Picture0", "Picture1", "Picture2"})
        sets << QStringLiteral("\"%1\" = CASE WHEN length(\"%1\") > 3 THEN substr(\"%1\", 1, "
                               "length(\"%1\") - 3) || 'JPG' "
                               "ELSE \"%1\" END")
                    .arg(QLatin1String(c));
    s.Run(QStringLiteral("UPDATE \"%1\" SET %2 WHERE \"ExerciseID\" > 0 AND \"ExerciseID\" < 10000")
              .arg(table, sets.join(QStringLiteral(", "))));
}

QString WidenInstructions(QString sql)
{
    for (const char* c : {"Instruct0", "Instruct1", "Instruct2"}) {
        const QString name = QLatin1String(c);
        sql =
            ReplaceOnce(sql, QStringLiteral("length(\"%1\") <= %2").arg(name).arg(OldInstructSize),
                        QStringLiteral("length(\"%1\") <= %2").arg(name).arg(InstructLimit));
    }
    return sql;
}

const QStringList CopiedLibraryColumns{
    QStringLiteral("code"),      QStringLiteral("Desc"),      QStringLiteral("AbbrevDesc"),
    QStringLiteral("Reps"),      QStringLiteral("Hold"),      QStringLiteral("Sets"),
    QStringLiteral("Icon"),      QStringLiteral("Movie"),     QStringLiteral("Picture0"),
    QStringLiteral("Instruct0"), QStringLiteral("Picture1"),  QStringLiteral("Instruct1"),
    QStringLiteral("Picture2"),  QStringLiteral("Instruct2"), QStringLiteral("HasVideo"),
    QStringLiteral("VideoReps"), QStringLiteral("VideoHold"), QStringLiteral("VideoSets")};

void LoadLibraryUpdate(StepRun& s, const QString& path)
{
    LoadUpdateTable(s, path, QStringLiteral("ExerciseLibrary"), QStringLiteral("UpdateLibrary"),
                    QStringList{QStringLiteral("ExerciseID")} + CopiedLibraryColumns);
}

void CopyTexts(StepRun& s, const QString& table)
{
    QStringList sets;
    for (const QString& c : CopiedLibraryColumns)
        sets << QStringLiteral("\"%1\" = u.\"%1\"").arg(c);
    s.Run(QStringLiteral("UPDATE \"%1\" SET %2 FROM temp.\"UpdateLibrary\" AS u WHERE "
                         "u.\"ExerciseID\" = \"%1\".\"ExerciseID\"")
              .arg(table, sets.join(QStringLiteral(", "))));
}

QString DropPicture3(const QString& sql)
{
    return DropColumnDef(DropColumnDef(sql, Col("Picture3")),
                         SizedCol("Instruct3", OldInstructSize));
}

// Cuts the column to 40 characters (saying how many values were cut) and gives it
// that size.
void RecreateAsText40(StepRun& s, const QString& table, const char* column)
{
    const QString c = QLatin1String(column);
    const qint64 cut = s.Number(
        QStringLiteral("SELECT count(*) FROM \"%1\" WHERE length(\"%2\") > 40").arg(table, c));
    if (cut > 0) {
        s.Run(QStringLiteral(
                  "UPDATE \"%1\" SET \"%2\" = substr(\"%2\", 1, 40) WHERE length(\"%2\") > 40")
                  .arg(table, c));
        s.Notice(Tr("%1 values of %2 in the table %3 of %4 were longer than 40 characters and were "
                    "cut to 40.")
                     .arg(cut)
                     .arg(c, table, QFileInfo(s.Path).fileName()));
    }
    s.RebuildTable(table, [&](const QString& sql) {
        return ReplaceOnce(sql, Col(column), SizedCol(column, 40));
    });
}

// The steps. The library file first:
void Library32(StepRun& s)
{
    const QString t = QStringLiteral("ExerciseLibrary");
    // The library is small: rebuilt with the video columns where current files hold them.
    s.RebuildTable(t, [](QString sql) {
        for (const char* c : {"reps_opts", "hold_opts", "sets_opts"})
            sql = DropColumnDef(sql, Col(c));
        const QString video =
            ColumnSeparator + QStringList{BoolCol("HasVideo"), Int32Col("VideoReps"),
                                          Int32Col("VideoHold"), Int32Col("VideoSets")}
                                  .join(ColumnSeparator);
        return ReplaceOnce(sql, ColumnSeparator + Int16Col("IconSrc"),
                           video + ColumnSeparator + Int16Col("IconSrc"));
    });
    AddVideoColumns(s, t, false);
}
void Nothing(StepRun&) {}
void Library34(StepRun& s)
{
    RenamePictures(s, QStringLiteral("ExerciseLibrary"));
}
void Library35(StepRun& s)
{
    s.RebuildTable(QStringLiteral("ExerciseLibrary"), WidenInstructions);
}
void Library36(StepRun& s)
{
    if (const auto path =
            s.UpdateFile(LibraryUpdateFileName, Tr("the exercise texts were not updated"))) {
        LoadLibraryUpdate(s, *path);
        CopyTexts(s, QStringLiteral("ExerciseLibrary"));
        s.Run(QStringLiteral("DROP TABLE temp.\"UpdateLibrary\""));
    }
}
void Library37(StepRun& s)
{
    s.RebuildTable(QStringLiteral("ExerciseLibrary"), DropPicture3);
}

// The main file:
void Main32(StepRun& s)
{
    AddVideoColumns(s, QStringLiteral("Exercise"), true);
    AddVideoColumns(s, QStringLiteral("ProtocolExercise"), true);
}
void Main33(StepRun& s)
{
    s.RebuildTable(
        QStringLiteral("Exercise"),
        [](const QString& sql) {
            return ReplaceOnce(sql, Int16Col("RankOnTape"), Int32Col("RankOnTape"));
        },
        RebuildChecks::OnlyWidened);
    s.Run(QStringLiteral("CREATE INDEX IF NOT EXISTS \"RankOnTape\" ON \"Exercise\" "
                         "(\"InvoiceID\", \"RankOnTape\")"));
}
void Main34(StepRun& s)
{
    RenamePictures(s, QStringLiteral("Exercise"));
    RenamePictures(s, QStringLiteral("ProtocolExercise"));
    s.RebuildTable(QStringLiteral("ProtocolExercise"), [](const QString& sql) {
        return ReplaceOnce(sql, ProtocolInstruct0NotEmpty, QString());
    });
}
void Main35(StepRun& s)
{
    s.RebuildTable(QStringLiteral("Exercise"), WidenInstructions, RebuildChecks::OnlyWidened);
    s.RebuildTable(QStringLiteral("ProtocolExercise"), WidenInstructions,
                   RebuildChecks::OnlyWidened);
}
void Main36(StepRun& s)
{
    const auto path =
        s.UpdateFile(LibraryUpdateFileName,
                     Tr("the texts of the stored programs and protocols were not updated"));
    if (!path)
        return;
    // Asked once: the step is stamped whatever the answer.
    const PromptAnswer answer =
        s.Options.Prompt
            ? s.Options.Prompt->Message(
                  Tr("Update Text"),
                  Tr("Do you want the browser to update the text") + QStringLiteral("\r\n") +
                      Tr("for your stored protocols and exercise programs") +
                      QStringLiteral("\r\n") + Tr("to match the new pictures.") +
                      QStringLiteral("\r\n") + Tr("We recommend you answer Yes."),
                  PromptIcon::Information, PromptButtons::YesNo)
            : PromptAnswer::No;
    if (answer != PromptAnswer::Yes)
        return;
    LoadLibraryUpdate(s, *path);
    CopyTexts(s, QStringLiteral("Exercise"));
    CopyTexts(s, QStringLiteral("ProtocolExercise"));
    s.Run(QStringLiteral("DROP TABLE temp.\"UpdateLibrary\""));
}
void Main37(StepRun& s)
{
    s.RebuildTable(QStringLiteral("Exercise"), DropPicture3);
    s.RebuildTable(QStringLiteral("ProtocolExercise"), DropPicture3);
}
void Main38(StepRun& s)
{
    RecreateAsText40(s, QStringLiteral("Invoice"), "Provider");
}

// The pick-list file:
void Picklist38(StepRun& s)
{
    RecreateAsText40(s, QStringLiteral("Level1"), "Name");
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

const std::vector<UpgradeStep>& UpgradeSteps()
{
    static const std::vector<UpgradeStep> steps{
        {DbFile::Library, "3.2", Library32},   {DbFile::Library, "3.3", Nothing},
        {DbFile::Library, "3.4", Library34},   {DbFile::Library, "3.5", Library35},
        {DbFile::Library, "3.6", Library36},   {DbFile::Library, "3.7", Library37},
        {DbFile::Library, "3.8", Nothing},     {DbFile::Main, "3.2", Main32},
        {DbFile::Main, "3.3", Main33},         {DbFile::Main, "3.4", Main34},
        {DbFile::Main, "3.5", Main35},         {DbFile::Main, "3.6", Main36},
        {DbFile::Main, "3.7", Main37},         {DbFile::Main, "3.8", Main38},
        {DbFile::Picklist, "3.8", Picklist38},
    };
    return steps;
}

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

bool IsNewerThanCurrent(const QString& version)
{
    const auto have = VersionNumber(version);
    return have && *have > *VersionNumber(CurrentSchemaVersion);
}

QString NewerVersionMessage(const QString& path, const QString& version)
{
    return Tr("The database file %1 was made by a newer version of the program (file version %2; "
              "this program "
              "reads files up to version %3).\r\n\r\nThe file has not been changed. Use the newer "
              "version of the "
              "program with it.")
        .arg(Native(path), version, CurrentSchemaVersion);
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
        throw DbError(QStringLiteral("Will not overwrite \"%1\"").arg(Native(path)));
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
    const QString target = options.StopAt.isEmpty() ? CurrentSchemaVersion : options.StopAt;
    {
        // A file at the current version is only read.
        ScopedDb reader(path, true);
        if (options.BeforeStatement)
            options.BeforeStatement(QStringLiteral("SELECT \"Version\" FROM \"Version\""));
        const std::optional<QString> stored = StoredVersion(reader.Db());
        result.FromVersion = stored.value_or(QString());
        if (stored && IsNewerThanCurrent(*stored))
            throw DbError(NewerVersionMessage(path, *stored));
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
            options.Status(
                Tr("Upgrading %1 to version %2...").arg(QFileInfo(path).fileName(), version));
        try {
            Transaction t(db.Db());
            step.Run(run);
            if (options.BeforeStatement)
                options.BeforeStatement(QStringLiteral("SetVersion ") + version);
            SetVersion(db.Db(), version);
            t.Commit();
        } catch (const DbError& e) {
            throw DbError(Tr("The upgrade of %1 to version %2 failed; the file stays at the "
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
