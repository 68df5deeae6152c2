// The listener's frame splitter on virtual time: silences either side of 3.5 character
// times, frames back to back, garbage between frames, a window without a reply.
#include "link/crc.h"
#include "link/framesplitter.h"
#include "link/requests.h"

#include <gtest/gtest.h>

using namespace fh;

namespace {

constexpr qint64 Byte = FrameSplitter::ByteUs;

// A stretch of the line: silence, then bytes back to back.
struct Stretch {
    qint64 silenceUs;
    QByteArray bytes;
};

std::string heard(const std::vector<Stretch>& line, qint64 tailUs = 1'000'000) {
    FrameSplitter s;
    qint64 t = 0;
    for (const Stretch& st : line) {
        t += st.silenceUs;
        for (char b : st.bytes)
            s.feed(QByteArray(1, b), t += Byte);
    }
    s.finish(t + tailUs);
    std::string out;
    for (const HeardFrame& f : s.take())
        out += std::string("RQN?").at(f.kind) + std::to_string(f.bytes.size()) + " ";
    return out;
}

const QByteArray request = SendCommand(12, cmd::Status);
const QByteArray reply = withCrc(QByteArray::fromHex("0cc8090020007516c1004e00"));

TEST(FrameSplitter, SplitsAndPairs) {
    const qint64 below = FrameSplitter::GapUs - 50, above = FrameSplitter::GapUs + 50;
    const QByteArray junk = QByteArray::fromHex("55aa55");
    struct Case {
        const char* name;
        std::vector<Stretch> line;
        const char* expected;
    } cases[] = {
        {"pair", {{0, request}, {5000, reply}}, "R12 Q14 "},
        {"reply paused just below the gap",
         {{0, request}, {5000, reply.left(6)}, {below, reply.mid(6)}},
         "R12 Q14 "},
        {"reply split just above the gap",
         {{0, request}, {5000, reply.left(6)}, {above, reply.mid(6)}},
         "R12 Q6 ?8 "},
        {"garbage paused below the gap is one frame", {{0, junk}, {below, junk}}, "?6 "},
        {"back to back: split by the known lengths",
         {{0, request + reply + request}},
         "R12 Q14 R12 N0 "},
        {"garbage between frames", {{0, junk}, {above, request}, {above, junk}}, "?3 R12 Q3 "},
        {"no reply within the window", {{0, request}, {700'000, request}}, "R12 N0 R12 N0 "},
        {"stuck transmitter", {{0, QByteArray(600, '\x55')}}, "?256 ?256 ?88 "},
        {"bad check bytes are no request", {{0, request.left(11) + 'x'}}, "?12 "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(heard(c.line), c.expected) << c.name;
}

TEST(FrameSplitter, TimesOfAPair) {
    FrameSplitter s;
    s.feed(request, 12 * Byte);
    s.feed(reply, 12 * Byte + 5000 + 14 * Byte);
    s.idle(1'000'000);
    const auto frames = s.take();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].request, request);
    EXPECT_EQ(frames[1].sinceRequestUs, 5000);
}

} // namespace
