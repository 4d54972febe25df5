/* The C part of FORKER: a child in a session of its own, without any of
   the worker's descriptors, that runs on. */
#include <stdlib.h>
#include <unistd.h>

void forkaway_(void) {
  /* Tests running side by side tell their children apart by this time. */
  const char* seconds = getenv("FORKER_SECONDS");
  if (fork() != 0) return;
  setsid();
  for (int fd = 0; fd < 1024; ++fd) close(fd);
  execl("/bin/sleep", "sleep", seconds && *seconds ? seconds : "322", (char*)0);
  _exit(1);
}
