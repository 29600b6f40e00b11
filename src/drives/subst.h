#pragma once

#include <string>

#include "platform/controls.h"
#include "platform/os.h"

namespace kv {

// Full path of subst.exe as SubstPresent tested it; empty before.
extern std::string SubstPath;

bool SubstPresent(Os& os);

std::string SubstFolderArgument(Os& os, const std::string& folder);

bool LaunchSubst(Os& os, const std::string& parameters);

bool DeleteDrive(Os& os, const std::string& drive);
bool CreateDrive(Os& os, ComboBox& cmb, DriveListView& lsv, const FolderChooser& dir);

} // namespace kv
