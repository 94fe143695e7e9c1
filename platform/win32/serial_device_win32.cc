#include <windows.h>

#include <memory>
#include <string>

#include "os_layer.h"
#include "port_errors.h"
#include "port_name.h"
#include "port_restore.h"
#include "serial_device.h"
#include "wide_text.h"

namespace platform {
namespace {

// How long one byte may wait to go out before it is dropped (with flow
// control off, a real line always takes it well before).
constexpr DWORD kWriteWaitMs = 1000;
// Beyond a driver's own time-out, how long an operation may take before it
// is cancelled: a driver that never ends a read must not hang the run.
constexpr DWORD kDriverSlackMs = 500;
// Modest queues: the adapter's replies are short.
constexpr DWORD kQueueBytes = 4096;
// The XON/XOFF thresholds are checked against the queue even with that
// flow control off; some drivers report values that fail the check.
constexpr WORD kXonLimit = kQueueBytes / 4;
constexpr WORD kXoffLimit = kQueueBytes / 4;
constexpr char kXon = 0x11;
constexpr char kXoff = 0x13;

BYTE ParityFor(Parity parity) {
  switch (parity) {
    case Parity::kOdd: return ODDPARITY;
    case Parity::kEven: return EVENPARITY;
    default: return NOPARITY;
  }
}

// Errors with which a driver answers for a device that was pulled out.
bool RemovalError(DWORD error) {
  switch (error) {
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_GEN_FAILURE:
    case ERROR_INVALID_HANDLE:
    case ERROR_FILE_NOT_FOUND: return true;
    default: return false;
  }
}

// Every field of the line the program relies on, whatever the driver
// reported at open: binary, 8 data bits, no flow control of any kind (the
// adapter's handshake lines may be unconnected), no character replaced.
DCB LineFor(const DCB& original, const LineSettings& settings) {
  DCB line = original;
  line.DCBlength = sizeof line;
  line.BaudRate = static_cast<DWORD>(settings.baud);
  line.ByteSize = 8;
  line.Parity = ParityFor(settings.parity);
  line.StopBits = settings.stopBits == StopBits::kTwo ? TWOSTOPBITS : ONESTOPBIT;
  line.fBinary = TRUE;
  line.fParity = settings.parity != Parity::kNone;
  line.fOutxCtsFlow = FALSE;
  line.fOutxDsrFlow = FALSE;
  line.fDtrControl = DTR_CONTROL_ENABLE;
  line.fDsrSensitivity = FALSE;
  line.fTXContinueOnXoff = TRUE;
  line.fOutX = FALSE;
  line.fInX = FALSE;
  line.fErrorChar = FALSE;
  line.fNull = FALSE;
  line.fRtsControl = RTS_CONTROL_ENABLE;
  line.fAbortOnError = FALSE;
  line.XonLim = kXonLimit;
  line.XoffLim = kXoffLimit;
  line.XonChar = kXon;
  line.XoffChar = kXoff;
  line.ErrorChar = 0;
  line.EofChar = 0;
  line.EvtChar = 0;
  return line;
}

// Whether the device can run the settings at all, where its driver says:
// some USB adapters have no two stop bits or no parity.
bool DriverOffers(HANDLE port, const LineSettings& settings) {
  COMMPROP properties{};
  if (!GetCommProperties(port, &properties) || properties.wSettableStopParity == 0) return true;
  const WORD stop = settings.stopBits == StopBits::kTwo ? STOPBITS_20 : STOPBITS_10;
  const WORD parity = settings.parity == Parity::kOdd    ? PARITY_ODD
                      : settings.parity == Parity::kEven ? PARITY_EVEN
                                                         : PARITY_NONE;
  return (properties.wSettableStopParity & stop) && (properties.wSettableStopParity & parity);
}

class Win32SerialDevice : public SerialDevice {
 public:
  Win32SerialDevice(HANDLE port, HANDLE done, const DCB& original,
                    const COMMTIMEOUTS& originalTimeouts)
      : port_(port), done_(done), original_(original), originalTimeouts_(originalTimeouts) {
    // Writes must not wait for ever even before the first timed read.
    UseReadTimeout(kWriteWaitMs);
  }

  // A removed device gets no restore and no close: some older drivers hang
  // on either. The process ending releases the handle.
  ~Win32SerialDevice() override {
    ForgetPort(port_);
    if (!gone_) {
      SetCommState(port_, &original_);
      SetCommTimeouts(port_, &originalTimeouts_);
      CloseHandle(port_);
    }
    CloseHandle(done_);
  }

  int Configure(const LineSettings& settings) override {
    if (!IsLineBaud(settings.baud)) return kPortErrorBadBaudCode;
    if (gone_) return kPortErrorDeviceGone;
    StopIfInterrupted();
    if (!DriverOffers(port_, settings)) {
      lastError_ = ERROR_NOT_SUPPORTED;
      return kPortErrorUnsupported;
    }
    DCB line = LineFor(original_, settings);
    if (!SetCommState(port_, &line)) return Failed(kPortErrorRefused);
    // Read back: a driver may keep another rate without an error. Parity is
    // compared too; on Wine the test bench's library makes a
    // pseudo-terminal report the parity it was given.
    DCB kept{};
    kept.DCBlength = sizeof kept;
    if (!GetCommState(port_, &kept)) return Failed(kPortErrorRefused);
    if (kept.BaudRate != line.BaudRate || kept.ByteSize != line.ByteSize ||
        kept.Parity != line.Parity || kept.StopBits != line.StopBits) {
      lastError_ = ERROR_INVALID_PARAMETER;
      return kPortErrorUnsupported;
    }
    return 0;
  }

  std::string LastErrorText() const override {
    return lastError_ == 0 ? std::string() : SystemErrorText(lastError_);
  }

  bool Gone() override {
    if (!gone_ && WaitingBytes() < 0) Lose();
    return gone_;
  }

  void DiscardInput() override {
    if (!gone_) PurgeComm(port_, PURGE_RXCLEAR);
  }

  void Write(uint8_t byte) override {
    if (gone_) return;
    DWORD written = 0;
    // A time-out ends with nothing written: the byte is dropped.
    if (!Transfer(false, &byte, 1, kWriteWaitMs, &written)) Lose();
  }

  void DrainOutput() override {
    if (!gone_) FlushFileBuffers(port_);
  }

  // The first byte is awaited with a total time-out on a one-byte read,
  // which ends the moment a byte comes; what else has arrived is then taken
  // without waiting. Both forms behave alike on Windows and on Wine.
  int Read(uint8_t* buffer, int capacity, int timeoutMs) override {
    if (gone_) return -1;
    if (capacity <= 0) return 0;
    int count = 0;
    if (timeoutMs > 0) {
      if (!UseReadTimeout(static_cast<DWORD>(timeoutMs))) return Lose();
      const ULONGLONG start = GetTickCount64();
      DWORD got = 0;
      if (!Transfer(true, buffer, 1, static_cast<DWORD>(timeoutMs), &got)) return Lose();
      if (got == 0) return NothingCame(start, timeoutMs);
      count = 1;
    }
    const int waiting = WaitingBytes();
    if (waiting < 0) return Lose();
    const DWORD wanted =
        static_cast<DWORD>(waiting < capacity - count ? waiting : capacity - count);
    if (wanted == 0) return count;
    DWORD got = 0;
    if (!Transfer(true, buffer + count, wanted, 0, &got)) return Lose();
    return count + static_cast<int>(got);
  }

 private:
  int Failed(int result) {
    lastError_ = GetLastError();
    if (RemovalError(lastError_) || WaitingBytes() < 0) {
      gone_ = true;
      return kPortErrorDeviceGone;
    }
    return result;
  }

  int Lose() {
    lastError_ = GetLastError();
    gone_ = true;
    return -1;
  }

  // "Success, 0 bytes": a removed device whose driver keeps answering so
  // fails ClearCommError. One that answers before its time-out is waited
  // out, so that a caller's loop does not spin on it.
  int NothingCame(ULONGLONG start, int timeoutMs) {
    if (WaitingBytes() < 0) return Lose();
    const ULONGLONG elapsed = GetTickCount64() - start;
    if (elapsed + 1 < static_cast<ULONGLONG>(timeoutMs)) {
      WaitForSingleObject(InterruptEvent(), static_cast<DWORD>(timeoutMs - elapsed));
      StopIfInterrupted();
    }
    return 0;
  }

  // Reads or writes with overlapped I/O, so that the console-control
  // handler never waits behind the main thread to restore the port.
  // waitMs is the driver's own time-out; the slack is for drivers that
  // ignore it. False when the device failed.
  bool Transfer(bool read, uint8_t* data, DWORD size, DWORD waitMs, DWORD* done) {
    *done = 0;
    OVERLAPPED operation{};
    operation.hEvent = done_;
    ResetEvent(done_);
    const BOOL started = read ? ReadFile(port_, data, size, nullptr, &operation)
                              : WriteFile(port_, data, size, nullptr, &operation);
    if (!started && GetLastError() != ERROR_IO_PENDING) return false;
    const HANDLE events[2] = {done_, InterruptEvent()};
    const DWORD woke = WaitForMultipleObjects(2, events, FALSE, waitMs + kDriverSlackMs);
    if (woke != WAIT_OBJECT_0) CancelIoEx(port_, &operation);
    StopIfInterrupted();
    if (GetOverlappedResult(port_, &operation, done, TRUE)) return true;
    // Cancelled after the slack: nothing came, the device is still there.
    return GetLastError() == ERROR_OPERATION_ABORTED && WaitingBytes() >= 0;
  }

  // Bytes received and not yet read; -1 when the device is gone (unplugged,
  // or the far end of a pseudo-terminal closed).
  int WaitingBytes() {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(port_, &errors, &status)) return -1;
    return static_cast<int>(status.cbInQue);
  }

  // Reads wait at most timeoutMs in all; writes at most kWriteWaitMs.
  bool UseReadTimeout(DWORD timeoutMs) {
    if (timeoutMs == readTimeoutMs_) return true;
    COMMTIMEOUTS timeouts{};
    timeouts.ReadTotalTimeoutConstant = timeoutMs;
    timeouts.WriteTotalTimeoutConstant = kWriteWaitMs;
    if (!SetCommTimeouts(port_, &timeouts)) return false;
    readTimeoutMs_ = timeoutMs;
    return true;
  }

  const HANDLE port_;
  const HANDLE done_;  // signalled when an overlapped operation ends
  // Not const: SetCommState and SetCommTimeouts take plain pointers.
  DCB original_;
  COMMTIMEOUTS originalTimeouts_;
  DWORD readTimeoutMs_ = 0;
  DWORD lastError_ = 0;
  bool gone_ = false;
};

std::unique_ptr<SerialDevice> Refuse(HANDLE port, int code, int* error) {
  if (port != INVALID_HANDLE_VALUE) CloseHandle(port);
  *error = code;
  return nullptr;
}

// The kPortOpen... number (port_errors.h) for the error of a failed open.
int OpenErrorFor(DWORD openError) {
  switch (openError) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_NETPATH:
    case ERROR_INVALID_NAME: return kPortOpenMissing;
    // A serial driver refuses a second open with "access denied": on a
    // COM port that means another program has it.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY: return kPortOpenBusy;
    default: return kPortOpenFailed;
  }
}

}  // namespace

std::unique_ptr<SerialDevice> OpenOsSerialDevice(const std::string& name, int* error) {
  std::string path;
  if (!DevicePathFor(name, &path)) return Refuse(INVALID_HANDLE_VALUE, kPortOpenBadName, error);
  // Share mode 0: no other program may open the port while we hold it.
  const HANDLE port = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (port == INVALID_HANDLE_VALUE) {
    return Refuse(INVALID_HANDLE_VALUE, OpenErrorFor(GetLastError()), error);
  }
  DCB original{};
  original.DCBlength = sizeof original;
  COMMTIMEOUTS originalTimeouts{};
  // A file or another device has no line settings.
  if (!GetCommState(port, &original) || !GetCommTimeouts(port, &originalTimeouts)) {
    return Refuse(port, kPortOpenNotSerial, error);
  }
  // A driver that cannot size its queues keeps its own.
  SetupComm(port, kQueueBytes, kQueueBytes);
  const HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (done == nullptr) return Refuse(port, kPortOpenFailed, error);
  if (!RememberPort(port, original, originalTimeouts)) {
    CloseHandle(done);
    return Refuse(port, kPortOpenFailed, error);
  }
  return std::make_unique<Win32SerialDevice>(port, done, original, originalTimeouts);
}

}  // namespace platform
