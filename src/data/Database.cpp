#include "Database.h"

#include "AppContext.h"
#include "DbError.h"
#include "DbFileTexts.h"
#include "Paths.h"
#include "Upgrade.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::Database)
};

void ApplyDurableSettings(const QSqlDatabase& db)
{
    Exec(db, QStringLiteral("PRAGMA foreign_keys=ON"));
    Exec(db, QStringLiteral("PRAGMA journal_mode=WAL"));
    Exec(db, QStringLiteral("PRAGMA synchronous=FULL"));
}

QString ReadOnlyRefusal(const QString& path, const QString& reason)
{
    return Texts::tr("The database file %1 is read-only (%2): nothing can be stored in it.")
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

QSqlDatabase OpenConnection(const QString& path, const QString& connectionName,
                            const QString& newFileEncoding)
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
                        problem = Texts::tr("another program is using the file");
                }
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(connectionName);
    return problem;
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

void Databases::SetPaths(const QString& appFolder)
{
    MainPath = ResolvePath(JoinPath(appFolder, MainDbFileName));
    LibraryPath = ResolvePath(JoinPath(appFolder, LibraryDbFileName));
    PicklistPath = ResolvePath(JoinPath(appFolder, PicklistDbFileName));
}

void Databases::OpenReadOnly(const QString& appFolder)
{
    Close();
    SetPaths(appFolder);
    const struct
    {
        const QString& path;
        DbFile file;
        const char* suffix;
    } files[] = {{MainPath, DbFile::Main, "-main"},
                 {LibraryPath, DbFile::Library, "-library"},
                 {PicklistPath, DbFile::Picklist, "-picklist"}};
    try {
        for (const auto& f : files) {
            if (!QFileInfo::exists(f.path))
                throw DbError(FileError(QStringLiteral("Cannot open"), f.path,
                                        QStringLiteral("the file does not exist")));
            const DbFileCheck check = CheckDatabaseFile(f.path, f.file);
            if (check.status == DbFileCheck::InUse)
                throw DbError(InUseText(f.path));
            if (check.status == DbFileCheck::Damaged)
                throw DbError(FileError(QStringLiteral("Cannot open"), f.path, check.error));
            if (check.status == DbFileCheck::NeedsUpgrade)
                throw DbError(FileError(QStringLiteral("Cannot open"), f.path,
                                        QStringLiteral("the file is of an earlier version; start "
                                                       "the program once to bring it up to date")));
            SetWriteRefusal(OpenReadOnlyConnection(f.path, m_prefix + QLatin1String(f.suffix)),
                            ReadOnlyRefusal(f.path, QStringLiteral("opened for reading only")));
        }
    } catch (...) {
        m_open = true;
        Close();
        throw;
    }
    LibraryRecordset.Open = true;
    LibraryRecordset.Filter = LibraryFilter{};
    m_open = true;
}

void Databases::Open(const QString& appFolder)
{
    Close();
    SetPaths(appFolder);
    auto openOne = [](const QString& path, const QString& name, bool mayBeReadOnly) {
        if (!QFileInfo::exists(path))
            throw DbError(
                FileError(Texts::tr("Cannot open"), path, Texts::tr("the file does not exist")));
        const QString writeProblem = FileWriteProblem(path);
        if (!writeProblem.isEmpty() && !mayBeReadOnly)
            throw DbError(FileError(Texts::tr("Cannot write"), path, writeProblem));
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
            throw DbError(FileError(Texts::tr("Cannot open"), path, e.message()), e.engineCode());
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
        m_mainDamage = result.report.isEmpty() ? Texts::tr("the check failed") : result.report;
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

} // namespace tramelle
