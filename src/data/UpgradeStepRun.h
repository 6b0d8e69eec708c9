#pragma once

#include "DbError.h"
#include "Upgrade.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlQuery>

#include <functional>
#include <optional>

// What the upgrade's steps and its driver share: the column texts of the oldest schema,
// which the steps look for in the stored table definitions, and the run of a step.
namespace tramelle {

namespace upgrade {

// The messages of the upgrade, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(Upgrade)
};

// Column fragments of the oldest schema, written as its table statements hold them.
inline QString Col(const char* name, const char* type = "TEXT")
{
    return QStringLiteral("\"%1\" %2").arg(QLatin1String(name), QLatin1String(type));
}
inline QString Int16Col(const char* name)
{
    return QStringLiteral("\"%1\" INTEGER CHECK (\"%1\" BETWEEN -32768 AND 32767)")
        .arg(QLatin1String(name));
}
inline QString Int32Col(const char* name)
{
    return QStringLiteral("\"%1\" INTEGER CHECK (\"%1\" BETWEEN -2147483648 AND 2147483647)")
        .arg(QLatin1String(name));
}
inline QString SizedCol(const char* name, int size)
{
    return QStringLiteral("\"%1\" TEXT CHECK (length(\"%1\") <= %2)")
        .arg(QLatin1String(name))
        .arg(size);
}
inline QString BoolCol(const char* name)
{
    return QStringLiteral("\"%1\" INTEGER CHECK (\"%1\" IN (0, 1))").arg(QLatin1String(name));
}
inline QString Table(const char* name, const QStringList& columns)
{
    return QStringLiteral("CREATE TABLE \"%1\" (\n  %2\n)")
        .arg(QLatin1String(name), columns.join(QStringLiteral(",\n  ")));
}
inline const QString ColumnSeparator = QStringLiteral(",\n  ");

// Instruction texts were 50 characters before they were widened.
inline constexpr int OldInstructSize = 50;
inline const QString ProtocolInstruct0NotEmpty = QStringLiteral(" AND \"Instruct0\" <> ''");

inline QString Native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace upgrade

// How a rebuilt table's rules are applied to the rows copied into it.
enum class RebuildChecks
{
    Applied,
    // The new rules only accept more than the old ones did, which every row met.
    OnlyWidened
};

// The run of one step on an open file: statements go through Run so that tests can
// watch them and make one fail.
class StepRun
{
public:
    StepRun(QSqlDatabase db, const QString& path, const UpgradeOptions& options,
            FileUpgradeResult& result)
        : Db(std::move(db)), Path(path), Options(options), Result(result)
    {
    }

    QSqlDatabase Db;
    QString Path;
    const UpgradeOptions& Options;
    FileUpgradeResult& Result;

    QSqlQuery Run(const QString& sql, const QVariantList& values = {})
    {
        if (Options.BeforeStatement)
            Options.BeforeStatement(sql);
        return Exec(Db, sql, values);
    }

    qint64 Number(const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q = Run(sql, values);
        return q.next() ? q.value(0).toLongLong() : 0;
    }

    void Notice(const QString& text);

    // The update file, or nothing (with a notice naming it) when no folder holds it.
    std::optional<QString> UpdateFile(const QString& name, const QString& skipped);

    bool HasColumn(const QString& table, const QString& column);

    // Rebuilds a table from its own definition as `edit` changes it, keeping its rows,
    // row ids, indexes and key counter: the engine cannot change a column in place.
    void RebuildTable(const QString& table, const std::function<QString(QString)>& edit,
                      RebuildChecks checks = RebuildChecks::Applied);
};

} // namespace tramelle
