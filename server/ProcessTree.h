// A run's processes as the kernel links them: every process a worker
// starts stays below it, since the worker adopts the orphans of its run
// (PR_SET_CHILD_SUBREAPER), and the server adopts what a dead worker left.
// So ending a run is ending a tree. Looks are taken from /proc; no Qt.
#pragma once

#include <sys/types.h>

#include <vector>

namespace kvq::ostrel {

// The processes whose parent is parent, zombies left out.
std::vector<pid_t> LivingChildrenOf(pid_t parent);

// The processes whose parent is parent that have exited and wait to be
// reaped.
std::vector<pid_t> ZombieChildrenOf(pid_t parent);

// Kills every living process below root (root itself is left): root is
// stopped first, so that it neither starts nor reaps anything meanwhile,
// and what the killed leave behind is adopted by root and killed in turn.
// Does not wait for anything but a few rounds of the kernel's bookkeeping.
void KillDescendants(pid_t root);

// Stops root and everything below it (SIGSTOP), root first, so that it
// starts nothing meanwhile; what is still being started is chased a few
// rounds of the kernel's bookkeeping.
void StopTree(pid_t root);

// Lets root and everything below it go on (SIGCONT).
void ContinueTree(pid_t root);

// Kills root and everything below it; the caller reaps root.
void KillTree(pid_t root);

}  // namespace kvq::ostrel
