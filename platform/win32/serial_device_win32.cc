#include <windows.h>

#include <memory>
#include <string>

#include "os_layer.h"
#include "port_errors.h"
#include "port_name.h"
#include "port_restore.h"
#include "serial_device.h"

namespace platform {
namespace {

// How long one byte may wait to go out before it is dropped (with flow
// control off, a real line always takes it well before).
constexpr DWORD kWriteWaitMs = 1000;

BYTE ParityFor(Parity parity) {
  switch (parity) {
    case Parity::kOdd: return ODDPARITY;
    case Parity::kEven: return EVENPARITY;
    default: return NOPARITY;
  }
}

bool IsSupportedBaud(int baud) {
  switch (baud) {
    case 1200:
    case 2400:
    case 4800:
    case 9600:
    case 19200:
    case 38400:
    case 57600:
    case 115200:
    case 230400: return true;
    default: return false;
  }
}

class Win32SerialDevice : public SerialDevice {
 public:
  Win32SerialDevice(HANDLE port, const DCB& original, const COMMTIMEOUTS& originalTimeouts)
      : port_(port), original_(original), originalTimeouts_(originalTimeouts) {
    // Writes must not wait for ever even before the first timed read.
    UseReadTimeout(kWriteWaitMs);
  }

  ~Win32SerialDevice() override {
    ForgetPort(port_);
    SetCommState(port_, &original_);
    SetCommTimeouts(port_, &originalTimeouts_);
    CloseHandle(port_);
  }

  int Configure(const LineSettings& settings) override {
    if (!IsSupportedBaud(settings.baud)) return kPortErrorBadBaudCode;
    DCB line = original_;
    line.DCBlength = sizeof line;
    line.BaudRate = static_cast<DWORD>(settings.baud);
    line.ByteSize = 8;
    line.Parity = ParityFor(settings.parity);
    line.StopBits = settings.stopBits == StopBits::kTwo ? TWOSTOPBITS : ONESTOPBIT;
    line.fBinary = TRUE;
    line.fParity = settings.parity != Parity::kNone;
    // No flow control of any kind: the adapter's lines may be unconnected.
    line.fOutxCtsFlow = FALSE;
    line.fOutxDsrFlow = FALSE;
    line.fDtrControl = DTR_CONTROL_ENABLE;
    line.fDsrSensitivity = FALSE;
    line.fRtsControl = RTS_CONTROL_ENABLE;
    line.fOutX = FALSE;
    line.fInX = FALSE;
    line.fErrorChar = FALSE;
    line.fNull = FALSE;
    line.fAbortOnError = FALSE;
    // The settings are not read back: some drivers (Wine's on a
    // pseudo-terminal) report a parity other than the one in force.
    return SetCommState(port_, &line) ? 0 : kPortErrorRefused;
  }

  bool Gone() override { return gone_; }

  void DiscardInput() override {
    if (!gone_) PurgeComm(port_, PURGE_RXCLEAR);
  }

  void Write(uint8_t byte) override {
    if (gone_) return;
    DWORD written = 0;
    // A time-out returns success with nothing written: the byte is dropped.
    if (!WriteFile(port_, &byte, 1, &written, nullptr)) gone_ = true;
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
      if (!UseReadTimeout(static_cast<DWORD>(timeoutMs))) return Lost();
      DWORD got = 0;
      if (!ReadFile(port_, buffer, 1, &got, nullptr)) return Lost();
      if (got == 0) return WaitingBytes() < 0 ? Lost() : 0;
      count = 1;
    }
    const int waiting = WaitingBytes();
    if (waiting < 0) return Lost();
    const DWORD wanted =
        static_cast<DWORD>(waiting < capacity - count ? waiting : capacity - count);
    if (wanted == 0) return count;
    DWORD got = 0;
    if (!ReadFile(port_, buffer + count, wanted, &got, nullptr)) return Lost();
    return count + static_cast<int>(got);
  }

 private:
  int Lost() {
    gone_ = true;
    return -1;
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
  // Not const: SetCommState and SetCommTimeouts take plain pointers.
  DCB original_;
  COMMTIMEOUTS originalTimeouts_;
  DWORD readTimeoutMs_ = 0;
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
  const HANDLE port = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
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
  if (!RememberPort(port, original, originalTimeouts)) return Refuse(port, kPortOpenFailed, error);
  return std::make_unique<Win32SerialDevice>(port, original, originalTimeouts);
}

}  // namespace platform
