#pragma once
// The one check every collected reply passes before anything is decoded from it: check
// bytes, address, function (or its exception), command byte and length, judged against the
// request that drew it. Pure: bytes in, a verdict out.
#include "link/exchange.h"

#include <QByteArray>
#include <QString>

namespace fh {

struct CheckOptions {
    // A detector whose firmware gets its check bytes wrong: such a reply passes with
    // checkBytesBad set. Everything else is still checked.
    bool acceptBadCheck = false;
};

// Bytes a function-200 reply must carry before its check bytes, by command code; the
// decoders read no further.
int CommandReplyMinBody(quint8 command);

ReplyVerdict CheckReply(const QByteArray& request, const QByteArray& reply,
                        CheckOptions options = {});

// The checker the line worker runs, with the options fixed.
ReplyChecker MakeReplyChecker(CheckOptions options = {});

// Short words for the operator: "bad check bytes", "exception 2", ...
QString ReplyFaultText(const ReplyVerdict& verdict);
// The kind alone, as a key for counts: "bad_check", "other_address", ...
QString ReplyFaultKey(ReplyFault fault);

} // namespace fh
