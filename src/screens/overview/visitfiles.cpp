#include "screens/overview/visitfiles.h"

#include "screens/prompts/prompts.h"
#include "visit/recordjson.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace fh {

namespace {

const QString FolderKey = QStringLiteral("visit/folder");
const QString Title = QStringLiteral("Survey");

QSettings userSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("flamehost"),
                     QStringLiteral("flamehost"));
}

} // namespace

QString VisitFolder() {
    const QString folder = userSettings().value(FolderKey).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir())
        return folder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void RememberVisitFolder(const QString& file) {
    QSettings s = userSettings();
    s.setValue(FolderKey, QFileInfo(file).absolutePath());
    s.sync();
}

QString VisitFileBase(const visit::Visit& visit) {
    QString site = visit.site.trimmed();
    site.replace(QRegularExpression(QStringLiteral("[^\\w .-]")), QStringLiteral("_"));
    if (site.isEmpty() || site.startsWith(QLatin1Char('.')))
        site.prepend(QStringLiteral("survey"));
    return QStringLiteral("%1 %2")
        .arg(site, visit.started.toString(QStringLiteral("yyyy-MM-dd HHmm")))
        .trimmed();
}

QString WithSuffix(const QString& path, const QString& suffix) {
    return QFileInfo(path).suffix().isEmpty() ? path + QLatin1Char('.') + suffix : path;
}

std::optional<QString> SaveRecord(Prompts& prompts, QWidget* parent,
                                  const visit::SiteRecord& record) {
    QString suggested =
        QDir(VisitFolder()).filePath(VisitFileBase(record.visit) + QStringLiteral(".json"));
    for (;;) {
        const auto chosen = prompts.saveFileName(parent, QStringLiteral("Save the site record"),
                                                 suggested, QLatin1String(RecordFilter));
        if (!chosen) {
            // The survey exists nowhere else: giving it up is a decision of its own.
            if (prompts.message(
                    parent, QStringLiteral("The survey has not been saved. Discard it?"), Title,
                    Prompts::Icon::Question, Prompts::Buttons::YesNo) == Prompts::Answer::Yes)
                return std::nullopt;
            continue;
        }
        const QString path = WithSuffix(*chosen, QStringLiteral("json"));
        QString error;
        if (visit::WriteRecordFile(path, record, &error)) {
            RememberVisitFolder(path);
            return path;
        }
        prompts.message(parent, QStringLiteral("The record was not saved: %1").arg(error), Title,
                        Prompts::Icon::Critical, Prompts::Buttons::Ok);
        suggested = path;
    }
}

std::optional<QString> SaveReport(Prompts& prompts, QWidget* parent,
                                  const report::ReportInput& input, const QString& near,
                                  QString* error) {
    error->clear();
    const QFileInfo beside(near);
    const auto chosen = prompts.saveFileName(
        parent, QStringLiteral("Save the report"),
        beside.dir().filePath(beside.completeBaseName() + QStringLiteral(".pdf")),
        QLatin1String(ReportFilter));
    if (!chosen)
        return std::nullopt;
    const QString path = WithSuffix(*chosen, QStringLiteral("pdf"));
    if (!report::WriteReportPdf(input, path, error))
        return std::nullopt;
    RememberVisitFolder(path);
    return path;
}

void PreviewReport(Prompts& prompts, QWidget* parent, const report::ReportInput& input) {
    prompts.printPreview(
        parent, QStringLiteral("Report: %1").arg(VisitFileBase(input.record.visit)),
        [&input](QPagedPaintDevice* device) { return report::PaintReport(input, device); });
}

} // namespace fh
