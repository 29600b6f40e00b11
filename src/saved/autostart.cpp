#include "saved/autostart.h"

namespace kv {

namespace {

constexpr char kRunValue[] = "Korvane";

std::string CompanionPath(Os& os) { return os.ProgramFolder() + "\\" + kCompanion; }

} // namespace

bool CompanionPresent(Os& os, const std::string& fileName)
{
    return os.PathExists(os.ProgramFolder() + "\\" + fileName);
}

// Unquoted, a path with blanks lets Windows try "C:\Program.exe" first.
std::string CompanionCommand(Os& os)
{
    const std::string path = CompanionPath(os);
    return path.find(' ') == std::string::npos ? path : '"' + path + '"';
}

// Machine-wide first, so that every user's saved drives come back; then the
// common Startup folder; and when a standard user may write neither, the
// user's own Run key, so that at least this user's logon brings them back.
// A value refused after its key was opened is not retried elsewhere.
void RegisterAutoStart(Os& os)
{
    os.WriteRegistryText(RegistryRoot::CurrentUser, kProgramKey, kProgramFolderValue, os.ProgramFolder());
    const std::string command = CompanionCommand(os);
    if (os.WriteRegistryText(RegistryRoot::LocalMachine, kRunKey, kRunValue, command) != RegistryWrite::KeyRefused)
        return;
    if (const auto startup = os.CommonStartupFolder())
        if (os.CopyFile(CompanionPath(os), *startup + "\\" + kCompanion))
            return;
    os.WriteRegistryText(RegistryRoot::CurrentUser, kRunKey, kRunValue, command);
}

} // namespace kv
