#include "saved/restore.h"

#include "drives/drive_name.h"
#include "drives/subst.h"
#include "saved/autostart.h"
#include "saved/record_reader.h"
#include "saved/records.h"

namespace kv {

std::optional<std::string> CompanionDataFolder(Os& os)
{
    const std::string beside = DataFolder(os);
    if (os.PathExists(beside))
        return beside;
    const auto programFolder = os.ReadRegistryText(RegistryRoot::CurrentUser, kProgramKey, kProgramFolderValue);
    if (programFolder && !programFolder->empty() && os.PathExists(*programFolder + "\\kordat"))
        return *programFolder + "\\kordat";
    return std::nullopt;
}

int RestoreSavedDrives(Os& os)
{
    const auto dataFolder = CompanionDataFolder(os);
    if (!dataFolder)
        return 0;
    const AnsiDecoder fromAnsi = [&os](const std::string& bytes) { return os.FromAnsi(bytes); };
    std::vector<DriveRequest> requests;
    for (const char* letter = kDriveLetters; *letter != ';'; ++letter) {
        const std::string drive = DriveName(*letter);
        const auto bytes = os.ReadFile(RecordPathIn(*dataFolder, drive), kMaxRecordBytes);
        if (!bytes)
            continue;
        const auto folder = ReadRecord(*bytes, fromAnsi);
        if (!folder || os.QueryDosDevice(drive))
            continue;
        requests.push_back({drive, *folder});
    }
    int restored = 0;
    for (const SubstOutcome& outcome : DefineDrives(os, requests))
        restored += outcome.done ? 1 : 0;
    return restored;
}

} // namespace kv
