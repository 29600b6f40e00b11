// korstart.exe: started at logon, it brings the saved drives back and ends.
// It shows nothing: at logon there is nobody to answer a message.
#include "platform/win32/win32.h"

#include "platform/win32/win32_os.h"
#include "saved/restore.h"

namespace {

// The system services alone: no message box, no shell, no window.
class CompanionOs final : public kv::Win32System {
public:
    std::optional<std::string> CommonStartupFolder() override { return std::nullopt; }
    int ShellExecute(const char*, const char*, const char*, const char*, int) override { return 0; }
    kv::Answer MessageBox(const std::string&, kv::MsgStyle) override { return kv::Answer::Ok; }
    void Beep() override {}
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    kv::LoadDllsFromSystemFolderOnly();
    CompanionOs os;
    kv::RunCompanion(os);
    return 0;
}
