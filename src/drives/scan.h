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

// Reads one letter afresh and makes `lsv` and `cmb` agree with it: a row for a
// virtual drive, an entry for a free letter (but B), neither for a device.
// True when `cmb` lost its entry for the letter.
bool RelistLetter(Os& os, DriveListView& lsv, SortedList& cmb, const std::string& drive);

} // namespace kv
