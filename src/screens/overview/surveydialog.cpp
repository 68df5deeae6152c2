#include "screens/overview/surveydialog.h"

#include "flamehost/version.h"
#include "link/lineworker.h"
#include "screens/common/screencontext.h"
#include "screens/common/tablehelpers.h"
#include "screens/overview/visitfiles.h"
#include "visit/survey.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QVBoxLayout>

namespace fh {

SurveyDialog::SurveyDialog(ScreenContext& ctx, int scanWindowMs, QWidget* parent)
    : QDialog(parent), ctx_(ctx), scanWindowMs_(scanWindowMs) {
    setObjectName(QStringLiteral("frmSurvey"));
    setWindowTitle(QStringLiteral("Survey"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowModality(Qt::WindowModal); // the overview waits while the survey has the line

    siteEdit_ = new QLineEdit(this);
    siteEdit_->setObjectName(QStringLiteral("txtSite"));
    technicianEdit_ = new QLineEdit(this);
    technicianEdit_->setObjectName(QStringLiteral("txtTechnician"));
    bitBox_ = new QCheckBox(QStringLiteral("run BIT on each"), this);
    bitBox_->setObjectName(QStringLiteral("chkBit"));
    auto* bitNote =
        new QLabel(QStringLiteral("A BIT can switch relays where the setup says so."), this);
    bitNote->setObjectName(QStringLiteral("lblBitNote"));
    startButton_ = NamedButton(this, "cmdStart", QStringLiteral("&Start"));
    startButton_->setDefault(true);
    progressBar_ = new QProgressBar(this);
    progressBar_->setObjectName(QStringLiteral("prgSurvey"));
    progressBar_->setRange(0, 1);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    progressLabel_ = new QLabel(QStringLiteral("Every address 1-247 is scanned, then each "
                                               "detector found is read."),
                                this);
    progressLabel_->setObjectName(QStringLiteral("lblProgress"));
    progressLabel_->setWordWrap(true);
    progressLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cancelButton_ = NamedButton(this, "cmdCancel", QStringLiteral("C&ancel"));
    cancelButton_->setEnabled(false);
    closeButton_ = NamedButton(this, "cmdClose", QStringLiteral("&Close"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("S&ite"), siteEdit_);
    form->addRow(QStringLiteral("&Technician"), technicianEdit_);
    form->addRow(QString(), bitBox_);
    form->addRow(QString(), bitNote);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(startButton_);
    buttons->addWidget(cancelButton_);
    buttons->addStretch();
    buttons->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(progressBar_);
    layout->addWidget(progressLabel_);
    layout->addStretch();
    layout->addLayout(buttons);
    resize(480, 260);

    connect(startButton_, &QPushButton::clicked, this, &SurveyDialog::onStartClicked);
    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        if (running()) {
            cancelButton_->setEnabled(false);
            progressLabel_->setText(QStringLiteral("Cancelling after the exchange in flight..."));
            survey_->cancel();
        }
    });
    connect(closeButton_, &QPushButton::clicked, this, &SurveyDialog::reject);
}

SurveyDialog::~SurveyDialog() {
    hold(false); // gone mid-survey (its window closed): the line is given back
}

bool SurveyDialog::running() const {
    return survey_ && survey_->running();
}

void SurveyDialog::hold(bool held) {
    if (holding_ != held) {
        holding_ = held;
        ctx_.holdLine(held);
    }
}

void SurveyDialog::reject() {
    if (running()) {
        cancelButton_->click();
        return;
    }
    QDialog::reject();
}

void SurveyDialog::onStartClicked() {
    if (survey_)
        return; // one survey per dialog
    const LineWorker& worker = ctx_.worker();
    visit::Visit v;
    v.site = siteEdit_->text().trimmed();
    v.technician = technicianEdit_->text().trimmed();
    v.program = QStringLiteral("flamehost %1").arg(QLatin1String(FLAMEHOST_VERSION));
    v.line = {worker.lineName(), LineModeName(worker.lineMode()), worker.echo(),
              worker.turnaroundDelay()};
    visit::SurveyPlan plan;
    plan.bit = bitBox_->isChecked();
    plan.scanWindowMs = scanWindowMs_;
    for (QWidget* w :
         std::initializer_list<QWidget*>{siteEdit_, technicianEdit_, bitBox_, startButton_})
        w->setEnabled(false);
    closeButton_->setEnabled(false);
    cancelButton_->setEnabled(true);
    progressBar_->setTextVisible(true);
    survey_ = new visit::Survey(ctx_.worker(), v, plan, this);
    connect(survey_, &visit::Survey::progress, this, &SurveyDialog::onProgress);
    connect(survey_, &visit::Survey::finished, this, &SurveyDialog::onSurveyFinished,
            Qt::QueuedConnection); // the files are asked for once the survey has returned
    emit surveyStarted();
    hold(true);
    survey_->start();
    cancelButton_->setFocus();
}

void SurveyDialog::onProgress(bool scanning, int address, int index, int total) {
    progressBar_->setRange(0, total);
    progressBar_->setValue(index);
    if (scanning) {
        progressBar_->setFormat(QStringLiteral("scanning: %v of %m addresses"));
        progressLabel_->setText(QStringLiteral("Scanning address %1").arg(address));
    } else {
        progressBar_->setFormat(QStringLiteral("reading: detector %v of %m"));
        progressLabel_->setText(QStringLiteral("Reading address %1: detector %2 of %3")
                                    .arg(address)
                                    .arg(index)
                                    .arg(total));
    }
}

void SurveyDialog::onSurveyFinished() {
    hold(false);
    cancelButton_->setEnabled(false);
    const visit::SiteRecord& record = survey_->record();
    int fullyRead = 0;
    for (const visit::DetectorEntry& e : record.detectors)
        fullyRead += e.fullyRead() ? 1 : 0;
    QStringList lines;
    lines << QStringLiteral("%1 detector(s) found, %2 read fully; the survey %3.")
                 .arg(record.detectors.size())
                 .arg(fullyRead)
                 .arg(record.visit.complete
                          ? QStringLiteral("is complete")
                          : QStringLiteral("was interrupted (%1)").arg(record.visit.interrupted));
    progressBar_->setFormat(record.visit.complete ? QStringLiteral("done")
                                                  : QStringLiteral("interrupted"));
    progressLabel_->setText(lines.join(QLatin1Char('\n')));

    const std::optional<QString> path = SaveRecord(ctx_.prompts(), this, record);
    if (path) {
        lines << QStringLiteral("Record saved: %1").arg(*path);
        const report::ReportInput input{record, std::nullopt, {}};
        QString error;
        if (const auto pdf = SaveReport(ctx_.prompts(), this, input, *path, &error))
            lines << QStringLiteral("Report saved: %1").arg(*pdf);
        else
            lines << (error.isEmpty() ? QStringLiteral("The report was not saved.")
                                      : QStringLiteral("The report was not saved: %1").arg(error));
        progressLabel_->setText(lines.join(QLatin1Char('\n')));
        PreviewReport(ctx_.prompts(), this, input);
    } else {
        lines << QStringLiteral("The survey was discarded: no file was written.");
        progressLabel_->setText(lines.join(QLatin1Char('\n')));
    }
    closeButton_->setEnabled(true);
    closeButton_->setDefault(true);
    closeButton_->setFocus();
    emit surveyEnded(record, path.value_or(QString()));
}

} // namespace fh
