#pragma once

#include "ButtonArray.h"
#include "Currency.h"

#include <QDateTime>
#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tramelle {

class AppContext;

// Entry point of the toolbar command "Video": shows "Order Items" for the current program
// without blocking (a top-level dialog over `parent`) and returns it; the window deletes
// itself when closed. While one is open it is raised instead of opening a second.
QDialog* OpenOrderItems(AppContext& ctx, QWidget* parent);

// "Order Items": the video order of the current program (addresses, payment, shipping,
// the three orderable items and the tax) with live totals. "OK" stores the program;
// "Cancel" changes nothing.
class frmItems : public QDialog
{
    Q_OBJECT

public:
    frmItems(AppContext& ctx, QWidget* parent);

    // The amount a caption shows; 0 when it shows none (an empty caption, for example).
    static Currency VarToCur(const QString& value);

    void reject() override; // Escape and the close box act as "Cancel"
    void done(int result) override;

private:
    struct OrderChoice
    {
        QCheckBox* box;
        QLabel* price;
        Currency amount;
    };

    void LoadItemChoices();
    void InitItemFields();
    void cboPayMethod_Click();
    void CalculateTotals();
    void SaveItemFields(const QDateTime& cardDate);
    void cmdOKCancel_Click(OkCancelButton button);

    AppContext& m_ctx;
    bool m_unloaded = false;

    QPlainTextEdit* txtBillAddr;
    QPushButton* txtShiptoBill;
    QPlainTextEdit* txtShipAddr;
    QLineEdit* txtShipPhone;
    QComboBox* cboPayMethod;
    QLineEdit* txtCardNum;
    QLabel* lblCardDate;
    QLineEdit* txtCardDate;
    QLabel* lblNameOnCard;
    QLineEdit* txtNameOnCard;
    QList<OrderChoice> m_choices; // chkVideo, chkBand, chkBall in order
    QCheckBox* chkTax;
    QLabel* lblTax;
    QComboBox* cboShipMethod;
    QLabel* lblShipMethod;
    QLabel* lblSubTotal;
    QLabel* lblTotal;
    QList<QPushButton*> cmdOKCancel;
};

} // namespace tramelle
