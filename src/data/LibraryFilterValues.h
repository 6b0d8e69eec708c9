#pragma once

#include <QStringList>

namespace tramelle {

class AppContext;
struct LibraryFilter;

// The library columns that the selection window's filter lists offer.
enum class LibraryColumn
{
    Joint,
    Motion,
    Type
};

// What one filter list offers.
struct LibraryColumnValues
{
    // Each value once, letter case ignored (the first spelling met is kept); a column
    // naming several values separated by commas gives each of them.
    QStringList Values;
    // Whether the column holds more than one distinct text (null counts as one) among the
    // rows passing the filter: the list then starts with "(All)".
    bool SeveralRows = false;
};

// The values of `column` among the library rows that pass `filter`. Joints come sorted
// by the user's locale (letter case ignored), motions and types in the order of their texts. Throws
// DbError.
LibraryColumnValues DistinctLibraryValues(AppContext& ctx, LibraryColumn column,
                                          const LibraryFilter& filter);

} // namespace tramelle
