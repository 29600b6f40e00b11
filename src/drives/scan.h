#pragma once

#include <optional>
#include <string>

#include "platform/controls.h"
#include "platform/os.h"

namespace kv {

enum class DriveKind { Free, Virtual, Device };

// What a letter is, from the first target the device namespace gives for it.
DriveKind ClassifyTarget(const std::optional<std::string>& target);

void ScanDrives(Os& os, DriveListView& lsv, SortedList& cmb);

} // namespace kv
