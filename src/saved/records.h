#pragma once

#include <optional>
#include <string>

#include "platform/os.h"

namespace kv {

// Where this user's saves live, for Korvane, the companion and the command
// line alike: beside the program for a copy its users may change, in the
// user's own %LOCALAPPDATA%\Korvane\kordat for one that only administrators
// may. Empty when an installed copy finds no such folder named.
std::string DataFolder(Os& os);
std::string RecordPath(Os& os, const std::string& drive);
// The record of a drive in the given data folder; empty when there is none.
std::string RecordPathIn(const std::string& dataFolder, const std::string& drive);

// Nothing when the record was written; otherwise why not, in words for the user.
std::optional<std::string> WriteSavedDrive(Os& os, const std::string& drive, const std::optional<std::string>& target);
// Nothing when no record is left for the drive; otherwise why one is.
std::optional<std::string> DeleteSavedDrive(Os& os, const std::string& drive);

} // namespace kv
