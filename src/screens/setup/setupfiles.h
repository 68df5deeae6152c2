#pragma once
// Save... and Load... of the setup screen. Save reads the detector's status, firmware and
// setup afresh (the visit library's survey of one address) and writes a flamehost-setup/1
// file; Load reads such a file, has the visit library's restore check the detector's model and
// list what would change, asks the operator, and only then writes, reads back and compares.
// Each holds the main poll off the line while it runs and ends in told().
#include "operations/confirmeddetector.h"

#include <QObject>
#include <QPointer>

class QWidget;

namespace fh {

class ScreenContext;
namespace visit {
class SetupRestore;
class Survey;
} // namespace visit

class SetupFiles : public QObject {
    Q_OBJECT
public:
    // detector: the one the screen shows; nothing is saved from or written to another.
    SetupFiles(ScreenContext& ctx, const ConfirmedDetector& detector, QWidget* screen);
    ~SetupFiles() override;

    bool busy() const { return busy_; }
    // The id of Load's confirmed write while it is on the line, else 0.
    quint64 writeId() const;
    void save();
    void load();

signals:
    void busyChanged(bool busy);
    // The outcome in the operator's words; written: the detector's setup may have changed.
    void told(const QString& text, bool written);

private:
    void setBusy(bool busy);
    void end(const QString& text, bool written = false, bool alarm = false);
    void onSaveRead(const QString& path);
    void onChecked(const QString& path);
    void onRestored(const QString& path);
    QString who() const;

    ScreenContext& ctx_;
    const ConfirmedDetector detector_;
    QWidget* screen_;
    bool busy_ = false;
    bool writeAsked_ = false; // the confirmed write of a load has been sent
    QPointer<visit::Survey> survey_;
    QPointer<visit::SetupRestore> restore_;
};

} // namespace fh
