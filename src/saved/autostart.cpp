#include "saved/autostart.h"

#include "saved/records.h"

namespace kv {

namespace {

std::string CompanionPath(Os& os) { return os.ProgramFolder() + "\\" + kCompanion; }

bool RegisteredForEveryone(Os& os, const std::string& command) {
    return os.ReadRegistryText(RegistryRoot::LocalMachine, kRunKey, kRunValue) == command;
}

bool RegisterForEveryone(Os& os, const std::string& command) {
    if (RegisteredForEveryone(os, command))
        return true;
    if (os.WriteRegistryText(RegistryRoot::LocalMachine, kRunKey, kRunValue, command) == RegistryWrite::Written)
        return true;
    const auto startup = os.CommonStartupFolder();
    return startup && os.CopyFile(CompanionPath(os), *startup + "\\" + kCompanion);
}

// Only a value of ours: another copy of Korvane may have registered its own.
void ForgetUserValue(Os& os, const std::string& command) {
    if (os.ReadRegistryText(RegistryRoot::CurrentUser, kRunKey, kRunValue) == command)
        os.DeleteRegistryValue(RegistryRoot::CurrentUser, kRunKey, kRunValue);
}

} // namespace

bool CompanionPresent(Os& os, const std::string& fileName) {
    return os.PathExists(os.ProgramFolder() + "\\" + fileName);
}

// Unquoted, a path with blanks lets Windows try "C:\Program.exe" first.
std::string CompanionCommand(Os& os) {
    const std::string path = CompanionPath(os);
    return path.find(' ') == std::string::npos ? path : '"' + path + '"';
}

bool CompanionIsProtected(Os& os) {
    return os.OnlyAdministratorsCanWrite(os.ProgramFolder()) && os.OnlyAdministratorsCanWrite(CompanionPath(os));
}

void CreateDataFolder(Os& os, bool companionProtected) {
    if (companionProtected && os.IsElevated())
        os.CreateDirectoryForUsers(DataFolder(os));
    else
        os.CreateDirectory(DataFolder(os));
}

// A logon entry for every user runs the companion in administrators'
// sessions too, so it may only name a companion that no one else can
// replace; any other is registered for this user alone, who can replace it
// already. One entry at a time: two companions at a logon would race for
// the same letters.
void RegisterAutoStart(Os& os, bool companionProtected) {
    os.WriteRegistryText(RegistryRoot::CurrentUser, kProgramKey, kProgramFolderValue, os.ProgramFolder());
    const std::string command = CompanionCommand(os);
    if (companionProtected) {
        if (RegisterForEveryone(os, command)) {
            ForgetUserValue(os, command);
            return;
        }
    } else if (RegisteredForEveryone(os, command)) {
        os.DeleteRegistryValue(RegistryRoot::LocalMachine, kRunKey, kRunValue); // only an elevated start may
    }
    os.WriteRegistryText(RegistryRoot::CurrentUser, kRunKey, kRunValue, command);
}

} // namespace kv
