/* Test-only helper, loaded into the program under test with LD_PRELOAD.
 * A pseudo-terminal has no parity: its driver drops PARENB, so the simulated
 * adapter on the master side could not tell what parity the host chose.
 * PARODD and CMSPAR survive, so whenever the program enables parity this
 * also sets CMSPAR: the adapter reads odd from PARODD, even from CMSPAR
 * alone. Nothing else is changed. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <string.h>
#include <termios.h>

typedef int (*TcsetattrFunction)(int, int, const struct termios*);

int tcsetattr(int fd, int optionalActions, const struct termios* settings) {
  static TcsetattrFunction next = NULL;
  if (next == NULL) {
    void* symbol = dlsym(RTLD_NEXT, "tcsetattr");
    memcpy(&next, &symbol, sizeof next);
  }
  if (settings != NULL && (settings->c_cflag & PARENB)) {
    struct termios marked = *settings;
    marked.c_cflag |= CMSPAR;
    return next(fd, optionalActions, &marked);
  }
  return next(fd, optionalActions, settings);
}
