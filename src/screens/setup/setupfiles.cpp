#include "screens/setup/setupfiles.h"

#include "detector/setupverify.h"
#include "flamehost/version.h"
#include "link/lineworker.h"
#include "screens/common/screencontext.h"
#include "screens/overview/visitfiles.h"
#include "screens/prompts/prompts.h"
#include "visit/restore.h"
#include "visit/setupfile.h"
#include "visit/survey.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>

namespace fh {

namespace {

const QString Title = QStringLiteral("SETUP SCREEN");
const QString SetupFilter = QStringLiteral("Setup files (*.json)");

QString program() {
    return QStringLiteral("flamehost %1").arg(QLatin1String(FLAMEHOST_VERSION));
}

} // namespace

SetupFiles::SetupFiles(ScreenContext& ctx, const ConfirmedDetector& detector, QWidget* screen)
    : QObject(screen), ctx_(ctx), detector_(detector), screen_(screen) {}

SetupFiles::~SetupFiles() {
    if (busy_)
        ctx_.holdLine(false);
}

QString SetupFiles::who() const {
    return QStringLiteral("%1 serial %2 at address %3")
        .arg(detector_.modelName)
        .arg(detector_.serial)
        .arg(detector_.address);
}

void SetupFiles::setBusy(bool busy) {
    if (busy_ == busy)
        return;
    busy_ = busy;
    // The steps follow each other on the line, with no poll between them.
    ctx_.holdLine(busy);
    emit busyChanged(busy);
}

void SetupFiles::end(const QString& text, bool written, bool alarm) {
    setBusy(false);
    if (alarm)
        ctx_.prompts().message(screen_, text, Title, Prompts::Icon::Critical, Prompts::Buttons::Ok);
    ctx_.tell(text);
    emit told(text, written);
}

void SetupFiles::save() {
    if (busy_)
        return;
    const QString suggested =
        QDir(VisitFolder())
            .filePath(
                QStringLiteral("%1 %2 setup.json").arg(detector_.modelName).arg(detector_.serial));
    const auto chosen = ctx_.prompts().saveFileName(screen_, QStringLiteral("Save the setup"),
                                                    suggested, SetupFilter);
    if (!chosen)
        return end(QStringLiteral("Save cancelled: no file was written."));
    const QString path = WithSuffix(*chosen, QStringLiteral("json"));
    const LineWorker& worker = ctx_.worker();
    visit::Visit v;
    v.program = program();
    v.line = {worker.lineName(), LineModeName(worker.lineMode()), worker.echo(),
              worker.turnaroundDelay()};
    visit::SurveyPlan plan;
    plan.addresses = {detector_.address};
    plan.readings = false;
    setBusy(true);
    survey_ = new visit::Survey(ctx_.worker(), v, plan, this);
    connect(
        survey_, &visit::Survey::finished, this, [this, path] { onSaveRead(path); },
        Qt::QueuedConnection);
    survey_->start();
}

void SetupFiles::onSaveRead(const QString& path) {
    const visit::SiteRecord record = survey_->record();
    survey_->deleteLater();
    const visit::DetectorEntry* e = record.detectors.empty() ? nullptr : &record.detectors.front();
    if (!e || !e->identity || !e->setup) {
        QStringList why;
        if (e)
            for (const visit::Unread& u : e->unread)
                why << QStringLiteral("%1: %2").arg(u.part, u.reason);
        return end(QStringLiteral("The setup of address %1 was not read, nothing was saved%2")
                       .arg(detector_.address)
                       .arg(why.isEmpty()
                                ? QStringLiteral(".")
                                : QStringLiteral(" (%1).").arg(why.join(QStringLiteral("; ")))),
                   false, true);
    }
    if (e->identity->modelCode != detector_.modelCode || e->identity->serial != detector_.serial)
        return end(QStringLiteral("Address %1 now answers as %2 serial %3, not the %4 serial %5 "
                                  "this screen shows; nothing was saved.")
                       .arg(detector_.address)
                       .arg(e->identity->model)
                       .arg(e->identity->serial)
                       .arg(detector_.modelName)
                       .arg(detector_.serial),
                   false, true);
    QString error;
    if (!visit::WriteSetupFile(path, {record.visit.ended, program(), *e}, &error))
        return end(QStringLiteral("The setup was not saved: %1").arg(error), false, true);
    RememberVisitFolder(path);
    end(QStringLiteral("Setup of the %1 saved to %2").arg(who(), path));
}

quint64 SetupFiles::writeId() const {
    return restore_ ? restore_->writeId() : 0;
}

void SetupFiles::load() {
    if (busy_)
        return;
    const auto path = ctx_.prompts().openFileName(screen_, QStringLiteral("Load a setup"),
                                                  VisitFolder(), SetupFilter);
    if (!path)
        return end(QStringLiteral("Load cancelled: nothing was written."));
    QString error;
    const auto file = visit::ReadSetupFile(*path, &error);
    if (!file)
        return end(QStringLiteral("%1; nothing was written.").arg(error), false, true);
    RememberVisitFolder(*path);
    setBusy(true);
    writeAsked_ = false;
    restore_ = new visit::SetupRestore(ctx_.worker(), detector_.address, file->detector, 600, this);
    const QString p = *path;
    connect(
        restore_, &visit::SetupRestore::checked, this, [this, p] { onChecked(p); },
        Qt::QueuedConnection);
    connect(
        restore_, &visit::SetupRestore::finished, this, [this, p] { onRestored(p); },
        Qt::QueuedConnection);
    restore_->check();
}

void SetupFiles::onChecked(const QString& path) {
    const visit::Identity& now = restore_->detector();
    const QString name = QFileInfo(path).fileName();
    if (now.serial != detector_.serial) {
        restore_->deleteLater();
        return end(QStringLiteral("Address %1 now answers as %2 serial %3, not the serial %4 this "
                                  "screen shows; nothing was written.")
                       .arg(detector_.address)
                       .arg(now.model)
                       .arg(now.serial)
                       .arg(detector_.serial),
                   false, true);
    }
    if (restore_->changes().empty()) {
        restore_->deleteLater();
        return end(QStringLiteral("The %1 already holds the setup in %2: nothing was written.")
                       .arg(who(), name));
    }
    QStringList lines;
    for (const visit::SettingChange& c : restore_->changes())
        lines << QStringLiteral("%1: %2 -> %3")
                     .arg(SetupSettingCaption(c.setting), c.before, c.after);
    const QString question = QStringLiteral("Write the setup in %1 to the %2?\n\n%3")
                                 .arg(name, who(), lines.join(QLatin1Char('\n')));
    if (ctx_.prompts().message(screen_, question, Title, Prompts::Icon::Question,
                               Prompts::Buttons::YesNo) != Prompts::Answer::Yes) {
        restore_->deleteLater();
        return end(QStringLiteral("Load of %1 not confirmed: nothing was written.").arg(name));
    }
    writeAsked_ = true;
    restore_->write();
}

void SetupFiles::onRestored(const QString& path) {
    using R = visit::SetupRestore::Result;
    const R result = restore_->result();
    const bool written = writeAsked_;
    const QString message = restore_->message();
    restore_->deleteLater();
    const QString name = QFileInfo(path).fileName();
    if (result == R::Verified)
        return end(QStringLiteral("Setup from %1 written and verified").arg(name), true);
    const bool said = written || message.contains(QStringLiteral("nothing was written"));
    end(QStringLiteral("Load of %1: %2%3")
            .arg(name, message, said ? QString() : QStringLiteral("; nothing was written")),
        written, true);
}

} // namespace fh
