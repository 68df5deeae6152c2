// drawicon DIR: writes the program's icon into DIR as flamehost.svg and flamehost-N.png for
// the sizes the desktop asks for.
#include "flameicon.h"

#include <cstdio>
#include <QDir>
#include <QFile>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawicon DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "drawicon: cannot create %s\n", argv[1]);
        return 1;
    }
    bool ok = true;
    for (const int size : {48, 128, 256}) {
        const QString file = dir.filePath(QStringLiteral("flamehost-%1.png").arg(size));
        ok = fh::PaintFlameIcon(size).save(file, "PNG") && ok;
    }
    const QByteArray svg = fh::FlameIconSvg();
    QFile out(dir.filePath(QStringLiteral("flamehost.svg")));
    ok = out.open(QIODevice::WriteOnly) && out.write(svg) == svg.size() && ok;
    if (!ok) {
        std::fprintf(stderr, "drawicon: cannot write the icon into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
