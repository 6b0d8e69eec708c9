#include "ScaledPicture.h"

#include "Paths.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace tramelle {

namespace {

// `resolved` is the regular file found, or "" when `path` names none.
ScaledPicture LoadResolved(const QString& resolved, const QString& path, QSize size)
{
    ScaledPicture result;
    QFile file;
    if (resolved.isEmpty() || !OpenRegularFile(file, resolved)) {
        // An empty file name leaves just the folder: that is a missing picture as well.
        const bool folderFound =
            QFileInfo(ResolvePath(QFileInfo(NormalizeSlashes(path)).path())).isDir();
        result.Missing = true;
        result.ErrorNumber = folderFound ? 53 : 76;
        result.ErrorText =
            folderFound ? QStringLiteral("File not found") : QStringLiteral("Path not found");
        return result;
    }
    QImageReader reader(&file);
    // Icons may hold bitmap data under a ".JPG" name.
    reader.setDecideFormatFromContent(true);
    reader.setScaledSize(size);
    result.Image = reader.read();
    if (!result.Image.isNull())
        return result;
    switch (reader.error()) {
    case QImageReader::FileNotFoundError:
        result.Missing = true;
        result.ErrorNumber = 53;
        result.ErrorText = QStringLiteral("File not found");
        break;
    case QImageReader::DeviceError:
        result.ErrorNumber = 75;
        result.ErrorText = QStringLiteral("Path/File access error");
        break;
    default:
        result.ErrorNumber = 481;
        result.ErrorText = QStringLiteral("Invalid picture");
        break;
    }
    return result;
}

} // namespace

ScaledPicture LoadScaledPicture(const QString& folder, const QString& name, QSize size)
{
    return LoadResolved(ResolveMediaFile(folder, name), JoinPath(folder, name), size);
}

ScaledPicture LoadScaledPicture(const QString& path, QSize size)
{
    return LoadResolved(ResolveMediaPath(path), path, size);
}

} // namespace tramelle
