#include "ProtocolForm.h"
#include "Outcome.h"

#include "AppContext.h"
#include "DbError.h"
#include "frmExerciseSelection.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

namespace tramelle {

QString ProtocolErrorText(const DbError& error)
{
    if (error.engineCode() != 0)
        return QStringLiteral("Error: %1 %2").arg(error.engineCode()).arg(error.message());
    return QStringLiteral("Error: ") + error.message();
}

ProtocolForm::ProtocolForm(AppContext& ctx, frmExerciseSelection* selection, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_selection(selection)
{
}

void ProtocolForm::AddLists(QVBoxLayout* layout, const QString& nameCaption,
                            const QString& exercisesCaption)
{
    lblProtocolName = new QLabel(nameCaption, this);
    lblProtocolName->setObjectName(QStringLiteral("lblProtocolName"));
    cboProtocol = new QComboBox(this);
    cboProtocol->setObjectName(QStringLiteral("cboProtocol"));
    cboProtocol->setEditable(false);
    cboProtocol->setMinimumContentsLength(28);
    lblProtocolName->setBuddy(cboProtocol);
    lblExercises = new QLabel(exercisesCaption, this);
    lblExercises->setObjectName(QStringLiteral("lblExercises"));
    lstProtocol = new QListWidget(this);
    lstProtocol->setObjectName(QStringLiteral("lstProtocol"));
    lblExercises->setBuddy(lstProtocol);
    layout->addWidget(lblProtocolName);
    layout->addWidget(cboProtocol);
    layout->addWidget(lblExercises);
    layout->addWidget(lstProtocol, 1);
    connect(cboProtocol, &QComboBox::currentIndexChanged, this, [this] { cboProtocol_Click(); });
}

void ProtocolForm::FillcboProtocol()
{
    const QSignalBlocker block(cboProtocol);
    cboProtocol->clear();
    cboProtocol->addItem(tr("(None Selected)"), 0);
    try {
        for (const ProtocolListItem& item : ListProtocols(m_ctx.Db.MainDb()))
            cboProtocol->addItem(item.Name, item.ProtocolID);
    } catch (const DbError& e) {
        ReportFailure(m_ctx, QStringLiteral("FillcboProtocol"), ProtocolErrorText(e));
    }
    cboProtocol->setCurrentIndex(0);
    cboProtocol_Click();
}

qint32 ProtocolForm::SelectedProtocolID() const
{
    return cboProtocol->currentIndex() < 0 ? 0 : cboProtocol->currentData().toInt();
}

QString ProtocolForm::SelectedProtocolName() const
{
    return cboProtocol->currentText();
}

void ProtocolForm::cboProtocol_Click()
{
    const qint32 id = SelectedProtocolID();
    if (id != 0)
        LoadLstProtocol(id);
    else
        lstProtocol->clear();
}

void ProtocolForm::LoadLstProtocol(qint32 id)
{
    lstProtocol->clear();
    try {
        lstProtocol->addItems(ProtocolExerciseDescs(m_ctx.Db.MainDb(), id));
    } catch (const DbError& e) {
        ReportFailure(m_ctx, QStringLiteral("LoadLstProtocol"), ProtocolErrorText(e));
    }
}

bool ProtocolForm::InitSelExsFromProtocol(qint32 id, ProtocolApply how)
{
    QList<ProgramEntry> rows;
    try {
        rows = ReadProtocol(m_ctx.Db.MainDb(), id);
    } catch (const DbError& e) {
        ReportFailure(m_ctx, QStringLiteral("InitSelExsFromProtocol"), ProtocolErrorText(e));
        return false;
    }
    if (how == ProtocolApply::Append && m_selection &&
        m_selection->RefuseWhenFull(int(rows.size())))
        return false;
    const ProgramState before = m_ctx.Program;
    if (!ApplyProtocol(m_ctx.Program, rows, how))
        return false;
    if (m_selection) {
        const QString name = id == SelectedProtocolID() ? SelectedProtocolName() : QString();
        m_selection->ProgramReplaced(how == ProtocolApply::Append
                                         ? tr("Add protocol %1").arg(name)
                                         : tr("Apply protocol %1").arg(name),
                                     before);
    }
    return true;
}

} // namespace tramelle
