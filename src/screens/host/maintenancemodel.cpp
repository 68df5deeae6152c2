#include "screens/host/maintenancemodel.h"

#include "detector/models.h"
#include "link/lineworker.h"
#include "screens/host/detectorlink.h"

#include <QDateTime>

namespace fh {

namespace {

// What each opening shows before its first answer.
MaintenanceDisplay startTexts() {
    MaintenanceDisplay t;
    for (std::optional<QString>* value :
         {&t.status, &t.fault, &t.address, &t.serial, &t.bitSum4, &t.bitSum45, &t.bitSum5, &t.gain,
          &t.temperature, &t.voltage})
        *value = QString();
    for (std::optional<QString>* sum : {&t.sum4, &t.sum45, &t.sum5})
        *sum = QStringLiteral("0.00");
    for (std::optional<QString>* noise : {&t.noise4, &t.noise45, &t.noise5})
        *noise = QStringLiteral("0.0");
    return t;
}

// A text the reply did not carry keeps the one shown.
void takeGiven(MaintenanceDisplay& shown, const MaintenanceDisplay& decoded) {
    using Text = std::optional<QString> MaintenanceDisplay::*;
    for (Text text :
         {&MaintenanceDisplay::status, &MaintenanceDisplay::fault, &MaintenanceDisplay::address,
          &MaintenanceDisplay::serial, &MaintenanceDisplay::sum4, &MaintenanceDisplay::sum45,
          &MaintenanceDisplay::sum5, &MaintenanceDisplay::bitSum4, &MaintenanceDisplay::bitSum45,
          &MaintenanceDisplay::bitSum5, &MaintenanceDisplay::noise4, &MaintenanceDisplay::noise45,
          &MaintenanceDisplay::noise5, &MaintenanceDisplay::gain, &MaintenanceDisplay::temperature,
          &MaintenanceDisplay::voltage})
        if (decoded.*text)
            shown.*text = decoded.*text;
    shown.model = decoded.model;
}

} // namespace

MaintenanceModel::MaintenanceModel(LineWorker& worker, const DetectorLink& link,
                                   const QString& dataDir, LogClock logClock, Clock& clock,
                                   QObject* parent)
    : QObject(parent), worker_(worker), link_(link),
      sumsLog_(readings_, dataDir, std::move(logClock), clock), texts_(startTexts()) {
    connect(&worker_, &LineWorker::cycleDone, this, &MaintenanceModel::cycleResult);
    connect(&worker_, &LineWorker::portStateChanged, this, [this](bool open, const QString& why) {
        if (!open_ || open)
            return;
        refresh_ = Refresh::Failed;
        lineLost_ = why;
        emit changed();
    });
}

void MaintenanceModel::open(const QObject* screen) {
    close();
    open_ = true;
    screenGone_ = connect(screen, &QObject::destroyed, this, &MaintenanceModel::close);
    texts_ = startTexts();
    refresh_ = Refresh::NotYet;
    lastHeard_.clear();
    lineLost_.clear();
    const DetectorRecord& d = link_.record();
    refreshFrame_ = ReadInputs(d.Address, d.ModelName);
    // The worker repeats the read back to back; the main screen's status poll is off the line
    // until the screen hands it back.
    worker_.setCycle(Transaction{Pattern::Poll, refreshFrame_});
    sumsLog_.setScreenOpen(true);
    emit changed();
}

void MaintenanceModel::close() {
    if (!open_)
        return;
    open_ = false;
    disconnect(screenGone_);
    sumsLog_.setScreenOpen(false);
}

void MaintenanceModel::cycleResult(const Exchange& x) {
    // The status poll that was in flight when the screen opened is no answer to its read.
    if (!open_ || !x.cycle || x.request != refreshFrame_)
        return;
    lineLost_.clear();
    if (!x.answered) {
        refresh_ = Refresh::Failed;
        emit changed();
        emit refreshed(false);
        return;
    }
    refresh_ = Refresh::Answered;
    lastHeard_ = QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss"));
    const MaintenanceDecode decoded = DecodeMaintenanceReply(
        x.reply, readings_, link_.record().ModelName, link_.display().addressText);
    readings_ = decoded.readings;
    takeGiven(texts_, decoded.display);
    if (SumsStatusChanged(readings_, x.reply))
        sumsLog_.statusChanged();
    emit changed();
    const MaintenanceDisplay& d = decoded.display;
    emit refreshed(d.sum4 && d.sum45 && d.sum5 && d.noise4 && d.noise45 && d.noise5);
}

} // namespace fh
