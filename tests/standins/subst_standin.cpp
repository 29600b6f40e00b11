// Test stand-in for the system's subst.exe, installed into the Wine prefix
// only: Wine ships a stub that maps nothing. It maps and unmaps drive letters
// the way the real tool does for the command lines Korvane gives it, any
// folder name included, and logs every command line (as UTF-8) so the
// end-to-end cases can check what was asked. While C:\kvtest\subst-refuses.txt
// exists it refuses every request with the text of that file, as the real
// tool does when the system will not let it.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

const wchar_t kLogFolder[] = L"C:\\kvtest";
const wchar_t kLogFile[] = L"C:\\kvtest\\subst.log";
const wchar_t kRefusalFile[] = L"C:\\kvtest\\subst-refuses.txt";

std::string Utf8(const std::wstring& wide) {
    if (wide.empty())
        return "";
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], size, nullptr, nullptr);
    return out;
}

// The command line after the program's own name, as the launcher passed it.
std::wstring ArgumentTail() {
    const wchar_t* p = GetCommandLineW();
    if (*p == L'"') {
        ++p;
        while (*p && *p != L'"')
            ++p;
        if (*p == L'"')
            ++p;
    } else {
        while (*p && *p != L' ' && *p != L'\t')
            ++p;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return p;
}

void AppendToLog(const std::wstring& line) {
    CreateDirectoryW(kLogFolder, nullptr);
    HANDLE file = CreateFileW(kLogFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string text = Utf8(line) + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// The first line of the refusal file, or "" when the stand-in may act.
std::string Refusal() {
    HANDLE file = CreateFileW(kRefusalFile, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    char text[256] = {};
    DWORD read = 0;
    ReadFile(file, text, sizeof text - 1, &read, nullptr);
    CloseHandle(file);
    std::string line(text, read);
    line = line.substr(0, line.find_first_of("\r\n"));
    return line.empty() ? "Access denied" : line;
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
    const std::wstring tail = ArgumentTail();
    AppendToLog(tail);

    const std::wstring args = Trim(tail);
    const std::string refusal = Refusal();
    if (!refusal.empty())
        return Fail(refusal);

    const auto blank = args.find_first_of(L" \t");
    std::wstring drive = args.substr(0, blank);
    std::wstring rest = blank == std::wstring::npos ? L"" : Trim(args.substr(blank));
    if (!IsDriveName(drive))
        return Fail("Invalid parameter - " + Utf8(drive));
    if (drive[0] >= L'a' && drive[0] <= L'z')
        drive[0] = static_cast<wchar_t>(drive[0] - L'a' + L'A');

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
