#include "ChartPoints.h"

#include <QChart>
#include <QLineSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace kvq {

namespace {
constexpr qsizetype kMostPoints = 40;
constexpr qsizetype kPointsDropped = 20;
// Beyond this many decimals a tick step reads better in exponent form.
constexpr int kMostDecimals = 8;

// A range the axis can show: a single value gets room on either side.
std::pair<qreal, qreal> Widened(qreal low, qreal high) {
  if (low == high) return {low - 1, high + 1};
  const qreal margin = (high - low) * 0.05;
  return {low - margin, high + margin};
}

// The round numbers the chart's own axis picks for the range, with the
// tick count it had before, as it would on screen.
AxisRange NiceRange(qreal low, qreal high, int ticks) {
  QValueAxis axis;
  axis.setTickCount(ticks);
  axis.setRange(low, high);
  axis.applyNiceNumbers();
  return {axis.min(), axis.max(), axis.tickCount()};
}

AxisRange RangeOf(const QChart& chart, Qt::Orientation orientation) {
  for (QAbstractAxis* axis : chart.axes(orientation))
    if (auto* valueAxis = qobject_cast<QValueAxis*>(axis))
      return {valueAxis->min(), valueAxis->max(), valueAxis->tickCount()};
  return {};
}

void Show(QChart& chart, Qt::Orientation orientation, const AxisRange& range) {
  const QString format = AxisLabelFormat(range);
  for (QAbstractAxis* axis : chart.axes(orientation)) {
    auto* valueAxis = qobject_cast<QValueAxis*>(axis);
    if (valueAxis == nullptr) continue;
    if (valueAxis->min() != range.min || valueAxis->max() != range.max)
      valueAxis->setRange(range.min, range.max);
    if (valueAxis->tickCount() != range.ticks) valueAxis->setTickCount(range.ticks);
    if (valueAxis->labelFormat() != format) valueAxis->setLabelFormat(format);
  }
}

}  // namespace

QString AxisLabelFormat(const AxisRange& range) {
  if (range.ticks < 2 || !(range.max > range.min)) return QStringLiteral("%g");
  const double step = (range.max - range.min) / (range.ticks - 1);
  for (int decimals = 0; decimals <= kMostDecimals; ++decimals) {
    const double scaled = step * std::pow(10.0, decimals);
    if (std::abs(scaled - std::round(scaled)) <= 1e-6 * scaled)
      return QStringLiteral("%.%1f").arg(decimals);
  }
  return QStringLiteral("%.3e");
}

ChartPoints::ChartPoints(const QChart& chart)
    : x_(RangeOf(chart, Qt::Horizontal)), y_(RangeOf(chart, Qt::Vertical)) {}

void ChartPoints::Add(const QPointF& point) {
  const auto after =
      std::upper_bound(points_.begin(), points_.end(), point,
                       [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
  points_.insert(after, point);
  const bool trimmed = points_.size() > kMostPoints;
  if (trimmed) points_.remove(0, kPointsDropped);
  if (trimmed || !Shows(point)) FitAxes();
}

void ChartPoints::Restart(const QPointF& first) {
  points_ = {first};
  FitAxes();
}

bool ChartPoints::Shows(const QPointF& point) const {
  return point.x() >= x_.min && point.x() <= x_.max && point.y() >= y_.min && point.y() <= y_.max;
}

void ChartPoints::FitAxes() {
  if (points_.isEmpty()) return;
  qreal minX = points_.front().x(), maxX = points_.back().x();
  auto [minY, maxY] = std::minmax_element(points_.begin(), points_.end(),
                                          [](auto& a, auto& b) { return a.y() < b.y(); });
  const auto [lowY, highY] = Widened(minY->y(), maxY->y());
  if (minX == maxX) std::tie(minX, maxX) = Widened(minX, maxX);
  // Round tick values read better than the exact extremes.
  x_ = NiceRange(minX, maxX, x_.ticks);
  y_ = NiceRange(lowY, highY, y_.ticks);
}

void ChartPoints::ShowOn(QLineSeries& series, QChart& chart) const {
  if (series.points() != points_) series.replace(points_);
  Show(chart, Qt::Horizontal, x_);
  Show(chart, Qt::Vertical, y_);
}

}  // namespace kvq
