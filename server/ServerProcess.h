// What the server process sets up for itself before anything else starts:
// the stop signals wait for the event loop, the descriptors it inherited
// from whoever started it reach no worker, and it adopts whatever a dead
// worker left running, so that WorkerPool can end it.
#pragma once

#include <QCoreApplication>

namespace kvq::ostrel {

// Call first in main, before any thread starts: blocks SIGTERM, SIGHUP and
// SIGINT (every later thread inherits the mask), marks every inherited
// descriptor above 2 close-on-exec and makes the process a child
// subreaper.
void PrepareServerProcess();

// SIGTERM, SIGHUP and SIGINT quit app's event loop, so that the server
// ends its runs before it exits; false when they cannot be watched.
bool QuitOnStopSignals(QCoreApplication& app);

}  // namespace kvq::ostrel
