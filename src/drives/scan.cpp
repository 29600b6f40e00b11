#include "drives/scan.h"

#include <vector>

#include "drives/drive_name.h"
#include "drives/subst.h"

namespace kv {

namespace {

constexpr char kVirtualPrefix[] = "\\??\\";
constexpr char kDevicePrefix[] = "\\Device\\";

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

// A virtual drive's target is "\??\" and its folder; a disk, optical drive or
// network redirector names a "\Device\"; anything else leaves the letter free.
DriveKind ClassifyTarget(const std::optional<std::string>& target) {
    if (!target)
        return DriveKind::Free;
    if (StartsWith(Trim(*target), kVirtualPrefix))
        return DriveKind::Virtual;
    if (StartsWith(*target, kDevicePrefix))
        return DriveKind::Device;
    return DriveKind::Free;
}

// One whose folder merely cannot be reached now (a disk not plugged in, a
// share offline, a folder the user may not open) is kept, as is one that
// subst would not delete. The folders are asked about all at once, so that
// three dead shares hold the start no longer than one.
DriveSnapshot ScanDrives(Os& os) {
    DriveSnapshot now;
    std::vector<int> virtualLetters;
    std::vector<std::string> folders;
    for (int i = 0; i < 26; ++i) {
        now.targets[i] = os.QueryDosDevice(DriveName(kDriveLetters[i]));
        if (ClassifyTarget(now.targets[i]) == DriveKind::Virtual) {
            virtualLetters.push_back(i);
            folders.push_back(FolderOfTarget(Trim(*now.targets[i])));
        }
    }
    // A drive whose folder is gone is deleted as soon as that is known, while
    // the other folders may still be waited for: subst's start then costs
    // the start-up nothing.
    os.ProbePaths(folders, [&](std::size_t i, const PathProbe& probe) {
        const int letter = virtualLetters[i];
        if (probe.state == PathProbe::State::Missing && DeleteDrive(os, DriveName(kDriveLetters[letter])).done)
            now.targets[letter].reset();
    });
    return now;
}

} // namespace kv
