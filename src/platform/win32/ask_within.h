// Questions to the file system that may not be answered soon: a share whose
// server does not answer, or a network drive that has gone, holds a file call
// for half a minute or more.
#pragma once

#include "platform/win32/win32.h"

#include <string>

namespace kv {

// Asks about a path and answers with a system error code, ERROR_SUCCESS for
// "fine". Runs on a thread of its own, where critical-error boxes are off.
using PathQuestion = DWORD (*)(const std::wstring& path);

// How long the program waits for a drive or folder before taking it as not
// answering.
constexpr DWORD kPathAnswerWaitMs = 3000;

// The question's answer, or ERROR_TIMEOUT when none came within `waitMs`;
// the asking thread is then left to finish on its own.
DWORD AskWithin(PathQuestion question, const std::wstring& path, DWORD waitMs = kPathAnswerWaitMs);

} // namespace kv
