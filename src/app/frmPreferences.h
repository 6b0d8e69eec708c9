#pragma once

#include "ButtonArray.h"

#include <QDialog>

class QCheckBox;
class QPushButton;

namespace tramelle {

class AppContext;

// "Preferences": the three yes/no options and the command that opens the cover text.
class frmPreferences : public QDialog
{
    Q_OBJECT

public:
    frmPreferences(AppContext& ctx, QWidget* parent = nullptr);

    // Shows the current options in the check boxes.
    void InitPreferences();
    // Copies the check boxes into the options.
    void SavePreferences();

private slots:
    void cmdEditCoverSheet_Click();

private:
    void cmdOKCancel_Click(OkCancelButton button);

private:
    AppContext& m_ctx;
    QCheckBox* m_chkShowTips;
    QCheckBox* m_chkPrintCover;
    QCheckBox* m_chkCallVMR;
};

} // namespace tramelle
