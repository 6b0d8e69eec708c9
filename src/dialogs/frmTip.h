#pragma once

#include <QDialog>
#include <QLabel>
#include <QStringList>

class QCheckBox;
class QPushButton;

namespace tramelle {

class AppContext;

// A label that shows as much of its text as its box holds, wrapping long words anywhere.
class TipLabel : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;
    void SetTip(const QString& text);
    const QString& FullText() const { return m_full; }
    // The box does not grow with its text: a long tip is cut, never a wide window.
    QSize sizeHint() const override { return minimumSize(); }
    QSize minimumSizeHint() const override { return minimumSize(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Fit();
    QString m_full;
    int m_flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
};

// "Tip of the Day": one tip at a time from "TIPOFDAY.TXT" in the application folder.
class frmTip : public QDialog
{
    Q_OBJECT

public:
    frmTip(AppContext& ctx, QWidget* parent = nullptr);

    // Reads the tips and shows one; false when the file is missing.
    bool LoadTips(const QString& file);
    void DisplayCurrentTip();

    const QStringList& Tips() const { return m_tips; }
    int CurrentTip() const { return m_currentTip; }

private slots:
    void cmdNextTip_Click();
    void cmdEditTip_Click();
    void cmdOK_Click();

private:
    void DoNextTip();

    AppContext& m_ctx;
    TipLabel* lblTipText;
    QCheckBox* chkLoadTipsAtStartup;
    QStringList m_tips;
    int m_currentTip = 0;
};

} // namespace tramelle
