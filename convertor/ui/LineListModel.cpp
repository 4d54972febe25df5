#include "LineListModel.h"

#include <algorithm>
#include <cstring>

#include "Windows1251.h"

namespace kvq {

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

}  // namespace

int LineListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : published_;
}

QVariant LineListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= published_) return {};
  return DecodeWindows1251(Line(index.row()));
}

// Room for size bytes; a line longer than a block gets a block of its own.
char* LineListModel::Reserve(std::size_t size) {
  if (blocks_.empty() || size > blockFree_) {
    std::size_t blockSize = std::max(size, kBlockSize);
    blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize));
    blockSize_ = blockSize;
    blockFree_ = blockSize;
  }
  char* at = blocks_.back().get() + (blockSize_ - blockFree_);
  blockFree_ -= size;
  return at;
}

void LineListModel::Stage(std::string_view line) {
  char* at = Reserve(line.size());
  if (!line.empty()) std::memcpy(at, line.data(), line.size());
  lines_.emplace_back(at, line.size());
}

void LineListModel::Publish() {
  int staged = static_cast<int>(lines_.size());
  if (staged == published_) return;
  beginInsertRows(QModelIndex(), published_, staged - 1);
  published_ = staged;
  endInsertRows();
}

void LineListModel::Clear() {
  beginResetModel();
  lines_.clear();
  blocks_.clear();
  blockFree_ = 0;
  published_ = 0;
  endResetModel();
}

std::string_view LineListModel::Line(int row) const {
  return lines_[static_cast<std::size_t>(row)];
}

}  // namespace kvq
