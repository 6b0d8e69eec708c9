#pragma once

#include <QUrl>
#include <QWidget>

class QAction;
class QLabel;
class QLineEdit;
class QTextBrowser;

namespace tramelle {

class AppContext;

// The program's help window: the delivered HTML manual in a browser of its own, with
// back, forward, home and a find bar. Pages of the manual open inside the window; links
// to the outside (web pages, e-mail) go to the desktop's programs through the launcher.
class frmHelp : public QWidget
{
    Q_OBJECT

public:
    // home: the manual's first page, a local file.
    frmHelp(AppContext& ctx, const QUrl& home, QWidget* parent = nullptr);

    // Shows a page of the manual (an anchor may follow the file name).
    void ShowPage(const QUrl& url);
    void GoHome();
    const QUrl& Home() const { return m_home; }

    // Searches the page for text from the current match on, round the end of the page;
    // selects the match and returns true when there is one.
    bool Find(const QString& text, bool backward = false);
    // Shows the find bar with its text selected, ready to type.
    void ShowFindBar();

    QTextBrowser* Browser() const { return m_browser; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FollowLink(const QUrl& link);
    void FindFromBar(bool backward);

    AppContext& m_ctx;
    QUrl m_home;
    QTextBrowser* m_browser;
    QWidget* m_findBar;
    QLineEdit* m_findText;
    QLabel* m_findStatus;
    QAction* m_back = nullptr;
    QAction* m_forward = nullptr;
};

} // namespace tramelle
