// A small library for driving Korvane under Wine the way a user would:
// it starts the program, finds its windows, reads its controls across the
// process boundary, sends real mouse and keyboard input and answers
// message boxes. Checks throw CaseFailure; the runner reports the first.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace e2e {

extern const char kProgramDir[]; // C:\Program Files\Korvane
extern const char kScratch[];    // C:\kvtest, emptied before every case

struct CaseFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void Fail(const std::string& why);
void SetFailureScreenshot(const std::string& bmpPath); // taken by the first Fail
void Expect(bool ok, const std::string& what);
void ExpectEq(const std::string& actual, const std::string& expected, const std::string& what);
void ExpectEq(long long actual, long long expected, const std::string& what);
void ExpectEq(const std::vector<std::string>& actual, const std::vector<std::string>& expected,
              const std::string& what);
std::string Join(const std::vector<std::string>& items);
bool Contains(const std::vector<std::string>& items, const std::string& item);

// Polls `done` every 50 ms until it holds or `timeoutMs` passes.
bool WaitFor(const std::function<bool()>& done, int timeoutMs);

// Every text here is UTF-8; the machine is asked through its wide calls.
std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// --- The machine around the program -----------------------------------
void MakeFolder(const std::string& path); // with its parents
void RemoveFolder(const std::string& path);
bool Exists(const std::string& path);
void WriteTextFile(const std::string& path, const std::string& text);
std::string ShortPath(const std::string& path);
void MapDrive(const std::string& drive, const std::string& folder); // as subst would
std::vector<std::string> DriveTargets(const std::string& drive);    // every target, newest first
std::string DriveTarget(const std::string& drive);                  // the newest target, "" if none
std::string DriveFolder(const std::string& drive);                  // the folder of a virtual drive, "" if none
// subst.exe is started without waiting, and under emulation a process
// start alone can take seconds: wait generously.
bool WaitDriveTarget(const std::string& drive, const std::string& target, int timeoutMs = 15000);
std::vector<std::string> SubstLog();                                       // one command line per launch of subst.exe
std::vector<std::string> OpenLog();                                        // command lines of the .html handler
std::vector<std::string> FreeLettersBut(const std::string& taken);         // sorted "X:" entries
std::string FileBytes(const std::string& path);                            // "" when it cannot be read
std::map<std::string, std::string> FolderFiles(const std::string& folder); // name -> bytes
std::string LongPath(const std::string& path);
std::string KnownFolder(int csidl);  // a shell folder, as CSIDL_COMMON_STARTUP
std::string SystemText(DWORD error); // the system's sentence for an error code
void RemoveSubst();                  // takes subst.exe out of the system folder
std::string ProgramFile(const std::string& name);
// A second installation: korvane.exe, the companion and the manual copied there.
void CopyProgramTo(const std::string& folder);
std::string RecordFile(char letter); // the saved-drive record of that letter
// A drive made before the program starts: its folder made (with its parents)
// and the letter mapped to the folder by its name or by its short name.
enum class By { Name, ShortName };
void LeaveDrive(const std::string& drive, const std::string& folder, By by = By::Name);
// The same, saved as a previous session leaves it: its record names the
// folder as the drive stands for it.
void LeaveSavedDrive(const std::string& drive, const std::string& folder, By by = By::Name);

// --- A drive that does not answer ----------------------------------------
// N: shows C:\kvtest\slow through a file system that waits a set time before
// every lookup, listing and open, as a share whose server has gone quiet
// (scripts/lib/slowdrive.sh mounts it for cases named slow_*). N: is a
// device to the program, as a network drive is.
extern const char kSlowRoot[];     // C:\kvtest\slow, what N:\ shows
void MapSlowDrive();               // answering at once
void SetSlowDelay(double seconds); // from the next call on

// Sends WM_NULL to the window `target` names every 50 ms, from a thread of
// its own, and keeps the longest stall: how long the user would have looked
// at a frozen window.
class StallProbe {
public:
    explicit StallProbe(std::function<HWND()> target);
    ~StallProbe();
    StallProbe(const StallProbe&) = delete;
    StallProbe& operator=(const StallProbe&) = delete;
    DWORD longestMs() const { return longest_; }
    void expectNoStallOver(DWORD ms) const;

private:
    static DWORD WINAPI Run(void* self);
    std::function<HWND()> target_;
    DWORD started_;
    std::atomic<bool> stop_{false};
    std::atomic<DWORD> longest_{0}, worstAt_{0}; // worstAt_: ms after the probe started
    std::atomic<long> answers_{0};
    HANDLE thread_;
};

// --- The registry as the program sees it ------------------------------
struct RegText {
    bool found = false;
    DWORD type = 0;
    DWORD size = 0;   // in bytes as the single-byte call reports it: the ANSI text and its NUL
    std::string data; // text as stored, variables unexpanded; a number in decimal
};
// A value ("" names the key's default value). The driver is a 32-bit program
// as Korvane is, so it sees the program's registry view unless `view` names
// another (KEY_WOW64_64KEY).
RegText RegistryValue(HKEY root, const std::string& key, const std::string& name, REGSAM view = 0);
bool RegistryKeyExists(HKEY root, const std::string& key);
void WriteRegistryText(HKEY root, const std::string& key, const std::string& name, const std::string& data);
void DeleteRegistryValue(HKEY root, const std::string& key, const std::string& name);
// The value Korvane of ...\CurrentVersion\Run, which starts the companion.
extern const char kRunKey[];
RegText RunValue(HKEY root, REGSAM view = 0);
// Checks the Run value's data, type REG_SZ and size (text plus its NUL).
void ExpectRunValue(HKEY root, const std::string& data);
// The name this user's Explorer shows for a drive letter; "" for none.
std::string ExplorerLabel(char letter);

// --- Reboots --------------------------------------------------------------
// A case that calls Reboot() ends this boot: the harness stops the Wine
// server, which drops every drive letter as a real reboot does, and runs the
// case again from the top with Boot() one higher.
int Boot();
void SetBoot(int boot);
struct RebootRequest {};
[[noreturn]] void Reboot();

// Starts a command line in `directory` (the driver's own when empty), with
// `startup` when given; its handles go to a pipe when it says so.
PROCESS_INFORMATION Launch(const std::string& commandLine, const std::string& directory = "",
                           STARTUPINFOW* startup = nullptr);
// Waits for the process, ends it and fails when it is not done in time, and
// returns its exit code. The handle is closed.
DWORD Finish(HANDLE process, int timeoutMs, const std::string& what);

// Runs the command lines at once as the logon runs a Run value and a Startup
// program, from the system folder, and waits for each to end by itself;
// `meanwhile` runs once they are started.
void RunAtLogon(const std::vector<std::string>& commandLines, const std::function<void()>& meanwhile = nullptr);
std::string CompanionLogFile();
std::vector<std::string> CompanionLog(); // its lines, without their times

// --- Windows of any process ------------------------------------------
std::string TextOf(HWND hwnd);                               // WM_GETTEXT, wide form
HWND TopWindow(const std::string& className, DWORD pid = 0); // the front one of them, nullptr for none
// Polls `find` every 50 ms until it gives a window; fails with `what` when
// none comes within `timeoutMs`.
HWND WaitWindow(const std::function<HWND()>& find, int timeoutMs, const std::string& what);
void Hover(POINT p); // moves the pointer there, pressing nothing
void Click(POINT p);
POINT Centre(HWND hwnd);                      // of the window on the screen
void Keys(std::initializer_list<WORD> chord); // presses in order, releases in reverse

class MessageBoxWindow {
public:
    explicit MessageBoxWindow(HWND hwnd) : hwnd_(hwnd) {}
    std::string title() const;
    std::string text() const;
    void press(int id); // real click on the button, then waits for the box to go
    // Checks text, title "Korvane" and buttons in one go. Which icon a box
    // shows is the style the program passes, which the unit tests check.
    void expect(const std::string& text, const std::vector<int>& buttons) const;

private:
    HWND hwnd_;
};

class MainWindow;

class Korvane {
public:
    static Korvane Start();
    static Korvane StartFrom(const std::string& folder); // korvane.exe in that folder
    Korvane(Korvane&& other) noexcept;
    Korvane(const Korvane&) = delete;
    ~Korvane();

    DWORD pid() const { return pid_; }
    int threads() const; // how many threads the program has now
    bool running() const;
    bool waitExit(int timeoutMs) const;
    HWND window(const char* className) const; // visible top-level window of this process
    HWND splash() const { return window("KorvaneSplash"); }
    bool hasMessage() const;
    MessageBoxWindow waitMessage(int timeoutMs = 8000) const;
    // Waits for a message box, checks its text and buttons, and presses `press`.
    void answer(const std::string& text, int press = IDOK, const std::vector<int>& buttons = {IDOK},
                int timeoutMs = 20000) const;
    MainWindow waitMain(int timeoutMs = 12000) const;

private:
    Korvane() = default;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

class MainWindow {
public:
    MainWindow(const Korvane& app, HWND hwnd) : app_(&app), hwnd_(hwnd) {}
    HWND hwnd() const { return hwnd_; }
    HWND control(int id) const;

    // What the user sees.
    std::vector<std::string> drives() const;      // rows of the used-drives list
    std::string selectedDrive() const;            // "" when no row is selected
    std::vector<std::string> freeLetters() const; // entries of the letter list
    std::string letterText() const;               // text shown in the letter list
    int letterSelection() const;
    std::vector<std::string> driveListEntries() const; // the Drive list's entries
    std::vector<std::string> savedDrives() const;      // entries of the saved-drives list
    std::string drive() const;                         // Drive's shown text, "C: [...]"
    std::string folder() const;                        // Dir's open folder
    std::vector<std::string> folderEntries() const;    // Dir's rows
    std::string status() const;
    int bar() const;
    bool enabled() const;
    HWND focus() const;

    // What the user does.
    void shortcut(char letter);             // Ctrl+letter
    void menu(char menuKey, char entryKey); // Alt+menu, then the entry's access key
    void toolbar(int command);              // click the button of that command
    POINT toolbarButton(int command) const; // the button's centre on the screen
    void clickDrive(const std::string& drive);
    void doubleClickDrive(const std::string& drive);
    void pickLetter(const std::string& drive);
    void pickDrive(const std::string& drive);  // in the Drive list
    void openFolder(const std::string& path);  // through the Dir list
    void clickSaved(const std::string& drive); // in the saved-drives list
    void removeSave();                         // the Remove Save button
    // The whole create story by Ctrl+C, up to the answered "created" message.
    void create(const std::string& folder, const std::string& letter);
    // Clicks the row, saves it from the toolbar and waits for it to be listed.
    void save(const std::string& drive);
    void close(); // the title bar's close, and the program must end

    // Checks a paced command's time line, sampled from now until its message
    // shows: one quiet second, then the bar at 20, 40, 60, 80, 100 about a
    // second apart, the window disabled from 20 on.
    void expectPacedUntilMessage() const;

private:
    void activate();
    POINT driveIcon(const std::string& drive) const;
    void clickListRow(HWND list, int index, bool twice);
    const Korvane* app_;
    HWND hwnd_;
};

// What must hold whenever the program is at rest, checked at the end of
// every case and after every action of the monkey: the program runs and
// answers, its window is enabled with the bar at 0 and no other window of it
// is open; every letter is in exactly one of the free letters, the used
// drives and the real devices; every saved drive is listed as used, or as
// "X: (not present)" when it is not, and has a record file.
void ExpectConsistent(const Korvane& app, const MainWindow& main);

// Waits for the explorer window that open path starts, checks that it shows
// `folder` by its name, and closes it again, waiting for its end: a second
// explorer started meanwhile hands over to a dying one.
void ExpectExplorerOn(const std::string& folder, const std::string& how);

// Registration of cases; kve2e.exe runs one by name.
using CaseFn = void (*)();
struct Registrar {
    Registrar(const char* name, CaseFn fn);
};
std::vector<std::pair<std::string, CaseFn>>& Cases();

} // namespace e2e

#define KV_CASE(name)                                                                                                  \
    static void name();                                                                                                \
    static const e2e::Registrar registrar_##name(#name, name);                                                         \
    static void name()
