// drawsplash FILE: paints the splash picture and writes it to FILE as a GIF.
#include "flamepainter.h"
#include "gifwriter.h"

#include <cstdio>
#include <QFile>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawsplash FILE.gif\n");
        return 2;
    }
    const QByteArray gif = fh::EncodeGif(fh::PaintSplashPicture(), fh::SplashPalette());
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly) || out.write(gif) != gif.size()) {
        std::fprintf(stderr, "drawsplash: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
