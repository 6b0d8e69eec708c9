#include "frmHelp.h"

#include "AppContext.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace tramelle {

namespace {

// Addresses the desktop opens; every other scheme is refused.
bool IsOutsideLink(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("mailto");
}

} // namespace

frmHelp::frmHelp(AppContext& ctx, const QUrl& home, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_home(home), m_browser(new QTextBrowser(this)),
      m_findBar(new QWidget(this)), m_findText(new QLineEdit(m_findBar)),
      m_findStatus(new QLabel(m_findBar))
{
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(tr("VMR Tramelle Help"));

    auto* tools = new QToolBar(this);
    tools->setObjectName(QStringLiteral("HelpToolbar"));
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const auto action = [&](const char* name, const QString& text, QStyle::StandardPixmap icon,
                            const QKeySequence& key) {
        QAction* a = tools->addAction(style()->standardIcon(icon), text);
        a->setObjectName(QLatin1String(name));
        a->setShortcut(key);
        a->setToolTip(QStringLiteral("%1 (%2)").arg(QString(text).remove(QLatin1Char('&')),
                                                    key.toString(QKeySequence::NativeText)));
        return a;
    };
    m_back = action("cmdBack", tr("&Back"), QStyle::SP_ArrowBack, QKeySequence::Back);
    m_forward =
        action("cmdForward", tr("&Forward"), QStyle::SP_ArrowForward, QKeySequence::Forward);
    QAction* goHome = action("cmdHome", tr("&Home"), QStyle::SP_DirHomeIcon,
                             QKeySequence(Qt::ALT | Qt::Key_Home));
    tools->addSeparator();
    QAction* find =
        action("cmdFind", tr("F&ind"), QStyle::SP_FileDialogContentsView, QKeySequence::Find);
    m_back->setEnabled(false);
    m_forward->setEnabled(false);

    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    // Every link is checked here first: outside addresses never load inside the window.
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);
    m_browser->document()->setDocumentMargin(14);

    // The find bar below the page: Enter finds the next match, Shift+Enter the one before,
    // Escape closes the bar.
    m_findBar->setObjectName(QStringLiteral("FindBar"));
    m_findText->setObjectName(QStringLiteral("txtFind"));
    m_findText->setPlaceholderText(tr("Find in this page"));
    m_findText->setClearButtonEnabled(true);
    m_findText->installEventFilter(this);
    m_findStatus->setObjectName(QStringLiteral("lblFindStatus"));
    auto* findLabel = new QLabel(tr("Find:"), m_findBar);
    findLabel->setBuddy(m_findText);
    const auto barButton = [&](const char* name, const QString& text) {
        auto* b = new QToolButton(m_findBar);
        b->setObjectName(QLatin1String(name));
        b->setText(text);
        b->setAutoRaise(true);
        return b;
    };
    QToolButton* previous = barButton("cmdFindPrevious", tr("&Previous"));
    QToolButton* next = barButton("cmdFindNext", tr("&Next"));
    QToolButton* closeBar = barButton("cmdFindClose", tr("Close"));
    closeBar->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    closeBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    closeBar->setToolTip(tr("Close the find bar (Esc)"));
    auto* barLayout = new QHBoxLayout(m_findBar);
    barLayout->setContentsMargins(6, 2, 6, 2);
    barLayout->addWidget(findLabel);
    barLayout->addWidget(m_findText, 1);
    barLayout->addWidget(previous);
    barLayout->addWidget(next);
    barLayout->addWidget(m_findStatus);
    barLayout->addStretch();
    barLayout->addWidget(closeBar);
    m_findBar->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(m_browser, 1);
    layout->addWidget(m_findBar);

    // F3 and Shift+F3 search again without the bar's focus.
    auto* findNext = new QAction(this);
    findNext->setShortcut(QKeySequence::FindNext);
    auto* findPrevious = new QAction(this);
    findPrevious->setShortcut(QKeySequence::FindPrevious);
    addAction(findNext);
    addAction(findPrevious);

    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(goHome, &QAction::triggered, this, &frmHelp::GoHome);
    connect(find, &QAction::triggered, this, &frmHelp::ShowFindBar);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &frmHelp::FollowLink);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = m_browser->documentTitle();
        setWindowTitle(title.isEmpty() ? tr("VMR Tramelle Help")
                                       : tr("VMR Tramelle Help - %1").arg(title));
    });
    connect(next, &QToolButton::clicked, this, [this] { FindFromBar(false); });
    connect(previous, &QToolButton::clicked, this, [this] { FindFromBar(true); });
    connect(findNext, &QAction::triggered, this, [this] { FindFromBar(false); });
    connect(findPrevious, &QAction::triggered, this, [this] { FindFromBar(true); });
    connect(closeBar, &QToolButton::clicked, this, [this] {
        m_findBar->hide();
        m_browser->setFocus();
    });
    // Typing searches from the start of the current match, so the match grows with the text.
    connect(m_findText, &QLineEdit::textEdited, this, [this](const QString& text) {
        QTextCursor cursor = m_browser->textCursor();
        cursor.setPosition(cursor.selectionStart());
        m_browser->setTextCursor(cursor);
        if (text.isEmpty())
            m_findStatus->clear();
        else
            FindFromBar(false);
    });

    const QRect screen = parent && parent->screen() ? parent->screen()->availableGeometry()
                                                    : QRect(0, 0, 1280, 1024);
    resize(qMin(860, screen.width() * 9 / 10), qMin(900, screen.height() * 85 / 100));
}

void frmHelp::ShowPage(const QUrl& url)
{
    // A page is read when it is another file; an anchor of the page shown only scrolls.
    m_browser->setSource(url);
}

void frmHelp::GoHome()
{
    ShowPage(m_home);
}

void frmHelp::FollowLink(const QUrl& link)
{
    const QUrl url = m_browser->source().resolved(link);
    QString error;
    if (IsOutsideLink(url)) {
        if (const Outcome opened = m_ctx.Launcher().OpenUrl(url); !opened)
            m_ctx.Prompt().Message(tr("Help"),
                                   tr("The address %1 could not be opened.\r\n\r\n%2")
                                       .arg(url.toDisplayString(), opened.Reason()),
                                   PromptIcon::Warning);
        return;
    }
    if (url.isLocalFile()) {
        if (QFileInfo(url.toLocalFile()).isFile()) {
            ShowPage(url);
            return;
        }
        m_ctx.Prompt().Message(tr("Help"),
                               tr("The page %1 of the manual is missing.")
                                   .arg(QDir::toNativeSeparators(url.toLocalFile())),
                               PromptIcon::Warning);
        return;
    }
    m_ctx.Prompt().Message(tr("Help"),
                           tr("The link %1 cannot be opened.").arg(url.toDisplayString()),
                           PromptIcon::Warning);
}

bool frmHelp::Find(const QString& text, bool backward)
{
    if (text.isEmpty())
        return false;
    const QTextDocument::FindFlags flags =
        backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (m_browser->find(text, flags))
        return true;
    // Round the end of the page; the selection stays when the text is nowhere.
    const QTextCursor kept = m_browser->textCursor();
    QTextCursor cursor(m_browser->document());
    cursor.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
    m_browser->setTextCursor(cursor);
    if (m_browser->find(text, flags))
        return true;
    m_browser->setTextCursor(kept);
    return false;
}

void frmHelp::ShowFindBar()
{
    m_findBar->show();
    m_findText->setFocus(Qt::ShortcutFocusReason);
    m_findText->selectAll();
}

void frmHelp::FindFromBar(bool backward)
{
    if (!m_findBar->isVisible()) {
        ShowFindBar();
        if (m_findText->text().isEmpty())
            return;
    }
    if (m_findText->text().isEmpty())
        return;
    m_findStatus->setText(Find(m_findText->text(), backward) ? QString() : tr("Not found"));
}

bool frmHelp::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_findText && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            FindFromBar(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            m_findBar->hide();
            m_browser->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tramelle
