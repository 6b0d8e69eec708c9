#include "DbError.h"

#include <QSqlDatabase>

namespace tramelle {

static QString EngineText(const QSqlError& error)
{
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    if (text.isEmpty())
        text = QStringLiteral("Unknown database error");
    return text;
}

void ThrowIfFailed(const QSqlQuery& query, bool ok)
{
    if (!ok)
        throw DbError(EngineText(query.lastError()));
}

void ThrowIfFailed(const QSqlError& error)
{
    if (error.isValid() && error.type() != QSqlError::NoError)
        throw DbError(EngineText(error));
}

QSqlQuery Exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    ThrowIfFailed(query, query.prepare(sql));
    for (const QVariant& v : values)
        query.addBindValue(v);
    ThrowIfFailed(query, query.exec());
    return query;
}

} // namespace tramelle
