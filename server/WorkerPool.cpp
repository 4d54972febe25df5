#include "WorkerPool.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "ProcessTree.h"

namespace kvq::ostrel {

WorkerPool::WorkerPool(const QString& workerPath, const ServerSettings& settings, QObject* parent)
    : QObject(parent),
      workerPath_(workerPath),
      maxWorkers_(settings.maxWorkers),
      maxWorkersPerClient_(settings.maxWorkersPerClient),
      maxValueBytes_(static_cast<std::size_t>(settings.maxValueBytes)) {
  orphanSweep_.setSingleShot(true);
  orphanSweep_.setInterval(100);
  connect(&orphanSweep_, &QTimer::timeout, this, &WorkerPool::EndOrphans);
}

WorkerPool::~WorkerPool() {
  for (auto& [worker, client] : workers_) delete worker;  // kills, does not wait
}

int WorkerPool::CountFor(const QString& client) const {
  int count = 0;
  for (const auto& [worker, owner] : workers_)
    if (owner == client) ++count;
  return count;
}

std::optional<QString> WorkerPool::LimitReached(const QString& client) const {
  if (CountFor(client) >= maxWorkersPerClient_)
    return QStringLiteral(
               "this client has %1 worker processes, the most one client may have "
               "(--max-workers-per-client); its earlier runs are still ending, try again")
        .arg(maxWorkersPerClient_);
  if (Count() >= maxWorkers_) {
    std::fprintf(stderr, "ostrel: %d workers run, the most allowed (--max-workers)\n", maxWorkers_);
    return QStringLiteral(
               "the server runs %1 worker processes, the most it may run (--max-workers); "
               "try again when a run has ended")
        .arg(maxWorkers_);
  }
  return std::nullopt;
}

std::variant<WorkerProcess*, QString> WorkerPool::Start(const QString& client) {
  if (auto reached = LimitReached(client)) return *reached;
  auto worker = std::make_unique<WorkerProcess>(workerPath_, maxValueBytes_);
  if (!worker->Started())
    return QStringLiteral("the worker %1 does not start: %2")
        .arg(workerPath_, worker->StartError());
  WorkerProcess* started = worker.release();
  workers_.emplace(started, client);
  connect(started, &WorkerProcess::Ended, this, [this, started] { Reaped(started); });
  return started;
}

void WorkerPool::Release(WorkerProcess* worker) {
  if (!worker) return;
  disconnect(worker, nullptr, nullptr, nullptr);
  connect(worker, &WorkerProcess::Ended, this, [this, worker] { Reaped(worker); });
  if (worker->Reaped()) return Reaped(worker);
  worker->Abandon();
}

void WorkerPool::Reaped(WorkerProcess* worker) {
  if (workers_.erase(worker) == 0) return;
  worker->deleteLater();  // it may be emitting Ended
  EndOrphans();
}

// A worker that died (killed, crashed) leaves what its run started to the
// server, which adopts orphans: every child of the server that is no
// worker is such a leftover, killed with what is below it and reaped.
// Workers are reaped by their own pidfd, never here.
void WorkerPool::EndOrphans() {
  auto isWorker = [this](pid_t pid) {
    return std::any_of(workers_.begin(), workers_.end(),
                       [pid](const auto& entry) { return entry.first->Pid() == pid; });
  };
  for (pid_t zombie : ZombieChildrenOf(getpid()))
    if (!isWorker(zombie)) waitpid(zombie, nullptr, WNOHANG);
  bool killed = false;
  for (pid_t orphan : LivingChildrenOf(getpid())) {
    if (isWorker(orphan)) continue;
    KillTree(orphan);
    killed = true;
  }
  if (killed) orphanSweep_.start();
}

}  // namespace kvq::ostrel
