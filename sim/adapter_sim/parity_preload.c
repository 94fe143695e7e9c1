/* Test-only helper, loaded with LD_PRELOAD into the program under test, or
 * into the emulator that carries a guest's serial line to the pty.
 * A pseudo-terminal has no parity: its driver drops PARENB, so the simulated
 * adapter on the master side could not tell what parity the host chose.
 * PARODD and CMSPAR survive, so whenever parity is enabled this also sets
 * CMSPAR, and clears it otherwise (the emulator edits the settings it read
 * back and never clears CMSPAR itself): the adapter reads odd from PARODD,
 * even from CMSPAR alone. Nothing else is changed. */
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
  if (settings == NULL) return next(fd, optionalActions, settings);
  struct termios marked = *settings;
  if (settings->c_cflag & PARENB) {
    marked.c_cflag |= CMSPAR;
  } else {
    marked.c_cflag &= ~(tcflag_t)CMSPAR;
  }
  return next(fd, optionalActions, &marked);
}
