// Who may change a file and the folders it lies in, read from their security
// descriptors in the system's text form (SDDL, "O:BAD:PAI(A;;FA;;;SY)..."):
// what decides whether a program may be started in every user's session.
// Plain C++, so that the decision is tested on descriptors as Windows writes
// them; platform/win32 reads the descriptors.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kv {

// The path, then each folder above it up to its drive's root:
// "C:\a\b.exe" gives "C:\a\b.exe", "C:\a", "C:\". Nothing for a path that
// does not start at a drive letter's root (a share, a device path).
std::vector<std::string> PathAndFoldersAbove(const std::string& path);

// `chain` holds the descriptors of a file and of each folder above it, as
// PathAndFoldersAbove names them, each with its owner and DACL; nothing for
// one that could not be read. True when no one but Administrators, SYSTEM
// and TrustedInstaller can replace the file, put a file beside it, or
// rename, remove or re-permit any folder on the way to it.
bool OnlyAdministratorsCanChange(const std::vector<std::optional<std::string>>& chain);

} // namespace kv
