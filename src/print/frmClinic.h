#pragma once

#include "ButtonArray.h"
#include "UiStates.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tramelle {

class AppContext;

// Entry point of the menu command "&Clinic Info": shows "Clinic Information" without
// blocking (a top-level dialog over `parent`) and returns it; the window deletes itself
// when closed. While one is open it is raised instead of opening a second.
QDialog* OpenClinicInfo(AppContext& ctx, QWidget* parent);

// "Clinic Information": the clinic's name and phone (the title of printed pages) and the
// order defaults of a new program. Nothing is stored before "OK".
class frmClinic : public QDialog
{
    Q_OBJECT

public:
    frmClinic(AppContext& ctx, QWidget* parent);

    void reject() override; // Escape and the close box act as "Cancel"
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void InitClinicFields();
    bool SaveClinicFields();
    void cboPayMethod_Click();
    void txtName_LostFocus();
    void cmdOKCancel_Click(OkCancelButton button);

    AppContext& m_ctx;
    ToolbarState m_toolbarState = ToolbarState::NoPatient;
    bool m_unloaded = false;

    QLineEdit* txtName;
    QLineEdit* txtPhone;
    QPlainTextEdit* txtBillAddr;
    QPushButton* cmdCopyBillToShip;
    QPlainTextEdit* txtShipAddr;
    QComboBox* cboShipMethod;
    QComboBox* cboPayMethod;
    QLabel* lblCardNum;
    QLineEdit* txtCardNum;
    QLabel* lblCardDate;
    QLineEdit* txtCardDate;
    QLabel* lblNameOnCard;
    QLineEdit* txtNameOnCard;
    QList<QPushButton*> cmdOKCancel;
};

} // namespace tramelle
