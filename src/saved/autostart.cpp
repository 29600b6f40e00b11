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

// The first answer stands for the whole process, even when two threads ask
// at once: the data folder must not move under a running program.
bool CompanionIsProtected(Os& os) {
    int known = os.companionProtected.load();
    if (known < 0) {
        const int read = os.OnlyAdministratorsCanWrite(CompanionPath(os)) ? 1 : 0;
        known = os.companionProtected.compare_exchange_strong(known, read) ? read : known;
    }
    return known == 1;
}

void CreateDataFolder(Os& os) {
    const std::string folder = DataFolder(os);
    if (folder.empty())
        return;
    if (CompanionIsProtected(os))
        os.CreateDirectory(folder.substr(0, folder.rfind('\\')));
    os.CreateDirectory(folder);
}

// A logon entry for every user runs the companion in administrators'
// sessions too, so it may only name a companion that no one else can
// replace; any other is registered for this user alone, who can replace it
// already. One entry at a time: two companions at a logon would race for
// the same letters.
void RegisterAutoStart(Os& os) {
    const std::string command = CompanionCommand(os);
    if (CompanionIsProtected(os)) {
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
