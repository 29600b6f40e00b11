// korctl.exe, the command line for scripts and setup: the same drives and
// saves as the window makes, without one.
#pragma once

#include <string>
#include <vector>

#include "platform/os.h"

namespace kv {

struct CliResult {
    int exitCode = 0;
    std::string out; // for standard output, UTF-8
    std::string err; // one line for standard error when the command failed
    // Redirected text goes out in the console's output code page, as scripts
    // that read a console program's output expect, unless UTF-8 was asked
    // for: JSON is UTF-8 by definition.
    bool outUtf8 = false, errUtf8 = false;
};

// Runs one command line (without the program's name) and says what to print.
CliResult RunCommandLine(Os& os, const std::vector<std::string>& args, const std::string& version);

} // namespace kv
