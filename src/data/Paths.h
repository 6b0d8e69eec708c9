#pragma once

#include <QString>

class QFile;

namespace tramelle {

// Paths are joined with "/" on every platform; a backslash in a stored path means "/".
QString NormalizeSlashes(const QString& path);

// Joins a folder and a name with exactly one "/" between them.
QString JoinPath(const QString& folder, const QString& name);

// A folder path that ends with "/".
QString WithTrailingSlash(const QString& folder);

// Finds the existing file or folder whatever the letter case of each path element
// ("PICTURE/385_1.jpg" finds "Picture/385_1.JPG"). Returns the path with the case found
// on disk, or the normalised input path when nothing matches.
QString ResolvePath(const QString& path);

// True when ResolvePath finds an existing regular file.
bool FileExistsAnyCase(const QString& path);

// A picture, icon or movie named in a data file, inside its media folder. The name is a
// path below the folder: a name that is empty, absolute, begins with a drive letter or has
// a ".." component names nothing. Letter case is ignored as for every path, and symbolic
// links are followed. Returns the path of the existing regular file, or "" when there is
// none (a missing file, a folder, a named pipe or a device are all "no picture").
QString ResolveMediaFile(const QString& folder, const QString& name);

// The clinic's own pictures, icons and movies: "Clinic/Picture", "Clinic/ICON" and
// "Clinic/Movie" under the application folder (never the read-only product media).
enum class MediaKind
{
    Picture,
    Icon,
    Movie
};
QString ClinicMediaFolder(const QString& appFolder, MediaKind kind);
// The folder of a kind in the product media and in the clinic's folder: "Picture",
// "ICON" or "Movie".
QString MediaFolderName(MediaKind kind);

// ResolveMediaFile in the clinic's folder first and in the configured folder second.
QString ResolveMediaFile(const QString& clinicFolder, const QString& folder, const QString& name);

// The same for a media folder and name already joined into one path: "" when any
// component is "..", or when no regular file is there.
QString ResolveMediaPath(const QString& path);

// Opens `path` for reading when it is a regular file once links are followed. Never waits
// on a named pipe or a device, even one put in place of the file since it was resolved.
bool OpenRegularFile(QFile& file, const QString& path);

// Where the delivered files live: <prefix>/share/vmr-tramelle when installed, or the
// matching folder of the build tree. Overridable for tests.
QString DeliveredShareFolder();
void SetDeliveredShareFolder(const QString& folder);

// The product media ("CD"): pictures and movies, read-only.
QString ProductMediaFolder();

// Files installed into the application folder on the first start.
QString DeliveredFilesFolder();

// The folder the program keeps its data in: the executable's folder when it holds
// "Velmora.MDB" (a portable installation), otherwise the per-user data folder.
QString DefaultApplicationFolder();

} // namespace tramelle
