#pragma once

#include <QImage>
#include <QSize>
#include <QString>

namespace tramelle {

// A picture file decoded straight to the size it is shown at.
struct ScaledPicture
{
    QImage Image;         // null when the picture could not be loaded
    bool Missing = false; // the file or its folder does not exist: shown empty, never reported
    int ErrorNumber = 0;  // 0 when loaded; 53 file not found, 76 path not found,
                          // 75 file access error, 481 invalid picture
    QString ErrorText;
};

// Loads the picture `name` (as a data file names it) from `folder`, stretched to `size`.
// Only a regular file inside the folder is read (see ResolveMediaFile); anything else is a
// missing picture. The decoder scales while it decodes, so a large picture never exists
// at full size in memory.
ScaledPicture LoadScaledPicture(const QString& folder, const QString& name, QSize size);
// The same for a folder and name already joined into `path` (see ResolveMediaPath).
ScaledPicture LoadScaledPicture(const QString& path, QSize size);

} // namespace tramelle
