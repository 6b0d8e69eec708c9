#pragma once

#include <QDialog>
#include <QList>
#include <optional>

class QLineEdit;
class QPushButton;

namespace tramelle {

class AppContext;
class KeyedListModel;
class ReportListView;

// Entry points for the main window's toolbar: "Patient" and "Programs". Each shows its
// window without blocking (a top-level dialog over `parent`) and returns it; the window
// deletes itself when closed. A second "Programs" while the list is open raises it.
QDialog* OpenSelectPatient(AppContext& ctx, QWidget* parent);
QDialog* OpenListPrograms(AppContext& ctx, QWidget* parent);

// "Select a Patient": chooses, adds, edits or deletes a patient.
class frmSelectPatient : public QDialog
{
    Q_OBJECT

public:
    frmSelectPatient(AppContext& ctx, QWidget* parent);

    void reject() override; // Escape and the close box act as "Cancel"
    void done(int result) override;

private:
    // The indexes of cmdOkCancel.
    enum class Button
    {
        Ok = 0,
        Cancel = 1,
        New = 2,
        Edit = 3,
        Delete = 4
    };

    void FillPatientList();
    void cmdOkCancel_Click(Button button);
    void ChooseSelected(bool clearInvoice);
    void OpenEditPatient();
    void Finish();
    void ReportError(const QString& what, const QString& engineText);

    AppContext& m_ctx;
    KeyedListModel* m_model;
    ReportListView* lstPatients;
    QList<QPushButton*> cmdOkCancel;
    bool m_finished = false;
    bool m_closed = false;
};

// "Patient Information": edits the current patient, or a new one when there is none.
// Nothing is stored before "OK".
class frmEditPatient : public QDialog
{
    Q_OBJECT

public:
    frmEditPatient(AppContext& ctx, QWidget* parent);

    void reject() override; // Escape and the close box act as "Cancel"

private:
    // The indexes of cmdOkCancel.
    enum class Button
    {
        Ok = 0,
        Cancel = 1
    };

    void OpenPatientRecord();
    void cmdOkCancel_Click(Button button);

    AppContext& m_ctx;
    std::optional<qint32> m_patientID; // the row being edited; none for a new patient
    QLineEdit* txtLastName;
    QLineEdit* txtFirstName;
    QLineEdit* txtID;
    QList<QPushButton*> cmdOkCancel;
    bool m_finished = false;
};

// "Recall an Exericse Program": the stored programs of the current patient, or of every
// patient when none is current; opens or deletes one.
class frmListPrograms : public QDialog
{
    Q_OBJECT

public:
    frmListPrograms(AppContext& ctx, QWidget* parent);

private:
    // The indexes of cmdOkCancel.
    enum class Button
    {
        Ok = 0,
        Edit = 1,
        Delete = 2
    };

    void FillProgramList();
    void cmdOkCancel_Click(Button button);
    void ReportError(const QString& what, const QString& engineText);

    AppContext& m_ctx;
    KeyedListModel* m_model;
    ReportListView* lstPatients;
    QList<QPushButton*> cmdOkCancel;
};

} // namespace tramelle
