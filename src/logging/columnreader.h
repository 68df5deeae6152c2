#pragma once
// The column rule read backwards: the items of one log entry from the lines ColumnWriter made
// of them.
#include <array>
#include <optional>
#include <QByteArrayView>
#include <span>
#include <vector>

namespace fh {

// The most items one entry of either log holds.
inline constexpr int MaxColumnItems = 8;

// The text standing at each item's column, padding included; an item pushed past the next
// column runs to its line's end.
struct ColumnItems {
    std::array<QByteArrayView, MaxColumnItems> at;
    int count = 0;
};

// Splits an entry written with items at `columns` (ascending, from 1): its first line and the
// lines that continue it, each begun with blanks up to the column of the item it carries.
// Nothing when the lines cannot have come from the column rule: a line too short to reach the
// column of an item it should hold, a line ended early although the next item would have fit,
// a continuation that does not move on to a later item.
std::optional<ColumnItems> SplitColumns(std::span<const QByteArrayView> lines,
                                        std::span<const int> columns);

} // namespace fh
