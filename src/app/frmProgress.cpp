#include "frmProgress.h"

#include <QCloseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tramelle {

frmProgress::frmProgress(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_bar(new QProgressBar(this)), m_cancel(new QPushButton(tr("Cancel"), this))
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(tr("Building Report"));
    setModal(false);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setTextVisible(false);
    m_bar->setMinimumWidth(320);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    m_cancel->setObjectName(QStringLiteral("cmdCancel"));
    m_cancel->hide();
    layout->addWidget(m_cancel, 0, Qt::AlignHCenter);
    connect(m_cancel, &QPushButton::clicked, this, [this] { m_cancelled = true; });
}

void frmProgress::SetCancellable(bool cancellable)
{
    m_cancellable = cancellable;
    m_cancelled = false;
    m_cancel->setVisible(cancellable);
}

// Escape and the window's close box cancel work that may be cancelled; otherwise the
// window stays until its owner closes it.
void frmProgress::reject()
{
    if (m_cancellable)
        m_cancelled = true;
}

void frmProgress::closeEvent(QCloseEvent* event)
{
    if (m_cancellable && event->spontaneous()) {
        m_cancelled = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

qint32 frmProgress::ScaleFor(qint32 maximum)
{
    if (maximum <= 0)
        maximum = 1;
    return maximum / 32000 + 1;
}

void frmProgress::InitProgress(qint32 maximum)
{
    if (maximum <= 0)
        maximum = 1;
    m_scale = ScaleFor(maximum);
    m_bar->setRange(0, maximum / m_scale);
    m_bar->setValue(0);
}

void frmProgress::UpdateProgress(qint32 value)
{
    m_bar->setValue(value / m_scale);
}

} // namespace tramelle
