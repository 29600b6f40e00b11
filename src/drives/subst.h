#pragma once

#include <string>
#include <vector>

#include "platform/os.h"

namespace kv {

// Full path of subst.exe as SubstPresent tested it; empty before.
extern std::string SubstPath;

bool SubstPresent(Os& os);

std::string SubstFolderArgument(Os& os, const std::string& folder);

// Whether subst.exe did what it was asked, judged by the device namespace
// afterwards; when not, why, in words for the user.
struct SubstOutcome {
    bool done = false;
    std::string why;
};

// Makes the letter stand for the folder.
SubstOutcome MakeDrive(Os& os, const std::string& drive, const std::string& folder);

struct DriveRequest {
    std::string drive, folder;
};
// Makes the drive as subst.exe would, without starting it. `folderAnswered`
// false: the folder did not answer, so nothing more is asked of it.
SubstOutcome DefineDrive(Os& os, const DriveRequest& request, bool folderAnswered);
// Frees the letter of a virtual drive.
SubstOutcome DeleteDrive(Os& os, const std::string& drive);

} // namespace kv
