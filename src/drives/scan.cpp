#include "drives/scan.h"

#include "drives/drive_name.h"
#include "drives/subst.h"

namespace kv {

namespace {

constexpr char kVirtualPrefix[] = "\\??\\";
constexpr char kDevicePrefix[] = "\\Device\\";

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

// A virtual drive's target is "\??\" and its folder; a disk, optical drive or
// network redirector names a "\Device\"; anything else leaves the letter free.
DriveKind ClassifyTarget(const std::optional<std::string>& target)
{
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
void ScanDrives(Os& os, DriveListView& lsv, SortedList& cmb)
{
    for (const char* letter = kDriveLetters; *letter != ';'; ++letter) {
        const std::string drive = DriveName(*letter);
        const auto target = os.QueryDosDevice(drive);
        switch (ClassifyTarget(target)) {
        case DriveKind::Virtual: {
            const std::string folder = FolderOfTarget(Trim(*target));
            const bool gone = os.ProbePath(folder).state == PathProbe::State::Missing;
            if (!gone || !DeleteDrive(os, drive).done)
                lsv.Append(drive);
            break;
        }
        case DriveKind::Free:
            if (*letter != 'B')
                cmb.Add(drive);
            break;
        case DriveKind::Device:
            break;
        }
    }
}

namespace {

template <class List>
int IndexOf(const List& list, const std::string& text)
{
    for (int i = 0; i < list.Count(); ++i)
        if (list.Text(i) == text)
            return i;
    return -1;
}

} // namespace

bool RelistLetter(Os& os, DriveListView& lsv, SortedList& cmb, const std::string& drive)
{
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
