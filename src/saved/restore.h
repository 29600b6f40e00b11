// What the companion korstart.exe does at logon: bring the saved drives back.
#pragma once

#include <optional>
#include <string>

#include "platform/os.h"

namespace kv {

// The data folder beside the companion, or, for the copy in the common Startup
// folder, the one in the program folder that Korvane last noted for this user.
std::optional<std::string> CompanionDataFolder(Os& os);

// Makes each saved letter stand for its record's folder again. Letters in use
// and records that name no folder are passed over; records are only read.
// Returns how many drives came back.
int RestoreSavedDrives(Os& os);

} // namespace kv
