// The reply check against every way a reply can be wrong, for every request the host sends.
#include "detector/models.h"
#include "detector/replycheck.h"
#include "detector/setupcodec.h"
#include "link/crc.h"
#include "link/requests.h"

#include <gtest/gtest.h>

using namespace fh;

namespace {

QByteArray frame(std::initializer_list<int> body) {
    QByteArray b;
    for (int v : body)
        b.append(char(v));
    return withCrc(b);
}

struct Kind {
    const char* name;
    QByteArray request;
    QByteArray reply; // the proper answer
};

std::vector<Kind> kinds() {
    const QString c1 = QString::fromLatin1(model::ZorvanC1);
    const QByteArray inputs = withCrc(QByteArray("\x05\x04\x1e") + QByteArray(30, '\x11'));
    return {
        {"status", SendCommand(5, cmd::Status), frame({5, 200, 9, 0, 32, 1, 102, 0, 7, 0, 'N', 0})},
        {"bit", SendCommand(5, cmd::Bit), frame({5, 200, 5, 0, 17, 0, 'N', 0})},
        {"bit answered with a copy", SendCommand(5, cmd::Bit), SendCommand(5, cmd::Bit)},
        {"version", SendCommand(5, cmd::Version),
         frame({5, 200, 11, 0, 20, 0, 117, 0, 7, 'F', 'W', '2'})},
        {"setup read", ReadSetup(5, c1), frame({5, 3, 8, 0x45, 5, 0, 0, 0, 2, 0, 30})},
        {"inputs read", ReadInputs(5, QString()), inputs},
        {"address write", WriteAddr(5, 12), WriteAddr(5, 12)},
        {"setup write", WriteSetup(5, c1, {}), frame({5, 16, 0, 1, 0, 4})},
    };
}

TEST(ReplyCheck, ProperRepliesPassAndEveryChangedReplyIsRejectedOrTrimmed) {
    using Change = std::function<QByteArray(const Kind&)>;
    // The proper reply with one byte moved by `delta`, under fresh check bytes.
    const auto shift = [](int index, int delta) {
        return [=](const Kind& k) {
            QByteArray b = k.reply.chopped(2);
            b[index] = char(b.at(index) + delta);
            return withCrc(b);
        };
    };
    const struct {
        const char* name;
        Change change;
        ReplyFault fault; // None: passes, with trailing bytes counted
        bool registerReadsOnly = false;
        bool commandsOnly = false;
    } changes[] = {
        {"check bytes flipped",
         [](const Kind& k) { return k.reply.chopped(1) + char(k.reply.back() ^ 1); },
         ReplyFault::BadCheck},
        // A BIT's or a function-6 write's answer may be a copy of its request: there, only a
        // copy followed by an answer is an echo.
        {"echo of the request",
         [](const Kind& k) {
             const bool copyAnswers =
                 k.request.at(1) == 6 || (quint8(k.request.at(1)) == 200 && k.request.at(4) == 17);
             return copyAnswers ? k.request + k.reply : k.request;
         },
         ReplyFault::Echo},
        {"echo, then the answer", [](const Kind& k) { return k.request + k.reply; },
         ReplyFault::Echo},
        {"other address", shift(0, 1), ReplyFault::OtherAddress},
        {"other function", shift(1, 1), ReplyFault::OtherFunction},
        {"other command", shift(4, 1), ReplyFault::OtherCommand, false, true},
        // 200 has bit 7 set already: its "exception" is a reply to another function.
        {"exception frame",
         [](const Kind& k) {
             return frame({5, quint8(k.request.at(1)) | 0x80, 2});
         },
         ReplyFault::Exception},
        {"byte count + 1", shift(2, 1), ReplyFault::WrongLength, true},
        {"byte count - 1", shift(2, -1), ReplyFault::WrongLength, true},
        {"trailing bytes", [](const Kind& k) { return k.reply + QByteArray("\x00\xff\x55", 3); },
         ReplyFault::None},
    };
    for (const Kind& k : kinds()) {
        const ReplyVerdict proper = CheckReply(k.request, k.reply);
        EXPECT_TRUE(proper.ok()) << k.name << " " << int(proper.fault);
        EXPECT_EQ(proper.frameLength, k.reply.size()) << k.name;
        EXPECT_EQ(proper.trailingBytes, 0) << k.name;
        const bool command = quint8(k.request.at(1)) == fn::Command;
        const bool registerRead = k.request.at(1) == 3 || k.request.at(1) == 4;
        for (const auto& c : changes) {
            if ((c.registerReadsOnly && !registerRead) || (c.commandsOnly && !command))
                continue;
            const QByteArray changed = c.change(k);
            const ReplyVerdict v = CheckReply(k.request, changed);
            const std::string what = std::string(k.name) + ": " + c.name;
            if (c.fault == ReplyFault::None && command) {
                // A 200 reply does not say how long it is: junk behind it spoils its check.
                EXPECT_EQ(v.fault, ReplyFault::BadCheck) << what;
            } else if (c.fault == ReplyFault::None) {
                EXPECT_TRUE(v.ok()) << what;
                EXPECT_EQ(v.frameLength, k.reply.size()) << what;
                EXPECT_EQ(v.trailingBytes, 3) << what;
            } else if (c.fault == ReplyFault::Exception && command) {
                EXPECT_FALSE(v.ok()) << what;
            } else {
                EXPECT_EQ(v.fault, c.fault) << what;
                EXPECT_EQ(v.exceptionCode, c.fault == ReplyFault::Exception ? 2 : 0) << what;
            }
        }
        // Cut short of a whole frame, even by one byte, nothing passes.
        for (qsizetype n = 0; n < k.reply.size(); ++n)
            EXPECT_FALSE(CheckReply(k.request, k.reply.left(n)).ok()) << k.name << " cut to " << n;
    }
}

TEST(ReplyCheck, MasterModeTakesAnyBusAddressButNotAGarbledReply) {
    const QByteArray poll = SendCommand(0, cmd::Status);
    for (const auto& [from, ok] :
         {std::pair{1, true}, {17, true}, {247, true}, {0, false}, {248, false}})
        EXPECT_EQ(CheckReply(poll, frame({from, 200, 9, 0, 32, 1, 102, 0, 7, 0, 'N', 0})).ok(), ok)
            << from;
    // Two detectors answering at once: their bytes meet and the check bytes are wrong.
    const QByteArray a = frame({1, 200, 9, 0, 32, 0, 117, 0x4F, 0xC1, 0, 'N', 0});
    const QByteArray b = frame({2, 200, 9, 0, 32, 1, 102, 0x79, 0x18, 0, 'N', 0});
    QByteArray collided = a;
    for (int i = 0; i < a.size(); ++i)
        collided[i] = char(a.at(i) & b.at(i));
    EXPECT_EQ(CheckReply(poll, collided).fault, ReplyFault::BadCheck);
}

TEST(ReplyCheck, AcceptingBadCheckBytesLeavesEveryOtherCheckOn) {
    const Kind status = kinds().front();
    QByteArray bad = status.reply;
    bad[bad.size() - 2] = char(bad.at(bad.size() - 2) ^ 0x10);
    const ReplyVerdict v = CheckReply(status.request, bad, {.acceptBadCheck = true});
    EXPECT_TRUE(v.ok());
    EXPECT_TRUE(v.checkBytesBad);
    QByteArray other = bad;
    other[0] = 6;
    EXPECT_EQ(CheckReply(status.request, other, {.acceptBadCheck = true}).fault,
              ReplyFault::OtherAddress);
    EXPECT_EQ(CheckReply(status.request, status.request, {.acceptBadCheck = true}).fault,
              ReplyFault::Echo);
    // A version reply of 9 bytes is no answer, however its check bytes look.
    EXPECT_EQ(CheckReply(SendCommand(5, cmd::Version), frame({5, 200, 5, 0, 20, 0, 117}),
                         {.acceptBadCheck = true})
                  .fault,
              ReplyFault::WrongLength);
}

TEST(ReplyCheck, WriteRepliesMustEchoWhatWasWritten) {
    EXPECT_EQ(CheckReply(WriteAddr(5, 12), WriteAddr(5, 13)).fault, ReplyFault::OtherCommand);
    // The adapter's copy, then the detector's refusal: no acknowledgement with trailing bytes.
    EXPECT_EQ(CheckReply(WriteAddr(5, 12), WriteAddr(5, 12) + frame({5, 0x86, 3})).fault,
              ReplyFault::Echo);
    const QByteArray setup = WriteSetup(5, QString::fromLatin1(model::ZorvanC1), {});
    EXPECT_EQ(CheckReply(setup, frame({5, 16, 0, 1, 0, 3})).fault, ReplyFault::OtherCommand);
}

} // namespace
