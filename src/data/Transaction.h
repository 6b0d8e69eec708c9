#pragma once

#include <QSqlDatabase>

namespace tramelle {

// One transaction on a connection: rolled back unless committed, so a write that spans
// several rows happens whole or not at all. Throws DbError when it cannot begin or commit.
class Transaction
{
public:
    explicit Transaction(QSqlDatabase db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void Commit();

private:
    QSqlDatabase m_db;
    bool m_open = false;
};

} // namespace tramelle
