#pragma once
// CommTune.txt: the one tuning value of the link, the turnaround delay in microseconds, on the
// first line of a small text file in the data directory.
#include <QByteArray>
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

// The text of the file's first line (up to CR or LF), bytes taken as Latin-1.
QString TuningFileFirstLine(const QByteArray& bytes);

// The first line's text as a delay: blanks around it allowed, a decimal number rounded to an
// integer, 0 to 32767. False when it is none of that.
bool ParseTurnaroundDelay(const QString& line, int* delayUs);

// F12 tuning: the delay to try after a failed poll. It grows by a step in full width, and past
// the ceiling starts again from the default, whatever the value it started from (a file of
// 32000 must not wrap to a negative delay).
inline constexpr int TuningStepUs = 1000;
inline constexpr int TuningMaxUs = 25000;
constexpr int NextTuningDelay(int delayUs) {
    const long long next = static_cast<long long>(delayUs) + TuningStepUs;
    return next > TuningMaxUs || next < 0 ? DefaultTurnaroundDelay : static_cast<int>(next);
}

// Replaces the whole file with the delay and CR LF. errorText gets the reason on failure.
bool SaveTuningFile(const QString& path, int delayUs, QString* errorText = nullptr);

} // namespace fh
