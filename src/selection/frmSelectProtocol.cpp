#include "frmSelectProtocol.h"

#include "AppContext.h"
#include "ButtonArray.h"
#include "WindowServices.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tramelle {

frmSelectProtocol* frmSelectProtocol::Open(AppContext& ctx, frmExerciseSelection* selection,
                                           std::function<void()> showSelection, QWidget* parent)
{
    auto* form = new frmSelectProtocol(ctx, selection, std::move(showSelection), parent);
    QObject::connect(form, &QDialog::finished, form, &QObject::deleteLater);
    form->show();
    Windows(ctx).CenterForm(form);
    return form;
}

frmSelectProtocol::frmSelectProtocol(AppContext& ctx, frmExerciseSelection* selection,
                                     std::function<void()> showSelection, QWidget* parent)
    : ProtocolForm(ctx, selection, parent), m_showSelection(std::move(showSelection))
{
    setObjectName(QStringLiteral("frmSelectProtocol"));
    setWindowTitle(tr("Protocol Selection"));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    AddLists(layout, tr("Protocol Name:"), tr("Exercises:"));

    chkAddToProgram = new QCheckBox(tr("Add to program"), this);
    chkAddToProgram->setObjectName(QStringLiteral("chkAddToProgram"));
    chkAddToProgram->setChecked(m_ctx.Settings.AddProtocolToProgram);
    connect(chkAddToProgram, &QCheckBox::toggled, this,
            [this](bool checked) { m_ctx.Settings.AddProtocolToProgram = checked; });
    layout->addWidget(chkAddToProgram);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    QList<ArrayButton> specs = OkCancelButtons(tr("OK"), tr("Cancel"));
    specs[0].icon = style()->standardIcon(QStyle::SP_DialogOkButton);
    specs[1].icon = style()->standardIcon(QStyle::SP_DialogCancelButton);
    const QList<QPushButton*> okCancel =
        MakeButtonArray(this, QStringLiteral("cmdOkCancel"), specs, [this](int index) {
            cmdOkCancel_Click(static_cast<OkCancelButton>(index));
        });
    for (int i = 0; i < 2; ++i) {
        cmdOkCancel[static_cast<size_t>(i)] = okCancel.at(i);
        buttons->addWidget(okCancel.at(i));
    }
    cmdOkCancel[0]->setDefault(true);
    layout->addLayout(buttons);
    resize(340, 360);

    FillcboProtocol();
}

void frmSelectProtocol::cmdOkCancel_Click(OkCancelButton button)
{
    if (button == OkCancelButton::Ok) {
        const ProtocolApply how =
            chkAddToProgram->isChecked() ? ProtocolApply::Append : ProtocolApply::Replace;
        // A protocol that cannot be used leaves the program as it was and this window open.
        if (!InitSelExsFromProtocol(SelectedProtocolID(), how))
            return;
    }
    if (m_showSelection)
        m_showSelection();
    done(button == OkCancelButton::Ok ? Accepted : Rejected);
}

void frmSelectProtocol::reject()
{
    cmdOkCancel_Click(OkCancelButton::Cancel);
}

} // namespace tramelle
