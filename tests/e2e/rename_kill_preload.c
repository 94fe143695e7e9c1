/* Test-only helper, loaded into the program under test with LD_PRELOAD.
 * The first rename onto a file named MULTIPAIR.INI kills the process, as a
 * power cut or a crash would between writing the new file and putting it in
 * place. Every other rename goes through. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <signal.h>
#include <string.h>

typedef int (*RenameFunction)(const char*, const char*);

int rename(const char* from, const char* to) {
  const char* slash = strrchr(to, '/');
  if (strcmp(slash != NULL ? slash + 1 : to, "MULTIPAIR.INI") == 0) raise(SIGKILL);
  void* symbol = dlsym(RTLD_NEXT, "rename");
  RenameFunction next;
  memcpy(&next, &symbol, sizeof next);
  return next(from, to);
}
