#include "frmPreferences.h"

#include "AppContext.h"
#include "Paths.h"
#include "WindowServices.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tramelle {

namespace {

QCheckBox* MakeCheck(QWidget* parent, const char* name, const QString& caption)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

frmPreferences::frmPreferences(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx),
      m_chkShowTips(MakeCheck(this, "chkShowTips", tr("Show Tips at Startup"))),
      m_chkPrintCover(MakeCheck(this, "chkPrintCover", tr("Print Patient's Cover Sheet"))),
      m_chkCallVMR(MakeCheck(this, "chkCallVMR", tr("Print \"Call VMR\" prompt")))
{
    setObjectName(QStringLiteral("frmPreferences"));
    setWindowTitle(tr("Preferences"));

    auto* edit = new QPushButton(QIcon(QStringLiteral(":/icons/edit.svg")), tr("Edit"), this);
    edit->setObjectName(QStringLiteral("cmdEditCoverSheet"));
    edit->setToolTip(tr("Edit the cover sheet text"));
    connect(edit, &QPushButton::clicked, this, &frmPreferences::cmdEditCoverSheet_Click);

    auto* ok = new QPushButton(tr("OK"), this);
    ok->setObjectName(QStringLiteral("cmdOKCancel_0"));
    ok->setProperty("tag", QStringLiteral("OK"));
    ok->setToolTip(tr("Save changes and exit"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(tr("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdOKCancel_1"));
    cancel->setProperty("tag", QStringLiteral("Cancel"));
    connect(ok, &QPushButton::clicked, this, [this] { cmdOKCancel_Click(OkCancelButton::Ok); });
    connect(cancel, &QPushButton::clicked, this,
            [this] { cmdOKCancel_Click(OkCancelButton::Cancel); });

    auto* coverRow = new QHBoxLayout;
    coverRow->addWidget(m_chkPrintCover, 1);
    coverRow->addWidget(edit);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_chkShowTips);
    layout->addLayout(coverRow);
    layout->addWidget(m_chkCallVMR);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    adjustSize();
    Windows(m_ctx).CenterForm(this);
    InitPreferences();
}

void frmPreferences::InitPreferences()
{
    m_chkShowTips->setChecked(m_ctx.Settings.ShowTips);
    m_chkPrintCover->setChecked(m_ctx.Settings.PrintPatientCover);
    m_chkCallVMR->setChecked(m_ctx.Settings.PrintCallVMR);
}

void frmPreferences::SavePreferences()
{
    m_ctx.Settings.ShowTips = m_chkShowTips->checkState() != Qt::Unchecked;
    m_ctx.Settings.PrintPatientCover = m_chkPrintCover->checkState() != Qt::Unchecked;
    m_ctx.Settings.PrintCallVMR = m_chkCallVMR->checkState() != Qt::Unchecked;
}

void frmPreferences::cmdOKCancel_Click(OkCancelButton button)
{
    if (button == OkCancelButton::Ok) {
        SavePreferences();
        accept();
    } else {
        reject();
    }
}

void frmPreferences::cmdEditCoverSheet_Click()
{
    const QString path = m_ctx.AppPathAndFName(QStringLiteral("Cover.Txt"));
    if (const Outcome opened = m_ctx.Launcher().OpenDocument(path); !opened) {
        m_ctx.Prompt().Message(tr("Preferences"),
                               tr("The cover sheet text %1 could not be opened.\r\n\r\n%2")
                                   .arg(QDir::toNativeSeparators(path), opened.Reason()),
                               PromptIcon::Warning);
    }
}

} // namespace tramelle
