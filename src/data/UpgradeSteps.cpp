#include "UpgradeStepRun.h"

#include "Paths.h"
#include "SafeFiles.h"
#include "Services.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlQuery>

namespace tramelle {

using namespace upgrade;

void StepRun::Notice(const QString& text)
{
    Result.Notices << text;
    if (Options.Prompt)
        Options.Prompt->Message(Texts::tr("Database Upgrade"), text, PromptIcon::Information);
}

std::optional<QString> StepRun::UpdateFile(const QString& name, const QString& skipped)
{
    for (const QString& folder : Options.UpdateFolders) {
        const QString path = ResolvePath(JoinPath(folder, name));
        if (QFileInfo(path).isFile())
            return path;
    }
    Notice(Texts::tr("The update file \"%1\" was not found, so %2 in %3.")
               .arg(name, skipped, Native(QFileInfo(Path).fileName())));
    return std::nullopt;
}

bool StepRun::HasColumn(const QString& table, const QString& column)
{
    QSqlQuery q = Run(QStringLiteral("SELECT name FROM pragma_table_info(?)"), {table});
    while (q.next()) {
        if (q.value(0).toString().compare(column, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void StepRun::RebuildTable(const QString& table, const std::function<QString(QString)>& edit,
                           RebuildChecks checks)
{
    QSqlQuery def = Run(
        QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = ?"), {table});
    if (!def.next())
        throw DbError(Texts::tr("The table %1 is missing").arg(table));
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
        throw DbError(Texts::tr("Unexpected definition of the table %1").arg(table));
    created.replace(0, head.size(), QStringLiteral("CREATE TABLE \"%1\"").arg(temp));
    Run(created);

    QStringList columns;
    bool rowidAlias = false;
    QSqlQuery info = Run(QStringLiteral("SELECT name, type, pk FROM pragma_table_info(?)"), {temp});
    while (info.next()) {
        // Columns new to the table start empty (a quoted name the old table lacks
        // would be read as a text).
        if (!HasColumn(table, info.value(0).toString()))
            continue;
        columns << QStringLiteral("\"%1\"").arg(info.value(0).toString());
        if (info.value(2).toInt() == 1 &&
            info.value(1).toString().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
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

namespace {

QString ReplaceOnce(QString sql, const QString& from, const QString& to)
{
    if (sql.count(from) != 1)
        throw DbError(Texts::tr("Unexpected table definition (looking for %1)").arg(from));
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
        throw DbError(
            QStringLiteral("\"%1\": %2").arg(Native(updatePath), EngineText(read.lastError())),
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
    if (const auto video =
            s.UpdateFile(VideoUpdateFileName,
                         Texts::tr("the video columns of %1 were set to no video").arg(table))) {
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
        s.Notice(
            Texts::tr(
                "%1 values of %2 in the table %3 of %4 were longer than 40 characters and were "
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
            s.UpdateFile(LibraryUpdateFileName, Texts::tr("the exercise texts were not updated"))) {
        LoadLibraryUpdate(s, *path);
        CopyTexts(s, QStringLiteral("ExerciseLibrary"));
        s.Run(QStringLiteral("DROP TABLE temp.\"UpdateLibrary\""));
    }
}
void Library37(StepRun& s)
{
    s.RebuildTable(QStringLiteral("ExerciseLibrary"), DropPicture3);
}
void Library39(StepRun& s)
{
    s.Run(QStringLiteral("ALTER TABLE \"ExerciseLibrary\" ADD COLUMN ") + ExerciseUuidColumn());
    QList<qint32> delivered;
    QSqlQuery q = s.Run(QStringLiteral("SELECT ExerciseID FROM ExerciseLibrary"));
    while (q.next()) {
        if (IsDeliveredExercise(q.value(0).toInt()))
            delivered << q.value(0).toInt();
    }
    q.finish();
    for (qint32 id : delivered)
        s.Run(QStringLiteral("UPDATE ExerciseLibrary SET UUID = ? WHERE ExerciseID = ?"),
              {DeliveredExerciseUuid(id), id});
    // The clinic's own get random ones.
    for (const QString& statement : ExerciseUuidStatements())
        s.Run(statement);
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
                     Texts::tr("the texts of the stored programs and protocols were not updated"));
    if (!path)
        return;
    // Asked once: the step is stamped whatever the answer.
    const PromptAnswer answer =
        s.Options.Prompt
            ? s.Options.Prompt->Message(
                  Texts::tr("Update Text"),
                  Texts::tr("Do you want the browser to update the text") + QStringLiteral("\r\n") +
                      Texts::tr("for your stored protocols and exercise programs") +
                      QStringLiteral("\r\n") + Texts::tr("to match the new pictures.") +
                      QStringLiteral("\r\n") + Texts::tr("We recommend you answer Yes."),
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

} // namespace

const std::vector<UpgradeStep>& UpgradeSteps()
{
    static const std::vector<UpgradeStep> steps{
        {DbFile::Library, "3.2", Library32}, {DbFile::Library, "3.3", Nothing},
        {DbFile::Library, "3.4", Library34}, {DbFile::Library, "3.5", Library35},
        {DbFile::Library, "3.6", Library36}, {DbFile::Library, "3.7", Library37},
        {DbFile::Library, "3.8", Nothing},   {DbFile::Library, "3.9", Library39},
        {DbFile::Main, "3.2", Main32},       {DbFile::Main, "3.3", Main33},
        {DbFile::Main, "3.4", Main34},       {DbFile::Main, "3.5", Main35},
        {DbFile::Main, "3.6", Main36},       {DbFile::Main, "3.7", Main37},
        {DbFile::Main, "3.8", Main38},       {DbFile::Picklist, "3.8", Picklist38},
    };
    return steps;
}

} // namespace tramelle
