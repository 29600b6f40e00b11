#pragma once

#include <optional>
#include <string>

#include "platform/os.h"

namespace kv {

// The folder behind a drive as the system stores it; nothing for a free letter.
std::optional<std::string> GetDriveTarget(Os& os, const std::string& drive);
// The same folder in its long form; empty when it cannot be had.
std::string GetDriveLongTarget(Os& os, const std::string& drive);

// Whether a target's long form has to be asked for at all.
bool NeedsLongForm(const std::string& target);
// What stands for the target once the system gave its long form (or had
// none, for a folder that is gone: then nothing). A long form of `limit`
// characters or more, too long for where it goes, gives the target itself.
std::string LongTargetOf(const std::string& target, const std::optional<std::string>& longForm,
                         std::size_t limit = std::string::npos);
// Folders the shell is handed: the long form where it fits a plain path.
constexpr std::size_t kShellPathLimit = 260;

} // namespace kv
