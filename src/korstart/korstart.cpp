// korstart.exe: started at logon, it brings the saved drives back and ends.
// It shows nothing: at logon there is nobody to answer a message.
#include "platform/win32/win32.h"

#include "platform/win32/win32_os.h"
#include "saved/restore.h"
#include "saved/scopes.h"

// With "--all-users X:" it is the one-shot task of a save for all users, run
// as SYSTEM: the letter for every session follows the system's value, and
// the exit code tells the task how that went.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    kv::LoadDllsFromSystemFolderOnly();
    kv::HeadlessOs os;
    if (const auto drive = kv::AllUsersDriveArgument(arguments != nullptr ? arguments : "")) {
        return kv::ApplyAllUsersDrive(os, *drive);
    }
    kv::RunCompanion(os);
    return 0;
}
