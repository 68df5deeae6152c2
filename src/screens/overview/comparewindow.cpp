#include "screens/overview/comparewindow.h"

#include "screens/common/tablehelpers.h"
#include "screens/overview/comparisonhtml.h"
#include "screens/overview/visitfiles.h"
#include "screens/prompts/prompts.h"
#include "visit/diff.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSpinBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace fh {

CompareWindow::CompareWindow(Prompts& prompts, visit::SiteRecord older, visit::SiteRecord newer,
                             QString newerPath, QWidget* parent)
    : QWidget(parent, Qt::Window), prompts_(prompts), older_(std::move(older)),
      newer_(std::move(newer)), newerPath_(std::move(newerPath)) {
    setObjectName(QStringLiteral("frmCompare"));
    setWindowTitle(QStringLiteral("Comparison of two visits"));
    setAttribute(Qt::WA_DeleteOnClose);

    view_ = new QTextBrowser(this);
    view_->setObjectName(QStringLiteral("txtComparison"));
    thresholdBox_ = new QSpinBox(this);
    thresholdBox_->setObjectName(QStringLiteral("txtThreshold"));
    thresholdBox_->setRange(1, 1000);
    thresholdBox_->setValue(int(visit::DefaultSumsThreshold));
    thresholdBox_->setSuffix(QStringLiteral(" %"));
    reportButton_ = NamedButton(this, "cmdReport", QStringLiteral("&Report with comparison..."));
    closeButton_ = NamedButton(this, "cmdClose", QStringLiteral("&Close"));

    auto* bar = new QHBoxLayout;
    auto* thresholdLabel = new QLabel(QStringLiteral("Sums &threshold"), this);
    thresholdLabel->setBuddy(thresholdBox_);
    bar->addWidget(thresholdLabel);
    bar->addWidget(thresholdBox_);
    bar->addStretch();
    bar->addWidget(reportButton_);
    bar->addWidget(closeButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(bar);
    resize(760, 680);

    connect(thresholdBox_, &QSpinBox::valueChanged, this, &CompareWindow::compare);
    connect(reportButton_, &QPushButton::clicked, this, &CompareWindow::onReportClicked);
    connect(closeButton_, &QPushButton::clicked, this, &QWidget::close);
    compare();
}

QString CompareWindow::text() const {
    return view_->toPlainText();
}

void CompareWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

void CompareWindow::compare() {
    const double threshold = thresholdBox_->value();
    view_->setHtml(ComparisonHtml(older_.visit, newer_.visit,
                                  visit::CompareVisits(older_, newer_, threshold), threshold));
}

void CompareWindow::onReportClicked() {
    const double threshold = thresholdBox_->value();
    const report::ReportInput input{newer_, visit::CompareVisits(older_, newer_, threshold),
                                    older_.visit};
    QString error;
    const auto pdf = SaveReport(prompts_, this, input, newerPath_, &error);
    if (!pdf && !error.isEmpty())
        prompts_.message(this, QStringLiteral("The report was not saved: %1").arg(error),
                         windowTitle(), Prompts::Icon::Critical, Prompts::Buttons::Ok);
    PreviewReport(prompts_, this, input);
}

} // namespace fh
