#pragma once

#include "platform/controls.h"
#include "platform/os.h"

namespace kv {

// Deletes the record of every saved drive that is not among the rows of `lsv`.
void SyncSavedDrives(Os& os, const DriveListView& lsv);
// Adds an entry "X:" to `lst` for every record in the data folder.
void LoadSavedDrives(Os& os, SortedList& lst);

} // namespace kv
