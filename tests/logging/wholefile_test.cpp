// A file saved whole or not at all: a disk that fills up mid-way leaves the old file as it was
// and no part of the new one.
#include "common/bytes.h"
#include "common/diskroom.h"
#include "logging/wholefile.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QTemporaryDir>

namespace fh::test {
namespace {

TEST(SaveWholeFile, CountsOnlyWhenEveryByteIsOnTheDisk) {
    const QByteArray kept(3000, 'k');
    const struct {
        const char* what;
        const char* before; // nullptr: no file yet
        rlim_t room;
        bool saved;
    } cases[] = {
        {"new file", nullptr, RLIM_INFINITY, true},
        {"over an older file", "older", RLIM_INFINITY, true},
        {"disk full, new file", nullptr, 100, false},
        {"disk full, older file", "older", 100, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString path = dir.filePath("Ir3Log-kept.txt");
        ASSERT_TRUE(!c.before || writeAll(path, c.before));
        QString why;
        EXPECT_EQ(WithRoomFor(c.room, [&] { return SaveWholeFile(path, kept, &why); }), c.saved);
        EXPECT_EQ(readAll(path), c.saved ? kept : c.before ? QByteArray(c.before) : "<missing>");
        EXPECT_EQ(why.isEmpty(), c.saved) << qPrintable(why);
        // Nothing half written stays behind.
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), c.saved || c.before ? 1 : 0);
    }
}

} // namespace
} // namespace fh::test
