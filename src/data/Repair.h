#pragma once

#include "Compaction.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <functional>

namespace tramelle {

// Where the rows of a repair that cannot go back into the repaired file are kept.
inline const QString OrphansFileName = QStringLiteral("Velmora.orphans.MDB");

// What a repair did with one table.
struct TableRepair
{
    QString Table;
    qint64 Read = 0;
    qint64 Copied = 0;
    qint64 Orphans = 0;           // kept in the orphans file
    qint64 Unreadable = 0;        // rows known to exist (from an index) that could not be read
    qint64 UnreadableKeys = 0;    // keys that could not be read, whether or not a row had them
    bool UnreadableKnown = false; // Unreadable comes from an intact index
};

struct RepairResult
{
    bool WasSound = false; // the check found nothing: the file was compacted
    QString CheckText;     // what the check reported
    QList<TableRepair> Tables;
    QString DamagedCopy; // the damaged file, kept under a dated name
    QString OrphansPath; // empty when no row became an orphan
};

struct RepairOptions
{
    CompactOptions Compact;
    // The date and time in the damaged copy's name; the current time when empty.
    QString Stamp;
};

// Checks a closed main database file. A sound file is compacted. A damaged one is
// rebuilt: every row that can be read is copied, parents first, into a new file of the
// current schema; a child whose parent is not in the new file goes to the orphans file
// beside it; the damaged file is kept under a dated name; the new file replaces it in
// one step. Throws MaintenanceFailure.
RepairResult RepairDatabaseFile(const QString& path, const QString& tempPath,
                                const RepairOptions& options = {});

// The report shown after a repair: per table, rows read, copied, kept as orphans and
// not readable, and the files kept.
QString RepairReportText(const RepairResult& result);

// Reads every row of a table that can be read, in key order, by key ranges: a range
// that fails is split until each readable row is reached, so one bad page costs only
// its own rows. `row` gets each key with the query positioned on its row (columns
// from 1). Returns the number of keys that could not be read. Throws DbError when the
// table cannot be read at all.
qint64 ReadTableByKeyRanges(const QSqlDatabase& db, const QString& table,
                            const QStringList& columns, qint64 lowKey, qint64 highKey,
                            const std::function<void(qint64, const QSqlQuery&)>& row);

} // namespace tramelle
