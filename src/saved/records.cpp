#include "saved/records.h"

namespace kv {

// The program folder is joined as it is, so a program at a drive root gives
// "C:\\kordat"; the companion builds the same name.
std::string DataFolder(Os& os) { return os.ProgramFolder() + "\\kordat"; }

std::string RecordPath(Os& os, const std::string& drive)
{
    return DataFolder(os) + "\\" + drive.substr(0, 1) + ".ini";
}

// One line: the folder behind the drive, CR LF. A bare "D:" would mean the
// current folder of D at logon, so it is written as the root "D:\".
bool WriteSavedDrive(Os& os, const std::string& drive, const std::optional<std::string>& target)
{
    if (!target || drive.empty())
        return false;
    std::string path = target->substr(0, target->find('\0'));
    if (path.size() == 2)
        path += '\\';
    return os.WriteFile(RecordPath(os, drive), path + "\r\n");
}

void DeleteSavedDrive(Os& os, const std::string& drive)
{
    if (!drive.empty())
        os.DeleteFile(RecordPath(os, drive));
}

} // namespace kv
