#pragma once
// Saving a chart as a picture, shared by the maintenance chart and the log viewer.
#include <QString>

class QWidget;

namespace fh {

// Writes the widget as drawn now to path as PNG, whole or not at all; returns the outcome
// as the operator reads it ("Chart saved: ..." or why it could not be written).
QString SaveChartPng(QWidget* chart, const QString& path);

} // namespace fh
