// The lines of one list box of the window: kept as the 8-bit text the run
// read or wrote, decoded as Windows-1251 only when a row is shown, so a
// source of any length costs one string per line and no widget per line.
#pragma once

#include <QAbstractListModel>
#include <string>
#include <vector>

namespace kvq {

class LineListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // Appends the lines as one insertion, so views update once per batch.
  void AppendLines(std::vector<std::string>& lines);
  void Clear();
  const std::string& Line(int row) const { return lines_[static_cast<std::size_t>(row)]; }

 private:
  std::vector<std::string> lines_;
};

}  // namespace kvq
