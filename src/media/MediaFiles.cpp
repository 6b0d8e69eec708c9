#include "MediaFiles.h"

#include "Paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>
#endif

namespace tramelle {

namespace {

constexpr qint64 ChunkBytes = 8 * 1024 * 1024;

QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString WithoutTrailingSlash(const QString& folder)
{
    QString f = NormalizeSlashes(folder);
    while (f.size() > 1 && f.endsWith(QLatin1Char('/')))
        f.chop(1);
    return f;
}

QFileInfoList FilesIn(const QString& folder)
{
    QDir dir(folder);
    // Links are followed: a folder of links copies the files they point to.
    return dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The name of a file with its last three characters replaced by "BMP": the older
// bitmap form of a picture.
QString BmpTwin(const QString& name)
{
    return name.left(name.size() - 3) + QStringLiteral("BMP");
}

void SyncFolder(const QString& folder)
{
#ifdef Q_OS_LINUX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

// One rename that exchanges two folders, so no moment exists without a whole folder.
bool ExchangeFolders(const QString& a, const QString& b)
{
#ifdef Q_OS_LINUX
    return ::renameat2(AT_FDCWD, QFile::encodeName(a).constData(), AT_FDCWD,
                       QFile::encodeName(b).constData(), RENAME_EXCHANGE) == 0;
#else
    Q_UNUSED(a);
    Q_UNUSED(b);
    return false;
#endif
}

bool HardLink(const QString& from, const QString& to)
{
#ifdef Q_OS_UNIX
    return ::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#else
    Q_UNUSED(from);
    Q_UNUSED(to);
    return false;
#endif
}

} // namespace

QString MediaFolderFromSample(const QString& chosenFile)
{
    if (chosenFile.trimmed().isEmpty())
        return {};
    return WithTrailingSlash(QFileInfo(NormalizeSlashes(chosenFile)).absolutePath());
}

qint32 CountFiles(const QString& folder)
{
    return static_cast<qint32>(FilesIn(ResolvePath(folder)).size());
}

qint64 FolderBytes(const QString& folder)
{
    qint64 bytes = 0;
    for (const QFileInfo& f : FilesIn(ResolvePath(folder)))
        bytes += f.size();
    return bytes;
}

MediaCopy::MediaCopy(QString sourceRoot, QString destinationRoot)
    : m_sourceRoot(std::move(sourceRoot)), m_destinationRoot(std::move(destinationRoot))
{
}

MediaCopy::~MediaCopy()
{
    Discard();
}

QString MediaCopy::SourceFolder(MediaKind kind) const
{
    return WithTrailingSlash(ResolvePath(JoinPath(m_sourceRoot, MediaFolderName(kind))));
}

QString MediaCopy::DestinationFolder(MediaKind kind) const
{
    return WithTrailingSlash(ResolvePath(JoinPath(m_destinationRoot, MediaFolderName(kind))));
}

QString MediaCopy::StagingFolder(MediaKind kind) const
{
    return JoinPath(m_destinationRoot,
                    QStringLiteral(".") + MediaFolderName(kind) + QStringLiteral(".staging"));
}

qint64 MediaCopy::BytesNeeded(const QList<MediaKind>& kinds) const
{
    qint64 bytes = 0;
    for (MediaKind kind : kinds)
        bytes += FolderBytes(SourceFolder(kind));
    return bytes;
}

qint64 MediaCopy::BytesAvailable(const QString& folder)
{
    QString existing = NormalizeSlashes(folder);
    while (!existing.isEmpty() && !QFileInfo(existing).isDir())
        existing = QFileInfo(existing).path() == existing ? QString() : QFileInfo(existing).path();
    const QStorageInfo storage(existing.isEmpty() ? QDir::rootPath() : existing);
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

bool MediaCopy::CopyOneFile(const QString& source, const QString& target,
                            const CopyProgress& progress, qint32 done)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_failures << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(source),
                                                   in.errorString());
        return false;
    }
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        m_failures << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(target),
                                                   out.errorString());
        return false;
    }
    const qint64 size = in.size();
    qint64 copied = 0;
    QString error;
#ifdef Q_OS_LINUX
    // The kernel copies without a round trip through this process.
    bool inKernel = true;
    while (copied < size && inKernel) {
        const ssize_t n =
            ::copy_file_range(in.handle(), nullptr, out.handle(), nullptr,
                              static_cast<size_t>(std::min(size - copied, ChunkBytes)), 0);
        if (n > 0) {
            copied += n;
        } else if (n == 0) {
            break;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP) {
            inKernel = false;
        } else {
            error = ErrnoText(errno);
            break;
        }
        if (progress && copied < size && !progress(done)) {
            m_cancelled = true;
            return false;
        }
    }
#endif
    if (error.isEmpty() && copied < size) {
        in.seek(copied);
        out.seek(copied);
        QByteArray buffer(1024 * 1024, Qt::Uninitialized);
        for (;;) {
            const qint64 n = in.read(buffer.data(), buffer.size());
            if (n < 0) {
                error = in.errorString();
                break;
            }
            if (n == 0)
                break;
            if (out.write(buffer.constData(), n) != n) {
                error = out.errorString();
                break;
            }
            copied += n;
            if (progress && !progress(done)) {
                m_cancelled = true;
                return false;
            }
        }
    }
    if (error.isEmpty() && copied != size)
        error = tr("the file changed while it was copied");
    if (!error.isEmpty()) {
        m_failures << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(source), error);
        return false;
    }
    return true;
}

bool MediaCopy::Stage(MediaKind kind, const CopyProgress& progress)
{
    const QString source = SourceFolder(kind);
    const QString staging = StagingFolder(kind);
    if (!QFileInfo(source).isDir()) {
        m_failures << tr("%1: the folder was not found").arg(QDir::toNativeSeparators(source));
        return false;
    }
    QDir(staging).removeRecursively();
    if (!QDir().mkpath(staging)) {
        m_failures
            << tr("%1: the folder could not be created").arg(QDir::toNativeSeparators(staging));
        return false;
    }
    m_staged << kind;

    QSet<QString> copiedNames;
    qint32 done = 0;
    bool whole = true;
    for (const QFileInfo& file : FilesIn(source)) {
        const QString name = file.fileName();
        if (!CopyOneFile(file.filePath(), JoinPath(staging, name), progress, done)) {
            if (m_cancelled)
                return false;
            whole = false;
        }
        copiedNames.insert(name.toUpper());
        copiedNames.insert(BmpTwin(name).toUpper());
        ++done;
        if (progress && !progress(done)) {
            m_cancelled = true;
            return false;
        }
    }
    if (!whole)
        return false;

    // An earlier copy may hold files the source does not: they stay. Hard links cost no
    // space and survive the old folder's removal.
    const QString previous = DestinationFolder(kind);
    if (QFileInfo(previous).isDir()) {
        QDirIterator it(previous,
                        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        const QDir base(previous);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            const QString relative = base.relativeFilePath(info.filePath());
            if (!relative.contains(QLatin1Char('/')) && copiedNames.contains(relative.toUpper()))
                continue;
            const QString target = JoinPath(staging, relative);
            if (QFileInfo::exists(target))
                continue;
            if (info.isDir() && !info.isSymLink()) {
                if (!QDir().mkpath(target)) {
                    m_failures << tr("%1: the folder could not be created")
                                      .arg(QDir::toNativeSeparators(target));
                    return false;
                }
                continue;
            }
            if (info.isSymLink()) {
                if (!QFile::link(info.symLinkTarget(), target)) {
                    m_failures << tr("%1: the link could not be kept")
                                      .arg(QDir::toNativeSeparators(info.filePath()));
                    return false;
                }
                continue;
            }
            if (!HardLink(info.filePath(), target) &&
                !CopyOneFile(info.filePath(), target, progress, done))
                return false;
        }
    }
    SyncFolder(staging);
    return true;
}

bool MediaCopy::Commit()
{
    const QList<MediaKind> kinds = m_staged;
    for (MediaKind kind : kinds) {
        const QString staging = StagingFolder(kind);
        const QString destination = WithoutTrailingSlash(DestinationFolder(kind));
        const QString aside =
            JoinPath(m_destinationRoot,
                     QStringLiteral(".") + MediaFolderName(kind) + QStringLiteral(".old"));
        QDir root;
        if (!QFileInfo::exists(destination)) {
            if (!root.rename(staging, destination)) {
                m_failures << tr("%1: the copy could not be put in place")
                                  .arg(QDir::toNativeSeparators(destination));
                return false;
            }
        } else if (ExchangeFolders(staging, destination)) {
            // The staging name now holds the old folder.
            QDir(staging).removeRecursively();
        } else {
            QDir(aside).removeRecursively();
            if (!root.rename(destination, aside)) {
                m_failures << tr("%1: the old folder could not be moved aside")
                                  .arg(QDir::toNativeSeparators(destination));
                return false;
            }
            if (!root.rename(staging, destination)) {
                root.rename(aside, destination);
                m_failures << tr("%1: the copy could not be put in place")
                                  .arg(QDir::toNativeSeparators(destination));
                return false;
            }
            QDir(aside).removeRecursively();
        }
        m_staged.removeAll(kind);
        SyncFolder(m_destinationRoot);
    }
    return true;
}

void MediaCopy::Discard()
{
    for (MediaKind kind : std::as_const(m_staged))
        QDir(StagingFolder(kind)).removeRecursively();
    m_staged.clear();
}

void MediaCopy::RecoverInterrupted(const QString& destinationRoot, const QList<MediaKind>& kinds)
{
    for (MediaKind kind : kinds) {
        const QString destination = ResolvePath(JoinPath(destinationRoot, MediaFolderName(kind)));
        const QString aside = JoinPath(
            destinationRoot, QStringLiteral(".") + MediaFolderName(kind) + QStringLiteral(".old"));
        const QString staging =
            JoinPath(destinationRoot,
                     QStringLiteral(".") + MediaFolderName(kind) + QStringLiteral(".staging"));
        if (QFileInfo(aside).isDir()) {
            if (QFileInfo::exists(destination))
                QDir(aside).removeRecursively();
            else
                QDir().rename(aside, JoinPath(destinationRoot, MediaFolderName(kind)));
        }
        if (QFileInfo(staging).isDir())
            QDir(staging).removeRecursively();
    }
}

} // namespace tramelle
