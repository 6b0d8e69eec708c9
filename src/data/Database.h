#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace tramelle {

class AppContext;

inline const QString CurrentSchemaVersion = QStringLiteral("3.8");
inline const QString MainDbFileName = QStringLiteral("Velmora.MDB");
inline const QString LibraryDbFileName = QStringLiteral("Exercise Library.MDB");
inline const QString PicklistDbFileName = QStringLiteral("Picklist.MDB");

enum class DbFile { Main, Library, Picklist };

QString DbFileName(DbFile file);

// The statements that create each file's tables at the current version.
QStringList SchemaStatements(DbFile file);
// Tables and their columns that a file at the current version must hold.
QList<QPair<QString, QStringList>> RequiredTables(DbFile file);

// Opens a connection with the durable settings: foreign keys on, WAL journal, full sync.
// Throws DbError naming the engine's error.
// A new file (one that does not exist yet) can be given its text encoding.
QSqlDatabase OpenConnection(const QString& path, const QString& connectionName,
                            const QString& newFileEncoding = QString());
// Checkpoints and closes a connection and forgets it.
void CloseConnection(const QString& connectionName);

// Creates a new file with every table of the current version and its Version row.
void CreateDatabaseFile(const QString& path, DbFile file);

// Result of a read-only check of an existing file.
struct DbFileCheck
{
    enum Status { Ok, NeedsUpgrade, Damaged };
    Status status = Ok;
    QString version; // as stored, when readable
    QString error;   // engine's text or what is missing, when Damaged
};

// Opens the file read-only (no setting is applied to it) and checks its tables and
// its Version row.
DbFileCheck CheckDatabaseFile(const QString& path, DbFile file);

// The library snapshot's filter: the joints (contained), motions and types (equal),
// letter case ignored. An empty list means no condition on that column.
struct LibraryFilter
{
    QStringList Joints;
    QStringList Motions;
    QStringList Types;

    bool IsEmpty() const { return Joints.isEmpty() && Motions.isEmpty() && Types.isEmpty(); }
    bool operator==(const LibraryFilter&) const = default;
};

// The read-only snapshot of the library, ordered by AbbrevDesc, with its filter.
struct LibraryRecordsetState
{
    bool Open = false;
    LibraryFilter Filter;
};

// The three connections of one application context.
class Databases
{
public:
    explicit Databases(QString connectionPrefix);
    ~Databases();
    Databases(const Databases&) = delete;
    Databases& operator=(const Databases&) = delete;

    QSqlDatabase MainDb() const;
    QSqlDatabase LibraryDb() const;
    QSqlDatabase PicklistDb() const;
    bool IsOpen() const { return m_open; }

    QString MainPath;
    QString LibraryPath;
    QString PicklistPath;
    LibraryRecordsetState LibraryRecordset;

    // Opens main, library (and its snapshot), pick lists in this order. Throws DbError.
    void Open(const QString& appFolder);
    // Closes main, pick lists, library in this order.
    void Close();

private:
    QString m_prefix;
    bool m_open = false;
};

// Builds the paths, opens the three files and forgets the current patient and program.
void OpenDatabases(AppContext& ctx);
void CloseDatabases(AppContext& ctx);

// Outcome of preparing the application folder's data files at start-up.
struct DataFilesCheck
{
    bool ok = false;
    bool installed = false; // the delivered files were installed on this start
    QString title;          // message for the user when !ok
    QString message;
};

// At start-up: installs the delivered files when none of the three exists; refuses when
// some are missing; checks each existing file read-only. Creates nothing unless it
// installs all three.
DataFilesCheck PrepareDataFiles(const QString& appFolder, const QString& deliveredFolder);

// Creates the three files and copies the delivered texts, icons and help into the
// application folder. The files are built under temporary names and renamed into place.
// Throws DbError (or a file error as DbError) on failure, leaving no partial file.
void InstallDeliveredFiles(const QString& appFolder, const QString& deliveredFolder);

} // namespace tramelle
