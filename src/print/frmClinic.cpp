#include "frmClinic.h"

#include "AppContext.h"
#include "Clinic.h"
#include "DbError.h"
#include "OrderFields.h"
#include "WindowServices.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace tramelle {

QDialog* OpenClinicInfo(AppContext& ctx, QWidget* parent)
{
    return ShowSingle<frmClinic>(ctx, parent);
}

frmClinic::frmClinic(AppContext& ctx, QWidget* parent) : QDialog(parent), m_ctx(ctx)
{
    setObjectName(QStringLiteral("frmClinic"));
    setWindowTitle(QStringLiteral("Clinic Information"));
    connect(this, &QDialog::finished, this, &QObject::deleteLater);

    txtName = MakeLineEdit(this, QStringLiteral("txtName"));
    txtPhone = MakeLineEdit(this, QStringLiteral("txtPhone"));
    auto* top = new QGridLayout;
    top->addWidget(MakeLabel(this, QStringLiteral("lblName"), QStringLiteral("Name:"), txtName), 0,
                   0);
    top->addWidget(txtName, 0, 1);
    top->addWidget(MakeLabel(this, QStringLiteral("lblPhone"), QStringLiteral("Phone:"), txtPhone),
                   0, 2);
    top->addWidget(txtPhone, 0, 3);
    top->setColumnStretch(1, 3);
    top->setColumnStretch(3, 2);

    QGroupBox* fraBillTo =
        MakeAddressFrame(this, QStringLiteral("fraBillTo"), QStringLiteral("Bill To"),
                         QStringLiteral("txtBillAddr"), &txtBillAddr);
    (new QVBoxLayout(fraBillTo))->addWidget(txtBillAddr);
    QGroupBox* fraShipTo =
        MakeAddressFrame(this, QStringLiteral("fraShipTo"), QStringLiteral("Ship To"),
                         QStringLiteral("txtShipAddr"), &txtShipAddr);
    (new QVBoxLayout(fraShipTo))->addWidget(txtShipAddr);
    cmdCopyBillToShip = new QPushButton(QStringLiteral("Copy >>"), this);
    cmdCopyBillToShip->setObjectName(QStringLiteral("cmdCopyBillToShip"));
    cmdCopyBillToShip->setAutoDefault(false);
    auto* addresses = new QHBoxLayout;
    addresses->addWidget(fraBillTo, 1);
    addresses->addWidget(cmdCopyBillToShip, 0, Qt::AlignVCenter);
    addresses->addWidget(fraShipTo, 1);

    QGroupBox* fraShipMethod =
        MakeFrame(this, QStringLiteral("fraShipMethod"), QStringLiteral("Shipping Method"));
    cboShipMethod = new QComboBox(fraShipMethod);
    cboShipMethod->setObjectName(QStringLiteral("cboShipMethod"));
    auto* shipLayout = new QVBoxLayout(fraShipMethod);
    shipLayout->addWidget(cboShipMethod);
    shipLayout->addStretch(1);

    const PaymentControls pay = MakePaymentFrame(this);
    cboPayMethod = pay.cboPayMethod;
    lblCardNum = pay.lblCardNum;
    txtCardNum = pay.txtCardNum;
    lblCardDate = pay.lblCardDate;
    txtCardDate = pay.txtCardDate;
    lblNameOnCard = pay.lblNameOnCard;
    txtNameOnCard = pay.txtNameOnCard;
    auto* methods = new QHBoxLayout;
    methods->addWidget(fraShipMethod, 1);
    methods->addWidget(pay.fraPayment, 1);

    QHBoxLayout* buttons = nullptr;
    cmdOKCancel = MakeOkCancel(
        this, tr("Save changes and exit"), tr("Discard changes and exit"),
        [this](OkCancelButton b) { cmdOKCancel_Click(b); }, &buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(addresses);
    layout->addLayout(methods);
    layout->addLayout(buttons);

    connect(cmdCopyBillToShip, &QPushButton::clicked, this,
            [this] { txtShipAddr->setPlainText(txtBillAddr->toPlainText()); });
    txtName->installEventFilter(this);

    // Form_Load
    adjustSize();
    Windows(m_ctx).CenterForm(this);
    cboPayMethod->addItems(PayMethodChoices());
    cboShipMethod->addItems(ShipMethodChoices());
    connect(cboPayMethod, &QComboBox::currentIndexChanged, this, [this] { cboPayMethod_Click(); });
    InitClinicFields();
    // Toolbar and menus stay restricted until the window closes; the toolbar then goes
    // back to what it showed, which only depends on whether a patient is current.
    m_toolbarState =
        m_ctx.Program.PatientID ? ToolbarState::PatientSelected : ToolbarState::NoPatient;
    m_ctx.MainWindow().UpdateMenu(MenuState::Restricted);
    m_ctx.MainWindow().UpdateToolbar(ToolbarState::HelpOnly);
}

void frmClinic::InitClinicFields()
{
    const ClinicInfo& c = m_ctx.Clinic;
    txtName->setText(c.Name);
    txtPhone->setText(c.Phone);
    SetAddressText(txtBillAddr, c.BillAddr);
    SetAddressText(txtShipAddr, c.ShipAddr);
    SelectOrFirst(cboPayMethod, c.PayMethod);
    txtCardNum->setText(c.CardNum);
    txtCardDate->setText(CardDateText(c.CardDate));
    txtNameOnCard->setText(c.NameOnCard);
    SelectOrFirst(cboShipMethod, c.ShipMethod);
    cboPayMethod_Click();
}

void frmClinic::cboPayMethod_Click()
{
    const bool card = cboPayMethod->currentText() != PurchaseOrderMethod();
    for (QWidget* w : {static_cast<QWidget*>(lblCardNum), static_cast<QWidget*>(txtCardNum),
                       static_cast<QWidget*>(lblCardDate), static_cast<QWidget*>(txtCardDate),
                       static_cast<QWidget*>(lblNameOnCard), static_cast<QWidget*>(txtNameOnCard)})
        w->setVisible(card);
}

bool frmClinic::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtName && event->type() == QEvent::FocusOut)
        txtName_LostFocus();
    return QDialog::eventFilter(watched, event);
}

void frmClinic::txtName_LostFocus()
{
    // A new clinic's addresses start with its name.
    const QString start = txtName->text() + QLatin1Char('\n');
    if (txtBillAddr->toPlainText().isEmpty())
        txtBillAddr->setPlainText(start);
    if (txtShipAddr->toPlainText().isEmpty())
        txtShipAddr->setPlainText(start);
}

bool frmClinic::SaveClinicFields()
{
    const std::optional<QDateTime> cardDate = CheckCardDate(m_ctx, this, txtCardDate);
    if (!cardDate)
        return false;

    ClinicInfo c;
    c.Name = txtName->text();
    c.Phone = txtPhone->text();
    c.BillAddr = AddressText(txtBillAddr);
    c.ShipAddr = AddressText(txtShipAddr);
    c.PayMethod = cboPayMethod->currentText();
    c.CardNum = txtCardNum->text();
    c.CardDate = *cardDate;
    c.NameOnCard = txtNameOnCard->text();
    c.ShipMethod = cboShipMethod->currentText();

    const ClinicInfo previous = m_ctx.Clinic;
    m_ctx.Clinic = c;
    try {
        SaveClinicInfo(m_ctx);
    } catch (const DbError& e) {
        // Memory keeps matching the file; the typing stays in the window.
        m_ctx.Clinic = previous;
        m_ctx.Prompt().Message(
            windowTitle(), tr("The clinic information was not saved.\r\n\r\n%1").arg(e.message()),
            PromptIcon::Critical, PromptButtons::Ok);
        return false;
    }
    return true;
}

void frmClinic::cmdOKCancel_Click(OkCancelButton button)
{
    if (button == OkCancelButton::Ok && !SaveClinicFields())
        return;
    done(button == OkCancelButton::Ok ? Accepted : Rejected);
}

void frmClinic::reject()
{
    cmdOKCancel_Click(OkCancelButton::Cancel);
}

void frmClinic::done(int result)
{
    if (!m_unloaded) {
        m_unloaded = true;
        m_ctx.MainWindow().UpdateToolbar(m_toolbarState);
        m_ctx.MainWindow().UpdateMenu(MenuState::All);
    }
    QDialog::done(result);
}

} // namespace tramelle
