#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QTimer;

namespace tramelle {

// The start-up splash: stays three ticks of one second, or until a key is pressed or
// its frame is clicked.
class frmSplash : public QDialog
{
    Q_OBJECT

public:
    explicit frmSplash(QWidget* parent = nullptr);

    int Countdown() const { return m_countdown; }
    QTimer* Timer1() const { return m_timer; }
    QFrame* Frame1() const { return m_frame; }

    // "Version " and the major, minor and revision numbers joined with ".".
    static QString VersionText();

public slots:
    void Timer1_Timer();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QFrame* m_frame;
    QTimer* m_timer;
    int m_countdown = 3;
};

} // namespace tramelle
