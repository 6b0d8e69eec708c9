#pragma once

#include <QString>

namespace tramelle {

// The per-user options, read once at start-up and written back at shutdown.
// Folder paths use "/" and end with "/".
struct SettingsValues
{
    QString CDDrive;
    QString IconFolder;
    QString MovieFolder;
    QString PictureFolder;
    bool PrintPatientCover = true;
    bool PrintCallVMR = false;
    bool ShowTips = true;
    QString DefaultProvider;
    // "Protocol Selection" adds the protocol after the program's own exercises.
    bool AddProtocolToProgram = false;
};

} // namespace tramelle
