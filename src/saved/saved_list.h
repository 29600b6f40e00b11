#pragma once

#include <set>
#include <string>

#include "platform/os.h"

namespace kv {

// A saved drive whose letter is no virtual drive now: its folder was not
// there when the program started, or the drive was removed and its record
// could not be.
inline constexpr char kNotPresent[] = " (not present)";

// "X:" for a saved drive that is there, "X: (not present)" for one that is not.
std::string SavedEntry(const std::string& drive, bool present);

// The letters that have a record file in the data folder, whatever it holds.
// Records are never deleted here: a save goes only when the user forgets it
// or removes its drive.
std::set<char> SavedLetters(Os& os);

} // namespace kv
