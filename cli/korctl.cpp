// korctl.exe: Korvane's drives and saves from a command prompt or a script.
#include "platform/win32/win32.h"

#include "cli/command_line.h"
#include "platform/win32/console.h"
#include "platform/win32/win32_os.h"
#include "version.h"

namespace {

// The system services alone: a console program shows no window.
class ConsoleOs final : public kv::Win32System {
public:
    std::optional<std::string> CommonStartupFolder() override { return std::nullopt; }
    int ShellExecute(const char*, const char*, const char*, const char*, int) override { return 0; }
    kv::Answer MessageBox(const std::string&, kv::MsgStyle) override { return kv::Answer::Ok; }
    void Beep() override {}
};

} // namespace

int main()
{
    kv::LoadDllsFromSystemFolderOnly();
    ConsoleOs os;
    const kv::CliResult result = kv::RunCommandLine(os, kv::CommandLineArguments(), KV_VERSION_TEXT);
    kv::WriteText(STD_OUTPUT_HANDLE, result.out);
    kv::WriteText(STD_ERROR_HANDLE, result.err);
    return result.exitCode;
}
