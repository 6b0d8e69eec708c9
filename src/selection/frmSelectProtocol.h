#pragma once

#include "ButtonArray.h"
#include "ProtocolForm.h"

#include <array>
#include <functional>

class QCheckBox;
class QPushButton;

namespace tramelle {

// "Protocol Selection": choose a stored protocol and put it into the program of the
// selection window, which it hid. OK and Cancel show the selection window again.
class frmSelectProtocol : public ProtocolForm
{
    Q_OBJECT

public:
    // Built on each opening; Open deletes it when it closes.
    frmSelectProtocol(AppContext& ctx, frmExerciseSelection* selection,
                      std::function<void()> showSelection, QWidget* parent = nullptr);

    // Opens a new one, centred.
    static frmSelectProtocol* Open(AppContext& ctx, frmExerciseSelection* selection,
                                   std::function<void()> showSelection, QWidget* parent);

public slots:
    void reject() override; // Escape and the window frame act as "Cancel"

private:
    void cmdOkCancel_Click(OkCancelButton button);

    std::function<void()> m_showSelection;
    QCheckBox* chkAddToProgram = nullptr;
    std::array<QPushButton*, 2> cmdOkCancel{};
};

} // namespace tramelle
