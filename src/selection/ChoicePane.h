#pragma once

#include "Database.h"
#include "LibraryCache.h"

#include <QImage>
#include <QObject>
#include <optional>

class QScrollBar;
class QWidget;

namespace tramelle {

class AppContext;
class ChoiceGrid;

// What a cell of `size` device-independent pixels shows for `entry`: the exercise's picture
// when the cell is larger than the icon, else (and when that picture is missing) the icon.
// A missing file gives a null picture; an unreadable one gives the reason, with its number.
Result<QImage> ReadCellPicture(AppContext& ctx, const LibraryEntry& entry, QSize size, qreal ratio);

// The library side of the selection window: the pool under the filter of the lists, shown in
// the choice grid inside its clipping frame with its scroll bar. The grid is as tall as its
// rows, the scroll range ends at the last whole rows, and only the cells in sight read their
// pictures.
class ChoicePane : public QObject
{
    Q_OBJECT

public:
    ChoicePane(AppContext& ctx, QWidget* frame, ChoiceGrid* grid, QScrollBar* scroll,
               QObject* parent = nullptr);

    // The whole library becomes the pool. Fails as LoadLibraryCache does.
    Outcome LoadLibrary();
    // The pool is read again under `filter`; the grid is laid out afresh even when that
    // fails, and until it succeeds the pane matches no filter. Fails as LoadLibraryCache.
    Outcome ShowPool(const LibraryFilter& filter);
    // Whether the pool was last read under `filter`.
    bool Shows(const LibraryFilter& filter) const { return m_filter && *m_filter == filter; }
    // Whether the pool is the whole library.
    bool ShowsWholeLibrary() const;

    // Offers a cell for every entry of the pool, none of them read yet.
    void Reset();
    void SetScale(double scale);
    // Reads the pictures of the cells in sight that are not read yet.
    void LoadInSight();
    // Picture files read since the pane was built.
    int PictureReads() const { return m_pictureReads; }

private:
    void SizeGrid();
    void FollowScroll();

    AppContext& m_ctx;
    QWidget* m_frame;
    ChoiceGrid* m_grid;
    QScrollBar* m_scroll;
    std::optional<LibraryFilter> m_filter;
    int m_pictureReads = 0;
};

} // namespace tramelle
