#include "LibraryFilterValues.h"

#include "AppContext.h"
#include "Database.h"
#include "DbError.h"
#include "LibraryCache.h"
#include "TextHelpers.h"

#include <QCollator>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>

namespace tramelle {

LibraryColumnValues DistinctLibraryValues(AppContext& ctx, LibraryColumn column,
                                          const LibraryFilter& filter)
{
    const BoundStatement condition = LibraryFilterCondition(filter);
    const QString name = column == LibraryColumn::Joint    ? QStringLiteral("Joint")
                         : column == LibraryColumn::Motion ? QStringLiteral("Motion")
                                                           : QStringLiteral("Type");
    // The filtered columns come along: rows the engine cannot judge are judged here.
    QSqlQuery q = Exec(
        ctx.Db.LibraryDb(),
        QStringLiteral("SELECT DISTINCT %1, Joint, Motion, Type FROM ExerciseLibrary").arg(name) +
            condition.Sql + QStringLiteral(" ORDER BY %1 COLLATE NOCASE").arg(name),
        condition.Values);
    LibraryColumnValues result;
    QSet<QString> texts;   // distinct texts of the column, case folded; null as a null string
    QSet<QString> offered; // values offered, case folded
    while (q.next()) {
        if (!LibraryFilterAccepts(filter, NullToText(q.value(1)), NullToText(q.value(2)),
                                  NullToText(q.value(3))))
            continue;
        const QVariant value = q.value(0);
        texts.insert(value.isNull() ? QString()
                                    : value.toString().toCaseFolded() + QLatin1Char('.'));
        if (value.isNull())
            continue;
        for (const QString& piece : SplitCommaList(value.toString())) {
            const QString folded = piece.toCaseFolded();
            if (!offered.contains(folded)) {
                offered.insert(folded);
                result.Values << piece;
            }
        }
    }
    ThrowIfFailed(q.lastError());
    result.SeveralRows = texts.size() > 1;
    if (column == LibraryColumn::Joint) {
        // Sorted as the user reads: accented letters with their letter, case ignored.
        QCollator collator;
        collator.setCaseSensitivity(Qt::CaseInsensitive);
        std::stable_sort(
            result.Values.begin(), result.Values.end(),
            [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
    }
    return result;
}

} // namespace tramelle
