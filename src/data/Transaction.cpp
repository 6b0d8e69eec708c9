#include "Transaction.h"

#include "DbError.h"

#include <QCoreApplication>
#include <QSqlError>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::Transaction)
};

} // namespace

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db))
{
    // A file that stores nothing (read-only, damaged, still being checked) says so
    // before anything begins.
    BeforeWrite(m_db);
    if (!m_db.transaction())
        ThrowIfFailed(m_db.lastError().isValid()
                          ? m_db.lastError()
                          : QSqlError(QString(), Texts::tr("Cannot begin a transaction"),
                                      QSqlError::TransactionError));
    m_open = true;
}

Transaction::~Transaction()
{
    if (m_open)
        m_db.rollback();
}

void Transaction::Commit()
{
    if (!m_db.commit()) {
        const QSqlError error = m_db.lastError();
        m_db.rollback();
        m_open = false;
        ThrowIfFailed(error.isValid() ? error
                                      : QSqlError(QString(), Texts::tr("Cannot commit"),
                                                  QSqlError::TransactionError));
    }
    m_open = false;
}

} // namespace tramelle
