#include "logging/columnreader.h"

namespace fh {

namespace {

qsizetype leadingBlanks(QByteArrayView line) {
    qsizetype n = 0;
    while (n < line.size() && line[n] == ' ')
        ++n;
    return n;
}

} // namespace

std::optional<ColumnItems> SplitColumns(std::span<const QByteArrayView> lines,
                                        std::span<const int> columns) {
    const int items = int(columns.size());
    if (lines.empty() || items == 0 || items > MaxColumnItems || int(lines.size()) > items)
        return std::nullopt;
    // The first item of every line: a continuation starts with blanks up to its item's column
    // (more when that item itself begins with a blank, as an empty serial does).
    std::array<int, MaxColumnItems + 1> first{};
    for (size_t i = 1; i < lines.size(); ++i) {
        const qsizetype blanks = leadingBlanks(lines[i]);
        int k = items - 1;
        while (k > first[i - 1] && columns[k] - 1 > blanks)
            --k;
        if (k <= first[i - 1])
            return std::nullopt;
        first[i] = k;
    }
    first[lines.size()] = items;

    ColumnItems out;
    out.count = items;
    for (size_t i = 0; i < lines.size(); ++i) {
        const QByteArrayView line = lines[i];
        const int last = first[i + 1] - 1;
        for (int k = first[i]; k <= last; ++k) {
            const qsizetype start = columns[k] - 1;
            if (line.size() < start)
                return std::nullopt;
            if (k < last) {
                // The next item stands on this line, so this one ended before its column.
                const qsizetype next = columns[k + 1] - 1;
                if (line.size() < next)
                    return std::nullopt;
                out.at[k] = line.sliced(start, next - start);
            } else {
                out.at[k] = line.sliced(start);
                // A new line only when this item reached the next column.
                if (k + 1 < items && line.size() < columns[k + 1])
                    return std::nullopt;
            }
        }
    }
    return out;
}

} // namespace fh
