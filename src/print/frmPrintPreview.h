#pragma once

#include "PrintTypes.h"

#include <QDialog>
#include <QImage>
#include <QList>

class QAction;
class QLabel;
class QScrollArea;
class QToolBar;

namespace tramelle {

class AppContext;
class PreviewPage;

// The print preview: the document composed onto page pictures by the same routines that
// print it, shown one page at a time, with zoom, paging and printing. Every zoom composes
// all pages once; paging only shows another page picture.
class frmPrintPreview : public QDialog
{
    Q_OBJECT

public:
    frmPrintPreview(AppContext& ctx, PrintJobKind kind, QWidget* parent = nullptr);
    ~frmPrintPreview() override;

    // Composes the whole document at the current PageScale and stays on the same page.
    void DoPrintPreview();
    void RecalcSizes();
    // Arrow keys scroll by 300 twips.
    void ScrollByKey(int key);

    int CurrentPage() const { return m_currentPage; }
    int LastPage() const { return static_cast<int>(m_pages.size()) - 1; }
    const QImage& PageImage(int index) const { return m_pages.at(index); }
    // How often the document has been composed (once per zoom).
    int Compositions() const { return m_compositions; }

private:
    void GoToPage(int direction);
    void UpdatePageControls();
    void PrintFromPreview();
    void ZoomPreview(int direction);

    AppContext& m_ctx;
    PrintJobKind m_kind;
    double m_savedScale;
    QList<QImage> m_pages;
    int m_currentPage = 0;
    int m_compositions = 0;

    QToolBar* Toolbar1 = nullptr;
    QAction* m_print = nullptr;
    QAction* m_zoomIn = nullptr;
    QAction* m_zoomOut = nullptr;
    QAction* m_prev = nullptr;
    QAction* m_next = nullptr;
    QScrollArea* OuterFrame = nullptr;
    PreviewPage* PagePrev = nullptr;
    QLabel* m_statusPanel = nullptr;
};

// Opens the preview of the document modally (Preview commands of the main window).
void ShowPrintPreview(AppContext& ctx, PrintJobKind kind, QWidget* parent);

} // namespace tramelle
