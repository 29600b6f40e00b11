// Registered in the test prefix as the handler for .html files and for http
// and https addresses, so that a case can see what the shell was asked to
// open without a browser: it appends its command line to C:\kvtest\open.log.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CreateDirectoryA("C:\\kvtest", nullptr);
    HANDLE file = CreateFileA("C:\\kvtest\\open.log", FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    const std::string line = std::string(GetCommandLineA()) + "\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
