#pragma once

#include <string>

#include "platform/os.h"

namespace kv {

inline constexpr char kCompanion[] = "korstart.exe";
inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
// Where the companion, started as a copy in the common Startup folder, finds
// the program folder: a value of the user who last started Korvane.
inline constexpr char kProgramKey[] = "Software\\Korvane";
inline constexpr char kProgramFolderValue[] = "ProgramFolder";

bool CompanionPresent(Os& os, const std::string& fileName);
// The companion's command line for a Run value.
std::string CompanionCommand(Os& os);
// Registers the companion to run at every logon.
void RegisterAutoStart(Os& os);

} // namespace kv
