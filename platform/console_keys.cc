#include "console_keys.h"

#include "clock.h"

namespace platform {

namespace {
constexpr int kKeyPollMs = 20;
}  // namespace

void Console::WaitForKey() {
  while (!KeyAvailable()) SleepMs(kKeyPollMs);
}

}  // namespace platform
