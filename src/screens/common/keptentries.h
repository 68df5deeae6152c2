#pragma once
// Leaving the program while log entries are still kept after failed writes: they would be
// lost without a word. The operator is told how many, and may retry the files, save the
// entries to a file of their choice, end without them, or stay.
#include <initializer_list>

class QWidget;

namespace fh {

class PeriodicLog;
class Prompts;

inline constexpr const char* KeptEntriesTitle = "LOG FILES";

// True when the program may end: nothing is kept (any more), or the operator chose to end
// without the kept entries. False when the operator chose to stay. Save proposes a file
// beside the log, or in the user's documents (else home) folder when the log's folder has no
// room left or a save there failed; a save counts only once the whole file is on the disk.
bool MayExitWithKeptEntries(Prompts& prompts, QWidget* parent,
                            std::initializer_list<PeriodicLog*> logs);

} // namespace fh
