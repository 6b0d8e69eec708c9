#pragma once

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <exception>
#include <functional>

namespace tramelle {

// A failed database operation. Data routines do not trap these: the operation ends and
// the caller reports the engine's message.
class DbError : public std::exception
{
public:
    explicit DbError(QString message, int engineCode = 0)
        : m_message(std::move(message)), m_utf8(m_message.toUtf8()), m_code(engineCode)
    {
    }
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }
    // The engine's primary result code (SQLITE_BUSY, SQLITE_FULL, ...), 0 when unknown.
    int engineCode() const { return m_code; }

private:
    QString m_message;
    QByteArray m_utf8;
    int m_code = 0;
};

// Primary result codes of the engine that callers tell apart.
inline constexpr int EngineBusy = 5;
inline constexpr int EngineLocked = 6;
inline constexpr int EngineReadOnly = 8;
inline constexpr int EngineFull = 13;

// What the engine said about an error, in its own words; the driver's text when the
// engine said nothing. Every message that quotes the engine takes its text from here.
QString EngineText(const QSqlError& error);
// The engine's primary result code of an error, 0 when it has none.
int EngineCode(const QSqlError& error);

// Throws DbError with the engine's text when the query failed.
void ThrowIfFailed(const QSqlQuery& query, bool ok);
void ThrowIfFailed(const QSqlError& error);

// Prepares and runs a statement with bound values; throws on failure.
QSqlQuery Exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// A connection that must not store anything says why: every write through Exec,
// Transaction or a query checked with ThrowIfFailed then fails with this text instead
// of the engine's. An empty reason lets it write again.
void SetWriteRefusal(const QSqlDatabase& db, const QString& reason);
QString WriteRefusal(const QSqlDatabase& db);
// A check that writes on the connection must wait for (the main file's start-up
// check); empty to clear. It runs on the caller's thread before the write goes on.
void SetWriteGate(const QSqlDatabase& db, std::function<void()> waitUntilChecked);
// Waits for the gate of the connection, if any, and throws its refusal, if any.
void BeforeWrite(const QSqlDatabase& db);
// Forgets everything registered for a connection that is about to close.
void ForgetWriteState(const QSqlDatabase& db);

} // namespace tramelle
