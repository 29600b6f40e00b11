#pragma once

#include <string>

#include "platform/controls.h"
#include "platform/os.h"

namespace kv {

std::string SubstMissingMessage(const std::string& substPath);
std::string CompanionMissingMessage(const std::string& programFolder);

// The start-up work behind the splash window, in two parts: the checks whose
// messages come before the splash shows (false when the program must end),
// and the work the user does not see, done once the splash is up.
bool CheckStartupFiles(Os& os);
void PrepareLists(Os& os, DriveListView& lsv, ComboBox& cmb, SortedList& lst);
// Both parts in one go. False when the program must end.
bool RunStartup(Os& os, DriveListView& lsv, ComboBox& cmb, SortedList& lst);

} // namespace kv
