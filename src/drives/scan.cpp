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

// Lists every virtual drive and offers every free letter but B (kept for the
// floppy it once meant). A virtual drive whose folder the system says is gone
// is deleted: it could only confuse the user. One whose folder merely cannot
// be reached now (a disk not plugged in, a share offline, a folder the user
// may not open) is kept and listed, as is one that subst would not delete.
// The folders are asked about all at once, so that three dead shares hold
// the start no longer than one.
void ScanDrives(Os& os, DriveListView& lsv, SortedList& cmb) {
    std::vector<DriveKind> kinds; // A to Z
    std::vector<std::string> folders;
    for (const char* letter = kDriveLetters; *letter != ';'; ++letter) {
        const auto target = os.QueryDosDevice(DriveName(*letter));
        kinds.push_back(ClassifyTarget(target));
        if (kinds.back() == DriveKind::Virtual)
            folders.push_back(FolderOfTarget(Trim(*target)));
    }
    const std::vector<PathProbe> probes = os.ProbePaths(folders);
    std::size_t probe = 0;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const std::string drive = DriveName(kDriveLetters[i]);
        if (kinds[i] == DriveKind::Virtual) {
            const bool gone = probes[probe++].state == PathProbe::State::Missing;
            if (!gone || !DeleteDrive(os, drive).done)
                lsv.Append(drive);
        } else if (kinds[i] == DriveKind::Free && drive != "B:") {
            cmb.Add(drive);
        }
    }
}

namespace {

template<class List>
int IndexOf(const List& list, const std::string& text) {
    for (int i = 0; i < list.Count(); ++i)
        if (list.Text(i) == text)
            return i;
    return -1;
}

} // namespace

bool RelistLetter(Os& os, DriveListView& lsv, SortedList& cmb, const std::string& drive) {
    const DriveKind kind = ClassifyTarget(os.QueryDosDevice(drive));
    const int row = IndexOf(lsv, drive);
    const int entry = IndexOf(cmb, drive);
    if (kind == DriveKind::Virtual && row < 0)
        lsv.Append(drive);
    if (kind != DriveKind::Virtual && row >= 0)
        lsv.Remove(row);
    const bool offered = kind == DriveKind::Free && drive != "B:";
    if (offered && entry < 0)
        cmb.Add(drive);
    if (!offered && entry >= 0)
        cmb.Remove(entry);
    return !offered && entry >= 0;
}

} // namespace kv
