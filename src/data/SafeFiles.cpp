#include "SafeFiles.h"

#include "Database.h"
#include "DbError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QUrl>
#include <QUuid>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::SafeFiles)
};

QString Native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

[[noreturn]] void Fail(int number, const QString& what, const QString& path)
{
    throw MaintenanceFailure(
        number, QStringLiteral("%1 \"%2\": %3")
                    .arg(what, Native(path), QString::fromLocal8Bit(std::strerror(number))));
}

void SyncFolder(const QString& folder)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        Fail(errno, Texts::tr("Cannot open the folder"), folder);
    const int rc = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (rc != 0)
        Fail(error, Texts::tr("Cannot flush the folder"), folder);
#else
    Q_UNUSED(folder);
#endif
}

} // namespace

void SyncFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        throw MaintenanceFailure(
            int(file.error()),
            Texts::tr("Cannot open \"%1\": %2").arg(Native(path), file.errorString()));
#ifdef Q_OS_WIN
    const int rc = ::_commit(file.handle());
#else
    const int rc = ::fsync(file.handle());
#endif
    if (rc != 0)
        Fail(errno, Texts::tr("Cannot flush"), path);
}

void ReplaceFile(const QString& from, const QString& to)
{
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()),
                            std::filesystem::path(to.toStdU16String()), error);
    if (error)
        throw MaintenanceFailure(error.value(), Texts::tr("Cannot rename \"%1\" to \"%2\": %3")
                                                    .arg(Native(from), Native(to),
                                                         QString::fromLocal8Bit(error.message())));
    SyncFolder(QFileInfo(to).absolutePath());
}

void ReplaceThroughCopy(const QString& tempPath, const QString& path,
                        const std::function<void()>& work)
{
    try {
        work();
    } catch (const DbError& e) {
        QFile::remove(tempPath);
        throw MaintenanceFailure(0, e.message());
    } catch (...) {
        if (QFileInfo::exists(path))
            QFile::remove(tempPath);
        throw;
    }
}

void CopyFileSafely(const QString& from, const QString& to)
{
    const QString temp = to + QStringLiteral(".part");
    QFile::remove(temp);
    QFile source(from);
    if (!source.copy(temp))
        throw MaintenanceFailure(int(source.error()),
                                 Texts::tr("Cannot copy \"%1\" to \"%2\": %3")
                                     .arg(Native(from), Native(temp), source.errorString()));
    try {
        SyncFile(temp);
        ReplaceFile(temp, to);
    } catch (...) {
        QFile::remove(temp);
        throw;
    }
}

void RemoveDatabaseFile(const QString& path)
{
    for (const QString& suffix :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")}) {
        const QString file = path + suffix;
        if (QFileInfo::exists(file) && !QFile::remove(file))
            Fail(EACCES, Texts::tr("Cannot delete"), file);
    }
}

QSqlDatabase OpenReadOnlyConnection(const QString& path, const QString& connectionName)
{
    if (!QFileInfo(path).isFile())
        throw DbError(Texts::tr("Cannot open \"%1\": the file does not exist").arg(Native(path)));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    ConfigureReadOnly(db, path);
    if (!db.open()) {
        const QSqlError error = db.lastError();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
        throw DbError(Texts::tr("Cannot open \"%1\": %2").arg(Native(path), EngineText(error)),
                      EngineCode(error));
    }
    return db;
}

ScopedDb::ScopedDb(const QString& path, bool readOnly)
    : m_name(QStringLiteral("maintenance-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    m_db = readOnly ? OpenReadOnlyConnection(path, m_name) : OpenConnection(path, m_name);
}

ScopedDb::~ScopedDb()
{
    Close();
}

void ScopedDb::Close()
{
    if (m_name.isEmpty())
        return;
    m_db = QSqlDatabase();
    CloseConnection(m_name);
    m_name.clear();
}

} // namespace tramelle
