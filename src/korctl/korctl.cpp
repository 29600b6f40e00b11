// korctl.exe: Korvane's drives and saves from a command prompt or a script.
#include "platform/win32/win32.h"

#include "command_line/command_line.h"
#include "platform/win32/console.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_os.h"
#include "version.h"

int main() {
    kv::LoadDllsFromSystemFolderOnly();
    kv::HeadlessOs os;
    const kv::CliResult result = kv::RunCommandLine(os, kv::CommandLineArguments(), KV_VERSION_TEXT);
    // A script must not take a listing cut short by a full disk or a closed
    // pipe for the whole of it.
    if (!kv::WriteText(STD_OUTPUT_HANDLE, result.out, result.outUtf8) && result.exitCode == 0) {
        kv::WriteText(STD_ERROR_HANDLE,
                      "korctl: the output could not be written: " + kv::SystemErrorText(::GetLastError()) + "\n",
                      result.errUtf8);
        return 1;
    }
    kv::WriteText(STD_ERROR_HANDLE, result.err, result.errUtf8);
    return result.exitCode;
}
