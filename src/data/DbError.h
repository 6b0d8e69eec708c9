#pragma once

#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <exception>

namespace tramelle {

// A failed database operation. Data routines do not trap these: the operation ends and
// the caller reports the engine's message.
class DbError : public std::exception
{
public:
    explicit DbError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Throws DbError with the engine's text when the query failed.
void ThrowIfFailed(const QSqlQuery& query, bool ok);
void ThrowIfFailed(const QSqlError& error);

// Prepares and runs a statement with bound values; throws on failure.
QSqlQuery Exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

} // namespace tramelle
