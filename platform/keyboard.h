#ifndef VOSTREL_PLATFORM_KEYBOARD_H
#define VOSTREL_PLATFORM_KEYBOARD_H

#include <string>

namespace platform {

// Key codes as the prompt sees them: Enter is 13, c is 99. A key without a
// character of its own (arrow, function key) gives two codes, the prefix 224
// (on Windows also 0) and a second code that is never 13 or 99.
constexpr int kKeyEnter = 13;
constexpr int kKeyCancel = 'c';  // lower case only: C is just another key
constexpr int kExtendedKeyPrefix = 224;

// The operator's keyboard: the controlling terminal (on Windows the console),
// never standard input.
class Keyboard {
 public:
  virtual ~Keyboard() = default;
  // Prepares the console for reading single keys without echo. False when
  // the process has no console to read from.
  virtual bool BeginKeys() = 0;
  // Puts the console back as it was before BeginKeys.
  virtual void EndKeys() = 0;
  // Never blocks. False outside BeginKeys/EndKeys.
  virtual bool KeyAvailable() = 0;
  // Blocks until a code is there and returns it; -1 at once outside
  // BeginKeys/EndKeys. A terminal that goes away (hang-up) reports a key
  // and reads as c, so that a waiting prompt ends as cancelled.
  virtual int ReadKey() = 0;
  // Returns once KeyAvailable() would be true (a gone terminal counts), or
  // once the watched port (serial_device.h) has gone away. This default
  // looks every 20 ms; a console that can sleep until the terminal has
  // input or the port hangs up does so instead.
  virtual void WaitForKey();
  // True once the terminal has gone away (hung up): nothing more can come
  // from it. This default never notices.
  virtual bool Gone() { return false; }
  // When BeginKeys found no one to answer: where the program must run for
  // its prompts to be answered, one line; empty where there is nothing to
  // add.
  virtual std::string WhereToAnswer() const { return {}; }
};

Keyboard& CurrentKeyboard();
// nullptr restores the OS console. The caller keeps ownership.
void SetKeyboard(Keyboard* console);

}  // namespace platform

#endif
