#include "visit/restore.h"

#include "detector/models.h"
#include "detector/replycheck.h"
#include "link/lineworker.h"
#include "link/requests.h"
#include "operations/masterguard.h"
#include "visit/readsteps.h"

namespace fh::visit {

namespace {

QString modelText(const Identity& id) {
    return QStringLiteral("%1 (model code %2)").arg(id.model).arg(id.modelCode);
}

} // namespace

QString RestoreRefusal(const DetectorEntry& saved) {
    if (!saved.identity || !saved.setup)
        return QStringLiteral("it holds no setup for address %1 (it was not read)")
            .arg(saved.address);
    const QString& model = saved.identity->model;
    const SetupRow row = SetupRowFor(model);
    for (const ListSetting& s : ListSettings())
        if (Offers(row, s) && (saved.setup->settings.*s.member).isEmpty())
            return QStringLiteral("its %1 was read outside its list (%2), and no setting of "
                                  "the %3 writes that back")
                .arg(QLatin1String(s.key),
                     SettingText(model, *saved.setup, s.key).section(QLatin1Char(' '), 0, 1),
                     model);
    return {};
}

QStringList ReadBackMismatches(const QString& model, const std::vector<quint16>& written,
                               const std::vector<quint16>& readBack) {
    QStringList out;
    const int count = WrittenRegisterCount(model);
    for (int r = 0; r < count; ++r) {
        const quint16 w = size_t(r) < written.size() ? written[size_t(r)] : quint16(0);
        if (size_t(r) >= readBack.size() || readBack[size_t(r)] != w)
            out << QStringLiteral("register %1: %2 read, %3 written")
                       .arg(r + 1)
                       .arg(size_t(r) < readBack.size() ? RegistersText({readBack[size_t(r)]})
                                                        : QStringLiteral("nothing"))
                       .arg(RegistersText({w}));
    }
    return out;
}

SetupRestore::SetupRestore(LineWorker& worker, quint8 address, DetectorEntry saved, int firstByteMs,
                           QObject* parent)
    : QObject(parent), worker_(&worker), address_(address), saved_(std::move(saved)),
      firstByteMs_(firstByteMs) {
    connect(&worker, &LineWorker::commandDone, this, &SetupRestore::onResult);
}

void SetupRestore::check() {
    if (step_ != Step::Idle)
        return;
    // Nothing is asked of the line for an entry that could never be written.
    if (const QString why = RestoreRefusal(saved_); !why.isEmpty())
        return end(Result::Refused, QStringLiteral("cannot restore: ") + why);
    Transaction t{Pattern::Poll, SendCommand(address_, cmd::Status)};
    submit(Step::Poll, t);
}

void SetupRestore::write() {
    if (step_ != Step::ReadSetup || result_ != Result::Pending || changes_.empty())
        return;
    const QString& model = detector_.model;
    Transaction t{Pattern::ConfirmedWrite, WriteSetup(address_, model, saved_.setup->settings)};
    t.test = [model](const QByteArray& reply) { return SetupReplyOK(reply, model); };
    submit(Step::Write, t);
}

void SetupRestore::submit(Step step, const Transaction& t) {
    step_ = step;
    if (!worker_)
        return end(Result::LineLost, QStringLiteral("the line is gone"));
    Transaction tx = t;
    tx.firstByteMs = firstByteMs_;
    tx.fastReply = t.pattern != Pattern::ConfirmedWrite;
    pending_ = worker_->submit(tx);
}

void SetupRestore::end(Result result, const QString& message) {
    result_ = result;
    message_ = message;
    pending_ = 0;
    emit finished();
}

QString SetupRestore::noAnswer(const Exchange& x, const QString& what) const {
    const QString where = QStringLiteral("the detector at address %1").arg(address_);
    if (!x.collected)
        return QStringLiteral("no answer from %1 to %2").arg(where, what);
    return QStringLiteral("%1 did not answer %2 properly: %3")
        .arg(where, what, ReplyFaultText(x.verdict));
}

void SetupRestore::onResult(const Exchange& x) {
    if (pending_ == 0 || x.id != pending_)
        return;
    pending_ = 0;
    if (x.portError)
        return end(Result::LineLost, QStringLiteral("the serial port failed; nothing more was "
                                                    "sent"));
    switch (step_) {
    case Step::Poll:
        return onPoll(x);
    case Step::ReadSetup:
        return onSetup(x);
    case Step::Write:
        return onWrite(x);
    case Step::ReadBack:
        return onReadBack(x);
    case Step::Idle:
        break;
    }
}

void SetupRestore::onPoll(const Exchange& x) {
    // In master mode garbled check bytes mean several detectors answered at once; any other
    // fault is a lone detector's and is named below like at any address.
    if (address_ == 0 && MasterModeClearance(x) == MasterClearance::Collision)
        return end(Result::Refused, QString::fromLatin1(MasterCollisionText));
    DetectorEntry probe;
    if (!TakeStep(ReadStep::Status, x, &probe))
        return end(Result::NoAnswer, noAnswer(x, QStringLiteral("the status command")));
    detector_ = *probe.identity;
    if (address_ == 0)
        address_ = quint8(x.reply.at(0));
    if (detector_.modelCode != saved_.identity->modelCode)
        return end(Result::Refused,
                   QStringLiteral("the setup is for a %1, but the detector at address %2 is a "
                                  "%3; nothing was written")
                       .arg(modelText(*saved_.identity))
                       .arg(address_)
                       .arg(modelText(detector_)));
    submit(Step::ReadSetup, {Pattern::ButtonRead, ReadSetup(address_, detector_.model)});
}

void SetupRestore::onSetup(const Exchange& x) {
    const auto entry =
        x.answered ? SetupEntryFromReply(x.reply, detector_.model) : std::optional<SetupEntry>();
    if (!entry)
        return end(Result::NoAnswer, noAnswer(x, QStringLiteral("the setup read")));
    current_ = *entry;
    SetupEntry target;
    target.settings = saved_.setup->settings;
    target.registers = RegistersAfterWrite(detector_.model, target.settings, current_.registers);
    written_ = target.registers;
    changes_ = SetupChanges(detector_.model, current_, target);
    emit checked();
}

void SetupRestore::onWrite(const Exchange& x) {
    attempts_ = x.attempts;
    if (!x.acknowledged)
        return end(Result::NotAcknowledged,
                   QStringLiteral("the detector at address %1 did not acknowledge the setup in %2 "
                                  "attempts")
                       .arg(address_)
                       .arg(x.attempts));
    submit(Step::ReadBack, {Pattern::ButtonRead, ReadSetup(address_, detector_.model)});
}

void SetupRestore::onReadBack(const Exchange& x) {
    const auto entry =
        x.answered ? SetupEntryFromReply(x.reply, detector_.model) : std::optional<SetupEntry>();
    if (!entry)
        return end(Result::NoAnswer,
                   noAnswer(x, QStringLiteral("the read-back")) +
                       QStringLiteral("; the write was acknowledged but is not verified"));
    const QStringList wrong = ReadBackMismatches(detector_.model, written_, entry->registers);
    if (!wrong.isEmpty())
        return end(Result::Mismatch, QStringLiteral("the setup read back differs from what was "
                                                    "written: ") +
                                         wrong.join(QStringLiteral("; ")));
    end(Result::Verified, {});
}

} // namespace fh::visit
