#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace tramelle {

namespace {
QString g_shareOverride;

bool HasParentComponent(const QString& normalized)
{
    for (const QStringView part : QStringView(normalized).split(QLatin1Char('/')))
        if (part == QLatin1String(".."))
            return true;
    return false;
}

QString ExistingRegularFile(const QString& path)
{
    if (path.isEmpty())
        return QString();
    const QString resolved = ResolvePath(path);
    // QFileInfo follows links and only looks at the entry: a named pipe is never opened.
    return QFileInfo(resolved).isFile() ? resolved : QString();
}

} // namespace

QString NormalizeSlashes(const QString& path)
{
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

QString JoinPath(const QString& folder, const QString& name)
{
    QString f = NormalizeSlashes(folder);
    QString n = NormalizeSlashes(name);
    while (n.startsWith(QLatin1Char('/')))
        n.remove(0, 1);
    if (f.isEmpty())
        return n;
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    return f + n;
}

QString WithTrailingSlash(const QString& folder)
{
    QString f = NormalizeSlashes(folder);
    if (!f.endsWith(QLatin1Char('/')))
        f += QLatin1Char('/');
    return f;
}

QString ResolvePath(const QString& path)
{
    const QString normal = NormalizeSlashes(path);
    if (normal.isEmpty() || QFileInfo::exists(normal))
        return normal;

    const bool absolute = normal.startsWith(QLatin1Char('/'));
    const QStringList parts = normal.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString current = absolute ? QStringLiteral("/") : QStringLiteral(".");
    QString built = absolute ? QStringLiteral("/") : QString();
    for (int i = 0; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        // Joins a name to a folder that may be the root.
        const auto join = [](const QString& folder, const QString& name) {
            return folder.endsWith(QLatin1Char('/')) ? QString(folder + name)
                                                     : QString(folder + QLatin1Char('/') + name);
        };
        QString next = join(current, part);
        QString found;
        if (part == QLatin1String(".") || part == QLatin1String("..") || QFileInfo::exists(next)) {
            found = part;
        } else {
            const QDir dir(current);
            const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden |
                                                      QDir::System | QDir::NoDotAndDotDot);
            for (const QString& e : entries) {
                if (e.compare(part, Qt::CaseInsensitive) == 0) {
                    found = e;
                    break;
                }
            }
            if (found.isEmpty())
                return normal;
            next = join(current, found);
        }
        current = next;
        built = built.isEmpty() ? found : join(built, found);
    }
    if (normal.endsWith(QLatin1Char('/')) && !built.endsWith(QLatin1Char('/')))
        built += QLatin1Char('/');
    return built;
}

bool FileExistsAnyCase(const QString& path)
{
    const QFileInfo info(ResolvePath(path));
    return info.exists() && info.isFile();
}

QString ResolveMediaFile(const QString& folder, const QString& name)
{
    const QString n = NormalizeSlashes(name);
    const bool drive = n.size() >= 2 && n.at(1) == QLatin1Char(':');
    if (n.isEmpty() || n.startsWith(QLatin1Char('/')) || drive || QDir::isAbsolutePath(n) ||
        HasParentComponent(n))
        return QString();
    return ExistingRegularFile(JoinPath(folder, n));
}

QString MediaFolderName(MediaKind kind)
{
    switch (kind) {
    case MediaKind::Picture:
        return QStringLiteral("Picture");
    case MediaKind::Icon:
        return QStringLiteral("ICON");
    case MediaKind::Movie:
        break;
    }
    return QStringLiteral("Movie");
}

QString ClinicMediaFolder(const QString& appFolder, MediaKind kind)
{
    return WithTrailingSlash(
        JoinPath(appFolder, QStringLiteral("Clinic/") + MediaFolderName(kind)));
}

QString ResolveMediaFile(const QString& clinicFolder, const QString& folder, const QString& name)
{
    if (!clinicFolder.isEmpty()) {
        const QString own = ResolveMediaFile(clinicFolder, name);
        if (!own.isEmpty())
            return own;
    }
    return ResolveMediaFile(folder, name);
}

QString ResolveMediaPath(const QString& path)
{
    const QString p = NormalizeSlashes(path);
    if (HasParentComponent(p))
        return QString();
    return ExistingRegularFile(p);
}

bool OpenRegularFile(QFile& file, const QString& path)
{
    if (path.isEmpty())
        return false;
#ifdef Q_OS_UNIX
    // Opened without waiting, then checked on the open file itself: whatever stands at
    // the path by now, only a regular file is read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    return true;
#else
    if (!QFileInfo(path).isFile())
        return false;
    file.setFileName(path);
    return file.open(QIODevice::ReadOnly);
#endif
}

void SetDeliveredShareFolder(const QString& folder)
{
    g_shareOverride = folder;
}

QString DeliveredShareFolder()
{
    if (!g_shareOverride.isEmpty())
        return g_shareOverride;
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString installed = QDir::cleanPath(appDir + QStringLiteral("/../share/vmr-tramelle"));
    if (QFileInfo(installed).isDir())
        return installed;
#ifdef TRAMELLE_BUILD_SHARE_DIR
    // Test programs run from their own folders of the build tree.
    if (QFileInfo(QStringLiteral(TRAMELLE_BUILD_SHARE_DIR)).isDir())
        return QStringLiteral(TRAMELLE_BUILD_SHARE_DIR);
#endif
    return appDir;
}

QString ProductMediaFolder()
{
    return WithTrailingSlash(JoinPath(DeliveredShareFolder(), QStringLiteral("media")));
}

QString DeliveredFilesFolder()
{
    return WithTrailingSlash(JoinPath(DeliveredShareFolder(), QStringLiteral("delivered")));
}

QString DefaultApplicationFolder()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (FileExistsAnyCase(JoinPath(exeDir, QStringLiteral("Velmora.MDB"))))
        return exeDir;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

} // namespace tramelle
