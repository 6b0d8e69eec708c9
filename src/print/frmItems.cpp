#include "frmItems.h"

#include "AppContext.h"
#include "OrderFields.h"
#include "ProgramStore.h"
#include "WindowServices.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tramelle {

namespace {

// What the dialog shows for shipping, in the order of ShipMethodChoices. The printed
// order form has its own charges.
const Currency ShipCharges[] = {Currency::FromUnits(4), Currency::FromUnits(12),
                                Currency::FromUnits(20)};

constexpr qint16 TaxPercent = 5;

QLabel* MakeAmountLabel(QWidget* owner, const QString& name)
{
    QLabel* label = MakeLabel(owner, name, QString());
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("$0,000.00")) + 8);
    return label;
}

} // namespace

QDialog* OpenOrderItems(AppContext& ctx, QWidget* parent)
{
    return ShowSingle<frmItems>(ctx, parent);
}

Currency frmItems::VarToCur(const QString& value)
{
    return ParseCurrency(value).value_or(Currency{});
}

frmItems::frmItems(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmItems"));
    setWindowTitle(QStringLiteral("Order Items"));
    connect(this, &QDialog::finished, this, &QObject::deleteLater);

    // Addresses across the top.
    QGroupBox* fraBillTo =
        MakeAddressFrame(this, QStringLiteral("fraBillTo"), QStringLiteral("Bill To"),
                         QStringLiteral("txtBillAddr"), &txtBillAddr);
    (new QVBoxLayout(fraBillTo))->addWidget(txtBillAddr);
    QGroupBox* fraShipTo =
        MakeAddressFrame(this, QStringLiteral("fraShipTo"), QStringLiteral("Ship To"),
                         QStringLiteral("txtShipAddr"), &txtShipAddr);
    txtShipPhone = MakeLineEdit(fraShipTo, QStringLiteral("txtShipPhone"));
    auto* shipLayout = new QGridLayout(fraShipTo);
    shipLayout->addWidget(txtShipAddr, 0, 0, 1, 2);
    shipLayout->addWidget(MakeLabel(fraShipTo, QStringLiteral("lblShipPhone"),
                                    QStringLiteral("Phone:"), txtShipPhone),
                          1, 0);
    shipLayout->addWidget(txtShipPhone, 1, 1);
    txtShiptoBill = new QPushButton(QStringLiteral("Copy >>"), this);
    txtShiptoBill->setObjectName(QStringLiteral("txtShiptoBill"));
    txtShiptoBill->setAutoDefault(false);
    auto* addresses = new QHBoxLayout;
    addresses->addWidget(fraBillTo, 1, Qt::AlignTop);
    addresses->addWidget(txtShiptoBill, 0, Qt::AlignVCenter);
    addresses->addWidget(fraShipTo, 1);

    // Payment on the left of the second row; the card number also holds a purchase
    // order number.
    const PaymentControls pay = MakePaymentFrame(this);
    cboPayMethod = pay.cboPayMethod;
    txtCardNum = pay.txtCardNum;
    lblCardDate = pay.lblCardDate;
    txtCardDate = pay.txtCardDate;
    lblNameOnCard = pay.lblNameOnCard;
    txtNameOnCard = pay.txtNameOnCard;

    // The items, their prices and the totals on the right.
    QGroupBox* fraItems = MakeFrame(this, QStringLiteral("fraItems"), QStringLiteral("Items"));
    auto* items = new QGridLayout(fraItems);
    QLabel* headDescription =
        MakeLabel(fraItems, QStringLiteral("lblHeadDescription"), QStringLiteral("Description"));
    QLabel* headPrice =
        MakeLabel(fraItems, QStringLiteral("lblHeadPrice"), QStringLiteral("Price"));
    QFont headFont = headDescription->font();
    headFont.setBold(true);
    headDescription->setFont(headFont);
    headPrice->setFont(headFont);
    headPrice->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    items->addWidget(headDescription, 0, 0);
    items->addWidget(headPrice, 0, 1);
    const struct
    {
        const char* box;
        const char* caption;
        const char* part;
        const char* price;
        Currency amount;
        const char* note;
    } orderable[] = {
        {"chkVideo", "Exercise Video", "P001", "lblVideo", Currency::FromCents(1995), nullptr},
        {"chkBand", "Band Kit", "P002", "lblBand", Currency::FromUnits(10),
         "(6' Each of Red, Yellow and Green)"},
        {"chkBall", "Gym Ball", "P003", "lblBall", Currency::FromUnits(20), "(66 cm Blue Ball)"},
    };
    int row = 1;
    for (const auto& o : orderable) {
        auto* box = new QCheckBox(QString::fromLatin1(o.caption), fraItems);
        box->setObjectName(QString::fromLatin1(o.box));
        box->setProperty("tag", QString::fromLatin1(o.part));
        QLabel* price = MakeAmountLabel(fraItems, QString::fromLatin1(o.price));
        items->addWidget(box, row, 0);
        items->addWidget(price, row, 1);
        ++row;
        if (o.note) {
            QLabel* note =
                MakeLabel(fraItems, QString::fromLatin1(o.price) + QStringLiteral("Note"),
                          QString::fromLatin1(o.note));
            note->setIndent(box->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 6);
            items->addWidget(note, row++, 0);
        }
        m_choices.append({box, price, o.amount});
        connect(box, &QCheckBox::toggled, this, [this] { CalculateTotals(); });
    }
    auto* rule = new QFrame(fraItems);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    items->addWidget(rule, row++, 0, 1, 2);
    lblSubTotal = MakeAmountLabel(fraItems, QStringLiteral("lblSubTotal"));
    items->addWidget(
        MakeLabel(fraItems, QStringLiteral("lblSubTotalCaption"), QStringLiteral("Sub-Total")), row,
        0);
    items->addWidget(lblSubTotal, row++, 1);
    chkTax = new QCheckBox(QStringLiteral("Mass Tax (5%)"), fraItems);
    chkTax->setObjectName(QStringLiteral("chkTax"));
    lblTax = MakeAmountLabel(fraItems, QStringLiteral("lblTax"));
    items->addWidget(chkTax, row, 0);
    items->addWidget(lblTax, row++, 1);
    cboShipMethod = new QComboBox(fraItems);
    cboShipMethod->setObjectName(QStringLiteral("cboShipMethod"));
    lblShipMethod = MakeAmountLabel(fraItems, QStringLiteral("lblShipMethod"));
    items->addWidget(cboShipMethod, row, 0, Qt::AlignLeft);
    items->addWidget(lblShipMethod, row++, 1);
    lblTotal = MakeAmountLabel(fraItems, QStringLiteral("lblTotal"));
    QLabel* totalCaption =
        MakeLabel(fraItems, QStringLiteral("lblTotalCaption"), QStringLiteral("Total"));
    totalCaption->setFont(headFont);
    lblTotal->setFont(headFont);
    items->addWidget(totalCaption, row, 0);
    items->addWidget(lblTotal, row++, 1);
    items->setColumnStretch(0, 1);
    items->setRowStretch(row, 1);

    auto* lower = new QHBoxLayout;
    lower->addWidget(pay.fraPayment, 1);
    lower->addWidget(fraItems, 1);

    QHBoxLayout* buttons = nullptr;
    cmdOKCancel = MakeOkCancel(
        this, tr("Save the order and exit"), tr("Discard changes and exit"),
        [this](OkCancelButton b) { cmdOKCancel_Click(b); }, &buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(addresses);
    layout->addLayout(lower);
    layout->addLayout(buttons);

    connect(txtShiptoBill, &QPushButton::clicked, this,
            [this] { txtShipAddr->setPlainText(txtBillAddr->toPlainText()); });
    connect(chkTax, &QCheckBox::toggled, this, [this] { CalculateTotals(); });

    // Form_Load
    m_ctx.MainWindow().UpdateToolbar(ToolbarState::NoneEnabled);
    m_ctx.MainWindow().UpdateMenu(MenuState::Restricted);
    adjustSize();
    Windows(m_ctx).CenterForm(this);
    LoadItemChoices();
    connect(cboPayMethod, &QComboBox::currentIndexChanged, this, [this] { cboPayMethod_Click(); });
    connect(cboShipMethod, &QComboBox::currentIndexChanged, this, [this] { CalculateTotals(); });
    InitItemFields();
}

void frmItems::LoadItemChoices()
{
    cboShipMethod->clear();
    const QStringList ship = ShipMethodChoices();
    for (int i = 0; i < ship.size(); ++i)
        cboShipMethod->addItem(ship.at(i), QVariant::fromValue(ShipCharges[i].Raw));
    cboPayMethod->clear();
    cboPayMethod->addItems(PayMethodChoices());
    cboShipMethod->setCurrentIndex(0);
    cboPayMethod->setCurrentIndex(0);
}

void frmItems::InitItemFields()
{
    const ProgramState& p = m_ctx.Program;
    const ClinicInfo& c = m_ctx.Clinic;
    const auto orClinic = [](const QString& own, const QString& clinic) {
        return own.isEmpty() ? clinic : own;
    };

    SetAddressText(txtBillAddr, orClinic(p.BillAddr, c.BillAddr));
    SetAddressText(txtShipAddr, orClinic(p.ShipAddr, c.ShipAddr));
    txtShipPhone->setText(orClinic(p.ShipPhone, c.Phone));
    SelectOrFirst(cboPayMethod, orClinic(p.PayMethod, c.PayMethod));
    SelectOrFirst(cboShipMethod, orClinic(p.ShipMethod, c.ShipMethod));

    const bool purchaseOrder = cboPayMethod->currentText() == PurchaseOrderMethod();
    if (p.PayMethod.isEmpty()) {
        if (!purchaseOrder) {
            txtCardNum->setText(c.CardNum);
            txtCardDate->setText(CardDateText(c.CardDate));
            txtNameOnCard->setText(c.NameOnCard);
        }
    } else if (!purchaseOrder) {
        txtCardNum->setText(p.CardNum);
        txtCardDate->setText(CardDateText(p.CardDate));
        txtNameOnCard->setText(p.NameOnCard);
    } else {
        txtCardNum->setText(p.CardNum); // the purchase order number
    }

    chkTax->setChecked(p.Tax != 0);
    for (const OrderItem& item : p.OrderItems) {
        for (const OrderChoice& choice : std::as_const(m_choices)) {
            if (!item.PartNumber.isEmpty() &&
                choice.box->property("tag").toString() == item.PartNumber)
                choice.box->setChecked(true);
        }
    }
    cboPayMethod_Click();
    CalculateTotals();
}

void frmItems::cboPayMethod_Click()
{
    // The number stays: for a purchase order it holds the order number.
    const bool card = cboPayMethod->currentText() != PurchaseOrderMethod();
    lblCardDate->setVisible(card);
    txtCardDate->setVisible(card);
    lblNameOnCard->setVisible(card);
    txtNameOnCard->setVisible(card);
}

void frmItems::CalculateTotals()
{
    Currency subTotal;
    for (const OrderChoice& choice : std::as_const(m_choices)) {
        choice.price->setText(choice.box->isChecked() ? CurrencyText(choice.amount) : QString());
        subTotal += VarToCur(choice.price->text());
    }
    lblSubTotal->setText(CurrencyText(subTotal));
    lblTax->setText(chkTax->isChecked()
                        ? CurrencyText(PercentOf(VarToCur(lblSubTotal->text()), TaxPercent))
                        : QString());
    if (cboShipMethod->currentIndex() >= 0)
        lblShipMethod->setText(
            CurrencyText(Currency::FromRaw(cboShipMethod->currentData().toLongLong())));
    lblTotal->setText(CurrencyText(VarToCur(lblSubTotal->text()) + VarToCur(lblTax->text()) +
                                   VarToCur(lblShipMethod->text())));
}

void frmItems::SaveItemFields(const QDateTime& cardDate)
{
    ProgramState& p = m_ctx.Program;
    p.BillAddr = AddressText(txtBillAddr);
    p.ShipAddr = AddressText(txtShipAddr);
    p.ShipPhone = txtShipPhone->text();
    p.PayMethod = cboPayMethod->currentText();
    p.ShipMethod = cboShipMethod->currentText();
    p.CardNum = txtCardNum->text();
    p.CardDate = cardDate;
    p.NameOnCard = txtNameOnCard->text();
    p.Tax = chkTax->isChecked() ? TaxPercent : 0;

    p.OrderItemCount = 0;
    p.OrderItems = {};
    for (const OrderChoice& choice : std::as_const(m_choices)) {
        if (!choice.box->isChecked())
            continue;
        OrderItem& item = p.OrderItems[static_cast<std::size_t>(p.OrderItemCount++)];
        item.PartNumber = choice.box->property("tag").toString();
        item.Description = choice.box->text();
        item.Price = VarToCur(choice.price->text());
        item.Qty = 1;
    }
}

void frmItems::cmdOKCancel_Click(OkCancelButton button)
{
    if (button == OkCancelButton::Ok) {
        const std::optional<QDateTime> cardDate = CheckCardDate(m_ctx, this, txtCardDate);
        if (!cardDate)
            return;
        m_ctx.Program.Modified = true;
        SaveItemFields(*cardDate);
        // A failed save has told the user why: stay open with the edits so that OK can
        // be tried again or the order cancelled.
        if (!SaveProgram(m_ctx, false))
            return;
    }
    done(button == OkCancelButton::Ok ? Accepted : Rejected);
}

void frmItems::reject()
{
    cmdOKCancel_Click(OkCancelButton::Cancel);
}

void frmItems::done(int result)
{
    // Every way out gives the toolbar back, the close box included.
    if (!m_unloaded) {
        m_unloaded = true;
        m_ctx.MainWindow().UpdateToolbar(ToolbarState::PatientSelected);
        m_ctx.MainWindow().UpdateMenu(MenuState::All);
    }
    QDialog::done(result);
}

} // namespace tramelle
