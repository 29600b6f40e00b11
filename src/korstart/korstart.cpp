// korstart.exe: started at logon, it brings the saved drives back and ends.
// It shows nothing: at logon there is nobody to answer a message.
#include "platform/win32/win32.h"

#include "platform/win32/win32_os.h"
#include "saved/restore.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    kv::LoadDllsFromSystemFolderOnly();
    kv::HeadlessOs os;
    kv::RunCompanion(os);
    return 0;
}
