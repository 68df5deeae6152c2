#pragma once
// After a setup write: does the detector read back what was written? Pure, over bytes.
#include <QByteArray>
#include <QString>
#include <QStringList>

namespace fh {

// The settings whose bits in a setup read reply differ from those the write frame carried
// (WriteSetup's frame, function 6 or 16), named by the command-line tool's keys:
// "sensitivity", "delay", "heat_mode", "heat_on", the flag keys ("alarm_latch", ...), and
// "other bits" for bits no setting of the model shows. Every written register is compared; a
// reply too short to hold them all differs in "other bits". The reply must have passed the
// reply check and be a proper setup read answer (SetupReadReplyProper).
QStringList SetupReadBackDifferences(const QString& modelName, const QByteArray& writeFrame,
                                     const QByteArray& readBack);

// The setup screen's words for such a key ("Delay", "Enable Alarm Latch", ...).
QString SetupSettingCaption(const QString& key);

} // namespace fh
