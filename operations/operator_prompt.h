#ifndef VOSTREL_OPERATIONS_OPERATOR_PROMPT_H
#define VOSTREL_OPERATIONS_OPERATOR_PROMPT_H

#include <string>

#include "frontend/result_code.h"
#include "operations/cancellation.h"

// Shows instructions and the Enter-or-cancel question, then waits for the
// operator: 0 for Enter, kResultCancelled for c (CancelRequested is then set).
// Without a console to answer, says so and returns as cancelled.
ResultCode PromptOperator(const std::string& instructions);

#endif
