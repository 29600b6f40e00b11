#pragma once

#include <string>

#include "platform/os.h"

namespace kv {

inline constexpr char kCompanion[] = "korstart.exe";
inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValue[] = "Korvane";
// Where the companion, started as a copy in the common Startup folder, finds
// the program folder: a value of the user who last started Korvane.
inline constexpr char kProgramKey[] = "Software\\Korvane";
inline constexpr char kProgramFolderValue[] = "ProgramFolder";

bool CompanionPresent(Os& os, const std::string& fileName);
// The companion's command line for a Run value.
std::string CompanionCommand(Os& os);
// True when nobody but the administrators can replace the companion or put
// a file beside it.
bool CompanionIsProtected(Os& os);
// The data folder, made so that every user may save drives when an
// administrator starts a copy that all users share.
void CreateDataFolder(Os& os, bool companionProtected);
// Registers the companion to run at logon: for every user when it is
// protected, otherwise for this user only.
void RegisterAutoStart(Os& os, bool companionProtected);

} // namespace kv
