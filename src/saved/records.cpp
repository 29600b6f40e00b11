#include "saved/records.h"

#include "saved/autostart.h"
#include "saved/record_reader.h"

namespace kv {

// A copy its user may change keeps the saves beside itself, as it always
// has. A copy that only administrators may change is shared by every user of
// the machine: a folder beside it would have to let them all write, and then
// one user's records would make drives at another's logon, and anyone could
// delete everyone's saves. So each user keeps their own, in their profile.
// The program folder is joined as it is: a program at a drive root gives
// "C:\\kordat".
std::string DataFolder(Os& os) {
    if (!CompanionIsProtected(os))
        return os.ProgramFolder() + "\\kordat";
    const auto appData = os.LocalAppDataFolder();
    return appData ? *appData + "\\Korvane\\kordat" : std::string();
}

// Without a data folder, no name at all: "\\X.ini" would be a file in the
// current drive's root.
std::string RecordPathIn(const std::string& dataFolder, const std::string& drive) {
    return dataFolder.empty() ? std::string() : dataFolder + "\\" + drive.substr(0, 1) + ".ini";
}

std::string RecordPath(Os& os, const std::string& drive) { return RecordPathIn(DataFolder(os), drive); }

// One line: the folder behind the drive, CR LF. A bare "D:" would mean the
// current folder of D at logon, so it is written as the root "D:\". Records
// stay in the ANSI code page, as older companions read them; a folder that
// code page cannot name is written in UTF-8 behind a byte-order mark instead
// of being saved under a wrong name. A folder the companion would refuse is
// not saved at all: the save would vanish at the next logon.
std::optional<std::string> WriteSavedDrive(Os& os, const std::string& drive, const std::optional<std::string>& target) {
    if (drive.empty())
        return std::string("no drive was given");
    if (!target)
        return std::string("the folder behind it could not be read");
    std::string path = target->substr(0, target->find('\0'));
    if (path.size() == 2)
        path += '\\';
    if (const auto refusal = FolderRefusal(path))
        return "its folder " + path + " " + *refusal;
    const std::string record = RecordPath(os, drive);
    if (record.empty())
        return std::string("there is no folder for this user's saves: LOCALAPPDATA is not set");
    const auto ansi = os.ToAnsiExactly(path);
    const std::string line = ansi ? *ansi : kUtf8ByteOrderMark + path;
    return os.WriteFile(record, line + "\r\n");
}

std::optional<std::string> DeleteSavedDrive(Os& os, const std::string& drive) {
    const std::string record = drive.empty() ? std::string() : RecordPath(os, drive);
    if (record.empty())
        return std::nullopt;
    return os.DeleteFile(record);
}

} // namespace kv
