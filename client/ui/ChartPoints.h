// The points of Kestrin's chart: kept in ascending order of X, trimmed when
// they grow past 40, with the axes fitted to what is shown.
#pragma once

#include <QPointF>

class QChart;
class QLineSeries;

namespace kvq {

// Inserts the point after every point whose X is not greater.
void AddPointInOrder(QLineSeries& series, const QPointF& point);

// Past 40 points, the 20 with the smallest X go, so 21 remain. True when
// points went.
bool TrimSeries(QLineSeries& series);

// Whether the point lies within what the chart's axes show. A new axis
// range costs a layout of the whole chart, so the axes are fitted only when
// a point falls outside or points went.
bool AxesShow(const QChart& chart, const QPointF& point);

// Sets the chart's axes to the range of the series' points.
void FitAxes(QChart& chart, const QLineSeries& series);

}  // namespace kvq
