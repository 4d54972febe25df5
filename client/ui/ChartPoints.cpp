#include "ChartPoints.h"

#include <QChart>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>

namespace kvq {

namespace {
constexpr qsizetype kMostPoints = 40;
constexpr qsizetype kPointsDropped = 20;

// A range the axis can show: a single value gets room on either side.
std::pair<qreal, qreal> Widened(qreal low, qreal high) {
  if (low == high) return {low - 1, high + 1};
  const qreal margin = (high - low) * 0.05;
  return {low - margin, high + margin};
}
}  // namespace

void AddPointInOrder(QLineSeries& series, const QPointF& point) {
  const QList<QPointF> points = series.points();
  const auto after =
      std::upper_bound(points.begin(), points.end(), point,
                       [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
  if (after == points.end())
    series.append(point);
  else
    series.insert(int(after - points.begin()), point);
}

bool TrimSeries(QLineSeries& series) {
  if (series.count() <= kMostPoints) return false;
  series.removePoints(0, kPointsDropped);
  return true;
}

bool AxesShow(const QChart& chart, const QPointF& point) {
  auto within = [&chart](Qt::Orientation orientation, qreal value) {
    for (QAbstractAxis* axis : chart.axes(orientation)) {
      auto* valueAxis = qobject_cast<QValueAxis*>(axis);
      if (valueAxis == nullptr || value < valueAxis->min() || value > valueAxis->max())
        return false;
    }
    return true;
  };
  return within(Qt::Horizontal, point.x()) && within(Qt::Vertical, point.y());
}

void FitAxes(QChart& chart, const QLineSeries& series) {
  const QList<QPointF> points = series.points();
  if (points.isEmpty()) return;
  qreal minX = points.front().x(), maxX = points.back().x();
  auto [minY, maxY] = std::minmax_element(points.begin(), points.end(),
                                          [](auto& a, auto& b) { return a.y() < b.y(); });
  const auto [lowY, highY] = Widened(minY->y(), maxY->y());
  if (minX == maxX) std::tie(minX, maxX) = Widened(minX, maxX);
  // Round tick values read better than the exact extremes.
  auto fit = [](QAbstractAxis* axis, qreal low, qreal high) {
    axis->setRange(low, high);
    if (auto* valueAxis = qobject_cast<QValueAxis*>(axis)) valueAxis->applyNiceNumbers();
  };
  for (QAbstractAxis* axis : chart.axes(Qt::Horizontal)) fit(axis, minX, maxX);
  for (QAbstractAxis* axis : chart.axes(Qt::Vertical)) fit(axis, lowY, highY);
}

}  // namespace kvq
