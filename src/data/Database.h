#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace tramelle {

class AppContext;

// The current version of the main and pick-list files; the library file has moved on.
inline const QString CurrentSchemaVersion = QStringLiteral("3.8");
inline const QString CurrentLibraryVersion = QStringLiteral("3.9");
inline const QString MainDbFileName = QStringLiteral("Velmora.MDB");
inline const QString LibraryDbFileName = QStringLiteral("Exercise Library.MDB");
inline const QString PicklistDbFileName = QStringLiteral("Picklist.MDB");

enum class DbFile
{
    Main,
    Library,
    Picklist
};

QString DbFileName(DbFile file);
// The version a file of this kind is created with and upgraded to.
QString CurrentSchemaVersionOf(DbFile file);

// The statements that create each file's tables at the current version.
QStringList SchemaStatements(DbFile file);
// The library's UUID column, and the statements that fill the empty ones with random
// identities and keep them unique and filled from then on.
QString ExerciseUuidColumn();
QStringList ExerciseUuidStatements();
// Tables and their columns that a file at the current version must hold.
QList<QPair<QString, QStringList>> RequiredTables(DbFile file);

// Opens a connection with the durable settings: foreign keys on, WAL journal, full sync.
// Throws DbError naming the engine's error.
// A new file (one that does not exist yet) can be given its text encoding.
QSqlDatabase OpenConnection(const QString& path, const QString& connectionName,
                            const QString& newFileEncoding = QString());
// Checkpoints and closes a connection and forgets it. Returns why the checkpoint did
// not merge the journal into the file (it then stays beside the file, whole, and is
// merged when the file is next opened); empty when it did.
QString CloseConnection(const QString& connectionName);

// Creates a new file with every table of the current version and its Version row.
void CreateDatabaseFile(const QString& path, DbFile file);

// Result of a read-only check of an existing file.
struct DbFileCheck
{
    enum Status
    {
        Ok,
        NeedsUpgrade,
        Damaged,
        InUse
    };
    Status status = Ok;
    QString version; // as stored, when readable
    QString error;   // engine's text or what is missing, when Damaged
};

// Opens the file read-only (no setting is applied to it) and checks its tables and
// its Version row.
// Points the connection at the file for reading only, creating nothing beside it: as
// immutable when no journal lies beside it, through the journal otherwise.
void ConfigureReadOnly(QSqlDatabase& db, const QString& path);

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

// What the engine's quick check found in a whole file.
struct QuickCheckResult
{
    bool ok = true;
    QString report; // the engine's first findings when not ok
};

// Runs the engine's quick check over the file on a read-only connection that changes
// nothing. Safe on any thread.
QuickCheckResult QuickCheckFile(const QString& path);

// Why the file cannot be written, in the system's words; empty when it can. Opens
// the file for writing without changing it.
QString FileWriteProblem(const QString& path);

class MainFileCheck;

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
    // Opens the three files for reading only, for work that must change nothing (an
    // export from the command line while the program may be running): no upgrade, no
    // journal merged, every write refused. A file of an earlier version, damaged or
    // missing is refused with a DbError that says so.
    void OpenReadOnly(const QString& appFolder);
    // Closes main, pick lists, library in this order. Returns, per file whose journal
    // could not be merged into it, its path and why.
    QList<QPair<QString, QString>> Close();

    // Checks the main file on a second thread (a large file takes a while), so the
    // start-up need not wait. Until the check has passed, a write on MainDb waits for
    // it; when the file is damaged, MainDb stores nothing from then on and onDamaged
    // runs on this thread, from its event loop, with the engine's findings.
    void StartMainFileCheck(std::function<void(const QString& report)> onDamaged);
    // The engine's findings when the main file was found damaged; empty otherwise.
    QString MainDamage() const { return m_mainDamage; }

private:
    void ApplyMainFileCheck();
    void SetPaths(const QString& appFolder);

    QString m_prefix;
    bool m_open = false;
    std::unique_ptr<MainFileCheck> m_check;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    std::function<void(const QString&)> m_onDamaged;
    bool m_damageReported = false;
    QString m_mainDamage;
};

// Builds the paths, opens the three files and forgets the current patient and program.
void OpenDatabases(AppContext& ctx);
// Closes the three files. When a journal could not be merged into its file (a full
// disk), the user is told that the last changes are kept beside the file.
void CloseDatabases(AppContext& ctx);

// Outcome of preparing the application folder's data files at start-up.
struct DataFilesCheck
{
    bool ok = false;
    bool installed = false; // the delivered files were installed on this start
    QString title;          // message for the user when !ok
    QString message;
};

// Called by the installation at each of its steps ("staged", "rename <file name>",
// "copy", "done"); the crash harness stops the process there.
using InstallStepHook = std::function<void(const QString& step)>;

// At start-up: finishes an installation that was interrupted; installs the delivered
// files when none of the three exists; refuses when some are missing; checks each
// existing file read-only and that the main file can be written. Creates nothing unless
// it installs.
DataFilesCheck PrepareDataFiles(const QString& appFolder, const QString& deliveredFolder,
                                const InstallStepHook& hook = {});

// Creates the three files and copies the delivered texts, icons and help into the
// application folder. The files are built in a staging folder and renamed into place;
// a start that finds the staging folder finishes the job. Throws DbError (or a file
// error as DbError) on failure, leaving no partial file.
void InstallDeliveredFiles(const QString& appFolder, const QString& deliveredFolder,
                           const InstallStepHook& hook = {});

} // namespace tramelle
