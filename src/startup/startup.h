#pragma once

#include <string>

#include "drives/drive_model.h"
#include "platform/os.h"

namespace kv {

std::string SubstMissingMessage(const std::string& substPath);
std::string CompanionMissingMessage(const std::string& programFolder);

// The start-up work behind the splash window, in two parts: the checks whose
// messages come before the splash shows (false when the program must end),
// and the work the user does not see, done once the splash is up, away from
// the window's thread; it gives what the lists are to show.
bool CheckStartupFiles(Os& os);
DriveSnapshot PrepareDrives(Os& os);

} // namespace kv
