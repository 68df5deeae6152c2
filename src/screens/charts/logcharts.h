#pragma once
// The log viewer's charts of one detector: its sums over time (a line per logging run, a mark
// at each status change) or its status letter over time, coloured as on the main screen.
#include "screens/charts/logdigest.h"

class QChart;

namespace fh {

// SUM4, SUM45 and SUM5 of each run; marks in the new status's colour where it changed.
QChart* MakeSumsChart(const DetectorTrace& trace, const QString& title);
// A row per status letter seen (the lost link, "D", as "link lost"), a band in the letter's
// colour for as long as it lasted.
QChart* MakeStatusTimeline(const DetectorTrace& trace, const QString& title);

} // namespace fh
