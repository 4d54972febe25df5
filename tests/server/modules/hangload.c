/* Added to a converted module: its initialisation never returns. */
#include <unistd.h>

__attribute__((constructor)) static void BlockForever(void) {
  for (;;) pause();
}
