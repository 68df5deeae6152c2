#pragma once
// CommTune.txt: the one tuning value of the link, the turnaround delay in microseconds, on the
// first line of a small text file in the data directory.
#include <QString>

namespace fh {

constexpr int DefaultTurnaroundDelay = 4000;
constexpr int MaxTurnaroundDelay = 32767;
inline constexpr const char* TuningFileName = "CommTune.txt";

// True when the file at path can be opened for reading (it is closed again at once).
bool FileExists(const QString& path);

QString TuningFilePath(const QString& dataDir);

struct TuningLoad {
    int delayUs = DefaultTurnaroundDelay;
    bool created = false; // the file was missing and now holds the default
    QString warning;      // for the operator, once; empty when all is well
};

// Reads the delay from the file's first line, or creates the file holding the default when it
// is missing. A first line that is no usable delay, or a file that cannot be created, gives the
// default and a warning; an existing file is never changed here.
TuningLoad LoadTuningFile(const QString& path);

// The first line's text as a delay: blanks around it allowed, a decimal number rounded to an
// integer, 0 to 32767. False when it is none of that.
bool ParseTurnaroundDelay(const QString& line, int* delayUs);

// Replaces the whole file with the delay and CR LF. errorText gets the reason on failure.
bool SaveTuningFile(const QString& path, int delayUs, QString* errorText = nullptr);

} // namespace fh
