#include "Database.h"

#include "DbError.h"
#include "DbFileTexts.h"
#include "Transaction.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::Schema)
};

// Column fragments. Integer columns of the data model are 16-bit, Long 32-bit; a value
// out of range is refused by the engine rather than wrapped.
QString Text(const char* name)
{
    return QStringLiteral("\"%1\" TEXT").arg(QLatin1String(name));
}
QString SizedText(const char* name, int size)
{
    return QStringLiteral("\"%1\" TEXT CHECK (length(\"%1\") <= %2)")
        .arg(QLatin1String(name))
        .arg(size);
}
QString Int16(const char* name)
{
    return QStringLiteral("\"%1\" INTEGER CHECK (\"%1\" BETWEEN -32768 AND 32767)")
        .arg(QLatin1String(name));
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
    return {Int32("ExerciseID"),
            Text("code"),
            Text("Desc"),
            Text("AbbrevDesc"),
            Int16("Reps"),
            Int16("Hold"),
            Int16("Sets"),
            Text("Icon"),
            Text("Movie"),
            Text("Picture0"),
            Text("Picture1"),
            Text("Picture2"),
            SizedText("Instruct0", 75),
            SizedText("Instruct1", 75),
            SizedText("Instruct2", 75),
            Boolean("HasVideo"),
            Int32("VideoReps"),
            Int32("VideoHold"),
            Int32("VideoSets")};
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
            QStringLiteral(
                "\"PatientID\" INTEGER REFERENCES \"Patient\"(\"PatientID\") ON DELETE CASCADE"),
            DateTime("Date"),
            SizedText("Provider", 40),
            Text("Usage"),
            Text("BillAddr"),
            Text("PayMethod"),
            Text("CardNum"),
            DateTime("CardDate"),
            Text("NameOnCard"),
            Int16("Tax"),
            Text("ShipAddr"),
            Text("ShipPhone"),
            Text("ShipMethod")};
}
QStringList ExerciseColumns()
{
    QStringList c{QStringLiteral("\"InvoiceID\" INTEGER NOT NULL REFERENCES "
                                 "\"Invoice\"(\"InvoiceID\") ON DELETE CASCADE"),
                  Int32("RankOnTape")};
    return c + ProgramExerciseColumns();
}
QStringList ItemsColumns()
{
    return {QStringLiteral("\"InvoiceID\" INTEGER NOT NULL REFERENCES \"Invoice\"(\"InvoiceID\") "
                           "ON DELETE CASCADE"),
            Text("PartNumber"),
            Text("Description"),
            Int16("Qty"),
            Money("Price"),
            Int16("RankOnOrder")};
}
QStringList ProtocolColumns()
{
    return {QStringLiteral("\"ProtocolID\" INTEGER PRIMARY KEY AUTOINCREMENT"), Text("Name")};
}
QStringList ProtocolExerciseColumns()
{
    QStringList c{QStringLiteral("\"ProtocolID\" INTEGER NOT NULL REFERENCES "
                                 "\"Protocol\"(\"ProtocolID\") ON DELETE CASCADE"),
                  Int32("RankOnTape")};
    return c + ProgramExerciseColumns();
}
QStringList ClinicColumns()
{
    return {Text("Name"),       Text("Phone"),        Text("ShipAddr"),
            Text("ShipMethod"), Text("BillAddr"),     Text("PayMethod"),
            Text("CardNum"),    DateTime("CardDate"), Text("NameOnCard")};
}
QStringList ExerciseLibraryColumns()
{
    return {QStringLiteral("\"ExerciseID\" INTEGER NOT NULL UNIQUE CHECK (\"ExerciseID\" BETWEEN "
                           "-2147483648 AND 2147483647)"),
            Text("code"),
            Text("Desc"),
            Text("AbbrevDesc"),
            Text("Joint"),
            Text("Motion"),
            Text("Type"),
            Int16("Reps"),
            Int16("Hold"),
            Int16("Sets"),
            Text("Movie"),
            Text("Icon"),
            Text("Picture0"),
            Text("Picture1"),
            Text("Picture2"),
            SizedText("Instruct0", 75),
            SizedText("Instruct1", 75),
            SizedText("Instruct2", 75),
            Boolean("HasVideo"),
            Int32("VideoReps"),
            Int32("VideoHold"),
            Int32("VideoSets"),
            Int16("IconSrc"),
            Text("Picture0Src"),
            Text("Picture1Src"),
            Text("Picture2Src"),
            ExerciseUuidColumn()};
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

} // namespace

QString ExerciseUuidColumn()
{
    return QStringLiteral("\"UUID\" TEXT CHECK (length(\"UUID\") = 36)");
}

QStringList ExerciseUuidStatements()
{
    // A version 4 identity made by the engine, fresh for each row.
    const QString random =
        QStringLiteral("lower(hex(randomblob(4))) || '-' || lower(hex(randomblob(2))) || '-4' || "
                       "substr(lower(hex(randomblob(2))), 2) || '-' || "
                       "substr('89ab', 1 + (abs(random()) % 4), 1) || "
                       "substr(lower(hex(randomblob(2))), 2) || '-' || lower(hex(randomblob(6)))");
    // Every way of adding an exercise gets a random identity unless it brings its own, so
    // that it can be told apart from any other clinic's when exercises are shared.
    return {QStringLiteral("UPDATE \"ExerciseLibrary\" SET \"UUID\" = %1 WHERE \"UUID\" IS NULL")
                .arg(random),
            QStringLiteral("CREATE UNIQUE INDEX \"UUID\" ON \"ExerciseLibrary\" (\"UUID\")"),
            QStringLiteral(
                "CREATE TRIGGER \"ExerciseLibraryUUID\" AFTER INSERT ON \"ExerciseLibrary\" "
                "WHEN NEW.\"UUID\" IS NULL BEGIN UPDATE \"ExerciseLibrary\" SET \"UUID\" = %1 "
                "WHERE rowid = NEW.rowid; END")
                .arg(random)};
}

QString CurrentSchemaVersionOf(DbFile file)
{
    return file == DbFile::Library ? CurrentLibraryVersion : CurrentSchemaVersion;
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
          << QStringLiteral(
                 "CREATE INDEX \"RankOnTape\" ON \"Exercise\" (\"InvoiceID\", \"RankOnTape\")")
          << QStringLiteral("CREATE INDEX \"ProtocolRankOnTape\" ON \"ProtocolExercise\" "
                            "(\"ProtocolID\", \"RankOnTape\")")
          << QStringLiteral(
                 "CREATE INDEX \"ItemsInvoice\" ON \"Items\" (\"InvoiceID\", \"RankOnOrder\")")
          << QStringLiteral(
                 "CREATE INDEX \"InvoicePatient\" ON \"Invoice\" (\"PatientID\", \"Date\")")
          << QStringLiteral("CREATE INDEX \"PatientFullName\" ON \"Patient\" (\"FullName\")")
          << QStringLiteral("INSERT INTO \"Clinic\" DEFAULT VALUES");
        break;
    case DbFile::Library:
        s << CreateTable("ExerciseLibrary", ExerciseLibraryColumns()) << VersionTable()
          << QStringLiteral("CREATE INDEX \"AbbrevDesc\" ON \"ExerciseLibrary\" (\"AbbrevDesc\")")
          << ExerciseUuidStatements();
        break;
    case DbFile::Picklist:
        s << CreateTable("Label", LabelColumns()) << CreateTable("Level1", Level1Columns())
          << VersionTable()
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

void CreateDatabaseFile(const QString& path, DbFile file)
{
    const QString name =
        QStringLiteral("create-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (QFileInfo::exists(path))
        throw DbError(
            FileError(Texts::tr("Will not overwrite"), path, Texts::tr("the file exists")));
    try {
        // The library is read whole into memory many times a day: stored as UTF-16 it
        // reaches Qt's strings without a conversion per value.
        QSqlDatabase db = OpenConnection(
            path, name, file == DbFile::Library ? QStringLiteral("UTF-16le") : QString());
        Transaction transaction(db);
        for (const QString& statement : SchemaStatements(file))
            Exec(db, statement);
        Exec(db, QStringLiteral("INSERT INTO \"Version\" (\"Version\") VALUES (?)"),
             {CurrentSchemaVersionOf(file)});
        transaction.Commit();
    } catch (...) {
        CloseConnection(name);
        QFile::remove(path);
        throw;
    }
    CloseConnection(name);
}

} // namespace tramelle
