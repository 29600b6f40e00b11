#include "saved/records.h"

#include "saved/record_reader.h"

namespace kv {

// The program folder is joined as it is, so a program at a drive root gives
// "C:\\kordat"; the companion builds the same name.
std::string DataFolder(Os& os) { return os.ProgramFolder() + "\\kordat"; }

std::string RecordPathIn(const std::string& dataFolder, const std::string& drive) {
    return dataFolder + "\\" + drive.substr(0, 1) + ".ini";
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
    const auto ansi = os.ToAnsiExactly(path);
    const std::string line = ansi ? *ansi : kUtf8ByteOrderMark + path;
    return os.WriteFile(RecordPath(os, drive), line + "\r\n");
}

std::optional<std::string> DeleteSavedDrive(Os& os, const std::string& drive) {
    if (drive.empty())
        return std::nullopt;
    return os.DeleteFile(RecordPath(os, drive));
}

} // namespace kv
