#include "ChoicePane.h"

#include "AppContext.h"
#include "ChoiceGrid.h"
#include "LayoutScale.h"
#include "Paths.h"
#include "ScaledPicture.h"

#include <QScopeGuard>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace tramelle {

namespace {

constexpr int IconWidth = 61; // icons are made this wide from one of the pictures

} // namespace

Result<QImage> ReadCellPicture(AppContext& ctx, const LibraryEntry& entry, QSize size, qreal ratio)
{
    const QSize device(qRound(size.width() * ratio), qRound(size.height() * ratio));
    ScaledPicture loaded;
    if (device.width() > IconWidth) {
        // The icon would be enlarged: the picture it was made from is sharp at any size.
        const QString& picture = IconSourcePicture(entry);
        if (!picture.isEmpty())
            loaded = LoadScaledPicture(FindMediaFile(ctx, MediaKind::Picture, picture), device);
    }
    if (loaded.Image.isNull())
        loaded = LoadScaledPicture(FindMediaFile(ctx, MediaKind::Icon, entry.Icon), device);
    if (!loaded.Missing && loaded.ErrorNumber != 0)
        return Result<QImage>::Failed(loaded.ErrorText, loaded.ErrorNumber);
    loaded.Image.setDevicePixelRatio(ratio);
    return std::move(loaded.Image);
}

ChoicePane::ChoicePane(AppContext& ctx, QWidget* frame, ChoiceGrid* grid, QScrollBar* scroll,
                       QObject* parent)
    : QObject(parent), m_ctx(ctx), m_frame(frame), m_grid(grid), m_scroll(scroll)
{
    connect(m_scroll, &QScrollBar::valueChanged, this, [this] {
        FollowScroll();
        // While the thumb is dragged only the grid moves; pictures load when it settles.
        if (!m_scroll->isSliderDown())
            LoadInSight();
    });
    connect(m_scroll, &QScrollBar::sliderReleased, this, &ChoicePane::LoadInSight);
}

Outcome ChoicePane::LoadLibrary()
{
    Outcome loaded = LoadLibraryCache(m_ctx);
    if (loaded)
        m_filter = LibraryFilter{};
    return loaded;
}

Outcome ChoicePane::ShowPool(const LibraryFilter& filter)
{
    m_filter.reset();
    m_ctx.Db.LibraryRecordset.Filter = filter;
    auto layout = qScopeGuard([this] { Reset(); });
    Outcome loaded = LoadLibraryCacheFiltered(m_ctx);
    if (loaded)
        m_filter = filter;
    return loaded;
}

bool ChoicePane::ShowsWholeLibrary() const
{
    return m_filter && m_filter->IsEmpty() && m_ctx.Db.LibraryRecordset.Filter.IsEmpty();
}

void ChoicePane::Reset()
{
    m_grid->Reset(m_ctx.Library.LibraryCount);
    SizeGrid();
}

void ChoicePane::SetScale(double scale)
{
    m_grid->SetScale(scale);
    SizeGrid();
    FollowScroll();
}

void ChoicePane::FollowScroll()
{
    m_grid->move(Scaled(-1, m_grid->Scale()), -m_grid->RowTop(m_scroll->value()));
}

void ChoicePane::SizeGrid()
{
    const double scale = m_grid->Scale();
    const int n = m_grid->Count();
    const int lastRow = (n - 1) / ChoiceGrid::Columns;
    const int height = n < 11 ? m_frame->height() + 1
                              : m_grid->RowTop(lastRow) +
                                    Scaled(ChoiceGrid::CaptionTop + ChoiceGrid::CaptionHeight +
                                               ChoiceGrid::PictureTop,
                                           scale);
    m_grid->resize(Scaled(463, scale), height);
    // The last position shows the last rows whole, and nothing beyond them.
    const int rows = (n + ChoiceGrid::Columns - 1) / ChoiceGrid::Columns;
    const int wholeRowsInSight = static_cast<int>(m_frame->height() / m_grid->ScaledRowPitch());
    m_scroll->setMaximum(std::max(rows - wholeRowsInSight, 0));
}

void ChoicePane::LoadInSight()
{
    const int n = std::min<int>(m_ctx.Library.LibraryCount, m_grid->Count());
    const double pitch = m_grid->ScaledRowPitch();
    const int row = static_cast<int>(std::nearbyint(-m_grid->y() / pitch));
    // The rows that show, the last one perhaps in part: three at every scale.
    const int rowsInSight = static_cast<int>(std::ceil(m_frame->height() / pitch));
    const int first = std::max(ChoiceGrid::Columns * row, 0);
    const int last = std::min(first + ChoiceGrid::Columns * rowsInSight - 1, n - 1);
    for (int i = first; i <= last; ++i) {
        if (m_grid->IsLoaded(i))
            continue;
        const LibraryEntry& entry = m_ctx.Library.Entries.at(i);
        ++m_pictureReads;
        Result<QImage> picture = ReadCellPicture(m_ctx, entry, m_grid->PictureRect(i).size(),
                                                 m_grid->devicePixelRatioF());
        if (!picture)
            m_ctx.Prompt().Message(
                QStringLiteral("Error in LoadPictsInSight"),
                QStringLiteral("Error%1 %2").arg(picture.Code()).arg(picture.Reason()),
                PromptIcon::None, PromptButtons::Ok);
        m_grid->SetCell(i, picture ? std::move(picture.Value()) : QImage(), entry.AbbrevDesc,
                        !entry.Movie.isEmpty());
    }
}

} // namespace tramelle
