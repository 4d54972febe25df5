// Every worker process of the server, each with the client it runs for.
// Starts workers within the limits of ServerSettings, and takes back the
// workers a session is done with: killed and closed at once, reaped when
// their exit is seen, so ending a worker never waits and a burst of loads
// from one client cannot use up what the others need. A worker counts
// against the limits until it is reaped.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <variant>

#include "ServerSettings.h"
#include "WorkerProcess.h"

namespace kvq::ostrel {

class WorkerPool : public QObject {
  Q_OBJECT

 public:
  WorkerPool(const QString& workerPath, const ServerSettings& settings, QObject* parent = nullptr);
  ~WorkerPool() override;

  // A started worker for client, owned here; else why none was started.
  std::variant<WorkerProcess*, QString> Start(const QString& client);
  // The caller is done with worker: it is killed and its descriptors are
  // closed now; it is deleted once reaped.
  void Release(WorkerProcess* worker);
  int Count() const { return static_cast<int>(workers_.size()); }
  int CountFor(const QString& client) const;

 private:
  std::optional<QString> LimitReached(const QString& client) const;
  void Reaped(WorkerProcess* worker);
  void EndOrphans();

  QString workerPath_;
  int maxWorkers_;
  int maxWorkersPerClient_;
  std::size_t maxValueBytes_;
  std::map<WorkerProcess*, QString> workers_;  // worker -> its client
  // Looks again for orphans while killed ones wait to be reaped.
  QTimer orphanSweep_;
};

}  // namespace kvq::ostrel
