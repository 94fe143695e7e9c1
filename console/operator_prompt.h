#ifndef VOSTREL_CONSOLE_OPERATOR_PROMPT_H
#define VOSTREL_CONSOLE_OPERATOR_PROMPT_H

#include <cstddef>
#include <initializer_list>
#include <string>

#include "result_code.h"
#include "run_state.h"

// Shows instructions and the Enter-or-cancel question, then waits for the
// operator: 0 for Enter, kResultCancelled for c (CancelRequested is then set).
// Without a console to answer, says so and returns as cancelled. When the
// open port goes away meanwhile, returns kResultCancelled at once with
// PortLost set.
ResultCode PromptOperator(const std::string& instructions);

// Instructions as the prompts show them: an empty line, a frame of stars,
// the lines, the frame again and an empty line.
std::string InstructionBlock(size_t stars, std::initializer_list<std::string> lines);

#endif
