// The names Explorer shows for the letters of saved drives ("Photos (P:)"
// rather than "Local Disk (P:)"). Explorer cannot rename a virtual drive, but
// it reads a default label for a letter from the registry. The label belongs
// to the letter, not to the drive, so Korvane keeps its own note of what it
// wrote and takes a label away only while it is still that text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "platform/os.h"

namespace kv {

// As Windows counts characters (UTF-16 units), as the label field does.
inline constexpr std::size_t kLabelMaxChars = 32;

// Whose Explorer shows the label: this user's, or every user's of the machine
// for a drive saved for all users (that needs elevation).
enum class LabelScope { User, AllUsers };

// The text to store for what the user typed: blanks at either end dropped.
// "" means no label.
std::string LabelText(const std::string& typed);
// Why the text cannot be a label; nothing when it can.
std::optional<std::string> LabelRefusal(const std::string& label);

// The label Explorer shows for the drive's letter, whoever wrote it; "" for none.
std::string DriveLabel(Os& os, const std::string& drive, LabelScope scope);
// Gives the letter the label ("" takes any label away) and tells Explorer.
// Nothing when done; otherwise why not.
std::optional<std::string> SetDriveLabel(Os& os, const std::string& drive, const std::string& typed, LabelScope scope);
// The save or the drive has gone: takes away the label Korvane wrote for the
// letter, unless someone has changed it since. Nothing when that is done.
std::optional<std::string> ForgetDriveLabel(Os& os, const std::string& drive, LabelScope scope);

} // namespace kv
