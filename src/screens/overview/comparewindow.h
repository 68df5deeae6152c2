#pragma once
// The comparison of a visit with an earlier one, readable on screen, and the visit's report
// with the comparison included.
#include "visit/record.h"

#include <QWidget>

class QSpinBox;
class QTextBrowser;
class QPushButton;

namespace fh {

class Prompts;

// Its controls carry their form names as objectName ("txtComparison", "txtThreshold",
// "cmdReport", "cmdClose").
class CompareWindow : public QWidget {
    Q_OBJECT
public:
    // newerPath: where the newer record is, so the report is offered beside it.
    CompareWindow(Prompts& prompts, visit::SiteRecord older, visit::SiteRecord newer,
                  QString newerPath, QWidget* parent);

    QString text() const; // the comparison as plain text, as shown

protected:
    void keyPressEvent(QKeyEvent* event) override; // Esc closes

private:
    void compare();
    void onReportClicked();

    Prompts& prompts_;
    const visit::SiteRecord older_, newer_;
    const QString newerPath_;

    QTextBrowser* view_ = nullptr;
    QSpinBox* thresholdBox_ = nullptr;
    QPushButton* reportButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
};

} // namespace fh
