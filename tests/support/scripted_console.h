#ifndef VOSTREL_TESTS_SUPPORT_SCRIPTED_CONSOLE_H
#define VOSTREL_TESTS_SUPPORT_SCRIPTED_CONSOLE_H

#include <deque>
#include <functional>
#include <vector>

#include "console_keys.h"

// The operator's keyboard, scripted. Installed for its lifetime.
//
// Keys typed ahead are waiting when a prompt starts, so the prompt must
// discard them. Each prompt's answer becomes available only once the prompt
// has found no key waiting (its discard step is over): the first
// KeyAvailable() of a prompt that would report false runs the answer's
// action (the operator's hands: swapping adapters, pressing the reset
// button) and queues its codes, still reporting false for that call and the
// next: the operator takes a moment, so the prompt waits once before the
// keys are there.
class ScriptedConsole : public platform::Console {
 public:
  ScriptedConsole();
  ~ScriptedConsole() override;

  // Codes that are already waiting when the next prompt begins.
  void TypeAhead(const std::vector<int>& codes);
  // The operator's answer to the next unanswered prompt.
  void AnswerPrompt(const std::vector<int>& codes, std::function<void()> action = {});
  // Shorthands for the two answers the prompt knows.
  void PressEnter(std::function<void()> action = {}) { AnswerPrompt({13}, std::move(action)); }
  void PressCancel() { AnswerPrompt({99}); }
  // No console: BeginKeys reports false.
  void SetNoConsole(bool noConsole) { noConsole_ = noConsole; }

  int promptsShown() const { return promptsShown_; }
  // True between a BeginKeys that succeeded and its EndKeys.
  bool keysActive() const { return keysActive_; }
  // Codes still waiting, unread.
  size_t pendingCodes() const { return pending_.size(); }

  bool BeginKeys() override;
  void EndKeys() override;
  bool KeyAvailable() override;
  int ReadKey() override;

 private:
  struct Answer {
    std::vector<int> codes;
    std::function<void()> action;
  };

  std::deque<int> pending_;
  std::deque<Answer> answers_;
  bool noConsole_ = false;
  bool keysActive_ = false;
  bool answerArmed_ = false;
  bool answerComing_ = false;
  int promptsShown_ = 0;
  int emptyPolls_ = 0;
};

#endif
