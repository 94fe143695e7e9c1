/* Test-only helper, loaded into Wine (and so into VostrelCL.exe under it)
 * with LD_PRELOAD. A pseudo-terminal has no parity: the kernel refuses
 * PARENB there, and Wine's SetCommState then fails with "The parameter is
 * incorrect" for odd and even. This library hides PARENB from the kernel
 * and carries the parity to the pseudo-terminal as the Linux program's
 * library does (odd as PARODD, even as CMSPAR alone), and shows Wine the
 * PARENB it set when it reads the settings back, so that the parity
 * reaches the simulated adapter and the read-back matches. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <string.h>
#include <termios.h>

typedef int (*TcsetattrFunction)(int, int, const struct termios*);
typedef int (*TcgetattrFunction)(int, struct termios*);

static void* Next(const char* name) { return dlsym(RTLD_NEXT, name); }

int tcsetattr(int fd, int optionalActions, const struct termios* settings) {
  static TcsetattrFunction next = NULL;
  if (next == NULL) {
    void* symbol = Next("tcsetattr");
    memcpy(&next, &symbol, sizeof next);
  }
  if (settings != NULL && (settings->c_cflag & PARENB)) {
    struct termios marked = *settings;
    marked.c_cflag &= ~(tcflag_t)PARENB;
    marked.c_cflag |= CMSPAR;
    return next(fd, optionalActions, &marked);
  }
  return next(fd, optionalActions, settings);
}

int tcgetattr(int fd, struct termios* settings) {
  static TcgetattrFunction next = NULL;
  if (next == NULL) {
    void* symbol = Next("tcgetattr");
    memcpy(&next, &symbol, sizeof next);
  }
  const int result = next(fd, settings);
  if (result == 0 && (settings->c_cflag & CMSPAR) && !(settings->c_cflag & PARENB)) {
    settings->c_cflag &= ~(tcflag_t)CMSPAR;
    settings->c_cflag |= PARENB;
  }
  return result;
}
