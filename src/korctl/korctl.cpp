// korctl.exe: Korvane's drives and saves from a command prompt or a script.
#include "platform/win32/win32.h"

#include "command_line/command_line.h"
#include "platform/win32/console.h"
#include "platform/win32/win32_os.h"
#include "version.h"

int main() {
    kv::LoadDllsFromSystemFolderOnly();
    kv::HeadlessOs os;
    const kv::CliResult result = kv::RunCommandLine(os, kv::CommandLineArguments(), KV_VERSION_TEXT);
    kv::WriteText(STD_OUTPUT_HANDLE, result.out);
    kv::WriteText(STD_ERROR_HANDLE, result.err);
    return result.exitCode;
}
