#pragma once
// The logging period both logs ask the operator for, and their minute count.
#include <QString>

namespace fh {

// What the operator's period answer means.
struct PeriodAnswer {
    enum class Kind {
        Start,   // start logging with `period`
        Nothing, // cancelled or left empty: no start, no message
        Refused, // no whole number of minutes in 1..255: show `message`, no start
    };
    Kind kind = Kind::Nothing;
    quint8 period = 0; // 1..255 for Start, else 0
    QString message;   // PeriodRangeMessage for Refused, else empty
};

// The message shown for a refused period answer.
inline const QString PeriodRangeMessage =
    QStringLiteral("The logging period must be 1 to 255 minutes.");

// Reads the number at the start of the answer (blanks before it are skipped, the decimal
// point is ".", anything after the number is ignored), rounds it to the nearest whole number
// with halves going to the even neighbour, and accepts 1..255. A cancelled box or an answer of
// blanks only is Nothing; every other answer without a period in range (text, 0.4, 0, 256,
// -3) is Refused. The caller keeps its previous period unless the answer is Start.
PeriodAnswer ReadPeriodAnswer(const QString& answer, bool cancelled = false);

// One minute tick: the count grows by 1 (it stops at 255 rather than wrap); when it has
// reached the period it goes back to 0 and the tick is due for a record (true). A period of
// 0 makes every tick due.
bool MinuteTick(quint8& count, quint8 period);

} // namespace fh
