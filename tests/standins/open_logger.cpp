// Registered in the test prefix as the handler for .html files and for http
// and https addresses, so that a case can see what the shell was asked to
// open without a browser: it appends its command line, as UTF-8, to
// C:\kvtest\open.log (the harness makes C:\kvtest for every case).
#include <windows.h>

#include <fstream>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const wchar_t* commandLine = GetCommandLineW();
    const int size = WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, nullptr, 0, nullptr, nullptr);
    std::string line(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, commandLine, -1, &line[0], size, nullptr, nullptr);
    std::ofstream("C:\\kvtest\\open.log", std::ios::app | std::ios::binary) << line << "\r\n";
    return 0;
}
