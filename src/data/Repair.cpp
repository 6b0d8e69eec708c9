#include "Repair.h"

#include "Database.h"
#include "DbError.h"
#include "Paths.h"
#include "Transaction.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <limits>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(Repair)
};

QString Quoted(const QString& name)
{
    return QStringLiteral("\"%1\"").arg(name);
}

std::optional<qint64> Scalar(const QSqlDatabase& db, const QString& sql,
                             const QVariantList& values = {})
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return std::nullopt;
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec() || !q.next() || q.value(0).isNull())
        return std::nullopt;
    return q.value(0).toLongLong();
}

// The keys an intact index of the table lists (read from the index alone), if any.
std::optional<QSet<qint64>> KeysFromAnIndex(const QSqlDatabase& db, const QString& table)
{
    QStringList indexes;
    {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral(
                        "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = '%1'")
                        .arg(table)))
            return std::nullopt;
        while (q.next())
            indexes << q.value(0).toString();
    }
    for (const QString& index : std::as_const(indexes)) {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT rowid FROM %1 INDEXED BY %2")
                        .arg(Quoted(table), Quoted(index))))
            continue;
        QSet<qint64> keys;
        while (q.next())
            keys.insert(q.value(0).toLongLong());
        if (!q.lastError().isValid() || q.lastError().type() == QSqlError::NoError)
            return keys;
    }
    return std::nullopt;
}

// The tables of the main file, parents before children, with the parent each child
// row needs in the repaired file.
struct TablePlan
{
    const char* Table;
    const char* ParentColumn; // empty: no parent
    const char* Parent;
};
const TablePlan Plan[] = {
    {"Patient", "", ""},
    {"Invoice", "PatientID", "Patient"},
    {"Exercise", "InvoiceID", "Invoice"},
    {"Items", "InvoiceID", "Invoice"},
    {"Protocol", "", ""},
    {"ProtocolExercise", "ProtocolID", "Protocol"},
    {"Clinic", "", ""},
};

// The orphans file, created when the first orphan turns up, under a temporary name
// until the repair ends. Its tables hold the same columns with no constraints.
class OrphansFile
{
public:
    explicit OrphansFile(QString path)
        : m_path(std::move(path)), m_temp(m_path + QStringLiteral(".part"))
    {
    }
    ~OrphansFile()
    {
        m_insert.clear();
        m_tx.reset();
        m_db.reset();
        if (!m_done)
            QFile::remove(m_temp);
    }

    void Insert(const QString& table, const QStringList& columns, bool withRowid, qint64 key,
                const QVariantList& values)
    {
        if (!m_db) {
            RemoveDatabaseFile(m_temp);
            m_db = std::make_unique<ScopedDb>(m_temp, false);
            m_tx = std::make_unique<Transaction>(m_db->Db());
        }
        if (!m_insert.contains(table)) {
            QStringList quoted;
            for (const QString& c : columns)
                quoted << Quoted(c);
            Exec(m_db->Db(), QStringLiteral("CREATE TABLE %1 (%2)")
                                 .arg(Quoted(table), quoted.join(QStringLiteral(", "))));
            auto q = std::make_shared<QSqlQuery>(m_db->Db());
            const QString list = (withRowid ? QStringLiteral("rowid, ") : QString()) +
                                 quoted.join(QStringLiteral(", "));
            ThrowIfFailed(*q, q->prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                             .arg(Quoted(table), list,
                                                  QStringList(columns.size() + (withRowid ? 1 : 0),
                                                              QStringLiteral("?"))
                                                      .join(QLatin1Char(',')))));
            m_insert.insert(table, q);
        }
        QSqlQuery& q = *m_insert.value(table);
        int i = 0;
        if (withRowid)
            q.bindValue(i++, key);
        for (const QVariant& v : values)
            q.bindValue(i++, v);
        ThrowIfFailed(q, q.exec());
    }

    bool Used() const { return m_db != nullptr; }
    QString Path() const { return m_path; }

    // Ends the file and puts it in place; an orphans file of an earlier repair is kept
    // under a dated name.
    void Finish(const QString& stamp)
    {
        if (!m_db)
            return;
        m_insert.clear();
        m_tx->Commit();
        m_tx.reset();
        m_db.reset();
        SyncFile(m_temp);
        if (QFileInfo::exists(m_path)) {
            const QFileInfo info(m_path);
            ReplaceFile(m_path, JoinPath(info.absolutePath(),
                                         QStringLiteral("%1 (%2).%3")
                                             .arg(info.completeBaseName(), stamp, info.suffix())));
        }
        ReplaceFile(m_temp, m_path);
        m_done = true;
    }

private:
    QString m_path;
    QString m_temp;
    std::unique_ptr<ScopedDb> m_db;
    std::unique_ptr<Transaction> m_tx;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_insert;
    bool m_done = false;
};

QStringList SourceColumns(const QSqlDatabase& db, const QString& table)
{
    QSqlQuery q(db);
    ThrowIfFailed(q, q.exec(QStringLiteral("SELECT name FROM pragma_table_info('%1')").arg(table)));
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    return names;
}

} // namespace

qint64 ReadTableByKeyRanges(const QSqlDatabase& db, const QString& table,
                            const QStringList& columns, qint64 lowKey, qint64 highKey,
                            const std::function<void(qint64, const QSqlQuery&)>& row)
{
    QStringList quoted;
    for (const QString& c : columns)
        quoted << Quoted(c);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    ThrowIfFailed(
        q, q.prepare(
               QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid BETWEEN ? AND ? ORDER BY rowid")
                   .arg(quoted.join(QStringLiteral(", ")), Quoted(table))));
    qint64 unreadable = 0;
    std::vector<std::pair<qint64, qint64>> ranges{{lowKey, highKey}};
    while (!ranges.empty()) {
        const auto [a, b] = ranges.back();
        ranges.pop_back();
        q.bindValue(0, a);
        q.bindValue(1, b);
        bool failed = !q.exec();
        qint64 last = a;
        bool got = false;
        while (!failed && q.next()) {
            const qint64 key = q.value(0).toLongLong();
            // Keys come in order; one that does not is damage read as data.
            if (key < a || key > b || (got && key <= last)) {
                failed = true;
                break;
            }
            row(key, q);
            last = key;
            got = true;
        }
        if (!failed)
            failed = q.lastError().isValid() && q.lastError().type() != QSqlError::NoError;
        q.finish();
        if (!failed)
            continue;
        if (got) {
            if (last < b)
                ranges.emplace_back(last + 1, b);
        } else if (a == b) {
            ++unreadable;
        } else {
            // Smaller ranges first, in key order: the right half waits on the stack.
            const qint64 mid = a + (b - a) / 2;
            ranges.emplace_back(mid + 1, b);
            ranges.emplace_back(a, mid);
        }
    }
    return unreadable;
}

RepairResult RepairDatabaseFile(const QString& path, const QString& tempPath,
                                const RepairOptions& options)
{
    RepairResult result;
    const QString stamp =
        options.Stamp.isEmpty()
            ? QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HHmmss"))
            : options.Stamp;
    {
        ScopedDb check(path, true);
        QSqlQuery q(check.Db());
        QStringList lines;
        if (!q.exec(QStringLiteral("PRAGMA integrity_check"))) {
            lines << EngineText(q.lastError());
        } else {
            while (q.next())
                lines << q.value(0).toString();
            if (q.lastError().isValid() && q.lastError().type() != QSqlError::NoError)
                lines << EngineText(q.lastError());
        }
        result.CheckText = lines.join(QStringLiteral("\r\n"));
        result.WasSound = lines == QStringList{QStringLiteral("ok")};
    }
    if (result.WasSound) {
        CompactDatabaseFile(path, tempPath, options.Compact);
        return result;
    }

    ReplaceThroughCopy(tempPath, path, [&] {
        RemoveDatabaseFile(tempPath);
        CreateDatabaseFile(tempPath, DbFile::Main);
        const QFileInfo info(path);
        OrphansFile orphans(JoinPath(info.absolutePath(), OrphansFileName));
        {
            ScopedDb source(path, true);
            ScopedDb target(tempPath, false);
            const QSqlDatabase& src = source.Db();
            const QSqlDatabase& dst = target.Db();
            Transaction tx(dst);
            QHash<QString, QSet<qint64>> copiedKeys;
            QHash<QString, QStringList> required;
            for (const auto& [table, columns] : RequiredTables(DbFile::Main))
                required.insert(table, columns);
            for (const TablePlan& plan : Plan) {
                const QString table = QLatin1String(plan.Table);
                TableRepair counts;
                counts.Table = table;
                QStringList columns;
                const QStringList have = SourceColumns(src, table);
                for (const QString& c : required.value(table)) {
                    if (have.contains(c, Qt::CaseInsensitive))
                        columns << c;
                }
                // Tables keyed by an AutoNumber keep it as their row key; the others
                // keep their row keys too, so the files can be compared.
                const bool autoKey = table == QLatin1String("Patient") ||
                                     table == QLatin1String("Invoice") ||
                                     table == QLatin1String("Protocol");
                const int parentIndex = columns.indexOf(QLatin1String(plan.ParentColumn));
                const QSet<qint64>& parents = copiedKeys[QLatin1String(plan.Parent)];
                QSet<qint64>& copied = copiedKeys[table];
                if (table == QLatin1String("Clinic"))
                    Exec(dst, QStringLiteral("DELETE FROM \"Clinic\""));

                QStringList quoted;
                for (const QString& c : columns)
                    quoted << Quoted(c);
                QSqlQuery insert(dst);
                const QString list = (autoKey ? QString() : QStringLiteral("rowid, ")) +
                                     quoted.join(QStringLiteral(", "));
                ThrowIfFailed(
                    insert, insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                               .arg(Quoted(table), list,
                                                    QStringList(columns.size() + (autoKey ? 0 : 1),
                                                                QStringLiteral("?"))
                                                        .join(QLatin1Char(',')))));

                std::optional<QSet<qint64>> known = KeysFromAnIndex(src, table);
                counts.UnreadableKnown = known.has_value();
                const std::optional<qint64> sequence = Scalar(
                    src, QStringLiteral("SELECT seq FROM sqlite_sequence WHERE name = ?"), {table});
                std::optional<qint64> low = Scalar(
                    src,
                    QStringLiteral("SELECT coalesce(min(rowid), 1) FROM %1").arg(Quoted(table)));
                std::optional<qint64> high = Scalar(
                    src,
                    QStringLiteral("SELECT coalesce(max(rowid), 0) FROM %1").arg(Quoted(table)));
                qint64 lowKey = low.value_or(1);
                qint64 highKey = high.value_or(0);
                if (known && !known->isEmpty()) {
                    lowKey = std::min(lowKey, *std::min_element(known->begin(), known->end()));
                    highKey = std::max(highKey, *std::max_element(known->begin(), known->end()));
                }
                if (!high) {
                    // The last page is damaged: search as far as the index, the key
                    // counter or the file's size say rows may reach.
                    highKey = std::max(highKey, sequence.value_or(0));
                    if (!known || known->isEmpty()) {
                        const qint64 pages =
                            Scalar(src, QStringLiteral("PRAGMA page_count")).value_or(0);
                        highKey = std::max(highKey, lowKey + pages * 64);
                    }
                }
                qint64 maxKey = sequence.value_or(0);

                QVariantList values;
                counts.UnreadableKeys = ReadTableByKeyRanges(
                    src, table, columns, lowKey, highKey, [&](qint64 key, const QSqlQuery& q) {
                        ++counts.Read;
                        maxKey = std::max(maxKey, key);
                        if (known)
                            known->remove(key);
                        values.clear();
                        for (int i = 0; i < columns.size(); ++i)
                            values << q.value(i + 1);
                        bool parentThere = true;
                        if (parentIndex >= 0 && !values.at(parentIndex).isNull())
                            parentThere = parents.contains(values.at(parentIndex).toLongLong());
                        if (parentThere) {
                            int i = 0;
                            if (!autoKey)
                                insert.bindValue(i++, key);
                            for (const QVariant& v : std::as_const(values))
                                insert.bindValue(i++, v);
                            if (insert.exec()) {
                                ++counts.Copied;
                                copied.insert(key);
                                return;
                            }
                        }
                        // Not dropped: kept where it can be looked at and put back.
                        orphans.Insert(table, columns, !autoKey, key, values);
                        ++counts.Orphans;
                    });
                counts.Unreadable = known ? known->size() : counts.UnreadableKeys;
                if (table == QLatin1String("Clinic") && counts.Copied == 0)
                    Exec(dst, QStringLiteral("INSERT INTO \"Clinic\" DEFAULT VALUES"));
                // Keys of rows that are gone are never given out again.
                if (autoKey && maxKey > 0) {
                    Exec(dst, QStringLiteral("DELETE FROM sqlite_sequence WHERE name = ?"),
                         {table});
                    Exec(dst,
                         QStringLiteral("INSERT INTO sqlite_sequence (name, seq) VALUES (?, ?)"),
                         {table, maxKey});
                }
                result.Tables << counts;
            }
            tx.Commit();
        }
        SyncFile(tempPath);
        result.DamagedCopy =
            JoinPath(info.absolutePath(), QStringLiteral("%1 (damaged %2).%3")
                                              .arg(info.completeBaseName(), stamp, info.suffix()));
        CopyFileSafely(path, result.DamagedCopy);
        orphans.Finish(stamp);
        if (orphans.Used())
            result.OrphansPath = orphans.Path();
        ReplaceFile(tempPath, path);
    });
    return result;
}

QString RepairReportText(const RepairResult& result)
{
    if (result.WasSound)
        return Texts::tr("No damage was found; the file was compacted.");
    QStringList lines;
    for (const TableRepair& t : result.Tables) {
        QString line = Texts::tr("%1: %2 read, %3 copied").arg(t.Table).arg(t.Read).arg(t.Copied);
        if (t.Orphans > 0)
            line += Texts::tr(", %1 kept as orphans").arg(t.Orphans);
        if (t.UnreadableKnown)
            line += Texts::tr(", %1 could not be read").arg(t.Unreadable);
        else if (t.UnreadableKeys > 0)
            line += Texts::tr(", up to %1 could not be read").arg(t.UnreadableKeys);
        else
            line += Texts::tr(", 0 could not be read");
        lines << line;
    }
    lines << QString();
    lines << Texts::tr("The damaged file is kept as %1.")
                 .arg(QDir::toNativeSeparators(QFileInfo(result.DamagedCopy).fileName()));
    if (!result.OrphansPath.isEmpty())
        lines << Texts::tr(
                     "Rows whose program, patient or protocol could not be read are kept in %1.")
                     .arg(QDir::toNativeSeparators(QFileInfo(result.OrphansPath).fileName()));
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace tramelle
