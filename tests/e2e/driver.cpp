#include "driver.h"

#include <commctrl.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "../bench/e2e_tools.h"
#include "resource.h"

namespace e2e {

const char kProgramDir[] = "C:\\Program Files\\Korvane";
const char kScratch[] = "C:\\kvtest";

// ---------------------------------------------------------------- checks

namespace {
std::string failureShot;

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out + "\"";
}
} // namespace

void SetFailureScreenshot(const std::string& bmpPath) { failureShot = bmpPath; }

// The screenshot is taken here, while the program still shows what went wrong.
void Fail(const std::string& why) {
    if (!failureShot.empty()) {
        TakeScreenshot(failureShot);
        failureShot.clear();
    }
    throw CaseFailure(why);
}

void Expect(bool ok, const std::string& what) {
    if (!ok)
        Fail(what);
}

void ExpectEq(const std::string& actual, const std::string& expected, const std::string& what) {
    if (actual != expected)
        Fail(what + ": got " + Quoted(actual) + ", want " + Quoted(expected));
}

void ExpectEq(long long actual, long long expected, const std::string& what) {
    if (actual != expected)
        Fail(what + ": got " + std::to_string(actual) + ", want " + std::to_string(expected));
}

std::string Join(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i ? " " : "") + items[i];
    return out + "]";
}

void ExpectEq(const std::vector<std::string>& actual, const std::vector<std::string>& expected,
              const std::string& what) {
    if (actual != expected)
        Fail(what + ": got " + Join(actual) + ", want " + Join(expected));
}

// Texts of the program and of the machine are compared as UTF-8, so that
// names outside the system's ANSI code page compare exactly.
std::string Narrow(const std::wstring& wide) {
    if (wide.empty())
        return "";
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), static_cast<int>(wide.size()), &out[0], size, nullptr, nullptr);
    return out;
}

bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (static_cast<int>(GetTickCount() - start) >= timeoutMs)
            return false;
        Sleep(50);
    }
}

// ------------------------------------------------------------ the machine

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return L"";
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(size, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], size);
    return out;
}

void MakeFolder(const std::string& path) {
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '\\')
            CreateDirectoryW(Wide(path.substr(0, i)).c_str(), nullptr);
    Expect(Exists(path), "could not make folder " + path);
}

void RemoveFolder(const std::string& path) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Wide(path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = Narrow(data.cFileName);
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolder(child);
            else
                DeleteFileW(Wide(child).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(Wide(path).c_str());
    Expect(!Exists(path), "could not remove folder " + path);
}

bool Exists(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

void WriteTextFile(const std::string& path, const std::string& text) {
    HANDLE file =
        CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    Expect(file != INVALID_HANDLE_VALUE, "could not write " + path);
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    Expect(ok && written == text.size(), "could not write " + path);
}

std::string ShortPath(const std::string& path) {
    wchar_t buffer[MAX_PATH] = {};
    Expect(GetShortPathNameW(Wide(path).c_str(), buffer, MAX_PATH) > 0, "no short path for " + path);
    return Narrow(buffer);
}

std::string FileBytes(const std::string& path) {
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty())
        ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes.substr(0, read);
}

std::map<std::string, std::string> FolderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Wide(folder + "\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do {
        const std::string name = Narrow(data.cFileName);
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files[name] = FileBytes(folder + "\\" + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return files;
}

std::string LongPath(const std::string& path) {
    wchar_t buffer[MAX_PATH] = {};
    return GetLongPathNameW(Wide(path).c_str(), buffer, MAX_PATH) > 0 ? Narrow(buffer) : "";
}

std::string KnownFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    Expect(SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)), "no folder " + std::to_string(csidl));
    return Narrow(path);
}

std::string SystemText(DWORD error) {
    wchar_t text[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 512, nullptr);
    std::string words = Narrow(text);
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' '))
        words.pop_back();
    return words;
}

void MapDrive(const std::string& drive, const std::string& folder) {
    Expect(DefineDosDeviceW(0, Wide(drive).c_str(), Wide(folder).c_str()) != 0, "could not map " + drive);
}

std::vector<std::string> DriveTargets(const std::string& drive) {
    wchar_t buffer[4096] = {};
    std::vector<std::string> targets;
    if (!QueryDosDeviceW(Wide(drive).c_str(), buffer, 4096))
        return targets;
    for (const wchar_t* target = buffer; *target; target += wcslen(target) + 1)
        targets.push_back(Narrow(target));
    return targets;
}

std::string DriveTarget(const std::string& drive) {
    const std::vector<std::string> targets = DriveTargets(drive);
    return targets.empty() ? "" : targets.front();
}

std::string DriveFolder(const std::string& drive) {
    const std::string target = DriveTarget(drive);
    return target.rfind("\\??\\", 0) == 0 ? target.substr(4) : "";
}

bool WaitDriveTarget(const std::string& drive, const std::string& target, int timeoutMs) {
    return WaitFor([&] { return DriveTarget(drive) == target; }, timeoutMs);
}

// ------------------------------------------------------------- slow drive

const char kSlowRoot[] = "C:\\kvtest\\slow";

void SetSlowDelay(double seconds) {
    WriteTextFile(std::string(kScratch) + "\\slow-delay.txt", std::to_string(seconds) + "\n");
}

// The prefix's link for N: is there before the Wine server starts, so Wine
// enters N: in its device table as a disk volume of its own.
void MapSlowDrive() {
    MakeFolder(kSlowRoot);
    SetSlowDelay(0);
    WriteTextFile(std::string(kSlowRoot) + "\\kvslow.txt", "the slow drive\r\n");
    Expect(DriveTarget("N:").rfind("\\Device\\", 0) == 0,
           "N: is not a device but \"" + DriveTarget("N:") +
               "\"; is the slow drive linked (scripts/lib/slowdrive.sh)?");
    Expect(Exists("N:\\kvslow.txt"), "N: does not show the slow drive; is it mounted (scripts/lib/slowdrive.sh)?");
}

StallProbe::StallProbe(std::function<HWND()> target)
    : target_(std::move(target)), started_(GetTickCount()), thread_(CreateThread(nullptr, 0, Run, this, 0, nullptr)) {
    Expect(thread_ != nullptr, "could not start the stall probe");
}

StallProbe::~StallProbe() {
    stop_ = true;
    WaitForSingleObject(thread_, 60000);
    CloseHandle(thread_);
}

// A stall is the time from one answer to the next less the pause between
// them: it also counts a wait that happened anywhere on the way, in the Wine
// server say, not only in the window's own thread.
DWORD WINAPI StallProbe::Run(void* param) {
    auto& self = *static_cast<StallProbe*>(param);
    for (DWORD last = 0; !self.stop_; Sleep(50)) {
        HWND target = self.target_();
        DWORD_PTR result = 0;
        if (!target || !SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result)) {
            last = 0; // no window to ask yet, or it has gone
            continue;
        }
        const DWORD now = GetTickCount(), stall = last == 0 || now - last < 50 ? 0 : now - last - 50;
        ++self.answers_;
        if (stall > self.longest_) {
            self.longest_ = stall;
            self.worstAt_ = last - self.started_;
        }
        last = now;
    }
    return 0;
}

void StallProbe::expectNoStallOver(DWORD ms) const {
    std::printf("longest stall %lu ms over %ld answers\n", static_cast<unsigned long>(longest_.load()),
                static_cast<long>(answers_.load()));
    Expect(answers_ > 0, "the stall probe got no answer at all");
    Expect(longest_ <= ms, "the window did not answer for " + std::to_string(longest_) + " ms, " +
                               std::to_string(worstAt_) + " ms into the story (allowed: " + std::to_string(ms) +
                               " ms; " + std::to_string(GetTickCount() - started_) + " ms in all)");
}

namespace {
// The lines of a text file, without their CR LF.
std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(FileBytes(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// "X:" for each X.ini in the data folder.
std::vector<std::string> RecordFiles() {
    std::vector<std::string> drives;
    for (const auto& file : FolderFiles(ProgramFile("kordat"))) {
        const std::string& name = file.first;
        drives.push_back(name.size() == 5 && name.substr(1) == ".ini" ? std::string{name[0], ':'} : name);
    }
    return drives;
}
} // namespace

std::vector<std::string> SubstLog() { return Lines(std::string(kScratch) + "\\subst.log"); }
std::vector<std::string> OpenLog() { return Lines(std::string(kScratch) + "\\open.log"); }

std::vector<std::string> FreeLettersBut(const std::string& taken) {
    std::vector<std::string> letters;
    for (char c = 'A'; c <= 'Z'; ++c)
        if (c != 'B' && taken.find(c) == std::string::npos)
            letters.push_back(std::string{c, ':'});
    return letters;
}

void RemoveSubst() {
    const std::string path = KnownFolder(CSIDL_SYSTEM) + "\\subst.exe";
    DeleteFileW(Wide(path).c_str());
    Expect(!Exists(path), "could not remove " + path);
}

std::string ProgramFile(const std::string& name) { return std::string(kProgramDir) + "\\" + name; }

std::string RecordFile(char letter) { return ProgramFile(std::string("kordat\\") + letter + ".ini"); }

void LeaveDrive(const std::string& drive, const std::string& folder, By by) {
    MakeFolder(folder);
    MapDrive(drive, by == By::ShortName ? ShortPath(folder) : folder);
}

void LeaveSavedDrive(const std::string& drive, const std::string& folder, By by) {
    LeaveDrive(drive, folder, by);
    MakeFolder(ProgramFile("kordat"));
    WriteTextFile(RecordFile(drive[0]), DriveFolder(drive) + "\r\n");
}

void CopyProgramTo(const std::string& folder) {
    MakeFolder(folder);
    for (const char* name : {"korvane.exe", "korstart.exe", "manual.html"})
        Expect(CopyFileW(Wide(ProgramFile(name)).c_str(), Wide(folder + "\\" + name).c_str(), FALSE) != 0,
               std::string("could not copy ") + name + " to " + folder);
}

// ----------------------------------------------------------- registry

const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

RegText RegistryValue(HKEY root, const std::string& key, const std::string& name, REGSAM view) {
    RegText value;
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, Wide(key).c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS)
        return value;
    wchar_t data[8192] = {};
    DWORD bytes = sizeof data - sizeof(wchar_t), number = 0;
    value.found = RegQueryValueExW(opened, Wide(name).c_str(), nullptr, &value.type, reinterpret_cast<BYTE*>(data),
                                   &bytes) == ERROR_SUCCESS;
    RegQueryValueExA(opened, name.c_str(), nullptr, nullptr, nullptr, &value.size);
    RegCloseKey(opened);
    memcpy(&number, data, sizeof number);
    value.data = value.type == REG_DWORD ? std::to_string(number) : Narrow(data);
    return value;
}

bool RegistryKeyExists(HKEY root, const std::string& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, Wide(key).c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void WriteRegistryText(HKEY root, const std::string& key, const std::string& name, const std::string& data) {
    const std::wstring text = Wide(data);
    Expect(RegSetKeyValueW(root, Wide(key).c_str(), Wide(name).c_str(), REG_SZ, text.c_str(),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS,
           "could not write the value " + name + " of " + key);
}

void DeleteRegistryValue(HKEY root, const std::string& key, const std::string& name) {
    RegDeleteKeyValueW(root, Wide(key).c_str(), Wide(name).c_str());
}

RegText RunValue(HKEY root, REGSAM view) { return RegistryValue(root, kRunKey, "Korvane", view); }

void ExpectRunValue(HKEY root, const std::string& data) {
    const RegText value = RunValue(root);
    Expect(value.found, "no Run value Korvane");
    ExpectEq(value.data, data, "Run value data");
    ExpectEq(value.type, REG_SZ, "Run value type");
    ExpectEq(value.size, static_cast<long long>(data.size() + 1), "Run value size");
}

std::string ExplorerLabel(char letter) {
    return RegistryValue(HKEY_CURRENT_USER,
                         "Software\\Classes\\Applications\\Explorer.exe\\Drives\\" + std::string(1, letter) +
                             "\\DefaultLabel",
                         "")
        .data;
}

// -------------------------------------------------------------- reboots

namespace {
int boot = 0;
} // namespace

int Boot() { return boot; }
void SetBoot(int next) { boot = next; }
void Reboot() { throw RebootRequest{}; }

PROCESS_INFORMATION Launch(const std::string& commandLine, const std::string& directory, STARTUPINFOW* startup) {
    std::wstring line = Wide(commandLine);
    STARTUPINFOW plain{};
    plain.cb = sizeof plain;
    PROCESS_INFORMATION info{};
    const bool pipes = startup && (startup->dwFlags & STARTF_USESTDHANDLES);
    Expect(CreateProcessW(nullptr, &line[0], nullptr, nullptr, pipes, pipes ? CREATE_NO_WINDOW : 0, nullptr,
                          directory.empty() ? nullptr : Wide(directory).c_str(), startup ? startup : &plain,
                          &info) != 0,
           "cannot start " + commandLine);
    CloseHandle(info.hThread);
    return info;
}

DWORD Finish(HANDLE process, int timeoutMs, const std::string& what) {
    const bool ended = WaitForSingleObject(process, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    if (!ended)
        TerminateProcess(process, 1);
    CloseHandle(process);
    Expect(ended, what + " did not end by itself");
    return code;
}

void RunAtLogon(const std::vector<std::string>& commandLines, const std::function<void()>& meanwhile) {
    std::vector<HANDLE> processes;
    for (const std::string& commandLine : commandLines)
        processes.push_back(Launch(commandLine, KnownFolder(CSIDL_SYSTEM)).hProcess);
    if (meanwhile)
        meanwhile();
    for (size_t i = 0; i < processes.size(); ++i)
        Finish(processes[i], 30000, commandLines[i]);
}

std::string CompanionLogFile() { return KnownFolder(CSIDL_LOCAL_APPDATA) + "\\Korvane\\korstart.log"; }

std::vector<std::string> CompanionLog() {
    std::vector<std::string> lines = Lines(CompanionLogFile());
    for (std::string& line : lines)
        line.erase(0, std::min<size_t>(line.size(), 21)); // the time
    return lines;
}

// ----------------------------------------------------- windows of others

namespace {
std::string ClassOf(HWND hwnd) {
    char name[256] = {};
    GetClassNameA(hwnd, name, sizeof name);
    return name;
}

// A block of memory inside a window's process, for the common-control
// messages whose pointers Wine does not carry across.
class RemoteBlock {
public:
    RemoteBlock(HWND owner, size_t size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(owner, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        Expect(process_ != nullptr, "cannot open the program's process");
        address_ = static_cast<char*>(VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
        Expect(address_ != nullptr, "cannot allocate in the program's process");
    }
    ~RemoteBlock() {
        VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    char* at(size_t offset) const { return address_ + offset; }
    // Puts `size` bytes of `in` at the block's start, sends the message with
    // the block's address and returns the whole block as the control left it.
    std::string send(HWND hwnd, UINT message, WPARAM wparam, const void* in = nullptr, size_t size = 0) const {
        WriteProcessMemory(process_, address_, in, size, nullptr);
        SendMessageW(hwnd, message, wparam, reinterpret_cast<LPARAM>(address_));
        std::string block(size_, '\0');
        ReadProcessMemory(process_, address_, &block[0], size_, nullptr);
        return block;
    }

private:
    size_t size_;
    HANDLE process_ = nullptr;
    char* address_ = nullptr;
};

RECT RemoteRect(HWND hwnd, UINT message, WPARAM wparam, LONG firstField = 0) {
    RECT rect{firstField, 0, 0, 0};
    const std::string block = RemoteBlock(hwnd, sizeof rect).send(hwnd, message, wparam, &rect, sizeof rect);
    memcpy(&rect, block.data(), sizeof rect);
    return rect;
}

POINT CenterOnScreen(HWND hwnd, RECT clientRect) {
    POINT p{(clientRect.left + clientRect.right) / 2, (clientRect.top + clientRect.bottom) / 2};
    ClientToScreen(hwnd, &p);
    return p;
}

struct TopSearch {
    const std::string& className;
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND hwnd, LPARAM param) {
    auto& search = *reinterpret_cast<TopSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (IsWindowVisible(hwnd) && (!search.pid || owner == search.pid) &&
        (search.className.empty() || ClassOf(hwnd) == search.className))
        search.found.push_back(hwnd);
    return TRUE;
}

// Visible top-level windows, front first, of the process `pid` (any when 0)
// and of the class `className` (any when ""). EnumWindows, not a GetWindow
// loop: windows come and go while the driver looks.
std::vector<HWND> TopWindows(const std::string& className, DWORD pid) {
    TopSearch search{className, pid, {}};
    EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A mouse event at a point of the screen, in the normalised coordinates
// that absolute input takes.
INPUT MouseAt(POINT p, DWORD flags) {
    const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((p.x * 65535LL + w / 2) / (w - 1));
    input.mi.dy = static_cast<LONG>((p.y * 65535LL + h / 2) / (h - 1));
    input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return input;
}

struct LastClick {
    DWORD at = 0;
    POINT where{-1000, -1000};
} lastClick;

// One click, or two for a double click.
// Two single clicks at one spot within the double-click time are a double
// click to Windows (a second click on a selected row would open its folder),
// so a click near the previous one waits until that time has passed.
// The pointer moves to the point first and the target sees it arrive, as a
// hand on a mouse does; a press that comes with the move is sometimes lost
// by Wine's desktop. Each button event still carries the point: a pointer
// motion that Wine's X11 side reports late can put the cursor back where the
// previous click was, and a press taken there would make a double click of
// two clicks on different rows.
void ClickTimes(POINT p, int clicks) {
    const int dx = GetSystemMetrics(SM_CXDOUBLECLK), dy = GetSystemMetrics(SM_CYDOUBLECLK);
    const DWORD apart = GetDoubleClickTime() + 150, since = GetTickCount() - lastClick.at;
    if (std::abs(p.x - lastClick.where.x) <= dx && std::abs(p.y - lastClick.where.y) <= dy && since < apart)
        Sleep(apart - since);
    Hover(p);
    Sleep(120);
    std::vector<INPUT> inputs;
    for (int i = 0; i < clicks; ++i)
        for (DWORD flag : {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP})
            inputs.push_back(MouseAt(p, flag));
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    lastClick = {GetTickCount(), p};
    Sleep(100 + 50 * clicks);
}
} // namespace

// The ANSI forms come back truncated across processes under Wine.
std::string TextOf(HWND hwnd) {
    if (!hwnd)
        return "";
    const LRESULT length = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT got = SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(std::max<LRESULT>(got, 0)));
    return Narrow(text);
}

HWND TopWindow(const std::string& className, DWORD pid) {
    const auto found = TopWindows(className, pid);
    return found.empty() ? nullptr : found.front();
}

HWND WaitWindow(const std::function<HWND()>& find, int timeoutMs, const std::string& what) {
    HWND found = nullptr;
    WaitFor([&] { return (found = find()) != nullptr; }, timeoutMs);
    Expect(found != nullptr, what);
    return found;
}

void Hover(POINT p) {
    INPUT move = MouseAt(p, 0);
    SetCursorPos(p.x, p.y);
    SendInput(1, &move, sizeof(INPUT));
}

void Click(POINT p) { ClickTimes(p, 1); }

POINT Centre(HWND hwnd) {
    RECT r;
    GetWindowRect(hwnd, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void Keys(std::initializer_list<WORD> chord) {
    std::vector<INPUT> inputs;
    const auto key = [&inputs](WORD vk, DWORD flags) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.dwFlags = flags;
        inputs.push_back(in);
    };
    for (WORD vk : chord)
        key(vk, 0);
    for (auto it = std::rbegin(chord); it != std::rend(chord); ++it)
        key(*it, KEYEVENTF_KEYUP);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(150);
}

// ------------------------------------------------------------ message box

std::string MessageBoxWindow::title() const { return TextOf(hwnd_); }

std::string MessageBoxWindow::text() const { return TextOf(GetDlgItem(hwnd_, 0xFFFF)); }

void MessageBoxWindow::press(int id) {
    HWND button = GetDlgItem(hwnd_, id);
    Expect(button != nullptr, "the message box has no button " + std::to_string(id));
    SetForegroundWindow(hwnd_);
    Click(Centre(button));
    Expect(WaitFor([&] { return !IsWindow(hwnd_) || !IsWindowVisible(hwnd_); }, 5000),
           "a click on button " + std::to_string(id) + " did not close the message box \"" + text() + "\"");
}

void MessageBoxWindow::expect(const std::string& text, const std::vector<int>& buttons) const {
    ExpectEq(title(), "Korvane", "message box title");
    ExpectEq(this->text(), text, "message box text");
    std::vector<std::string> shown, wanted;
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ClassOf(child) == "Button" && IsWindowVisible(child))
            shown.push_back(std::to_string(GetDlgCtrlID(child)));
    for (int id : buttons)
        wanted.push_back(std::to_string(id));
    std::sort(shown.begin(), shown.end());
    std::sort(wanted.begin(), wanted.end());
    ExpectEq(shown, wanted, "message box button ids");
}

// ---------------------------------------------------------------- Korvane

Korvane Korvane::Start() { return StartFrom(kProgramDir); }

Korvane Korvane::StartFrom(const std::string& folder) {
    Korvane app;
    const PROCESS_INFORMATION info = Launch("\"" + folder + "\\korvane.exe\"", folder);
    app.process_ = info.hProcess;
    app.pid_ = info.dwProcessId;
    return app;
}

Korvane::Korvane(Korvane&& other) noexcept : process_(other.process_), pid_(other.pid_) { other.process_ = nullptr; }

Korvane::~Korvane() {
    if (!process_)
        return;
    if (running()) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 3000);
    }
    CloseHandle(process_);
}

int Korvane::threads() const {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == pid_;
    CloseHandle(snapshot);
    return count;
}

bool Korvane::running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool Korvane::waitExit(int timeoutMs) const {
    return WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0;
}

HWND Korvane::window(const char* className) const { return TopWindow(className, pid_); }

void Korvane::answer(const std::string& text, int press, const std::vector<int>& buttons, int timeoutMs) const {
    MessageBoxWindow box = waitMessage(timeoutMs);
    box.expect(text, buttons);
    box.press(press);
}

bool Korvane::hasMessage() const { return window("#32770") != nullptr; }

MessageBoxWindow Korvane::waitMessage(int timeoutMs) const {
    HWND box = nullptr;
    WaitFor([&] { return (box = window("#32770")) != nullptr || !running(); }, timeoutMs);
    Expect(box != nullptr, running() ? "no message box appeared" : "the program ended instead of showing a message");
    WaitFor([&] { return !TextOf(GetDlgItem(box, 0xFFFF)).empty(); }, 1000);
    return MessageBoxWindow(box);
}

MainWindow Korvane::waitMain(int timeoutMs) const {
    HWND main = nullptr;
    WaitFor([&] { return (main = window("KorvaneMain")) != nullptr || !running(); }, timeoutMs);
    Expect(main != nullptr, running() ? "the main window did not show" : "the program ended before its main window");
    // Input is taken once the program waits for it, the window is enabled
    // and the splash has gone: the splash's end moves the activation about,
    // and an Alt pressed meanwhile opens no menu.
    WaitForInputIdle(process_, 10000);
    WaitFor([&] { return IsWindowEnabled(main) != FALSE && !splash(); }, 5000);
    return MainWindow(*this, main);
}

// ------------------------------------------------------------ main window

namespace {
// The entries of a combo box or a list box.
std::vector<std::string> ListEntries(HWND list) {
    const bool combo = _stricmp(ClassOf(list).c_str(), "ComboBox") == 0;
    std::vector<std::string> entries;
    const int count = static_cast<int>(SendMessageW(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[300] = {};
        SendMessageW(list, combo ? CB_GETLBTEXT : LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(Narrow(text));
    }
    return entries;
}

// The first row that is `text`, or that starts with it when `prefix`, in any case.
int FindRow(const std::vector<std::string>& rows, const std::string& text, bool prefix = false) {
    for (size_t i = 0; i < rows.size(); ++i)
        if ((prefix || rows[i].size() == text.size()) && _strnicmp(rows[i].c_str(), text.c_str(), text.size()) == 0)
            return static_cast<int>(i);
    return -1;
}

// Drops a combo box down with a click on its arrow and returns its list.
HWND DropDown(HWND combo, const Korvane& app) {
    RECT r;
    GetWindowRect(combo, &r);
    Click({r.right - 8, (r.top + r.bottom) / 2});
    return WaitWindow([&] { return app.window("ComboLBox"); }, 3000, "the drop-down list did not open");
}
} // namespace

HWND MainWindow::control(int id) const {
    if (HWND found = GetDlgItem(hwnd_, id))
        return found;
    // Controls inside frames are grandchildren.
    for (HWND frame = GetWindow(hwnd_, GW_CHILD); frame; frame = GetWindow(frame, GW_HWNDNEXT))
        if (HWND found = GetDlgItem(frame, id))
            return found;
    Fail("the main window has no control " + std::to_string(id));
}

std::vector<std::string> MainWindow::drives() const {
    HWND list = control(IDC_LSV);
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::vector<std::string> rows;
    // The item, and after it room for the text it points at.
    const RemoteBlock remote(list, sizeof(LVITEMW) + 260 * sizeof(wchar_t));
    LVITEMW item{};
    item.cchTextMax = 260;
    item.pszText = reinterpret_cast<LPWSTR>(remote.at(sizeof item));
    for (int i = 0; i < count; ++i) {
        const std::string block = remote.send(list, LVM_GETITEMTEXTW, i, &item, sizeof item);
        rows.push_back(Narrow(reinterpret_cast<const wchar_t*>(block.data() + sizeof item)));
    }
    return rows;
}

std::string MainWindow::selectedDrive() const {
    HWND list = control(IDC_LSV);
    const int index = static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED));
    return index < 0 ? "" : drives().at(index);
}

std::vector<std::string> MainWindow::freeLetters() const { return ListEntries(control(IDC_CMB)); }

std::string MainWindow::letterText() const { return TextOf(control(IDC_CMB)); }

int MainWindow::letterSelection() const { return static_cast<int>(SendMessageW(control(IDC_CMB), CB_GETCURSEL, 0, 0)); }

std::vector<std::string> MainWindow::driveListEntries() const { return ListEntries(control(IDC_DRIVE)); }

std::vector<std::string> MainWindow::savedDrives() const { return ListEntries(control(IDC_LST)); }

std::string MainWindow::drive() const { return TextOf(control(IDC_DRIVE)); }

std::string MainWindow::folder() const { return TextOf(control(IDC_DIR)); }
std::vector<std::string> MainWindow::folderEntries() const { return ListEntries(control(IDC_DIR)); }

std::string MainWindow::status() const {
    HWND bar = control(IDC_STATUS);
    const std::string block = RemoteBlock(bar, 1024 * sizeof(wchar_t)).send(bar, SB_GETTEXTW, 0);
    return Narrow(reinterpret_cast<const wchar_t*>(block.data()));
}

int MainWindow::bar() const { return static_cast<int>(SendMessageW(control(IDC_PROGRESS), PBM_GETPOS, 0, 0)); }

bool MainWindow::enabled() const { return IsWindowEnabled(hwnd_) != FALSE; }

HWND MainWindow::focus() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(hwnd_, nullptr), &info);
    return info.hwndFocus;
}

// Wine answers GetForegroundWindow at once, before the window's own thread
// has taken the activation; keys go to whichever window that thread has
// active, so the driver waits for that too.
void MainWindow::activate() {
    const DWORD thread = GetWindowThreadProcessId(hwnd_, nullptr);
    const bool active = WaitFor(
        [&] {
            SetForegroundWindow(hwnd_);
            GUITHREADINFO info{};
            info.cbSize = sizeof info;
            return GetForegroundWindow() == hwnd_ && GetGUIThreadInfo(thread, &info) && info.hwndActive == hwnd_ &&
                   info.hwndFocus != nullptr;
        },
        2000);
    Expect(active, "the main window cannot be brought to the front");
}

void MainWindow::shortcut(char letter) {
    activate();
    Keys({VK_CONTROL, static_cast<WORD>(letter)});
}

void MainWindow::menu(char menuKey, char entryKey) {
    activate();
    Keys({VK_MENU, static_cast<WORD>(menuKey)});
    const bool opened = WaitFor([&] { return app_->window("#32768") != nullptr; }, 2000);
    if (!opened) {
        // Say where the keys went, so that a rare miss can be told apart.
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(hwnd_, nullptr), &info);
        Fail(std::string("Alt+") + menuKey + " did not open a menu; foreground " + ClassOf(GetForegroundWindow()) +
             ", active " + ClassOf(info.hwndActive) + ", focus " + ClassOf(info.hwndFocus) + ", flags " +
             std::to_string(info.flags) + (app_->hasMessage() ? ", a message box is open" : ""));
    }
    Keys({static_cast<WORD>(entryKey)});
    WaitFor([&] { return !app_->window("#32768"); }, 2000);
}

POINT MainWindow::toolbarButton(int command) const {
    HWND bar = control(IDC_TOOLBAR);
    const int index = static_cast<int>(SendMessageW(bar, TB_COMMANDTOINDEX, command, 0));
    Expect(index >= 0, "the toolbar has no button for command " + std::to_string(command));
    return CenterOnScreen(bar, RemoteRect(bar, TB_GETITEMRECT, index));
}

void MainWindow::toolbar(int command) {
    activate();
    HWND bar = control(IDC_TOOLBAR);
    const POINT p = toolbarButton(command);
    Expect(SendMessageW(bar, TB_ISBUTTONENABLED, command, 0) != 0,
           "the toolbar button of command " + std::to_string(command) + " is disabled");
    // Press only once the button shows that the pointer is over it and its
    // tip has popped up: a tip appearing between press and release makes
    // Wine's toolbar drop the click. Under emulation the tip can take well
    // over a second.
    // A tip still up from another button would be replaced just then, so
    // the pointer first leaves the toolbar until no tip shows.
    if (app_->window("tooltips_class32")) {
        const POINT away = CenterOnScreen(control(IDC_STATUS), RECT{0, 0, 40, 10});
        Hover(away);
        WaitFor([&] { return !app_->window("tooltips_class32"); }, 3000);
    }
    Hover(p);
    WaitFor([&] { return SendMessageW(bar, TB_GETHOTITEM, 0, 0) == SendMessageW(bar, TB_COMMANDTOINDEX, command, 0); },
            3000);
    WaitFor([&] { return app_->window("tooltips_class32") != nullptr; }, 4000);
    Sleep(150);
    Click(p);
}

// Where the icon of a used drive's row is drawn, in screen coordinates.
POINT MainWindow::driveIcon(const std::string& drive) const {
    HWND list = control(IDC_LSV);
    const int index = FindRow(drives(), drive);
    Expect(index >= 0, "no row " + drive + " among " + Join(drives()));
    // A row scrolled out of sight is scrolled back first, as a user would.
    SendMessageW(list, LVM_ENSUREVISIBLE, index, FALSE);
    return CenterOnScreen(list, RemoteRect(list, LVM_GETITEMRECT, index, LVIR_ICON));
}

void MainWindow::clickDrive(const std::string& drive) {
    activate();
    Click(driveIcon(drive));
    Expect(WaitFor([&] { return selectedDrive() == drive; }, 4000), "clicking row " + drive + " did not select it");
}

// A double click into a list that does not have the focus yet is now and
// then taken for two single clicks under Wine; a user who first clicks the
// row and then double-clicks it never sees that.
void MainWindow::doubleClickDrive(const std::string& drive) {
    clickDrive(drive);
    ClickTimes(driveIcon(drive), 2);
}

// Clicks a row of a list box (or of a combo box's dropped list) where it is
// drawn, scrolling it into view first as a user would.
void MainWindow::clickListRow(HWND list, int index, bool twice) {
    const int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    RECT client;
    GetClientRect(list, &client);
    const int height = std::max(1, static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0)));
    const int visible = std::max(1, static_cast<int>(client.bottom / height));
    if (index < top || index >= top + visible) {
        SendMessageW(list, LB_SETTOPINDEX, index, 0);
        Sleep(100);
    }
    const int first = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    RECT row{client.left, (index - first) * height, client.right, (index - first + 1) * height};
    ClickTimes(CenterOnScreen(list, row), twice ? 2 : 1);
}

void MainWindow::pickLetter(const std::string& drive) {
    activate();
    const int index = FindRow(freeLetters(), drive, true);
    Expect(index >= 0, "no letter " + drive + " among " + Join(freeLetters()));
    HWND list = DropDown(control(IDC_CMB), *app_);
    Sleep(200); // the list scrolls to the selection as it opens
    clickListRow(list, index, false);
    Expect(WaitFor([&] { return letterSelection() == index; }, 2000), "picking " + drive + " did not select it");
}

void MainWindow::pickDrive(const std::string& drive) {
    activate();
    HWND combo = control(IDC_DRIVE);
    // The list reads the drives afresh when it drops down, so look it up after.
    HWND list = DropDown(combo, *app_);
    int index = -1;
    WaitFor([&] { return (index = FindRow(driveListEntries(), drive, true)) >= 0; }, 8000);
    Expect(index >= 0, "the drive list has no " + drive + ": " + Join(driveListEntries()));
    clickListRow(list, index, false);
    Expect(WaitFor([&] { return !SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0); }, 4000),
           "a click on " + drive + " left the drive list open");
}

void MainWindow::openFolder(const std::string& path) {
    activate();
    HWND list = control(IDC_DIR);
    for (int step = 0; step < 20; ++step) {
        const std::string current = folder();
        if (lstrcmpiA(current.c_str(), path.c_str()) == 0)
            return;
        const std::vector<std::string> rows = folderEntries();
        std::string base = current;
        if (!base.empty() && base.back() != '\\')
            base += '\\';
        int row;
        if (path.size() > base.size() && _strnicmp(path.c_str(), base.c_str(), base.size()) == 0) {
            const std::string rest = path.substr(base.size());
            row = FindRow(rows, rest.substr(0, rest.find('\\')));
        } else {
            row = FindRow(rows, path.substr(0, 3)); // start again from the drive's root
        }
        if (row < 0)
            Fail("cannot find the way from \"" + current + "\" to " + path + " in " + Join(rows) +
                 (!app_->running()     ? "; the program has ended"
                  : !IsWindow(hwnd_)   ? "; the main window has gone"
                  : app_->hasMessage() ? "; a message box is open: " + MessageBoxWindow(app_->window("#32770")).text()
                                       : ""));
        clickListRow(list, row, true);
        WaitFor([&] { return folder() != current; }, 8000);
    }
    Fail("could not open " + path + " in the folder list; it shows " + folder());
}

void MainWindow::clickSaved(const std::string& drive) {
    activate();
    HWND list = control(IDC_LST);
    const int index = FindRow(savedDrives(), drive);
    Expect(index >= 0, "no saved drive " + drive + " among " + Join(savedDrives()));
    clickListRow(list, index, false);
    Expect(WaitFor([&] { return SendMessageW(list, LB_GETCURSEL, 0, 0) == index; }, 4000),
           "clicking the saved drive " + drive + " did not select it");
}

void MainWindow::removeSave() {
    activate();
    Click(Centre(control(IDC_REMOVESAVE)));
}

void MainWindow::create(const std::string& folder, const std::string& letter) {
    openFolder(folder);
    pickLetter(letter);
    shortcut('C');
    app_->answer("Virtual drive " + letter + " created.");
}

void MainWindow::save(const std::string& drive) {
    clickDrive(drive);
    toolbar(IDM_SAVE);
    Expect(WaitFor([&] { return Contains(savedDrives(), drive) && enabled(); }, 3000),
           "saving " + drive + " left the saved drives at " + Join(savedDrives()));
}

void MainWindow::close() {
    activate();
    // What the close box of the title bar sends.
    PostMessageW(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
    Expect(app_->waitExit(3000), "closing the window did not end the program");
}

void MainWindow::expectPacedUntilMessage() const {
    struct Sample {
        DWORD ms; // since the command
        int bar;
        bool enabled;
    };
    std::vector<Sample> samples;
    const DWORD start = GetTickCount();
    for (bool boxShown = false; !boxShown && GetTickCount() - start < 25000; Sleep(100)) {
        boxShown = app_->hasMessage();
        samples.push_back({GetTickCount() - start, bar(), enabled()});
    }
    std::string line;
    for (const Sample& s : samples)
        if (line.empty() || s.ms / 1000 != (&s - 1)->ms / 1000 || &s == &samples.back())
            line += " " + std::to_string(s.ms) + "ms:" + std::to_string(s.bar) + (s.enabled ? "/on" : "/off");
    const std::string where = " (time line:" + line + ")";
    std::vector<DWORD> firstSeen; // when the bar first showed 20, 40, 60, ...
    for (const Sample& s : samples) {
        if (s.bar == 0) {
            Expect(firstSeen.empty(), "the bar fell back to 0 before the work" + where);
            Expect(s.enabled && s.ms < 1600, "the window was disabled, or the first tick came late" + where);
            continue;
        }
        Expect(!s.enabled, "the window was enabled while the bar ran" + where);
        const size_t step = static_cast<size_t>(s.bar / 20);
        Expect(s.bar % 20 == 0 && step <= 5 && (step == firstSeen.size() || step == firstSeen.size() + 1),
               "the bar showed " + std::to_string(s.bar) + " out of turn" + where);
        if (step > firstSeen.size())
            firstSeen.push_back(s.ms);
    }
    Expect(firstSeen.size() >= 4, "the bar did not reach 80 before the message" + where);
    Expect(firstSeen[0] >= 700 && firstSeen[0] <= 1600, "the first tick was not about 1 s after the command" + where);
    for (int i = 1; i <= 3; ++i) {
        const int gap = static_cast<int>(firstSeen[i] - firstSeen[i - 1]);
        Expect(gap >= 650 && gap <= 1400, "the ticks were not a second apart" + where);
    }
    const DWORD messageAt = samples.back().ms;
    // The work starts at the fifth tick, but it waits for subst.exe, whose
    // start alone takes seconds under emulation on a loaded machine.
    Expect(messageAt >= 4300 && messageAt <= 20000, "the work did not come at the fifth tick" + where);
}

// ---------------------------------------------------------------- at rest

bool Contains(const std::vector<std::string>& items, const std::string& item) {
    return std::find(items.begin(), items.end(), item) != items.end();
}

namespace {

// The program's visible windows other than the main window and the
// transient ones of menus, tips and drop-down lists.
std::vector<HWND> OtherWindows(DWORD pid, HWND main) {
    std::vector<HWND> found;
    for (HWND w : TopWindows("", pid)) {
        const std::string cls = ClassOf(w);
        if (w != main && cls != "#32768" && cls != "tooltips_class32" && cls != "ComboLBox")
            found.push_back(w);
    }
    return found;
}

std::string LetterFault(const MainWindow& main) {
    const auto free = main.freeLetters(), used = main.drives(), saved = main.savedDrives();
    for (char c = 'A'; c <= 'Z'; ++c) {
        const std::string drive{c, ':'};
        const std::string device = DriveTarget(drive);
        const bool real = device.compare(0, 8, "\\Device\\") == 0;
        const bool virtualDrive = device.compare(0, 4, "\\??\\") == 0;
        const int inFree = static_cast<int>(std::count(free.begin(), free.end(), drive));
        const int inUsed = static_cast<int>(std::count(used.begin(), used.end(), drive));
        const std::string where = drive + " is " + std::to_string(inFree) + "x in the free letters, " +
                                  std::to_string(inUsed) + "x in the used drives, " +
                                  (real ? "a real device" : "no real device") + " (device \"" + device + "\")";
        if (c == 'B' && !virtualDrive && !real) {
            if (inFree + inUsed != 0)
                return where + "; it is not offered";
            continue;
        }
        if (inFree + inUsed + (real ? 1 : 0) != 1)
            return where;
        if (inUsed && !virtualDrive)
            return where + "; a used drive without a mapping";
        if (inFree && !device.empty())
            return where + "; a free letter with a device";
    }
    std::vector<std::string> savedLetters;
    for (const std::string& entry : saved) {
        const std::string drive = entry.substr(0, 2);
        if (entry == drive + " (all users)")
            continue; // no record: a value of the system's
        if (Contains(used, drive) != (entry == drive))
            return "saved drive " + entry + " does not agree with the used drives " + Join(used);
        savedLetters.push_back(drive);
    }
    std::sort(savedLetters.begin(), savedLetters.end());
    if (RecordFiles() != savedLetters)
        return "record files " + Join(RecordFiles()) + " differ from the saved drives " + Join(saved);
    return "";
}
} // namespace

void ExpectConsistent(const Korvane& app, const MainWindow& main) {
    Expect(app.running(), "the program ended");
    DWORD_PTR result = 0;
    Expect(SendMessageTimeoutW(main.hwnd(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 15000, &result) != 0,
           "the program does not respond");
    Expect(WaitFor([&] { return main.enabled() && main.bar() == 0; }, 15000),
           "the window did not come back to rest: bar " + std::to_string(main.bar()) +
               (main.enabled() ? ", enabled" : ", disabled"));
    const auto others = OtherWindows(app.pid(), main.hwnd());
    if (!others.empty())
        Fail("a window of the program stays open: " + ClassOf(others.front()) + " \"" + TextOf(others.front()) + "\"");
    // subst.exe runs on its own: give the system time to catch up.
    std::string fault;
    if (!WaitFor([&] { return (fault = LetterFault(main)).empty(); }, 15000))
        Fail(fault);
}

void ExpectExplorerOn(const std::string& folder, const std::string& how) {
    HWND opened = WaitWindow([] { return TopWindow("ExplorerWClass"); }, 20000, how + " opened no explorer window");
    DWORD pid = 0;
    GetWindowThreadProcessId(opened, &pid);
    // Explorer names the folder it shows in its title.
    ExpectEq(TextOf(opened), folder.substr(folder.find_last_of('\\') + 1), how + ": explorer title");
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    PostMessageW(opened, WM_CLOSE, 0, 0);
    if (process) {
        if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, 10000);
        }
        CloseHandle(process);
    }
    Expect(WaitFor([] { return !TopWindow("ExplorerWClass"); }, 15000), how + ": an explorer window stays open");
}

std::vector<std::pair<std::string, CaseFn>>& Cases() {
    static std::vector<std::pair<std::string, CaseFn>> cases;
    return cases;
}

Registrar::Registrar(const char* name, CaseFn fn) { Cases().emplace_back(name, fn); }

} // namespace e2e
