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
};

// Runs one command line (without the program's name) and says what to print.
CliResult RunCommandLine(Os& os, const std::vector<std::string>& args, const std::string& version);

} // namespace kv
