#include <windows.h>

#include "console_code_page.h"
#include "port_restore.h"
#include "process_start.h"

namespace platform {
namespace {

// Room for every serial port the port table can hold.
constexpr int kSlotCount = 16;

struct RestoreSlot {
  HANDLE port = nullptr;  // null: free
  DCB settings{};
  COMMTIMEOUTS timeouts{};
};

SRWLOCK slotsLock = SRWLOCK_INIT;
RestoreSlot slots[kSlotCount];

// Windows calls this on a thread of its own. The lock is kept to the end,
// so that no port is closed under the restore.
BOOL WINAPI OnConsoleControl(DWORD event) {
  const UINT status =
      event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? kExitInterrupted : kExitHangUp;
  SetEvent(InterruptEvent());
  AcquireSRWLockExclusive(&slotsLock);
  for (RestoreSlot& slot : slots) {
    if (slot.port == nullptr) continue;
    // The ports are opened for overlapped I/O, so nothing here waits behind
    // the main thread; its read is ended all the same.
    CancelIoEx(slot.port, nullptr);
    SetCommState(slot.port, &slot.settings);
    SetCommTimeouts(slot.port, &slot.timeouts);
  }
  // The shell prompt then starts on a fresh line.
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "\r\n", 2, &written, nullptr);
  RestoreConsoleCodePage();
  // Not ExitProcess: the C library's exit work could wait for a lock that
  // the interrupted main thread holds.
  TerminateProcess(GetCurrentProcess(), status);
  return TRUE;
}

}  // namespace

bool RememberPort(HANDLE port, const DCB& settings, const COMMTIMEOUTS& timeouts) {
  AcquireSRWLockExclusive(&slotsLock);
  bool remembered = false;
  for (RestoreSlot& slot : slots) {
    if (slot.port != nullptr) continue;
    slot = RestoreSlot{port, settings, timeouts};
    remembered = true;
    break;
  }
  ReleaseSRWLockExclusive(&slotsLock);
  return remembered;
}

void ForgetPort(HANDLE port) {
  AcquireSRWLockExclusive(&slotsLock);
  for (RestoreSlot& slot : slots) {
    if (slot.port == port) slot.port = nullptr;
  }
  ReleaseSRWLockExclusive(&slotsLock);
}

HANDLE InterruptEvent() {
  static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

void StopIfInterrupted() {
  if (WaitForSingleObject(InterruptEvent(), 0) == WAIT_OBJECT_0) Sleep(INFINITE);
}

// Ctrl-C and Ctrl-Break end the run like SIGINT on POSIX (130); a closed
// console window, log-off or shut-down like a closed terminal (129).
void InstallInterruptHandlers() {
  InterruptEvent();
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

}  // namespace platform
