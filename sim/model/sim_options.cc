#include "sim_options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {

namespace {

// The adapter options without a value: each sets one fault or trait.
struct AdapterFlag {
  const char* option;
  bool AdapterConfig::*member;
};
constexpr AdapterFlag kAdapterFlags[] = {
    {"--newer-build", &AdapterConfig::newerBuild},
    {"--echo-off", &AdapterConfig::echoOff},
    {"--silent-mismatch", &AdapterConfig::silentOnMismatch},
    {"--deaf-until-reset", &AdapterConfig::deafUntilResetButton},
    {"--flood-forever", &AdapterConfig::floodForever},
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

bool IsHex12(const std::string& text) {
  if (text.size() != 12) return false;
  for (char c : text) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

bool AreRegisterLetters(const std::string& letters) {
  for (char c : letters) {
    if (std::strchr(kRegisterLetters, c) == nullptr) return false;
  }
  return !letters.empty();
}

// Reply texts may hold any byte: backslash-x and two hex digits, backslash-r,
// backslash-n and two backslashes stand for bytes. False on a backslash that
// starts none of these.
bool Unescape(const std::string& text, std::string* bytes) {
  bytes->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *bytes += text[i];
      continue;
    }
    const char kind = i + 1 < text.size() ? text[i + 1] : '\0';
    if (kind == 'r' || kind == 'n' || kind == '\\') {
      *bytes += kind == 'r' ? '\r' : kind == 'n' ? '\n' : '\\';
      ++i;
    } else if (kind == 'x' && i + 3 < text.size() && IsHexDigit(text[i + 2]) &&
               IsHexDigit(text[i + 3])) {
      *bytes += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
      i += 3;
    } else {
      return false;
    }
  }
  return true;
}

// Adapters after the first get their own local address, so that two
// adapters on one bench can be told apart without options.
std::string DefaultAddress(size_t position) {
  char address[13];
  std::snprintf(address, sizeof address, "001A7DDA71%02X", static_cast<unsigned>(0x13 + position));
  return address;
}

AdapterConfig& AdapterNamed(SimOptions* options, const std::string& name) {
  for (auto& entry : options->adapters) {
    if (entry.first == name) return entry.second;
  }
  AdapterConfig config;
  config.localAddress = DefaultAddress(options->adapters.size());
  options->adapters.emplace_back(name, config);
  return options->adapters.back().second;
}

// Applies one adapter option with its value; false with *error when the
// value does not fit.
bool ApplyAdapterOption(const std::string& option, const std::string& value, AdapterConfig* config,
                        std::string* error) {
  const std::string word = Lower(value);
  if (option == "--firmware") {
    config->firmware = value;
  } else if (option == "--baud") {
    char* end = nullptr;
    const long baud = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || BaudCode(static_cast<int>(baud)) == 0) {
      *error = "unknown baud rate: " + value;
      return false;
    }
    config->line.baud = static_cast<int>(baud);
  } else if (option == "--parity") {
    if (word == "none")
      config->line.parity = platform::Parity::kNone;
    else if (word == "odd")
      config->line.parity = platform::Parity::kOdd;
    else if (word == "even")
      config->line.parity = platform::Parity::kEven;
    else {
      *error = "parity must be none, odd or even: " + value;
      return false;
    }
  } else if (option == "--stop") {
    if (word == "one" || word == "1")
      config->line.stopBits = platform::StopBits::kOne;
    else if (word == "two" || word == "2")
      config->line.stopBits = platform::StopBits::kTwo;
    else {
      *error = "stop bits must be one or two: " + value;
      return false;
    }
  } else if (option == "--address" || option == "--remote") {
    if (!IsHex12(value)) {
      *error = option + " takes 12 hexadecimal digits: " + value;
      return false;
    }
    (option == "--address" ? config->localAddress : config->remoteAddress) = value;
  } else if (option == "--role") {
    if (word == "master")
      config->role = '0';
    else if (word == "slave")
      config->role = '1';
    else {
      *error = "role must be master or slave: " + value;
      return false;
    }
  } else if (option == "--pin") {
    config->pin = value;
  } else if (option == "--name") {
    config->name = value;
  } else if (option == "--set") {
    char* field = nullptr;
    if (value.size() == 3 && value[1] == '=' && (value[2] == '0' || value[2] == '1')) {
      switch (value[0]) {
        case 'R': field = &config->role; break;
        case 'C': field = &config->flowControl; break;
        case 'E': field = &config->echo; break;
        case 'H': field = &config->discovery; break;
        case 'O': field = &config->autoConnect; break;
        case 'Q': field = &config->resultCodes; break;
        case 'X': field = &config->escapeMode; break;
        default: break;
      }
    }
    if (field == nullptr) {
      *error = "--set takes one of R C E H O Q X, '=' and 0 or 1: " + value;
      return false;
    }
    *field = value[2];
  } else if (option == "--refuse-write" || option == "--ignore-query" ||
             option == "--silent-after-write") {
    if (!AreRegisterLetters(value)) {
      *error = option + " takes register letters (" + kRegisterLetters + "): " + value;
      return false;
    }
    (option == "--refuse-write"   ? config->refuseWriteOf
     : option == "--ignore-query" ? config->ignoreQueryOf
                                  : config->silentAfterWriteOf) += value;
  } else if (option == "--reply" || option == "--flood") {
    std::string text;
    if (value.size() < 2 || value[1] != '=' || !AreRegisterLetters(value.substr(0, 1)) ||
        !Unescape(value.substr(2), &text) || (option == "--flood" && text.empty())) {
      *error = option + " takes a register letter, '=' and a text: " + value;
      return false;
    }
    (option == "--reply" ? config->replyOverride : config->floodOn)[value[0]] = text;
  } else {
    *error = "unknown option: " + option;
    return false;
  }
  return true;
}

}  // namespace

bool ParseSimOptions(const std::vector<std::string>& arguments, SimOptions* options,
                     std::string* error) {
  *options = SimOptions();
  std::string current = "A";
  bool pluggedGiven = false;
  AdapterNamed(options, current);
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    // Options without a value.
    if (option == "--help" || option == "-h") {
      options->help = true;
      continue;
    }
    if (option == "--verbose") {
      options->verbose = true;
      continue;
    }
    const auto flag = std::find_if(std::begin(kAdapterFlags), std::end(kAdapterFlags),
                                   [&option](const AdapterFlag& f) { return option == f.option; });
    if (flag != std::end(kAdapterFlags)) {
      AdapterNamed(options, current).*(flag->member) = true;
      continue;
    }
    if (option.rfind("--", 0) != 0) {
      *error = "unexpected argument: " + option;
      return false;
    }
    if (i + 1 >= arguments.size()) {
      *error = option + " needs a value";
      return false;
    }
    const std::string& value = arguments[++i];
    if (option == "--adapter") {
      if (value.empty() || value.find_first_of(" \t") != std::string::npos) {
        *error = "adapter names are single words: " + value;
        return false;
      }
      current = value;
      AdapterNamed(options, current);
    } else if (option == "--plugged") {
      options->plugged = Lower(value) == "none" ? "" : value;
      pluggedGiven = true;
    } else if (option == "--log") {
      options->logPath = value;
    } else if (option == "--trace") {
      options->tracePath = value;
    } else if (!ApplyAdapterOption(option, value, &AdapterNamed(options, current), error)) {
      return false;
    }
  }
  if (!pluggedGiven) {
    options->plugged = options->adapters.front().first;
  } else if (!options->plugged.empty()) {
    bool known = false;
    for (const auto& entry : options->adapters) known = known || entry.first == options->plugged;
    if (!known) {
      *error = "--plugged names no adapter: " + options->plugged;
      return false;
    }
  }
  return true;
}

const char* SimUsageText() {
  return R"(Usage: adapter-sim [options]
Creates a pseudo-terminal, prints its device path on the first line and
serves simulated wireless serial adapters on it until standard input closes.

Adapter options apply to adapter A, or to the adapter named by the last
--adapter option:
  --adapter NAME         start the options of another adapter (e.g. B)
  --firmware TEXT        version text: SPP_02 SPP_03 SPP_03[New] v4.12 v4.13
                         v4.15 v4.18 v4.19 v4.20 v4.21 v4.22 (default v4.22)
  --newer-build          an SPP_03 of the newer build (answers "ATC?")
  --baud N               1200 2400 4800 9600 19200 38400 57600 115200 230400
                         (default 19200)
  --parity P             none, odd or even (default none)
  --stop S               one or two (default one)
  --address HEX          local address, 12 hex digits (A: 001A7DDA7113,
                         B: 001A7DDA7114, ...)
  --remote HEX           remote address (default 000000000000)
  --role R               master or slave (default slave)
  --pin TEXT             PIN (default 1234)
  --name TEXT            device name (default "Vostrel Adapter")
  --set L=V              register C, E, H, O, Q, R or X set to 0 or 1
Faults:
  --echo-off             echo nothing
  --silent-mismatch      send nothing back at wrong line settings (instead
                         of one garbage byte per byte received)
  --refuse-write LETTERS answer ERROR to writes of these registers
  --ignore-query LETTERS never answer queries of these registers
  --reply L=TEXT         answer TEXT to the query of register L; in TEXT,
                         \xNN, \r, \n and \\ stand for bytes
  --deaf-until-reset     answer nothing until the reset button is pressed
  --flood L=TEXT         answer any command on register L with TEXT repeated
                         at the line's pace until the host's next byte
  --flood-forever        the flood goes on whatever the host sends
  --silent-after-write LETTERS
                         fall silent after acknowledging a write of these

Bench options:
  --plugged NAME|none    adapter in the port at start (default: the first)
  --log FILE             record every byte received: milliseconds since
                         start, byte in hex, the host's baud rate, parity
                         and stop bits, and the adapter it reached (- none)
  --trace FILE           record both directions: milliseconds since start,
                         > and the byte from the host, or < and the bytes
                         the adapter sent (in hex)
  --verbose              show each command an adapter executes on stderr
  --help                 show this text

Lines on standard input, each answered by "ok" (or "error: ..."):
  plug NAME              put adapter NAME in the port (taking out the other)
  unplug                 take the adapter out
  reset-button [NAME]    press the reset button (default: plugged adapter)
  show                   print every adapter's registers and line settings
  vanish                 the port disappears (the pseudo-terminal closes)
  quit                   end

The host's parity is read from the pseudo-terminal: PARODD means odd and
CMSPAR alone even. The Linux pty driver drops PARENB, so run the program
under test with LD_PRELOAD=libparity_preload.so to keep parity visible.
)";
}

}  // namespace sim
