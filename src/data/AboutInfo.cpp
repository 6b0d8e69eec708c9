#include "AboutInfo.h"

#include "AppContext.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlQuery>
#include <QStringList>

namespace tramelle {

namespace {

// The messages of this file, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::AboutInfo)
};

} // namespace

QString DatabaseEngineVersion(const AppContext& ctx)
{
    if (!ctx.Db.IsOpen())
        return {};
    QSqlQuery q(ctx.Db.MainDb());
    if (!q.exec(QStringLiteral("SELECT sqlite_version()")) || !q.next())
        return {};
    return q.value(0).toString();
}

QString SystemInfoText(const AppContext& ctx, const QString& programVersion)
{
    const auto native = [](const QString& path) { return QDir::toNativeSeparators(path); };
    const QString engine = DatabaseEngineVersion(ctx);
    const QStringList lines = {
        Texts::tr("VMR Tramelle %1").arg(programVersion),
        Texts::tr("Data folder: %1").arg(native(ctx.AppFolder())),
        QStringLiteral("Pictures: %1").arg(native(ctx.Settings.PictureFolder)),
        QStringLiteral("Movies: %1").arg(native(ctx.Settings.MovieFolder)),
        QStringLiteral("Icons: %1").arg(native(ctx.Settings.IconFolder)),
        QStringLiteral("Qt: %1").arg(QString::fromLatin1(qVersion())),
        QStringLiteral("SQLite: %1")
            .arg(engine.isEmpty() ? Texts::tr("(no data files open)") : engine),
    };
    return lines.join(QLatin1Char('\n'));
}

} // namespace tramelle
