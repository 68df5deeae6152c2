#pragma once
// The live chart of the maintenance readings: SUM4, SUM45 and SUM5 over the chosen window,
// newest on the right, the three noises in a small chart below; pause, and export as PNG or
// CSV. It draws twice a second at most, so a fast refresh cycle costs it little.
#include "screens/charts/readingsseries.h"

#include <QDateTime>
#include <QWidget>
#include <vector>

class QChart;
class QComboBox;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QTimer;
class QValueAxis;

namespace fh {

// The save dialog's file kinds for the charts' exports.
inline const QString PngFilter = QStringLiteral("PNG pictures (*.png)");
inline const QString CsvFilter = QStringLiteral("CSV files (*.csv)");

class Clock;
class Prompts;
class ZoomChartView;

// Its controls: "cmbWindow" (1 / 5 / 15 minutes), "cmdPause", "cmdPng", "cmdCsv", the views
// "chtSums" and "chtNoise", the outcome of an export in "lblChartNotice".
class ReadingsChart : public QWidget {
    Q_OBJECT
public:
    static constexpr int RedrawMs = 500;
    static constexpr qsizetype MaxDrawnPoints = 1200; // per line

    ReadingsChart(Clock& clock, Prompts& prompts, const QString& saveDir,
                  QWidget* parent = nullptr);

    // Sums and noises of a refresh that passed the reply check.
    void addReading(const std::array<float, ReadingCount>& values);
    // A refresh without a proper answer.
    void addGap();

    void setWindowMinutes(int minutes);
    void stepWindow(); // 1 -> 5 -> 15 -> 1 minutes
    void togglePause();
    void exportPng();
    void exportCsv();

    const ReadingsSeries& series() const { return series_; }
    // Draws the window now (otherwise done by the redraw timer when something changed).
    void redraw();
    // The points drawn for a reading at the last redraw, over all its line pieces.
    qsizetype drawnPoints(Reading reading) const;
    int drawnLines(Reading reading) const;

private:
    qint64 nowMs() const;
    QString suggestedPath(const char* extension) const;
    void tell(const QString& text);
    void showPaused();

    Clock& clock_;
    Prompts& prompts_;
    QString saveDir_;
    qint64 startUs_;
    QDateTime startWall_;
    ReadingsSeries series_;
    bool dirty_ = false;
    QTimer* redrawTimer_ = nullptr;
    QChart *sumsChart_ = nullptr, *noiseChart_ = nullptr;
    ZoomChartView *sumsView_ = nullptr, *noiseView_ = nullptr;
    QDateTimeAxis *sumsTime_ = nullptr, *noiseTime_ = nullptr;
    QValueAxis *sumsValue_ = nullptr, *noiseValue_ = nullptr;
    // Per reading, the line pieces in use (reused from one redraw to the next).
    std::array<std::vector<QLineSeries*>, ReadingCount> lines_;
    std::array<int, ReadingCount> linesUsed_{};
    QComboBox* windowList_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QLabel* notice_ = nullptr;
};

} // namespace fh
