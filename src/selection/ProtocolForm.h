#pragma once

#include "ProtocolStore.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLabel;
class QListWidget;
class QVBoxLayout;

namespace tramelle {

class AppContext;
class frmExerciseSelection;

// What "Protocol Selection" and "Protocol Editor" share: the list of protocols with
// "(None Selected)" first, the exercises of the chosen one, and putting a protocol into
// the program of the selection window.
class ProtocolForm : public QDialog
{
    Q_OBJECT

public:
    // Fills the list again; "(None Selected)" becomes the choice.
    void FillcboProtocol();
    // The ProtocolID of the chosen row; 0 for "(None Selected)".
    qint32 SelectedProtocolID() const;
    QString SelectedProtocolName() const;
    // Reads the whole protocol and puts it into the program, then shows the slots again.
    // A protocol that cannot be read, or that does not fit, changes nothing: a message,
    // and false.
    bool InitSelExsFromProtocol(qint32 id, ProtocolApply how = ProtocolApply::Replace);

protected:
    ProtocolForm(AppContext& ctx, frmExerciseSelection* selection, QWidget* parent);

    // Adds the name label, the protocol list, the exercises label and the exercise list.
    void AddLists(QVBoxLayout* layout, const QString& nameCaption, const QString& exercisesCaption);
    virtual void cboProtocol_Click();
    void LoadLstProtocol(qint32 id);

    AppContext& m_ctx;
    QPointer<frmExerciseSelection> m_selection;
    QLabel* lblProtocolName = nullptr;
    QComboBox* cboProtocol = nullptr;
    QLabel* lblExercises = nullptr;
    QListWidget* lstProtocol = nullptr;
};

// The message of a routine that could not read a protocol.
QString ProtocolErrorText(const class DbError& error);

} // namespace tramelle
