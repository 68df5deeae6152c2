#include "visit/setupfile.h"

#include "visit/atomicfile.h"
#include "visit/jsoncheck.h"
#include "visit/recordjson.h"

#include <QJsonDocument>

namespace fh::visit {

QByteArray SetupFileBytes(const SetupFile& file) {
    const QJsonObject top{
        {"format",
         QStringLiteral("%1/%2").arg(QLatin1String(SetupFormatName)).arg(SetupFormatMajor)},
        {"saved", TimeText(file.saved)},
        {"program", file.program},
        {"detector", DetectorToJson(file.detector)}};
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

std::optional<SetupFile> ReadSetupFile(const QString& path, QString* error) {
    const auto top = ReadJsonFile(path, error);
    if (!top)
        return std::nullopt;
    auto refuse = [&]() -> std::optional<SetupFile> {
        error->prepend(path + QStringLiteral(": "));
        return std::nullopt;
    };
    if (!FormatReadable(*top, SetupFormatName, SetupFormatMajor, error))
        return refuse();
    SetupFile file;
    JsonCheck check(error);
    file.saved =
        check.time(check.member(*top, {}, "saved"), QStringLiteral("saved")).value_or(QDateTime());
    file.program = check.text(check.member(*top, {}, "program"), QStringLiteral("program"))
                       .value_or(QString());
    if (!check.ok())
        return refuse();
    const auto detector =
        DetectorFromJson(check.member(*top, {}, "detector"), QStringLiteral("detector"), error);
    if (!detector)
        return refuse();
    if (!detector->setup) {
        *error = QStringLiteral("detector.setup: is null: the file holds no setup");
        return refuse();
    }
    file.detector = *detector;
    return file;
}

bool WriteSetupFile(const QString& path, const SetupFile& file, QString* error) {
    return WriteFileAtomically(path, SetupFileBytes(file), error);
}

} // namespace fh::visit
