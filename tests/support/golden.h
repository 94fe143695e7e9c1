#ifndef VOSTREL_TESTS_SUPPORT_GOLDEN_H
#define VOSTREL_TESTS_SUPPORT_GOLDEN_H

#include <string>
#include <utility>
#include <vector>

// A file's bytes; empty when it is missing. And a file written whole.
std::string FileContents(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);

// MULTIPAIR.INI and its backups as a run left them in the current
// directory, each after a line "--- NAME" (a dialogue's trace ends with
// them).
std::string FilesLeft();

// Golden files live in tests/data and hold the exact bytes expected.
std::string ReadGolden(const std::string& name);

// The blocks of a data file in tests/data: each starts with a line "=== "
// and its title, and holds the lines after it up to the next.
std::vector<std::pair<std::string, std::string>> ReadBlocks(const std::string& name);

// Expects text to equal tests/data/<name>. With VOSTREL_UPDATE_GOLDEN=1 in
// the environment the file is rewritten instead (review the diff!).
void ExpectGolden(const std::string& name, const std::string& text);

#endif
