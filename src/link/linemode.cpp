#include "link/linemode.h"

#include <QSettings>

namespace fh {

namespace {
struct ModeWord {
    LineMode mode;
    const char* word;
};
constexpr ModeWord Words[] = {{LineMode::Rts, "rts"},
                              {LineMode::RtsInverted, "rts-inverted"},
                              {LineMode::Auto, "auto"},
                              {LineMode::Kernel, "kernel"}};

QSettings userSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("flamehost"),
                     QStringLiteral("flamehost"));
}
} // namespace

QString LineModeName(LineMode mode) {
    for (const ModeWord& w : Words)
        if (w.mode == mode)
            return QLatin1String(w.word);
    return QStringLiteral("rts");
}

std::optional<LineMode> ParseLineMode(const QString& word) {
    const QString w = word.trimmed().toLower();
    for (const ModeWord& m : Words)
        if (w == QLatin1String(m.word))
            return m.mode;
    return std::nullopt;
}

QStringList LineModeNames() {
    QStringList out;
    for (const ModeWord& w : Words)
        out << QLatin1String(w.word);
    return out;
}

LineChoice LoadLineChoice() {
    QSettings s = userSettings();
    LineChoice c;
    c.device = s.value(QStringLiteral("line/port")).toString();
    // A word this version does not know (edited by hand, a newer version) falls back to rts.
    c.mode = ParseLineMode(s.value(QStringLiteral("line/mode")).toString()).value_or(LineMode::Rts);
    c.echo = s.value(QStringLiteral("line/echo"), false).toBool();
    return c;
}

void SaveLineChoice(const LineChoice& choice) {
    QSettings s = userSettings();
    s.setValue(QStringLiteral("line/port"), choice.device);
    s.setValue(QStringLiteral("line/mode"), LineModeName(choice.mode));
    s.setValue(QStringLiteral("line/echo"), choice.echo);
    s.sync();
}

} // namespace fh
