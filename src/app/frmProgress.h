#pragma once

#include <QDialog>

class QProgressBar;
class QPushButton;

namespace tramelle {

// "Building Report": a progress bar for long loops. The bar's range stays below
// 32000 steps; the scale maps the caller's count onto it.
class frmProgress : public QDialog
{
    Q_OBJECT

public:
    explicit frmProgress(QWidget* parent = nullptr);

    // Sets the range for `maximum` steps (0 counts as 1).
    void InitProgress(qint32 maximum);
    void UpdateProgress(qint32 value);

    // Shows a Cancel button; pressing it, Escape or closing the window sets Cancelled().
    void SetCancellable(bool cancellable);
    bool Cancelled() const { return m_cancelled; }

    qint32 Scale() const { return m_scale; }
    QProgressBar* ProgressBar1() const { return m_bar; }

    // The scale for a maximum: maximum / 32000 + 1 (integer division).
    static qint32 ScaleFor(qint32 maximum);

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    QProgressBar* m_bar;
    QPushButton* m_cancel;
    bool m_cancellable = false;
    bool m_cancelled = false;
    // Kept 32-bit: a 16-bit scale would overflow for counts above about a billion.
    qint32 m_scale = 1;
};

} // namespace tramelle
