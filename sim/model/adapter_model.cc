#include "adapter_model.h"

#include <cctype>
#include <cstring>
#include <utility>

namespace sim {

const char* const kFirmwareVersions[11] = {
    "SPP_02", "SPP_03", "SPP_03[New]", "v4.12", "v4.13", "v4.15",
    "v4.18",  "v4.19",  "v4.20",       "v4.21", "v4.22",
};
const char kFirmwarePrefix[] = "Vostrel BT-2 ";
static_assert(sizeof(kFirmwarePrefix) == 14, "the version text starts at offset 13");

namespace {

constexpr const char* kOk = "OK\r\n";
constexpr const char* kError = "ERROR\r\n";
constexpr int kFirmwareSpp02 = 0;
constexpr int kFirmwareSpp03 = 1;
constexpr int kFirmwareSpp03New = 2;
constexpr int kFirmwareV418 = 6;
constexpr int kNewestFirmware = 10;
// A real adapter's command buffer is small; a longer line is thrown away.
constexpr size_t kLongestCommandLine = 64;

struct BaudEntry {
  char code;
  int baud;
};
constexpr BaudEntry kBaudCodes[] = {
    {'0', 4800},   {'1', 9600},   {'2', 19200}, {'3', 38400}, {'4', 57600},
    {'5', 115200}, {'6', 230400}, {'*', 1200},  {'#', 2400},
};

// Values a choice register accepts after its letter.
const char* ChoiceCodes(char letter) {
  switch (letter) {
    case 'L': return "0123456*#";
    case 'M': return "012";
    case 'R':
    case 'C':
    case 'E':
    case 'H':
    case 'K':
    case 'O':
    case 'Q':
    case 'X': return "01";
    default: return nullptr;
  }
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

bool AllHex(const std::string& text) {
  for (char c : text) {
    if (!IsHexDigit(c)) return false;
  }
  return true;
}

bool Contains(const std::string& letters, char letter) {
  return letters.find(letter) != std::string::npos;
}

// What a UART makes of a byte sent at other settings: never the byte itself,
// and never plain ASCII, so it can neither pass for an echo nor spell "OK".
uint8_t Garbage(uint8_t byte, const platform::LineSettings& host,
                const platform::LineSettings& own) {
  unsigned mix = static_cast<unsigned>(host.baud / 1200 + own.baud / 2400) +
                 3u * static_cast<unsigned>(host.parity) +
                 7u * static_cast<unsigned>(host.stopBits);
  return static_cast<uint8_t>((byte ^ (0x80u | (mix & 0x7Fu))) | 0x80u);
}

}  // namespace

char BaudCode(int baud) {
  for (const BaudEntry& entry : kBaudCodes) {
    if (entry.baud == baud) return entry.code;
  }
  return 0;
}

int BaudOfCode(char code) {
  for (const BaudEntry& entry : kBaudCodes) {
    if (entry.code == code) return entry.baud;
  }
  return 0;
}

const char* ParityName(platform::Parity parity) {
  switch (parity) {
    case platform::Parity::kOdd: return "ODD";
    case platform::Parity::kEven: return "EVEN";
    default: return "NONE";
  }
}

const char* StopBitsName(platform::StopBits stop) {
  return stop == platform::StopBits::kTwo ? "Two" : "One";
}

bool SameLine(const platform::LineSettings& a, const platform::LineSettings& b) {
  return a.baud == b.baud && a.parity == b.parity && a.stopBits == b.stopBits;
}

Adapter::Adapter(AdapterConfig config)
    : config_(std::move(config)), deaf_(config_.deafUntilResetButton) {}

std::string Adapter::Receive(uint8_t byte, const platform::LineSettings& host) {
  if (!config_.floodForever) flood_.clear();
  if (deaf_) return "";
  if (!SameLine(host, config_.line)) {
    // The adapter's UART saw noise: whatever it was collecting is spoilt.
    lineBuffer_.clear();
    if (config_.silentOnMismatch) return "";
    return std::string(1, static_cast<char>(Garbage(byte, host, config_.line)));
  }

  std::string out;
  if (!config_.echoOff) out += static_cast<char>(byte);
  if (byte == '\r') {
    std::string line;
    line.swap(lineBuffer_);
    out += Execute(line);
    // The reply has gone out at the old settings; now the new ones apply.
    if (factoryResetPending_) {
      factoryResetPending_ = false;
      FactoryReset();
    }
    if (lineChangePending_) {
      lineChangePending_ = false;
      config_.line = pendingLine_;
    }
  } else if (byte != '\n') {
    lineBuffer_ += static_cast<char>(byte);
  }
  return out;
}

void Adapter::PressResetButton() {
  deaf_ = false;
  flood_.clear();
  lineBuffer_.clear();
  lineChangePending_ = false;
  factoryResetPending_ = false;
  FactoryReset();
}

void Adapter::FactoryReset() {
  const AdapterConfig factory;
  config_.line = factory.line;
  config_.remoteAddress = factory.remoteAddress;
  config_.name = factory.name;
  config_.pin = factory.pin;
  config_.role = factory.role;
  config_.flowControl = factory.flowControl;
  config_.echo = factory.echo;
  config_.discovery = factory.discovery;
  config_.autoConnect = factory.autoConnect;
  config_.resultCodes = factory.resultCodes;
  config_.escapeMode = factory.escapeMode;
}

int Adapter::FirmwareGeneration() const {
  for (int i = 0; i < 11; ++i) {
    if (config_.firmware == kFirmwareVersions[i]) {
      if (i == kFirmwareSpp03 && config_.newerBuild) return kFirmwareSpp03New;
      return i;
    }
  }
  return kNewestFirmware;
}

bool Adapter::HasRegister(char letter) const {
  if (letter == '\0' || std::strchr(kRegisterLetters, letter) == nullptr) return false;
  const int generation = FirmwareGeneration();
  switch (letter) {
    case 'K':
    case 'M': return generation > kFirmwareSpp02;
    case 'C': return generation >= kFirmwareSpp03New;
    case 'X': return generation > kFirmwareSpp03New;
    default: return true;
  }
}

std::string Adapter::RegisterValue(char letter) const {
  if (!HasRegister(letter)) return "";
  switch (letter) {
    case 'I': return kFirmwarePrefix + config_.firmware;
    case 'R': return std::string(1, config_.role);
    case 'B': return config_.localAddress;
    case 'C': return std::string(1, config_.flowControl);
    case 'D': return config_.remoteAddress;
    case 'E': return std::string(1, config_.echo);
    case 'H': return std::string(1, config_.discovery);
    case 'K': return config_.line.stopBits == platform::StopBits::kTwo ? "1" : "0";
    case 'L': {
      const char code = BaudCode(config_.line.baud);
      return code != 0 ? std::string(1, code) : "";
    }
    case 'M': return std::string(1, static_cast<char>('0' + static_cast<int>(config_.line.parity)));
    case 'N': return config_.name;
    case 'O': return std::string(1, config_.autoConnect);
    case 'P': return config_.pin;
    case 'Q': return std::string(1, config_.resultCodes);
    case 'X': return std::string(1, config_.escapeMode);
    default: return "";
  }
}

std::string Adapter::Execute(const std::string& line) {
  if (line.empty()) return "";  // a lone carriage return
  executed_.push_back(line);
  if (line.size() > kLongestCommandLine || line.size() < 2 ||
      std::toupper(static_cast<unsigned char>(line[0])) != 'A' ||
      std::toupper(static_cast<unsigned char>(line[1])) != 'T') {
    return kError;
  }
  const std::string body = line.substr(2);
  if (body.empty()) return kOk;
  if (body == "Z0") {
    factoryResetPending_ = true;
    return kOk;
  }
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(body[0])));
  const auto flood = config_.floodOn.find(letter);
  if (flood != config_.floodOn.end()) {
    flood_ = flood->second;
    return "";
  }
  if (body.size() == 2 && body[1] == '?') return Query(letter);
  const std::string answer = Write(letter, body.substr(1));
  if (answer == kOk && Contains(config_.silentAfterWriteOf, letter)) deaf_ = true;
  return answer;
}

std::string Adapter::Query(char letter) {
  if (!HasRegister(letter)) return kError;
  if (Contains(config_.ignoreQueryOf, letter)) return "";
  const auto overridden = config_.replyOverride.find(letter);
  const std::string value =
      overridden != config_.replyOverride.end() ? overridden->second : RegisterValue(letter);
  return "\r\n" + value + "\r\n" + kOk;
}

std::string Adapter::Write(char letter, const std::string& argument) {
  if (!HasRegister(letter) || letter == 'I' || letter == 'B') return kError;
  if (Contains(config_.refuseWriteOf, letter)) return kError;

  if (const char* codes = ChoiceCodes(letter)) {
    if (argument.size() != 1 || std::strchr(codes, argument[0]) == nullptr) return kError;
    const char value = argument[0];
    switch (letter) {
      case 'R': config_.role = value; break;
      case 'C': config_.flowControl = value; break;
      case 'E': config_.echo = value; break;
      case 'H': config_.discovery = value; break;
      case 'O': config_.autoConnect = value; break;
      case 'Q': config_.resultCodes = value; break;
      case 'X': config_.escapeMode = value; break;
      case 'K':
      case 'L':
      case 'M': {
        if (!lineChangePending_) pendingLine_ = config_.line;
        lineChangePending_ = true;
        if (letter == 'K') {
          pendingLine_.stopBits =
              value == '1' ? platform::StopBits::kTwo : platform::StopBits::kOne;
        } else if (letter == 'L') {
          pendingLine_.baud = BaudOfCode(value);
        } else {
          pendingLine_.parity = static_cast<platform::Parity>(value - '0');
        }
        break;
      }
      default: break;
    }
    // This firmware takes a discovery-mode write without acknowledging it.
    if (letter == 'H' && FirmwareGeneration() == kFirmwareV418) return "";
    return kOk;
  }

  if (argument.empty() || argument[0] != '=') return kError;
  const std::string value = argument.substr(1);
  switch (letter) {
    case 'D':
      if (value.size() != 12 || !AllHex(value)) return kError;
      config_.remoteAddress = value;
      return kOk;
    case 'N':
      if (value.empty() || value.size() > 16) return kError;
      config_.name = value;
      return kOk;
    case 'P':
      if (value.size() < 4 || value.size() > 8) return kError;
      config_.pin = value;
      return kOk;
    default: return kError;
  }
}

}  // namespace sim
