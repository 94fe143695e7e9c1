/* Test-only Windows helper, run under Wine beside the program under test:
 * holds a file open as antivirus, the search indexer or a spreadsheet does,
 * for reading and writing but without delete sharing, so that it can be
 * neither renamed over nor deleted.
 *   hold_file.exe FILE START HOLD_MS
 * With START "now" it holds FILE at once; otherwise it first waits for a
 * file named START to appear. It then holds FILE until a temporary file
 * FILE.*.tmp appears beside it (a new version about to be renamed into
 * place) and HOLD_MS more, or until it is ended when HOLD_MS is -1.
 * Holding, it writes FILE.held, so the test knows the hold happened. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

static int Exists(const char* pattern) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pattern, &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  FindClose(search);
  return 1;
}

int main(int argc, char** argv) {
  char pattern[MAX_PATH], marker[MAX_PATH];
  if (argc != 4) return 2;
  const long holdMs = strtol(argv[3], NULL, 10);
  snprintf(pattern, sizeof pattern, "%s.*.tmp", argv[1]);
  snprintf(marker, sizeof marker, "%s.held", argv[1]);
  if (strcmp(argv[2], "now") != 0) {
    while (!Exists(argv[2])) Sleep(5);
  }
  HANDLE file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return 3;
  HANDLE held = CreateFileA(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  if (holdMs < 0) Sleep(INFINITE);
  while (!Exists(pattern)) Sleep(5);
  Sleep((DWORD)holdMs);
  CloseHandle(file);
  return 0;
}
