#pragma once

namespace tramelle {

// The wait pointer for the life of a scope, restored on every path. Without a GUI
// application (headless tools) it does nothing. Restore() ends it early, for example
// before a message box that reports the outcome of the work.
class WaitPointer
{
public:
    WaitPointer();
    ~WaitPointer();
    WaitPointer(const WaitPointer&) = delete;
    WaitPointer& operator=(const WaitPointer&) = delete;

    void Restore();

private:
    bool m_active = false;
};

} // namespace tramelle
