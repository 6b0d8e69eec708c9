#pragma once

#include "DbError.h"

#include <QDir>
#include <QString>

// Texts the data files' routines share when a file cannot be used.
namespace tramelle {

inline QString FileError(const QString& what, const QString& path, const QString& reason)
{
    return QStringLiteral("%1 \"%2\": %3").arg(what, QDir::toNativeSeparators(path), reason);
}

// Another program holds the file: said plainly, with the file named.
inline QString InUseText(const QString& path)
{
    return FileError(
        QStringLiteral("Cannot open"), path,
        QStringLiteral("another program is using it. Close that program, then start again."));
}

inline bool IsInUse(int engineCode)
{
    return engineCode == EngineBusy || engineCode == EngineLocked;
}

} // namespace tramelle
