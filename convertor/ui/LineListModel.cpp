#include "LineListModel.h"

#include <iterator>

#include "Windows1251.h"

namespace kvq {

int LineListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant LineListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  return DecodeWindows1251(Line(index.row()));
}

void LineListModel::AppendLines(std::vector<std::string>& lines) {
  if (lines.empty()) return;
  int first = rowCount();
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(lines.size()) - 1);
  lines_.insert(lines_.end(), std::make_move_iterator(lines.begin()),
                std::make_move_iterator(lines.end()));
  endInsertRows();
  lines.clear();
}

void LineListModel::Clear() {
  if (lines_.empty()) return;
  beginResetModel();
  lines_.clear();
  lines_.shrink_to_fit();
  endResetModel();
}

}  // namespace kvq
