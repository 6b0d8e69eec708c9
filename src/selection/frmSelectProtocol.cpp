#include "frmSelectProtocol.h"

#include "AppContext.h"
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
    const QString tags[2] = {QStringLiteral("OK"), QStringLiteral("Cancel")};
    const QString captions[2] = {tr("OK"), tr("Cancel")};
    const QStyle::StandardPixmap icons[2] = {QStyle::SP_DialogOkButton,
                                             QStyle::SP_DialogCancelButton};
    for (int i = 0; i < 2; ++i) {
        auto* b = new QPushButton(style()->standardIcon(icons[i]), captions[i], this);
        b->setObjectName(QStringLiteral("cmdOkCancel_%1").arg(i));
        b->setProperty("tag", tags[i]);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, tag = tags[i]] { cmdOkCancelClick(tag); });
        cmdOkCancel[static_cast<size_t>(i)] = b;
        buttons->addWidget(b);
    }
    cmdOkCancel[0]->setDefault(true);
    layout->addLayout(buttons);
    resize(340, 360);

    FillcboProtocol();
}

void frmSelectProtocol::cmdOkCancelClick(const QString& tag)
{
    if (tag == QLatin1String("OK")) {
        const ProtocolApply how =
            chkAddToProgram->isChecked() ? ProtocolApply::Append : ProtocolApply::Replace;
        // A protocol that cannot be used leaves the program as it was and this window open.
        if (!InitSelExsFromProtocol(SelectedProtocolID(), how))
            return;
    }
    if (m_showSelection)
        m_showSelection();
    done(tag == QLatin1String("OK") ? Accepted : Rejected);
}

void frmSelectProtocol::reject()
{
    cmdOkCancelClick(QStringLiteral("Cancel"));
}

} // namespace tramelle
