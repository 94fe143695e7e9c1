#ifndef VOSTREL_TESTS_SUPPORT_OPS_HELPERS_H
#define VOSTREL_TESTS_SUPPORT_OPS_HELPERS_H

// Small checks on what an operation printed and sent, for tests that look
// at a few lines rather than a whole transcript.

#include <algorithm>
#include <string>
#include <vector>

#include "adapter_model.h"

namespace ops_test {

inline bool EndsWith(const std::string& text, const std::string& ending) {
  return text.size() >= ending.size() &&
         text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

// The commands the adapter executed since its firmware was last read: those
// of the operation itself, once the link is up.
inline std::vector<std::string> CommandsAfterLink(const sim::Adapter& adapter) {
  const std::vector<std::string>& executed = adapter.executedCommands();
  const auto firmwareRead = std::find(executed.rbegin(), executed.rend(), "ATI?").base();
  return std::vector<std::string>(firmwareRead, executed.end());
}

}  // namespace ops_test

#endif
