#pragma once

#include <optional>
#include <string>

#include "platform/os.h"

namespace kv {

// The folder behind a drive as the system stores it; nothing for a free letter.
std::optional<std::string> GetDriveTarget(Os& os, const std::string& drive);
// The same folder in its long form; empty when it cannot be had.
std::string GetDriveLongTarget(Os& os, const std::string& drive);

} // namespace kv
