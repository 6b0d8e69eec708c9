#pragma once

#include "ButtonArray.h"
#include "Currency.h"
#include "SingleWindow.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace tramelle {

class AppContext;

// What the clinic and order items windows share: the fixed method lists, the address
// boxes, the card date box and the OK / Cancel pair.

// The payment method whose number is a purchase order number and which has no card date
// or name on the card.
QString PurchaseOrderMethod();
QStringList PayMethodChoices();  // "VISA", "Master Card", "Purchase Order"
QStringList ShipMethodChoices(); // "UPS Ground", "UPS 2-Day", "UPS Next Day"

// Shows `text` when it is one of the box's items, otherwise the first item.
void SelectOrFirst(QComboBox* box, const QString& text);

// A multi-line address box kept to five lines as it is edited.
QPlainTextEdit* MakeAddressBox(QWidget* owner, const QString& name);
// Address boxes hold "\n"; the program holds CR LF.
QString AddressText(const QPlainTextEdit* box);
void SetAddressText(QPlainTextEdit* box, const QString& text);

// A card date as the box shows it: the short date form, empty for no date.
QString CardDateText(const QDateTime& date);
// The date a card date box holds: a null date when it is empty, nothing when it is not a
// date. Besides the forms of ParseDateText it takes the card forms "MM/yy" and "MM/yyyy"
// (the first of that month) and "M/d/yy".
std::optional<QDateTime> ReadCardDate(const QString& text);
// Reads the card date box of `window` for saving. A box that holds no date gets a
// message naming the field, takes the focus, and the result is nothing. A box hidden by
// "Purchase Order" is never refused: it gives its date, or a null date.
std::optional<QDateTime> CheckCardDate(AppContext& ctx, QWidget* window, QLineEdit* box);

// Controls named for tests and for the layout code.
QLineEdit* MakeLineEdit(QWidget* owner, const QString& name);
QLabel* MakeLabel(QWidget* owner, const QString& name, const QString& caption,
                  QWidget* buddy = nullptr);
QGroupBox* MakeFrame(QWidget* owner, const QString& name, const QString& caption);

// The "Bill To" or "Ship To" frame with its address box.
QGroupBox* MakeAddressFrame(QWidget* owner, const QString& frameName, const QString& caption,
                            const QString& boxName, QPlainTextEdit** box);

// The "Payment Method" frame: the method list, "Nbr:", "Date:" and "Name:".
struct PaymentControls
{
    QGroupBox* fraPayment;
    QComboBox* cboPayMethod;
    QLabel* lblCardNum;
    QLineEdit* txtCardNum;
    QLabel* lblCardDate;
    QLineEdit* txtCardDate;
    QLabel* lblNameOnCard;
    QLineEdit* txtNameOnCard;
};
PaymentControls MakePaymentFrame(QWidget* owner);

// The dialog's button pair "cmdOKCancel_0" (OK, the default) and "cmdOKCancel_1"
// (Cancel), each click passed to `click` with the button; `row` gets the pair at the
// right of a row.
QList<QPushButton*> MakeOkCancel(QWidget* owner, const QString& okTip, const QString& cancelTip,
                                 const std::function<void(OkCancelButton)>& click,
                                 QHBoxLayout** row);

// Shows a window of type T over `parent` without blocking, or raises the one already open.
template <typename T, typename Context> QDialog* ShowSingle(Context& ctx, QWidget* parent)
{
    if (auto* open = RaiseOpenWindow<T>(parent))
        return open;
    auto* dialog = new T(ctx, parent);
    dialog->show();
    return dialog;
}

} // namespace tramelle
