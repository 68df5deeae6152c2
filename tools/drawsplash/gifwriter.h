#pragma once
// A minimal GIF89a writer: one frame, one global palette of up to 256 colours, LZW-packed.
// Qt reads GIF but cannot write it, and the splash picture must be a GIF.
#include <QByteArray>
#include <QImage>
#include <QList>
#include <QRgb>

namespace fh {

// Maps every pixel to the nearest palette colour and encodes the result.
QByteArray EncodeGif(const QImage& image, const QList<QRgb>& palette);

// The LZW code stream of 8-bit pixel indices, as GIF image data sub-blocks (without the
// minimum code size byte and the block terminator).
QByteArray LzwGifBlocks(const QByteArray& indices);

} // namespace fh
