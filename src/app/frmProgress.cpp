#include "frmProgress.h"

#include <QProgressBar>
#include <QVBoxLayout>

namespace tramelle {

frmProgress::frmProgress(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_bar(new QProgressBar(this))
{
    setObjectName(QStringLiteral("frmProgress"));
    setWindowTitle(QStringLiteral("Building Report"));
    setModal(false);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setTextVisible(false);
    m_bar->setMinimumWidth(320);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
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
