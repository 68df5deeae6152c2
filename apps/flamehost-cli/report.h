#pragma once
// What a command hands back: its fields in the order they are shown, both as JSON and as
// "name: text" lines, the exit status and the message for the operator.
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

namespace fh::cli {

namespace exitcode {
inline constexpr int Success = 0;
inline constexpr int NoAnswer = 1; // silent, refused or not understood
inline constexpr int Usage = 2;    // also a port that cannot be used
} // namespace exitcode

// Named fields in the order a person reads them.
class Fields {
public:
    // text: what a person sees; empty means the value's own text ("-" for null).
    void add(const QString& key, const QJsonValue& value, const QString& text = {});
    QJsonObject object() const;
    // "key: text", with the keys padded to one column.
    QStringList lines() const;

private:
    struct Field {
        QString key;
        QJsonValue value;
        QString text;
    };
    std::vector<Field> fields_;
};

struct Outcome {
    int exitCode = exitcode::Success;
    bool hasOutput = false;
    QJsonValue json;  // an object, or an array for scan
    QStringList text; // the same for a person
    QString message;  // for stderr, plain words; empty when there is nothing to say

    static Outcome failure(int code, const QString& message);
    void show(const Fields& fields);
};

// The text a JSON value gets in the human-readable output.
QString PlainText(const QJsonValue& value);

// Text from the line made safe for a terminal: control characters (C0, DEL, C1) become
// \xNN, so no escape sequence from a detector reaches the user's terminal.
QString TerminalSafe(const QString& text);
// JSON text with DEL and the C1 controls escaped too (the writer escapes only C0).
QByteArray JsonSafe(const QByteArray& json);

// Prints the outcome on stdout (JSON or text) and its message on stderr; returns the exit
// status.
int Print(const Outcome& outcome, bool json);

} // namespace fh::cli
