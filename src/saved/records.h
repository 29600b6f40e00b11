#pragma once

#include <optional>
#include <string>

#include "platform/os.h"

namespace kv {

std::string DataFolder(Os& os);
std::string RecordPath(Os& os, const std::string& drive);

// False when nothing was written: no target, or the file could not be written.
bool WriteSavedDrive(Os& os, const std::string& drive, const std::optional<std::string>& target);
void DeleteSavedDrive(Os& os, const std::string& drive);

} // namespace kv
