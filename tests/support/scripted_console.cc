#include "scripted_console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {
// A prompt still waiting after this many empty polls has run out of script.
constexpr int kMaxEmptyPolls = 100000;
constexpr int kCancelKey = 99;
}  // namespace

ScriptedConsole::ScriptedConsole() { platform::SetConsole(this); }

ScriptedConsole::~ScriptedConsole() { platform::SetConsole(nullptr); }

void ScriptedConsole::TypeAhead(const std::vector<int>& codes) {
  pending_.insert(pending_.end(), codes.begin(), codes.end());
}

void ScriptedConsole::AnswerPrompt(const std::vector<int>& codes, std::function<void()> action) {
  answers_.push_back(Answer{codes, std::move(action)});
}

bool ScriptedConsole::BeginKeys() {
  ++promptsShown_;
  if (noConsole_) return false;
  EXPECT_FALSE(keysActive_) << "BeginKeys twice without EndKeys";
  keysActive_ = true;
  answerArmed_ = false;
  emptyPolls_ = 0;
  return true;
}

void ScriptedConsole::EndKeys() { keysActive_ = false; }

bool ScriptedConsole::KeyAvailable() {
  EXPECT_TRUE(keysActive_) << "keys read outside BeginKeys/EndKeys";
  if (!pending_.empty()) {
    const bool arrived = !answerComing_;
    answerComing_ = false;
    return arrived;
  }
  if (!answerArmed_ && !answers_.empty()) {
    answerArmed_ = true;
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    if (answer.action) answer.action();
    pending_.insert(pending_.end(), answer.codes.begin(), answer.codes.end());
    answerComing_ = true;
    return false;
  }
  if (++emptyPolls_ == kMaxEmptyPolls) {
    // End the prompt so that the test fails instead of waiting for ever.
    ADD_FAILURE() << "prompt " << promptsShown_ << " is still waiting: the script has no answer";
    pending_.push_back(kCancelKey);
  }
  if (emptyPolls_ > 2 * kMaxEmptyPolls) {
    // Not even c ends this prompt: stop rather than hang.
    std::fprintf(stderr, "prompt %d takes neither the script's keys nor c\n", promptsShown_);
    std::abort();
  }
  return !pending_.empty();
}

int ScriptedConsole::ReadKey() {
  EXPECT_TRUE(keysActive_) << "keys read outside BeginKeys/EndKeys";
  if (pending_.empty()) {
    ADD_FAILURE() << "ReadKey with no key waiting would block for ever";
    return kCancelKey;
  }
  const int code = pending_.front();
  pending_.pop_front();
  return code;
}
