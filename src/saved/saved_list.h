#pragma once

#include <string>

#include "platform/controls.h"
#include "platform/os.h"

namespace kv {

// A saved drive whose letter is no virtual drive now: its folder was not
// there when the program started, or the drive was removed and its record
// could not be.
inline constexpr char kNotPresent[] = " (not present)";

// "X:" for a saved drive that is there, "X: (not present)" for one that is not.
std::string SavedEntry(const std::string& drive, bool present);
bool IsPresentEntry(const std::string& entry);
// The entry of the drive in `lst`, present or not; kNoSelection when none.
int FindSavedEntry(const SortedList& lst, const std::string& drive);

// Adds an entry to `lst` for every record in the data folder, marked not
// present when `lsv` does not list its letter. Records are never deleted
// here: a save goes only when the user forgets it or removes its drive.
void LoadSavedDrives(Os& os, const DriveListView& lsv, SortedList& lst);

} // namespace kv
