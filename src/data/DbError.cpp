#include "DbError.h"

#include <QCoreApplication>
#include <QHash>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlDriver>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::DbError)
};

struct WriteState
{
    QString refusal;
    std::function<void()> gate;
};

// Keyed by the connection's driver, which a query knows too.
QMutex& StateLock()
{
    static QMutex lock;
    return lock;
}
QHash<const QSqlDriver*, WriteState>& States()
{
    static QHash<const QSqlDriver*, WriteState> states;
    return states;
}

WriteState StateOf(const QSqlDriver* driver)
{
    if (!driver)
        return {};
    QMutexLocker locker(&StateLock());
    return States().value(driver);
}

// A statement that only reads never waits for the gate.
bool IsRead(const QString& sql)
{
    const QStringView s = QStringView(sql).trimmed();
    return s.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive) ||
           s.startsWith(QLatin1String("PRAGMA"), Qt::CaseInsensitive);
}

} // namespace

QString EngineText(const QSqlError& error)
{
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    if (text.isEmpty())
        text = Texts::tr("Unknown database error");
    return text;
}

int EngineCode(const QSqlError& error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : 0;
}

void ThrowIfFailed(const QSqlQuery& query, bool ok)
{
    if (ok)
        return;
    const QSqlError error = query.lastError();
    const int code = EngineCode(error);
    if (code == EngineReadOnly) {
        const QString refusal = StateOf(query.driver()).refusal;
        if (!refusal.isEmpty())
            throw DbError(refusal, code);
    }
    throw DbError(EngineText(error), code);
}

void ThrowIfFailed(const QSqlError& error)
{
    if (error.isValid() && error.type() != QSqlError::NoError)
        throw DbError(EngineText(error), EngineCode(error));
}

QSqlQuery Exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    if (!IsRead(sql))
        BeforeWrite(db);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    ThrowIfFailed(query, query.prepare(sql));
    for (const QVariant& v : values)
        query.addBindValue(v);
    ThrowIfFailed(query, query.exec());
    return query;
}

void SetWriteRefusal(const QSqlDatabase& db, const QString& reason)
{
    QMutexLocker locker(&StateLock());
    States()[db.driver()].refusal = reason;
}

QString WriteRefusal(const QSqlDatabase& db)
{
    return StateOf(db.driver()).refusal;
}

void SetWriteGate(const QSqlDatabase& db, std::function<void()> waitUntilChecked)
{
    QMutexLocker locker(&StateLock());
    States()[db.driver()].gate = std::move(waitUntilChecked);
}

void BeforeWrite(const QSqlDatabase& db)
{
    if (const std::function<void()> gate = StateOf(db.driver()).gate)
        gate();
    const QString refusal = StateOf(db.driver()).refusal;
    if (!refusal.isEmpty())
        throw DbError(refusal, EngineReadOnly);
}

void ForgetWriteState(const QSqlDatabase& db)
{
    QMutexLocker locker(&StateLock());
    States().remove(db.driver());
}

} // namespace tramelle
