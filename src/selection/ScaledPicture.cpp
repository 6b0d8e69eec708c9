#include "ScaledPicture.h"

#include "Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

namespace tramelle {

ScaledPicture LoadScaledPicture(const QString& path, QSize size)
{
    ScaledPicture result;
    const QString resolved = ResolvePath(path);
    const QFileInfo info(resolved);
    if (!info.exists() || info.isDir()) {
        // An empty file name leaves just the folder: that is a missing picture as well.
        const bool folderFound = info.isDir() || QFileInfo(info.path()).isDir();
        result.Missing = true;
        result.ErrorNumber = folderFound ? 53 : 76;
        result.ErrorText = folderFound ? QStringLiteral("File not found") : QStringLiteral("Path not found");
        return result;
    }
    QImageReader reader(resolved);
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

} // namespace tramelle
