#include "frmAbout.h"

#include "AboutInfo.h"
#include "AppContext.h"
#include "WindowServices.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVersionNumber>

namespace tramelle {

namespace {

const QString AppTitle = QStringLiteral("VMR Tramelle");

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QString VersionNumbers()
{
    const QVersionNumber v = QVersionNumber::fromString(QStringLiteral(TRAMELLE_VERSION));
    return QStringLiteral("%1.%2.%3")
        .arg(v.majorVersion())
        .arg(v.minorVersion())
        .arg(v.microVersion());
}

// Programs that show the system's hardware and software, in order of preference.
const char* const SysInfoPrograms[] = {"msinfo32", "hardinfo2", "hardinfo", "kinfocenter"};

} // namespace

frmAbout::frmAbout(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), lblSystem(new QLabel(this))
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About %1").arg(AppTitle));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("picIcon"));
    icon->setPixmap(QIcon(QStringLiteral(":/icons/logo.svg")).pixmap(48, 48));
    if (icon->pixmap().isNull())
        icon->setPixmap(windowIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop);

    QLabel* title = MakeLabel(this, QStringLiteral("lblTitle"), AppTitle);
    QFont big = title->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    title->setFont(big);
    QLabel* version = MakeLabel(this, QStringLiteral("lblVersion"), VersionText());
    QLabel* description = MakeLabel(this, QStringLiteral("lblDescription"),
                                    tr("Build custom exercise programs for your patients."));

    // The publisher's numbers are the ones the printed order form carries.
    const QString phone =
        m_ctx.VendorPhone.isEmpty() ? QStringLiteral("(800) 555-0123") : m_ctx.VendorPhone;
    const QString fax =
        m_ctx.VendorFax.isEmpty() ? QStringLiteral("(800) 555-0147") : m_ctx.VendorFax;
    QLabel* publisher = MakeLabel(
        this, QStringLiteral("lblContact_0"),
        QStringLiteral("Velmora, Inc.\n2480 Larkspur Lane, Suite 300\nSpringfield, ST 00555"));
    QLabel* captions = MakeLabel(this, QStringLiteral("lblContact_1"),
                                 tr("Phone:") + QLatin1Char('\n') + tr("Fax:") + QLatin1Char('\n') +
                                     tr("Home:") + QLatin1Char('\n') + tr("e-mail:"));
    QLabel* values = MakeLabel(this, QStringLiteral("lblContact_2"),
                               QStringList{phone, fax, QStringLiteral("www.example.com"),
                                           QStringLiteral("support@example.com")}
                                   .join(QLatin1Char('\n')));
    values->setTextInteractionFlags(Qt::TextSelectableByMouse);

    QLabel* disclaimer = MakeLabel(
        this, QStringLiteral("lblDisclaimer"),
        tr("Copyright (C) 2026 Velmora, Inc. All rights reserved.") + QLatin1Char('\n') +
            tr("This program is protected by copyright law; copying it without permission is "
               "prohibited."));
    disclaimer->setWordWrap(true);
    QFont small = disclaimer->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    disclaimer->setFont(small);

    lblSystem->setObjectName(QStringLiteral("lblSystem"));
    lblSystem->setText(SystemInfoText(m_ctx, VersionNumbers()));
    lblSystem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblSystem->setFrameShape(QFrame::StyledPanel);
    lblSystem->setMargin(4);

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto* sysInfo = new QPushButton(tr("&System Info..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(sysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
    auto* copy = new QPushButton(tr("Copy"), this);
    copy->setObjectName(QStringLiteral("cmdCopy"));
    copy->setToolTip(tr("Copy the program's version and folders"));
    connect(copy, &QPushButton::clicked, this, &frmAbout::cmdCopy_Click);

    auto* contacts = new QHBoxLayout;
    contacts->addWidget(publisher);
    contacts->addSpacing(16);
    contacts->addWidget(captions);
    contacts->addWidget(values);
    contacts->addStretch(1);

    auto* text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(version);
    text->addSpacing(6);
    text->addWidget(description);
    text->addSpacing(10);
    text->addLayout(contacts);
    text->addSpacing(10);
    text->addWidget(lblSystem);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addSpacing(10);
    top->addLayout(text, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    buttons->addWidget(copy);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(disclaimer, 1);
    bottom->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(line);
    layout->addLayout(bottom);

    adjustSize();
    Windows(m_ctx).CenterForm(this);
}

QString frmAbout::VersionText()
{
    return tr("Version ") + VersionNumbers();
}

void frmAbout::StartSysInfo()
{
    LauncherService& launcher = m_ctx.Launcher();
    for (const char* name : SysInfoPrograms) {
        const QString program = launcher.FindProgram(QLatin1String(name));
        if (program.isEmpty())
            continue;
        if (launcher.StartProgram(program, {}))
            return;
        break;
    }
    m_ctx.Prompt().Message(AppTitle, tr("System Information Is Unavailable At This Time"),
                           PromptIcon::Information);
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::cmdCopy_Click()
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(lblSystem->text());
}

} // namespace tramelle
