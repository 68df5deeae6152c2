// Runs every seed and every input the fuzzers once found through the same entry points, so the
// ordinary builds keep them fixed. Argument: the corpus folder (one subfolder per target).
#include "fuzzentries.h"

#include <cstdio>
#include <QDir>
#include <QFile>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_replay CORPUS_DIR\n");
        return 2;
    }
    const QDir corpus(QString::fromLocal8Bit(argv[1]));
    int inputs = 0;
    for (const fh::fuzz::Target& target : fh::fuzz::Targets()) {
        const QDir dir(corpus.filePath(QString::fromLatin1(target.name)));
        const QStringList files = dir.entryList(QDir::Files, QDir::Name);
        if (files.isEmpty()) {
            std::fprintf(stderr, "no seeds for %s in %s\n", target.name, qPrintable(dir.path()));
            return 1;
        }
        for (const QString& name : files) {
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly))
                return 1;
            const QByteArray data = f.readAll();
            target.entry(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
            ++inputs;
        }
    }
    std::printf("%d inputs replayed\n", inputs);
    return 0;
}
