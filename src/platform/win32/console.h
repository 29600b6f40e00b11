// Text for a console program's standard output and error.
#pragma once

#include "platform/win32/win32.h"

#include <string>
#include <vector>

namespace kv {

// UTF-16 through WriteConsoleW on a console, so that every name shows as it
// is whatever the console's code page. Redirected to a file or a pipe, in
// the console's output code page, where a letter it lacks becomes '?', as
// Windows' own console programs write; or the UTF-8 bytes themselves when
// asked. False when the text could not be written.
bool WriteText(DWORD stream, const std::string& utf8, bool utf8WhenRedirected);

// The program's arguments, without its own name, in UTF-8.
std::vector<std::string> CommandLineArguments();

} // namespace kv
