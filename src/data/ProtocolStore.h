#pragma once

#include "ProgramState.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <optional>

namespace tramelle {

// One stored protocol as the lists offer it.
struct ProtocolListItem
{
    qint32 ProtocolID = 0;
    QString Name;

    bool operator==(const ProtocolListItem&) const = default;
};

// Every protocol in name order (ignoring case); protocols of one name in the order they
// were stored.
// Throws DbError.
QList<ProtocolListItem> ListProtocols(const QSqlDatabase& db);

// The Desc of each exercise of a protocol in its order. Throws DbError.
QStringList ProtocolExerciseDescs(const QSqlDatabase& db, qint32 protocolId);

// The whole protocol, checked before anyone uses it: more than 20 rows, a null column or
// positions that are not 0, 1, 2, ... throw DbError and nothing is returned. A protocol
// without rows (or id 0) is empty.
QList<ProgramEntry> ReadProtocol(const QSqlDatabase& db, qint32 protocolId);

// Stores `name` (trimmed) with the program's entries as a new protocol, and deletes the
// protocol `replaced` when given, in one transaction. Returns the new ProtocolID.
// Throws DbError; then nothing is stored and nothing deleted.
qint32 SaveProtocolAs(const QSqlDatabase& db, const QString& name, const ProgramState& program,
                      std::optional<qint32> replaced = std::nullopt);

// Adds a protocol with its rows (at most MaxProgramEntries) inside the caller's
// transaction. Returns the new ProtocolID. Throws DbError.
qint32 InsertProtocol(const QSqlDatabase& db, const QString& name, const QList<ProgramEntry>& rows);

// Deletes a protocol with its exercises. Throws DbError.
void DeleteProtocol(const QSqlDatabase& db, qint32 protocolId);

// How a protocol's exercises enter a program.
enum class ProtocolApply
{
    Replace, // they become the program's exercises
    Append,  // they follow the program's own
};

// Puts a protocol's exercises into the program. Appending past 20 exercises is refused
// whole: false, and the program is unchanged. Modified is left as it was.
bool ApplyProtocol(ProgramState& program, const QList<ProgramEntry>& rows, ProtocolApply how);

} // namespace tramelle
