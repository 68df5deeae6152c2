// The splash picture's GIF writer, read back by Qt's own GIF reader: every pixel comes back as
// the palette colour it was mapped to, whatever the picture makes the LZW coder do.
#include "gifwriter.h"

#include <functional>
#include <gtest/gtest.h>
#include <QImage>
#include <random>
#include <vector>

namespace fh {
namespace {

// The first pixel that came back otherwise, or "" when all did.
std::string FirstDifference(const QImage& expected, const QByteArray& gif) {
    QImage read;
    if (!read.loadFromData(gif, "GIF"))
        return "Qt cannot read it";
    read = read.convertToFormat(QImage::Format_RGB32);
    if (read.size() != expected.size())
        return "size " + std::to_string(read.width()) + "x" + std::to_string(read.height());
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (read.pixel(x, y) != expected.pixel(x, y))
                return "pixel " + std::to_string(x) + "," + std::to_string(y);
    return {};
}

TEST(GifWriter, QtReadsBackEveryPixel) {
    QList<QRgb> palette;
    for (int i = 0; i < 256; ++i)
        palette << qRgb(i, 255 - i, (i * 7) % 256);
    std::mt19937 random(20);
    std::vector<int> noise(320 * 240);
    for (int& n : noise)
        n = int(random() % 256);
    const std::tuple<const char*, int, int, std::function<int(int, int)>> cases[] = {
        {"one pixel", 1, 1, [](int, int) { return 7; }},
        {"one colour: long runs", 97, 31, [](int, int) { return 200; }},
        {"diagonal stripes: the codes widen to 12 bits", 256, 64,
         [](int x, int y) { return (x + y / 8) % 256; }},
        {"noise: the code table fills and starts again", 320, 240,
         [&](int x, int y) { return noise[size_t(y * 320 + x)]; }},
        {"a repeated tile of noise: long strings of codes made late", 320, 240,
         [&](int x, int y) { return noise[size_t(y % 37 * 320 + x % 41)]; }},
    };
    for (const auto& [what, width, height, index] : cases) {
        SCOPED_TRACE(what);
        QImage image(width, height, QImage::Format_RGB32);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                image.setPixel(x, y, palette[index(x, y)]);
        EXPECT_EQ(FirstDifference(image, EncodeGif(image, palette)), "");
    }
}

TEST(GifWriter, ColoursOutsideThePaletteBecomeTheNearest) {
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255), red = qRgb(255, 0, 0),
               blue = qRgb(0, 0, 255);
    // What is drawn, and what comes back; a short palette is filled up, an empty one is black.
    const std::tuple<QList<QRgb>, QRgb, QRgb> cases[] = {
        {{black, white, red, blue}, qRgb(250, 10, 10), red},
        {{black, white, red, blue}, qRgb(20, 20, 20), black},
        {{black, white, red, blue}, qRgb(240, 240, 240), white},
        {{black, white, red, blue}, qRgb(10, 10, 200), blue},
        {{}, qRgb(240, 240, 240), black},
    };
    for (const auto& [palette, drawn, read] : cases) {
        SCOPED_TRACE(qRed(drawn));
        QImage image(3, 2, QImage::Format_RGB32);
        image.fill(drawn);
        QImage expected(3, 2, QImage::Format_RGB32);
        expected.fill(read);
        EXPECT_EQ(FirstDifference(expected, EncodeGif(image, palette)), "");
    }
}

} // namespace
} // namespace fh
