#include "OrderFields.h"

#include "AppContext.h"
#include "TextHelpers.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextCursor>

namespace tramelle {

namespace {

// The words this file prints, for translators.
struct Texts
{
    Q_DECLARE_TR_FUNCTIONS(tramelle::OrderFields)
};

} // namespace

QString PurchaseOrderMethod()
{
    return QStringLiteral("Purchase Order");
}

QStringList PayMethodChoices()
{
    return {QStringLiteral("VISA"), QStringLiteral("Master Card"), PurchaseOrderMethod()};
}

QStringList ShipMethodChoices()
{
    return {QStringLiteral("UPS Ground"), QStringLiteral("UPS 2-Day"),
            QStringLiteral("UPS Next Day")};
}

void SelectOrFirst(QComboBox* box, const QString& text)
{
    const int index = box->findText(text, Qt::MatchExactly);
    box->setCurrentIndex(index >= 0 ? index : 0);
}

QPlainTextEdit* MakeAddressBox(QWidget* owner, const QString& name)
{
    auto* box = new QPlainTextEdit(owner);
    box->setObjectName(name);
    box->setTabChangesFocus(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    QObject::connect(box, &QPlainTextEdit::textChanged, box, [box] {
        const LimitedText limited =
            LimitTextLines(box->toPlainText(), box->textCursor().position());
        if (!limited.Changed)
            return;
        const QSignalBlocker block(box);
        box->setPlainText(limited.Text);
        QTextCursor caret = box->textCursor();
        caret.setPosition(limited.Caret);
        box->setTextCursor(caret);
    });
    return box;
}

QString AddressText(const QPlainTextEdit* box)
{
    return ToCrLf(box->toPlainText());
}

void SetAddressText(QPlainTextEdit* box, const QString& text)
{
    box->setPlainText(FromCrLf(text));
}

QString CardDateText(const QDateTime& date)
{
    if (!date.isValid())
        return QString();
    return QLocale().toString(date.date(), QLocale::ShortFormat);
}

std::optional<QDateTime> ReadCardDate(const QString& raw)
{
    const QString text = raw.trimmed();
    if (text.isEmpty())
        return QDateTime();
    const QDateTime general = ParseDateText(text);
    if (general.isValid())
        return general;
    // Cards show month and year; a two-digit year means 1930 to 2029.
    static const char* const cardForms[] = {"MM/yy",  "M/yy",   "MM/yyyy",
                                            "M/yyyy", "M/d/yy", "M/d/yyyy"};
    for (const char* form : cardForms) {
        QDate d = QDate::fromString(text, QLatin1String(form));
        if (!d.isValid())
            continue;
        if (!QLatin1String(form).contains(QLatin1String("yyyy")) && d.year() < 1930)
            d = d.addYears(100);
        return d.startOfDay();
    }
    return std::nullopt;
}

std::optional<QDateTime> CheckCardDate(AppContext& ctx, QWidget* window, QLineEdit* box)
{
    const std::optional<QDateTime> date = ReadCardDate(box->text());
    if (date)
        return date;
    if (!box->isVisibleTo(window))
        return QDateTime();
    ctx.Prompt().Message(
        window->windowTitle(),
        Texts::tr("The Date field (\"%1\") does not hold a date.\r\n\r\n"
                  "Enter the card's date, for example %2, or leave the field empty.")
            .arg(box->text().trimmed(), CardDateText(QDate(2026, 12, 8).startOfDay())),
        PromptIcon::Warning, PromptButtons::Ok);
    box->setFocus();
    box->selectAll();
    return std::nullopt;
}

QLineEdit* MakeLineEdit(QWidget* owner, const QString& name)
{
    auto* edit = new QLineEdit(owner);
    edit->setObjectName(name);
    return edit;
}

QLabel* MakeLabel(QWidget* owner, const QString& name, const QString& caption, QWidget* buddy)
{
    auto* label = new QLabel(caption, owner);
    label->setObjectName(name);
    if (buddy)
        label->setBuddy(buddy);
    return label;
}

QGroupBox* MakeFrame(QWidget* owner, const QString& name, const QString& caption)
{
    auto* frame = new QGroupBox(caption, owner);
    frame->setObjectName(name);
    return frame;
}

QGroupBox* MakeAddressFrame(QWidget* owner, const QString& frameName, const QString& caption,
                            const QString& boxName, QPlainTextEdit** box)
{
    QGroupBox* frame = MakeFrame(owner, frameName, caption);
    *box = MakeAddressBox(frame, boxName);
    (*box)->setMinimumWidth(220);
    (*box)->setFixedHeight((*box)->fontMetrics().lineSpacing() * 5 + 14);
    return frame;
}

PaymentControls MakePaymentFrame(QWidget* owner)
{
    PaymentControls c{};
    c.fraPayment = MakeFrame(owner, QStringLiteral("fraPayment"), Texts::tr("Payment Method"));
    QWidget* f = c.fraPayment;
    c.cboPayMethod = new QComboBox(f);
    c.cboPayMethod->setObjectName(QStringLiteral("cboPayMethod"));
    c.txtCardNum = MakeLineEdit(f, QStringLiteral("txtCardNum"));
    c.txtCardDate = MakeLineEdit(f, QStringLiteral("txtCardDate"));
    c.txtNameOnCard = MakeLineEdit(f, QStringLiteral("txtNameOnCard"));
    c.lblCardNum = MakeLabel(f, QStringLiteral("lblCardNum"), Texts::tr("Nbr:"), c.txtCardNum);
    c.lblCardDate = MakeLabel(f, QStringLiteral("lblCardDate"), Texts::tr("Date:"), c.txtCardDate);
    c.lblNameOnCard =
        MakeLabel(f, QStringLiteral("lblNameOnCard"), Texts::tr("Name:"), c.txtNameOnCard);
    auto* grid = new QGridLayout(f);
    grid->addWidget(c.cboPayMethod, 0, 0, 1, 2);
    grid->addWidget(c.lblCardNum, 1, 0);
    grid->addWidget(c.txtCardNum, 1, 1);
    grid->addWidget(c.lblCardDate, 2, 0);
    grid->addWidget(c.txtCardDate, 2, 1);
    grid->addWidget(c.lblNameOnCard, 3, 0);
    grid->addWidget(c.txtNameOnCard, 3, 1);
    grid->setRowStretch(4, 1);
    return c;
}

QList<QPushButton*> MakeOkCancel(QWidget* owner, const QString& okTip, const QString& cancelTip,
                                 const std::function<void(OkCancelButton)>& click,
                                 QHBoxLayout** row)
{
    QList<ArrayButton> specs = OkCancelButtons(Texts::tr("OK"), Texts::tr("Cancel"));
    specs[0].toolTip = okTip;
    specs[1].toolTip = cancelTip;
    const QList<QPushButton*> buttons =
        MakeButtonArray(owner, QStringLiteral("cmdOKCancel"), specs,
                        [click](int index) { click(static_cast<OkCancelButton>(index)); });
    *row = new QHBoxLayout;
    (*row)->addStretch(1);
    for (QPushButton* b : buttons)
        (*row)->addWidget(b);
    buttons[0]->setDefault(true);
    return buttons;
}

} // namespace tramelle
