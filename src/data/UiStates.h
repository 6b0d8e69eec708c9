#pragma once

#include <QtGlobal>

namespace tramelle {

// Which toolbar buttons the main window enables. The numbers are the states the windows
// have always passed and what the recorded states in the tests read back.
enum class ToolbarState : qint32
{
    // 0: only "Help"; at start-up and while a window that must be finished first is open.
    HelpOnly = 0,
    // 1: "Patient", "Programs" and "Help"; no patient is current.
    NoPatient = 1,
    // 2: every button; a patient is current.
    PatientSelected = 2,
    // 3: "Preview", "Print" and "Help"; the exercise selection window is active.
    SelectionActive = 3,
    // 4: no button; the order items window is open.
    NoneEnabled = 4,
};

// Which menus the main window enables.
enum class MenuState : qint32
{
    // 0: the print and preview menus and the clinic, media, pictures, preferences,
    // database and tools entries are off.
    Restricted = 0,
    // 1: print and preview only.
    PrintOnly = 1,
    // 2: every menu.
    All = 2,
};

} // namespace tramelle
