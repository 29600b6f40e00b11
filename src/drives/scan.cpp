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

// Lists the virtual drives whose folder can still be entered and offers every
// free letter but B (kept for the floppy it once meant). A virtual drive whose
// folder has gone is deleted: it could only confuse the user. The folder test
// changes the process's current directory, so it is put back after each one.
void ScanDrives(Os& os, DriveListView& lsv, SortedList& cmb)
{
    const std::string startDirectory = os.CurrentDirectory();
    for (const char* letter = kDriveLetters; *letter != ';'; ++letter) {
        const std::string drive = DriveName(*letter);
        const auto target = os.QueryDosDevice(drive);
        switch (ClassifyTarget(target)) {
        case DriveKind::Virtual: {
            const std::string folder = Trim(*target).substr(4);
            if (os.SetCurrentDirectory(folder))
                lsv.Append(drive);
            else
                DeleteDrive(os, drive);
            os.SetCurrentDirectory(startDirectory);
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

} // namespace kv
