// Questions to the file system that may not be answered soon: a share whose
// server does not answer, or a network drive that has gone, holds a file call
// for half a minute or more.
#pragma once

#include "platform/win32/win32.h"

#include <functional>
#include <string>
#include <vector>

#include "platform/os.h"

namespace kv {

// Asks about a path; answers with a system error code (ERROR_SUCCESS for
// "fine") and may put a text in `text`. Runs on a thread of its own, where
// critical-error boxes are off.
using PathQuestion = DWORD (*)(const std::wstring& path, std::wstring& text);

struct PathAnswer {
    DWORD error = ERROR_TIMEOUT; // ERROR_TIMEOUT when no answer came in time
    std::wstring text;
};

using Answered = std::function<void(std::size_t index, const PathAnswer& answer)>;

// The answers that came within `waitMs`, all questions asked at once, each
// also handed to `answered` as it comes; a thread still asking then is left
// to finish on its own.
std::vector<PathAnswer> AskAllWithin(PathQuestion question, const std::vector<std::wstring>& paths,
                                     DWORD waitMs = kPathAnswerWaitMs, const Answered& answered = nullptr);
PathAnswer AskWithin(PathQuestion question, const std::wstring& path, DWORD waitMs = kPathAnswerWaitMs);

} // namespace kv
