// The points of Kestrin's chart and the ranges its axes show, kept as values
// so that a run's PAINT events cost no chart work: the chart is brought up
// to date from them (ShowOn) at most once per frame, and then shows exactly
// what adding each point to the chart itself would have shown. Points stay
// in ascending order of X and are trimmed when they grow past 40; the axes
// are fitted (to round numbers) only when a point falls outside them or
// points went, as a new axis range costs a layout of the whole chart.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>

class QChart;
class QLineSeries;

namespace kvq {

// What one axis shows: its range and its number of ticks.
struct AxisRange {
  qreal min = 0;
  qreal max = 0;
  int ticks = 5;
};

// A printf format for the axis' labels with as many decimals as its tick
// step needs, so that a tick at 0 reads 0 and not the rounding error of the
// steps that led there.
QString AxisLabelFormat(const AxisRange& range);

class ChartPoints {
 public:
  // Starts from what the chart's axes show now.
  explicit ChartPoints(const QChart& chart);

  // Inserts the point after every point whose X is not greater; past 40
  // points the 20 with the smallest X go, so 21 remain. Fits the axes when
  // the point falls outside them or points went.
  void Add(const QPointF& point);
  // One point only, the axes fitted to it (the start of a run).
  void Restart(const QPointF& first);

  const QList<QPointF>& Points() const { return points_; }
  const AxisRange& X() const { return x_; }
  const AxisRange& Y() const { return y_; }

  // Shows the points and the axes on series and chart (changed parts only).
  void ShowOn(QLineSeries& series, QChart& chart) const;

 private:
  bool Shows(const QPointF& point) const;
  void FitAxes();

  QList<QPointF> points_;
  AxisRange x_, y_;
};

}  // namespace kvq
