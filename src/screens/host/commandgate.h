#pragma once
// Whether the main screen's commands on the detector (BIT, Setup, new Address) can act now,
// and if not, why: the buttons are disabled with this reason as their tooltip, and a key
// pressed for one of them puts it in the message line.
#include "link/exchange.h"

#include <QString>
#include <QtGlobal>

namespace fh {

struct CommandGate {
    bool portOpen = true;
    bool writeRunning = false; // a confirmed write (setup, address) is on the line
    bool tuning = false;
    bool bitRunning = false;  // sent and not answered, or its message still showing
    bool readRunning = false; // a setup or presence read waits for its answer
    bool linkGood = false;    // the lamp is green
    bool unheard = false;     // the poll moved to this target and has not ended there yet
    bool masterMode = false;
    quint8 address = 1;
};

// Empty when the commands can act; otherwise one sentence saying why not.
QString CommandRefusal(const CommandGate& gate);

// The words for a command whose reply did not come.
QString NoAnswerText(int address);

// What became of a command that got no proper answer: no reply, a reply that failed the reply
// check (and why), or a port that was gone.
QString UnansweredText(const QString& command, const Exchange& x);

} // namespace fh
