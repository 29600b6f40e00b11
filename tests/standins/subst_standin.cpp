// Test stand-in for the system's subst.exe, installed into the Wine prefix
// only: Wine ships a stub that maps nothing. It maps and unmaps drive letters
// the way the real tool does for the command lines Korvane gives it, any
// folder name included, and logs every command line (as UTF-8) to
// C:\kvtest\subst.log so the end-to-end cases can check what was asked.
// While C:\kvtest\subst-refuses.txt holds a line it refuses every request
// with that line, as the real tool does when the system will not let it.
// The harness makes C:\kvtest for every case; elsewhere nothing is logged.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string Utf8(const std::wstring& wide) {
    if (wide.empty())
        return "";
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], size, nullptr, nullptr);
    return out;
}

// The command line after the program's own name, which Korvane quotes as it
// starts subst.exe by its full path.
std::wstring ArgumentTail() {
    const std::wstring line = GetCommandLineW();
    const size_t closing = line.find(L'"', 1);
    return closing == std::wstring::npos ? L"" : line.substr(closing + 1);
}

// The first line of the refusal file, or "" when the stand-in may act.
std::string Refusal() {
    std::ifstream file("C:\\kvtest\\subst-refuses.txt");
    std::string line;
    std::getline(file, line);
    return line.substr(0, line.find('\r'));
}

std::wstring Trim(const std::wstring& s) {
    const auto first = s.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return L"";
    const auto last = s.find_last_not_of(L" \t");
    return s.substr(first, last - first + 1);
}

// What the letter stands for: "\\??\\" and a folder for a virtual drive, ""
// when the letter is free.
std::wstring Device(const std::wstring& drive) {
    wchar_t buffer[MAX_PATH * 2] = {};
    return QueryDosDeviceW(drive.c_str(), buffer, MAX_PATH * 2) ? buffer : L"";
}

bool IsDriveName(const std::wstring& s) { return s.size() == 2 && s[1] == L':' && IsCharAlphaW(s[0]); }

int Fail(const std::string& message) {
    std::printf("%s\n", message.c_str());
    return 1;
}

int Unmap(const std::wstring& drive) {
    if (Device(drive).compare(0, 4, L"\\??\\") != 0)
        return Fail("Invalid parameter - " + Utf8(drive));
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive.c_str(), nullptr);
    return 0;
}

int Map(const std::wstring& drive, const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("Path not found - " + Utf8(path));
    if (!Device(drive).empty())
        return Fail("Drive already SUBSTed");
    if (!DefineDosDeviceW(0, drive.c_str(), path.c_str()))
        return Fail("Path not found - " + Utf8(path));
    return 0;
}

} // namespace

int main() {
    const std::wstring args = Trim(ArgumentTail());
    std::ofstream("C:\\kvtest\\subst.log", std::ios::app | std::ios::binary) << Utf8(args) << "\r\n";
    const std::string refusal = Refusal();
    if (!refusal.empty())
        return Fail(refusal);

    const auto blank = args.find_first_of(L" \t");
    const std::wstring drive = args.substr(0, blank);
    const std::wstring rest = blank == std::wstring::npos ? L"" : Trim(args.substr(blank));
    if (!IsDriveName(drive))
        return Fail("Invalid parameter - " + Utf8(drive));
    if (rest.empty())
        return Fail("Incorrect number of parameters - " + Utf8(args));
    if (rest == L"/D" || rest == L"/d")
        return Unmap(drive);

    std::wstring path = rest;
    if (path.front() == L'"') {
        const auto close = path.find(L'"', 1);
        if (close == std::wstring::npos || Trim(path.substr(close + 1)) != L"")
            return Fail("Invalid parameter - " + Utf8(path));
        path = path.substr(1, close - 1);
    } else {
        // Like the real tool: an unquoted blank splits the path into two arguments.
        const auto split = path.find_first_of(L" \t");
        if (split != std::wstring::npos)
            return Fail("Incorrect number of parameters - " + Utf8(Trim(path.substr(split))));
    }
    return Map(drive, path);
}
