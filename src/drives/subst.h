#pragma once

#include <string>

#include "platform/controls.h"
#include "platform/os.h"

namespace kv {

// Full path of subst.exe as SubstPresent tested it; empty before.
extern std::string SubstPath;

bool SubstPresent(Os& os);

// The folder as it goes on subst's command line.
std::string SubstFolderArgument(Os& os, const std::string& folder);

// Starts subst.exe hidden with the parameters, by name and then by full path.
// False when neither launch started it.
bool LaunchSubst(Os& os, const std::string& parameters);

bool DeleteDrive(Os& os, const std::string& drive);
void CreateDrive(Os& os, ComboBox& cmb, DriveListView& lsv, const FolderChooser& dir);

} // namespace kv
