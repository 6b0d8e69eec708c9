#include "frmSplash.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QVersionNumber>

namespace tramelle {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, int pointSize, bool bold)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    QFont f = label->font();
    f.setPointSize(pointSize);
    f.setBold(bold);
    label->setFont(f);
    return label;
}

} // namespace

QString frmSplash::VersionText()
{
    const QVersionNumber v = QVersionNumber::fromString(QStringLiteral(TRAMELLE_VERSION));
    return tr("Version %1.%2.%3").arg(v.majorVersion()).arg(v.minorVersion()).arg(v.microVersion());
}

frmSplash::frmSplash(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_frame(new QFrame(this)),
      m_timer(new QTimer(this))
{
    setObjectName(QStringLiteral("frmSplash"));
    setModal(true);
    setWindowTitle(tr("VMR Tramelle"));

    m_frame->setObjectName(QStringLiteral("Frame1"));
    m_frame->setFrameShape(QFrame::Box);
    m_frame->setLineWidth(2);
    m_frame->installEventFilter(this);

    auto* logo = new QLabel(m_frame);
    logo->setObjectName(QStringLiteral("imgLogo"));
    logo->setPixmap(QIcon(QStringLiteral(":/icons/logo.svg")).pixmap(128, 128));

    const QString product = tr("VMR Tramelle");
    const QString company = QStringLiteral("Velmora");
    auto* lblCompanyProduct = MakeLabel(m_frame, "lblCompanyProduct", company, 12, false);
    auto* lblProductName = MakeLabel(m_frame, "lblProductName", product, 26, true);
    auto* lblVersion = MakeLabel(m_frame, "lblVersion", VersionText(), 11, false);
    auto* lblWarning = MakeLabel(m_frame, "lblWarning",
                                 tr("Home exercise programs are to be prescribed and reviewed by a "
                                    "licensed clinician. Patients should stop any exercise that "
                                    "causes pain and contact their clinic."),
                                 9, false);
    lblWarning->setWordWrap(true);

    auto* text = new QVBoxLayout;
    text->addWidget(lblCompanyProduct);
    text->addWidget(lblProductName);
    text->addWidget(lblVersion);
    text->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(logo, 0, Qt::AlignTop);
    top->addSpacing(16);
    top->addLayout(text, 1);

    auto* inner = new QVBoxLayout(m_frame);
    inner->setContentsMargins(24, 24, 24, 24);
    inner->addLayout(top);
    inner->addSpacing(16);
    inner->addWidget(lblWarning);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_frame);
    setFixedSize(520, 300);

    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
}

void frmSplash::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    m_countdown = 3;
    m_timer->start();
}

void frmSplash::Timer1_Timer()
{
    if (m_countdown <= 1) {
        m_timer->stop();
        accept();
        return;
    }
    --m_countdown;
}

void frmSplash::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    m_timer->stop();
    accept();
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_frame && event->type() == QEvent::MouseButtonPress) {
        m_timer->stop();
        accept();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tramelle
