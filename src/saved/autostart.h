#pragma once

#include <string>

#include "platform/os.h"

namespace kv {

inline constexpr char kCompanion[] = "korstart.exe";
inline constexpr char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr char kRunValue[] = "Korvane";

bool CompanionPresent(Os& os, const std::string& fileName);
// The companion's command line for a Run value.
std::string CompanionCommand(Os& os);
// True when nobody but the administrators can replace the companion, put a
// file beside it or move a folder it lies in. Read once a process and kept.
bool CompanionIsProtected(Os& os);
// This user's data folder, with the folder above it when that is the user's own.
void CreateDataFolder(Os& os);
// Registers the companion to run at logon: for every user when it is
// protected, otherwise for this user only.
void RegisterAutoStart(Os& os);

} // namespace kv
