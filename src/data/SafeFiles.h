#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <exception>
#include <functional>

namespace tramelle {

// A failed maintenance operation: the engine's or the system's error number and text.
struct MaintenanceError
{
    int number = 0;
    QString description;
};

// Thrown by the maintenance routines; carries every error of the failed operation.
class MaintenanceFailure : public std::exception
{
public:
    explicit MaintenanceFailure(QList<MaintenanceError> errors) : m_errors(std::move(errors)) {}
    MaintenanceFailure(int number, const QString& description) : m_errors{{number, description}} {}
    const QList<MaintenanceError>& errors() const { return m_errors; }
    const char* what() const noexcept override { return "maintenance failure"; }

private:
    QList<MaintenanceError> m_errors;
};

// Flushes a file's contents to the disk. Throws MaintenanceFailure.
void SyncFile(const QString& path);

// Renames `from` over `to` in one step (the old `to` stays whole until the new one is in
// place) and flushes the folder, so the rename itself survives a power cut.
// Throws MaintenanceFailure.
void ReplaceFile(const QString& from, const QString& to);

// Runs work, which writes tempPath and ends by renaming it over path. On failure the copy
// is removed (the old file is untouched until the rename) and an engine error becomes a
// MaintenanceFailure.
void ReplaceThroughCopy(const QString& tempPath, const QString& path,
                        const std::function<void()>& work);

// Copies a file to a new name, through a temporary file that is synced and renamed, so
// the copy is whole or absent. Throws MaintenanceFailure.
void CopyFileSafely(const QString& from, const QString& to);

// Removes a database file and the journal files beside it. Throws MaintenanceFailure
// when one of them stays.
void RemoveDatabaseFile(const QString& path);

// Opens a closed file for reading only, without writing anything beside it when it has
// no write-ahead log. Throws DbError.
QSqlDatabase OpenReadOnlyConnection(const QString& path, const QString& connectionName);

// A connection that is closed and forgotten on every path.
class ScopedDb
{
public:
    // readOnly: through OpenReadOnlyConnection, otherwise through OpenConnection.
    ScopedDb(const QString& path, bool readOnly);
    ~ScopedDb();
    ScopedDb(const ScopedDb&) = delete;
    ScopedDb& operator=(const ScopedDb&) = delete;
    const QSqlDatabase& Db() const { return m_db; }
    // Closes now (with the checkpoint of a read-write connection).
    void Close();

private:
    QString m_name;
    QSqlDatabase m_db;
};

} // namespace tramelle
