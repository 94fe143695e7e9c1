#ifndef VOSTREL_TESTS_SUPPORT_SCRIPTED_KEYBOARD_H
#define VOSTREL_TESTS_SUPPORT_SCRIPTED_KEYBOARD_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <vector>

#include "keyboard.h"

// The operator's keyboard, scripted; installed for its lifetime. Keys typed
// ahead are waiting when a prompt starts, so the prompt must discard them.
// A prompt's answer comes once the prompt has found no key waiting (its
// discard step is over): that look runs the answer's action (the
// operator's hands: swapping adapters, pressing the reset button), and the
// keys are there a look later, since the operator takes a moment.
class ScriptedKeyboard : public platform::Keyboard {
 public:
  ScriptedKeyboard() { platform::SetKeyboard(this); }
  ~ScriptedKeyboard() override { platform::SetKeyboard(nullptr); }

  // Codes that are already waiting when the next prompt begins.
  void TypeAhead(const std::vector<int>& codes) {
    pending_.insert(pending_.end(), codes.begin(), codes.end());
  }
  // The operator's answer to the next unanswered prompt.
  void AnswerPrompt(const std::vector<int>& codes, std::function<void()> action = {}) {
    answers_.push_back(Answer{codes, std::move(action)});
  }
  // No console: BeginKeys reports false.
  void SetNoConsole(bool noConsole) { noConsole_ = noConsole; }
  // The terminal hangs up: gone, a key always there, and that key reads as
  // c, as a real terminal's do.
  void HangUp() { hungUp_ = true; }

  int promptsShown() const { return promptsShown_; }
  // True between a BeginKeys that succeeded and its EndKeys.
  bool keysActive() const { return keysActive_; }
  // Codes still waiting, unread.
  size_t pendingCodes() const { return pending_.size(); }

  bool BeginKeys() override {
    ++promptsShown_;
    if (noConsole_) return false;
    EXPECT_FALSE(keysActive_) << "BeginKeys twice without EndKeys";
    keysActive_ = true;
    answered_ = false;
    emptyLooks_ = 0;
    return true;
  }
  void EndKeys() override { keysActive_ = false; }
  bool Gone() override { return hungUp_; }
  bool KeyAvailable() override {
    EXPECT_TRUE(keysActive_) << "keys looked for outside BeginKeys/EndKeys";
    if (hungUp_ && ++emptyLooks_ > kMaxEmptyLooks) {
      ADD_FAILURE() << "the prompt keeps looking at a terminal that hung up";
      return false;
    }
    if (hungUp_) return true;
    if (moment_ > 0) {
      --moment_;
      return false;
    }
    if (!pending_.empty()) return true;
    if (!answered_ && !answers_.empty()) {
      answered_ = true;
      const Answer answer = answers_.front();
      answers_.pop_front();
      if (answer.action) answer.action();
      pending_.insert(pending_.end(), answer.codes.begin(), answer.codes.end());
      moment_ = 1;
      return false;
    }
    // Out of script: c ends the prompt so that the test fails instead of
    // waiting for ever; a prompt that takes not even c stops the test.
    if (++emptyLooks_ == kMaxEmptyLooks) {
      ADD_FAILURE() << "prompt " << promptsShown_ << " is still waiting: the script has no answer";
      pending_.push_back(kCancelKey);
    }
    if (emptyLooks_ > 2 * kMaxEmptyLooks) std::abort();
    return !pending_.empty();
  }
  int ReadKey() override {
    EXPECT_TRUE(keysActive_) << "keys read outside BeginKeys/EndKeys";
    // With no key waiting a real console would block for ever.
    if (hungUp_ || pending_.empty()) return kCancelKey;
    const int code = pending_.front();
    pending_.pop_front();
    return code;
  }

 private:
  static constexpr int kMaxEmptyLooks = 100000;
  static constexpr int kCancelKey = 'c';
  struct Answer {
    std::vector<int> codes;
    std::function<void()> action;
  };

  std::deque<int> pending_;
  std::deque<Answer> answers_;
  bool noConsole_ = false;
  bool hungUp_ = false;
  bool keysActive_ = false;
  bool answered_ = false;
  int moment_ = 0;
  int promptsShown_ = 0;
  int emptyLooks_ = 0;
};

#endif
