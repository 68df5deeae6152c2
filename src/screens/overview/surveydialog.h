#pragma once
// The survey as the bus overview starts it: site, technician and whether to run BIT on each
// detector, then the survey's progress with Cancel; at its end the record and the report are
// saved where the operator chooses and the report is shown in a print preview. The survey
// itself is src/visit's; this window only asks, shows and saves.
#include "visit/record.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace fh {

class ScreenContext;
namespace visit {
class Survey;
}

// Its controls carry their form names as objectName ("txtSite", "chkBit", "cmdStart", ...).
class SurveyDialog : public QDialog {
    Q_OBJECT
public:
    // scanWindowMs: the first-byte window of each scan poll.
    SurveyDialog(ScreenContext& ctx, int scanWindowMs, QWidget* parent);
    ~SurveyDialog() override;

    bool running() const;

signals:
    // The survey takes the line from now on.
    void surveyStarted();
    // It has given the line back; `path` is where the record was saved (empty: discarded).
    void surveyEnded(const fh::visit::SiteRecord& record, const QString& path);

protected:
    void reject() override; // Esc and the close box: Cancel while the survey runs

private:
    void onStartClicked();
    void onProgress(bool scanning, int address, int index, int total);
    void onSurveyFinished();
    void hold(bool held);

    ScreenContext& ctx_;
    int scanWindowMs_;
    visit::Survey* survey_ = nullptr;
    bool holding_ = false;

    QLineEdit* siteEdit_ = nullptr;
    QLineEdit* technicianEdit_ = nullptr;
    QCheckBox* bitBox_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QLabel* progressLabel_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

} // namespace fh
