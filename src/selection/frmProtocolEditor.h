#pragma once

#include "ProtocolForm.h"
#include "frmExerciseSelection.h"

#include <array>
#include <functional>
#include <optional>

class QPushButton;

namespace tramelle {

// "Protocol Editor": lists the stored protocols, and creates, changes and deletes them.
// A protocol's exercises are put together in the selection window (modes 2 and 3); the
// patient's program is kept aside meanwhile and comes back exactly as it was when the
// selection window leaves that mode.
class frmProtocolEditor : public ProtocolForm
{
    Q_OBJECT

public:
    frmProtocolEditor(AppContext& ctx, frmExerciseSelection* selection,
                      std::function<void()> showSelection, QWidget* parent = nullptr);
    ~frmProtocolEditor() override;

    // The one editor of `parent`, raised when it is open, else a new one shown and centred.
    static frmProtocolEditor* Open(AppContext& ctx, frmExerciseSelection* selection,
                                   std::function<void()> showSelection, QWidget* parent);

    // OK of the selection window in modes 2 and 3. False when nothing was stored: the
    // selection window stays open with its exercises.
    bool AddNewProtocol();
    bool SaveEditedProtocol();
    // Stores the program's exercises under `name`, replacing `replaced` when given; a
    // failure says so and stores nothing.
    bool SaveProtocolAs(const QString& name, std::optional<qint32> replaced = std::nullopt);
    bool DeleteProtocol(qint32 id, bool ask);

    // The selection window is putting a protocol together for this editor.
    bool Editing() const { return m_savedProgram.has_value(); }

public slots:
    void reject() override; // Escape and the window frame act as "OK"

private:
    // The indexes of cmdOkCancel; tags equal to the captions. Index 1 is not used.
    enum class Button
    {
        Ok = 0,
        New = 2,
        Edit = 3,
        Delete = 4
    };

    void cmdOkCancel_Click(Button button);
    void cboProtocol_Click() override;
    void UpdateButtons();
    void BeginProtocolMode();
    void OpenSelection(frmExerciseSelection::Mode mode);
    void LeaveProtocolMode();

    std::function<void()> m_showSelection;
    std::optional<ProgramState> m_savedProgram;
    frmExerciseSelection::Mode m_savedMode = frmExerciseSelection::Mode::None;
    qint32 m_editedId = 0;
    QString m_editedName;
    bool m_closing = false;
    std::array<QPushButton*, 5> cmdOkCancel{};
    // Writes the chosen protocol, with the clinic's exercises it uses, to a file.
    QPushButton* cmdExport = nullptr;
};

} // namespace tramelle
