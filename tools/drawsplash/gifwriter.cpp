#include "gifwriter.h"

#include <QHash>
#include <vector>

namespace fh {

namespace {

constexpr int MinCodeSize = 8;
constexpr int ClearCode = 1 << MinCodeSize;
constexpr int EndCode = ClearCode + 1;
constexpr int MaxCodes = 4096;

// Packs codes of growing width, least significant bit first, into 255-byte sub-blocks.
class BitSink {
public:
    void put(int code, int width) {
        acc_ |= quint32(code) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            bytes_.append(char(acc_ & 0xFF));
            acc_ >>= 8;
            bits_ -= 8;
        }
    }
    QByteArray blocks() {
        if (bits_ > 0)
            bytes_.append(char(acc_ & 0xFF));
        acc_ = 0;
        bits_ = 0;
        QByteArray out;
        for (qsizetype i = 0; i < bytes_.size(); i += 255) {
            const QByteArray part = bytes_.mid(i, 255);
            out.append(char(part.size()));
            out.append(part);
        }
        return out;
    }

private:
    quint32 acc_ = 0;
    int bits_ = 0;
    QByteArray bytes_;
};

void putWord(QByteArray& out, int v) {
    out.append(char(v & 0xFF));
    out.append(char((v >> 8) & 0xFF));
}

int distance(QRgb a, QRgb b) {
    const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

} // namespace

QByteArray LzwGifBlocks(const QByteArray& indices) {
    BitSink sink;
    // Entry (prefix code, next byte) -> code; -1 where none.
    std::vector<int> table(size_t(MaxCodes) * 256, -1);
    int codeSize = MinCodeSize + 1;
    int next = EndCode + 1;
    auto reset = [&] {
        std::fill(table.begin(), table.end(), -1);
        codeSize = MinCodeSize + 1;
        next = EndCode + 1;
    };
    sink.put(ClearCode, codeSize);
    if (indices.isEmpty()) {
        sink.put(EndCode, codeSize);
        return sink.blocks();
    }
    int prefix = quint8(indices.at(0));
    for (qsizetype i = 1; i < indices.size(); ++i) {
        const int k = quint8(indices.at(i));
        const int known = table[size_t(prefix) * 256 + size_t(k)];
        if (known >= 0) {
            prefix = known;
            continue;
        }
        sink.put(prefix, codeSize);
        if (next < MaxCodes) {
            table[size_t(prefix) * 256 + size_t(k)] = next;
            // The reader widens its codes when its table reaches this size.
            if (next == (1 << codeSize) && codeSize < 12)
                ++codeSize;
            ++next;
        } else {
            sink.put(ClearCode, codeSize);
            reset();
        }
        prefix = k;
    }
    sink.put(prefix, codeSize);
    sink.put(EndCode, codeSize);
    return sink.blocks();
}

QByteArray EncodeGif(const QImage& source, const QList<QRgb>& palette) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    QList<QRgb> colours = palette.mid(0, 256);
    if (colours.isEmpty())
        colours << qRgb(0, 0, 0);
    while (colours.size() < 256)
        colours << colours.last();

    QHash<QRgb, char> nearest;
    QByteArray indices;
    indices.reserve(qsizetype(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = line[x] | 0xFF000000u;
            auto it = nearest.constFind(px);
            if (it == nearest.constEnd()) {
                int best = 0;
                for (int c = 1; c < colours.size(); ++c)
                    if (distance(px, colours[c]) < distance(px, colours[best]))
                        best = c;
                it = nearest.insert(px, char(best));
            }
            indices.append(*it);
        }
    }

    QByteArray out("GIF89a");
    putWord(out, image.width());
    putWord(out, image.height());
    out.append(char(0xF7)); // global table of 2^8 colours, 8 bits per primary
    out.append(char(0));    // background colour index
    out.append(char(0));    // no aspect ratio
    for (QRgb c : colours) {
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    out.append(char(0x2C)); // image descriptor
    putWord(out, 0);
    putWord(out, 0);
    putWord(out, image.width());
    putWord(out, image.height());
    out.append(char(0)); // no local table, not interlaced
    out.append(char(MinCodeSize));
    out.append(LzwGifBlocks(indices));
    out.append(char(0));    // end of image data
    out.append(char(0x3B)); // trailer
    return out;
}

} // namespace fh
