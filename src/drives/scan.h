#pragma once

#include <optional>
#include <string>

#include "drives/drive_model.h"
#include "platform/os.h"

namespace kv {

enum class DriveKind { Free, Virtual, Device };

// What a letter is, from the first target the device namespace gives for it.
DriveKind ClassifyTarget(const std::optional<std::string>& target);

// The device table at start-up, less every virtual drive whose folder the
// system says is gone (deleted: it could only confuse the user); the saved
// letters are not read here.
DriveSnapshot ScanDrives(Os& os);

} // namespace kv
