#include "platform/win32/console.h"

#include "platform/win32/text.h"

namespace kv {

namespace {

// The console's output code page, as Windows' own console programs write
// redirected text; a process without a console gets the system's default
// for consoles, the OEM code page.
std::string InConsoleCodePage(const std::string& utf8) {
    UINT codePage = ::GetConsoleOutputCP();
    if (codePage == 0)
        codePage = ::GetOEMCP();
    if (codePage == CP_UTF8)
        return utf8;
    const std::wstring wide = Wide(utf8);
    const int size =
        ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size <= 0 || ::WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &bytes[0], size,
                                           nullptr, nullptr) != size)
        return utf8; // a code page the system cannot write in
    return bytes;
}

} // namespace

bool WriteText(DWORD stream, const std::string& utf8, bool utf8WhenRedirected) {
    const HANDLE handle = ::GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || utf8.empty())
        return true;
    DWORD mode = 0;
    DWORD written = 0;
    if (::GetConsoleMode(handle, &mode)) {
        const std::wstring wide = Wide(utf8);
        return ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != FALSE;
    }
    const std::string bytes = utf8WhenRedirected ? utf8 : InConsoleCodePage(utf8);
    return ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::vector<std::string> CommandLineArguments() {
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; words != nullptr && i < count; ++i)
        args.push_back(Utf8(words[i]));
    ::LocalFree(words);
    return args;
}

} // namespace kv
