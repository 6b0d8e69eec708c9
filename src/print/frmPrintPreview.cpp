#include "frmPrintPreview.h"

#include "AppContext.h"
#include "Documents.h"
#include "PainterSurfaces.h"
#include "PrintJobs.h"
#include "WaitPointer.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace tramelle {

namespace {

constexpr int TwipsPerPixel = 15;
constexpr int PageInset = 150 / TwipsPerPixel; // the page stands 150 twips inside the frame
constexpr int ArrowStep = 300 / TwipsPerPixel;

} // namespace

// The page picture shown: paints the composed image, passes arrow keys to the window.
class PreviewPage : public QWidget
{
public:
    PreviewPage(frmPrintPreview* owner, QWidget* parent) : QWidget(parent), m_owner(owner)
    {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    void SetImage(const QImage& image)
    {
        m_image = image;
        setFixedSize(image.size() + QSize(2 * PageInset, 2 * PageInset));
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Dark));
        const QRect page(QPoint(PageInset, PageInset), m_image.size());
        p.fillRect(page.translated(3, 3), QColor(0, 0, 0, 60));
        p.drawImage(page.topLeft(), m_image);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
            m_owner->ScrollByKey(event->key());
            return;
        default:
            QWidget::keyPressEvent(event);
        }
    }

private:
    frmPrintPreview* m_owner;
    QImage m_image;
};

frmPrintPreview::frmPrintPreview(AppContext& ctx, PrintJobKind kind, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_kind(kind), m_savedScale(ctx.Geometry.PageScale)
{
    setObjectName(QStringLiteral("frmPrintPreview"));
    setWindowTitle(tr("Print Preview"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto addButton = [this](const QString& caption, const QString& key) {
        QAction* a = Toolbar1->addAction(caption);
        a->setObjectName(key);
        return a;
    };
    m_print = addButton(tr("Print"), QStringLiteral("Print"));
    Toolbar1->addSeparator();
    m_zoomIn = addButton(tr("Zoom In"), QStringLiteral("ZoomIn"));
    m_zoomOut = addButton(tr("Zoom Out"), QStringLiteral("ZoomOut"));
    Toolbar1->addSeparator();
    m_prev = addButton(tr("Prev"), QStringLiteral("Prev"));
    m_next = addButton(tr("Next"), QStringLiteral("Next"));
    m_print->setShortcut(QKeySequence::Print);
    m_zoomIn->setShortcut(QKeySequence::ZoomIn);
    m_zoomOut->setShortcut(QKeySequence::ZoomOut);
    m_prev->setShortcut(QKeySequence(Qt::Key_PageUp));
    m_next->setShortcut(QKeySequence(Qt::Key_PageDown));
    connect(m_print, &QAction::triggered, this, [this] { PrintFromPreview(); });
    connect(m_zoomIn, &QAction::triggered, this, [this] { ZoomPreview(0); });
    connect(m_zoomOut, &QAction::triggered, this, [this] { ZoomPreview(1); });
    connect(m_prev, &QAction::triggered, this, [this] { GoToPage(0); });
    connect(m_next, &QAction::triggered, this, [this] { GoToPage(1); });
    layout->addWidget(Toolbar1);

    OuterFrame = new QScrollArea(this);
    OuterFrame->setObjectName(QStringLiteral("OuterFrame"));
    OuterFrame->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    OuterFrame->setBackgroundRole(QPalette::Dark);
    OuterFrame->verticalScrollBar()->setObjectName(QStringLiteral("VScroll1"));
    OuterFrame->horizontalScrollBar()->setObjectName(QStringLiteral("HScroll1"));
    OuterFrame->verticalScrollBar()->setSingleStep(ArrowStep);
    OuterFrame->horizontalScrollBar()->setSingleStep(ArrowStep);
    PagePrev = new PreviewPage(this, OuterFrame);
    PagePrev->setObjectName(QStringLiteral("PagePrev"));
    OuterFrame->setWidget(PagePrev);
    layout->addWidget(OuterFrame, 1);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setSizeGripEnabled(false);
    m_statusPanel = new QLabel(status);
    m_statusPanel->setObjectName(QStringLiteral("StatusPanel1"));
    status->addWidget(m_statusPanel, 1);
    layout->addWidget(status);

    // At most 660 x 770 pixels, and never more than the screen.
    QSize size(660, 770);
    if (const QScreen* screen = this->screen()) {
        const QRect avail = screen->availableGeometry();
        size = QSize(std::min(static_cast<int>(avail.width() * 0.96), size.width()),
                     std::min(static_cast<int>(avail.height() * 0.98), size.height()));
        move(avail.topLeft() + QPoint(8, 4));
    }
    resize(size);

    m_ctx.Geometry.PageScale = 0.75;
    DoPrintPreview();
    PagePrev->setFocus();
}

frmPrintPreview::~frmPrintPreview()
{
    m_ctx.Geometry.PageScale = m_savedScale;
    m_ctx.Geometry.PreviewMode = false;
}

void frmPrintPreview::DoPrintPreview()
{
    const WaitPointer wait;
    PageGeometry& g = m_ctx.Geometry;
    g.PreviewMode = true;
    PreviewSurface surface(g.PageScale);
    // The pages its Print prints, the cover included.
    const Outcome composed = ComposeJob(m_ctx, m_kind, surface);
    surface.EndDoc();
    g.PreviewMode = false;
    m_pages = surface.Pages();
    ++m_compositions;
    m_currentPage = std::clamp(m_currentPage, 0, LastPage());
    PagePrev->SetImage(m_pages.at(m_currentPage));
    UpdatePageControls();
    if (!composed)
        m_ctx.Prompt().Message(tr("Print Preview"),
                               tr("The %1 could not be shown.\r\n%2")
                                   .arg(DocumentName(m_kind).toLower(), composed.Reason()),
                               PromptIcon::Critical);
}

void frmPrintPreview::RecalcSizes()
{
    // The scroll area fits its bars to the page picture shown.
    OuterFrame->widget()->updateGeometry();
}

void frmPrintPreview::ScrollByKey(int key)
{
    QScrollBar* bar = nullptr;
    int step = ArrowStep;
    switch (key) {
    case Qt::Key_Down:
        bar = OuterFrame->verticalScrollBar();
        break;
    case Qt::Key_Up:
        bar = OuterFrame->verticalScrollBar();
        step = -step;
        break;
    case Qt::Key_Right:
        bar = OuterFrame->horizontalScrollBar();
        break;
    case Qt::Key_Left:
        bar = OuterFrame->horizontalScrollBar();
        step = -step;
        break;
    default:
        return;
    }
    bar->setValue(std::clamp(bar->value() + step, bar->minimum(), bar->maximum()));
}

void frmPrintPreview::GoToPage(int direction)
{
    const int target = m_currentPage + (direction == 0 ? -1 : 1);
    if (target < 0 || target > LastPage())
        return;
    m_currentPage = target;
    PagePrev->SetImage(m_pages.at(m_currentPage));
    UpdatePageControls();
}

void frmPrintPreview::UpdatePageControls()
{
    m_prev->setEnabled(m_currentPage != 0);
    m_next->setEnabled(m_currentPage != LastPage());
    m_statusPanel->setText(
        QStringLiteral("Page: %1 of %2").arg(m_currentPage + 1).arg(LastPage() + 1));
}

void frmPrintPreview::ZoomPreview(int direction)
{
    const WaitPointer wait;
    double& scale = m_ctx.Geometry.PageScale;
    if (direction == 1) {
        if (scale <= 0.25)
            return;
        scale = std::max(0.25, scale - 0.25);
    } else {
        if (scale >= 2)
            return;
        scale = std::min(2.0, scale + 0.25);
    }
    DoPrintPreview();
    RecalcSizes();
}

void frmPrintPreview::PrintFromPreview()
{
    const WaitPointer wait;
    // The runner prints at scale 1 and gives the zoom back; the pages shown stay as they are.
    PrintDocument(m_ctx, m_kind);
}

void ShowPrintPreview(AppContext& ctx, PrintJobKind kind, QWidget* parent)
{
    frmPrintPreview preview(ctx, kind, parent);
    preview.exec();
}

} // namespace tramelle
