#pragma once

#include <string>

#include "platform/controls.h"
#include "platform/os.h"

namespace kv {

std::string SubstMissingMessage(const std::string& substPath);
std::string CompanionMissingMessage(const std::string& programFolder);

// The start-up work behind the splash window. False when the program must end.
bool RunStartup(Os& os, DriveListView& lsv, ComboBox& cmb, SortedList& lst);

} // namespace kv
