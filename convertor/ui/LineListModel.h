// The lines of one list box of the window: kept as the 8-bit text the run
// read or wrote, end to end in blocks that never move, and decoded as
// Windows-1251 only when a row is shown. A source of any length costs its
// bytes and one reference per line, and no widget per line. Lines are staged as the run
// delivers them and published to the views in batches.
#pragma once

#include <QAbstractListModel>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kvq {

class LineListModel : public QAbstractListModel {
  Q_OBJECT

 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  // Keeps the line; views see it at the next Publish.
  void Stage(std::string_view line);
  // Shows the staged lines as one insertion.
  void Publish();
  void Clear();
  std::string_view Line(int row) const;

 private:
  char* Reserve(std::size_t size);

  // Blocks are filled and never grown, so the text is copied once.
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockSize_ = 0;           // size of the last block
  std::size_t blockFree_ = 0;           // bytes left in it
  std::deque<std::string_view> lines_;  // grows without moving what it holds
  int published_ = 0;                   // rows the views know of
};

}  // namespace kvq
