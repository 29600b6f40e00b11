// Test stand-in for the system's subst.exe, installed into the Wine prefix
// only: Wine ships a stub that maps nothing. It maps and unmaps drive letters
// the way the real tool does for the command lines Korvane gives it, and logs
// every command line so the end-to-end cases can check what was asked.
#include <windows.h>

#include <cctype>
#include <cstdio>
#include <string>

namespace {

const char kLogFolder[] = "C:\\kvtest";
const char kLogFile[] = "C:\\kvtest\\subst.log";

// The command line after the program's own name, as the launcher passed it.
std::string ArgumentTail() {
    const char* p = GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

void AppendToLog(const std::string& line) {
    CreateDirectoryA(kLogFolder, nullptr);
    HANDLE file = CreateFileA(kLogFile, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// The folder behind a virtual drive, or "" when the letter is not one.
std::string SubstTarget(const std::string& drive) {
    char buffer[MAX_PATH * 2] = {};
    if (!QueryDosDeviceA(drive.c_str(), buffer, sizeof buffer)) return "";
    const std::string target = buffer;
    if (target.compare(0, 4, "\\??\\") != 0) return "";
    return target.substr(4);
}

bool LetterInUse(const std::string& drive) {
    char buffer[MAX_PATH * 2] = {};
    return QueryDosDeviceA(drive.c_str(), buffer, sizeof buffer) != 0;
}

bool IsDriveName(const std::string& s) {
    return s.size() == 2 && s[1] == ':' && IsCharAlphaA(s[0]);
}

int Fail(const std::string& message) {
    std::printf("%s\n", message.c_str());
    return 1;
}

int ListDrives() {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string drive{letter, ':'};
        const std::string target = SubstTarget(drive);
        if (!target.empty()) std::printf("%s\\: => %s\n", drive.c_str(), target.c_str());
    }
    return 0;
}

int Unmap(const std::string& drive) {
    if (SubstTarget(drive).empty()) return Fail("Invalid parameter - " + drive);
    DefineDosDeviceA(DDD_REMOVE_DEFINITION, drive.c_str(), nullptr);
    return 0;
}

int Map(const std::string& drive, const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("Path not found - " + path);
    if (LetterInUse(drive)) return Fail("Drive already SUBSTed");
    if (!DefineDosDeviceA(0, drive.c_str(), path.c_str())) return Fail("Path not found - " + path);
    return 0;
}

}  // namespace

int main() {
    const std::string tail = ArgumentTail();
    AppendToLog(tail);

    const std::string args = Trim(tail);
    if (args.empty()) return ListDrives();

    const auto blank = args.find_first_of(" \t");
    std::string drive = args.substr(0, blank);
    std::string rest = blank == std::string::npos ? "" : Trim(args.substr(blank));
    if (!IsDriveName(drive)) return Fail("Invalid parameter - " + drive);
    drive[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));

    if (rest.empty()) return Fail("Incorrect number of parameters - " + args);
    if (rest == "/D" || rest == "/d") return Unmap(drive);

    std::string path = rest;
    if (path.front() == '"') {
        const auto close = path.find('"', 1);
        if (close == std::string::npos || Trim(path.substr(close + 1)) != "")
            return Fail("Invalid parameter - " + path);
        path = path.substr(1, close - 1);
    } else {
        // Like the real tool: an unquoted blank splits the path into two arguments.
        const auto split = path.find_first_of(" \t");
        if (split != std::string::npos)
            return Fail("Incorrect number of parameters - " + Trim(path.substr(split)));
    }
    return Map(drive, path);
}
