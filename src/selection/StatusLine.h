#pragma once

#include "Services.h"

#include <QString>

namespace tramelle {

// The main window's status line as one window uses it: a text asked for again while it
// shows is not sent again, and "Ready" is remembered as such.
class StatusLine
{
public:
    explicit StatusLine(MainWindowServices& mainWindow) : m_mainWindow(mainWindow) {}

    // Shows `text` unless it already shows.
    void Show(const QString& text)
    {
        if (text != m_last)
            Set(text);
    }
    // Shows `text` even when it already shows.
    void Set(const QString& text)
    {
        m_last = text;
        m_mainWindow.SetStatusBar(text);
    }
    void Ready()
    {
        m_last = ReadyMark();
        m_mainWindow.SetStatusBarReady();
    }
    bool IsReady() const { return m_last == ReadyMark(); }
    // Someone else may have changed the line: the next text is sent whatever it is.
    void Forget() { m_last.clear(); }

private:
    static QString ReadyMark() { return QStringLiteral("\x01"); }

    MainWindowServices& m_mainWindow;
    QString m_last;
};

} // namespace tramelle
