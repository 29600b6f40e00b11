// The monkey: a user who clicks about at random for a while. After every
// action it checks what must hold whatever the user did, so that faults
// which no scripted case thought of still show. The seed decides every
// choice; the same seed on the same program replays the same run.
#include "monkey.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <random>

#include "driver.h"
#include "resource.h"

namespace e2e {
namespace {

const char kRoot[] = "C:\\kvtest\\monkey";
// Cyrillic and CJK: offered only once the program shows this name right.
const char kNonAsciiName[] = "\xD0\x9A\xD0\xB8\xD1\x80\xD0\xB8\xD0\xBB\xD0\xBB\xD0\xB8\xD1\x86\xD0\xB0 "
                             "\xE6\xBC\xA2\xE5\xAD\x97";
const size_t kMostDrives = 6;

std::string WithoutSlash(std::string path) {
    if (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

// The folder behind a letter as its long path, read with the wide calls so
// that non-ASCII names survive; "" when the letter is no virtual drive.
std::string LongFolderOf(const std::string& drive) {
    wchar_t target[1024] = {};
    if (!QueryDosDeviceW(Wide(drive).c_str(), target, 1024)) return "";
    std::wstring folder = target;
    if (folder.compare(0, 4, L"\\??\\") != 0) return "";
    folder = folder.substr(4);
    wchar_t longPath[1024] = {};
    if (GetLongPathNameW(folder.c_str(), longPath, 1024)) folder = longPath;
    return WithoutSlash(Narrow(folder));
}

std::string DeviceOf(const std::string& drive) {
    wchar_t target[1024] = {};
    if (!QueryDosDeviceW(Wide(drive).c_str(), target, 1024)) return "";
    return Narrow(target);
}

bool Contains(const std::vector<std::string>& items, const std::string& item) {
    return std::find(items.begin(), items.end(), item) != items.end();
}

// The program's visible windows other than the main window and the
// transient ones of menus, tips and drop-down lists.
std::vector<HWND> OtherWindows(DWORD pid, HWND main) {
    std::vector<HWND> found;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner != pid || w == main || !IsWindowVisible(w)) continue;
        const std::string cls = ClassOf(w);
        if (cls == "#32768" || cls == "tooltips_class32" || cls == "ComboLBox") continue;
        found.push_back(w);
    }
    return found;
}

class Monkey {
public:
    Monkey(unsigned seed, std::ofstream& trail)
        : random_(seed), trail_(trail), app_(Korvane::Start()), main_(app_.waitMain(30000)) {}

    int run(int seconds) {
        started_ = Now();
        note("main window up");
        desktopExplorers_ = ExplorerProcesses();
        unicode_ = ShowsNonAsciiNames();
        note(std::string("non-ASCII folder ") + (unicode_ ? "in use" : "left out: the folder list does not show its name"));
        checkInvariants();
        const std::pair<int, bool (Monkey::*)()> actions[] = {
            {4, &Monkey::create},     {3, &Monkey::remove},      {2, &Monkey::save},
            {2, &Monkey::removeSave}, {2, &Monkey::openPath},    {2, &Monkey::changeDrive},
            {3, &Monkey::statusClick}, {1, &Monkey::about},
        };
        int total = 0;
        for (const auto& a : actions) total += a.first;
        while (static_cast<int>(Now() - started_) < seconds * 1000) {
            int roll = pick(total);
            const auto* chosen = &actions[0];
            while (roll >= chosen->first) roll -= chosen->first, ++chosen;
            if (!(this->*(chosen->second))()) continue;  // not possible now; choose again
            ++count_;
            checkInvariants();
        }
        return count_;
    }

    int actions() const { return count_; }
    DWORD playedMs() const { return Now() - started_; }
    const std::string& last() const { return last_; }

private:
    int pick(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }
    bool chance(int percent) { return pick(100) < percent; }
    template <typename T>
    const T& any(const std::vector<T>& items) { return items[pick(static_cast<int>(items.size()))]; }

    void note(const std::string& what) {
        last_ = "#" + std::to_string(count_ + 1) + " at " + std::to_string((Now() - started_) / 1000) + " s: " + what;
        trail_ << last_ << std::endl;
    }

    // The program reads folder names in the system's ANSI code page until
    // every path is Unicode-correct; till then it cannot show this folder
    // and the monkey would only find that known gap.
    bool ShowsNonAsciiNames() {
        main_.openFolder(kRoot);
        return Contains(main_.folderEntries(), kNonAsciiName);
    }

    std::vector<std::string> folders() const {
        std::vector<std::string> all = {std::string(kRoot) + "\\Plain", std::string(kRoot) + "\\With Blanks",
                                        std::string(kRoot) + "\\Deep\\Inner Folder", "C:\\"};
        if (unicode_) all.push_back(std::string(kRoot) + "\\" + kNonAsciiName);
        return all;
    }

    void onSystemDrive() {
        if (main_.drive().compare(0, 2, "C:") == 0) return;
        main_.pickDrive("C:");
        Expect(WaitFor([&] { return main_.drive().compare(0, 2, "C:") == 0; }, 10000), "Drive did not go back to C:");
    }

    void clickBlankOfDrives() {
        HWND list = main_.control(IDC_LSV);
        RECT r;
        GetWindowRect(list, &r);
        main_.activate();
        Click(r.right - 12, r.bottom - 12);
    }

    // A message box the action expects, answered after its text is checked.
    void answer(const std::string& text, Icon icon, std::vector<int> buttons, int press, int timeoutMs = 10000) {
        MessageBoxWindow box = app_.waitMessage(timeoutMs);
        box.expect(text, icon, buttons);
        box.press(press);
    }

    bool create() {
        const auto letters = main_.freeLetters();
        if (letters.empty() || main_.drives().size() >= kMostDrives) return false;
        const std::string letter = any(letters), folder = any(folders());
        const int how = pick(3);
        note("create " + letter + " on " + folder + (how == 0 ? " by File > Create" : how == 1 ? " by Ctrl+C" : " by the toolbar"));
        onSystemDrive();
        main_.openFolder(folder);
        main_.pickLetter(letter);
        if (how == 0) main_.menu('F', 'C');
        else if (how == 1) main_.shortcut('C');
        else main_.toolbar(IDM_CREATE);
        answer("Virtual drive " + letter + " created.", Icon::Information, {IDOK}, IDOK, 30000);
        Expect(WaitFor([&] { return lstrcmpiA(LongFolderOf(letter).c_str(), WithoutSlash(folder).c_str()) == 0; }, 15000),
               letter + " stands for \"" + LongFolderOf(letter) + "\", not " + folder);
        return true;
    }

    bool remove() {
        const auto rows = main_.drives();
        const int choice = pick(10);
        std::string what = "remove";
        if (!rows.empty() && choice < 8) {
            const std::string drive = any(rows);
            what += " " + drive;
            main_.clickDrive(drive);
        } else if (choice == 8) {
            what += " after a click beside the rows";
            clickBlankOfDrives();
        }
        const std::string selected = main_.selectedDrive();
        const int how = pick(3);
        const bool yes = chance(70);
        note(what + (selected.empty() ? " with no row selected" : yes ? ", Yes" : ", No") +
             (how == 0 ? " by File > Remove" : how == 1 ? " by Ctrl+R" : " by the toolbar"));
        if (how == 0) main_.menu('F', 'R');
        else if (how == 1) main_.shortcut('R');
        else main_.toolbar(IDM_REMOVE);
        if (selected.empty()) {
            answer("You must select a drive to delete!", Icon::Information, {IDOK}, IDOK);
            return true;
        }
        answer("Delete virtual drive " + selected + " ?", Icon::Question, {IDYES, IDNO}, yes ? IDYES : IDNO);
        if (!yes) return true;
        answer("Virtual drive " + selected + " has been deleted!", Icon::Information, {IDOK}, IDOK, 30000);
        Expect(WaitFor([&] { return !Contains(main_.drives(), selected); }, 10000), selected + " is still listed");
        Expect(WaitFor([&] { return DeviceOf(selected).empty(); }, 15000), selected + " still exists");
        return true;
    }

    bool save() {
        if (!main_.toolbarEnabled(IDM_SAVE)) return false;
        const auto rows = main_.drives();
        if (!rows.empty() && chance(80)) main_.clickDrive(any(rows));
        const std::string selected = main_.selectedDrive();
        const auto before = main_.savedDrives();
        const int how = pick(3);
        note("save " + (selected.empty() ? std::string("with no row selected") : selected) +
             (how == 0 ? " by File > Save" : how == 1 ? " by Ctrl+S" : " by the toolbar"));
        if (how == 0) main_.menu('F', 'S');
        else if (how == 1) main_.shortcut('S');
        else main_.toolbar(IDM_SAVE);
        if (!selected.empty())
            Expect(WaitFor([&] { return Contains(main_.savedDrives(), selected); }, 10000), selected + " was not saved");
        return true;
    }

    bool removeSave() {
        if (!IsWindowEnabled(main_.control(IDC_REMOVESAVE))) return false;
        const auto saved = main_.savedDrives();
        if (!saved.empty() && chance(80)) main_.clickSaved(any(saved));
        const int index = main_.savedSelection();
        const std::string selected = index >= 0 ? main_.savedDrives().at(index) : "";
        note("remove save " + (selected.empty() ? std::string("with nothing selected") : selected));
        main_.removeSave();
        if (selected.empty()) {
            answer("Please select a drive to remove!", Icon::Information, {IDOK}, IDOK);
            return true;
        }
        Expect(WaitFor([&] { return !Contains(main_.savedDrives(), selected); }, 10000), selected + " stayed saved");
        if (selected.size() == 2)
            Expect(Contains(main_.drives(), selected), "removing the save of " + selected + " removed the drive");
        return true;
    }

    bool openPath() {
        const auto rows = main_.drives();
        if (rows.empty()) return false;
        const std::string drive = any(rows);
        const int how = pick(5);
        const char* hows[] = {" by File > Open Path", " by Ctrl+O", " by the toolbar", " by a double click",
                              " by Enter on the row"};
        note("open path of " + drive + hows[how]);
        if (how == 3) {
            main_.doubleClickDrive(drive);
        } else {
            main_.clickDrive(drive);
            if (how == 0) main_.menu('F', 'O');
            else if (how == 1) main_.shortcut('O');
            else if (how == 2) main_.toolbar(IDM_OPENPATH);
            else Keys({VK_RETURN});
        }
        HWND explorer = nullptr;
        WaitFor([&] {
            const auto shown = TopWindows("ExplorerWClass");
            explorer = shown.empty() ? nullptr : shown.front();
            return explorer != nullptr;
        }, 30000);
        Expect(explorer != nullptr, "no explorer window opened");
        const std::string folder = LongFolderOf(drive);
        const std::string name = folder.substr(folder.find_last_of('\\') + 1);
        DWORD pid = 0;
        GetWindowThreadProcessId(explorer, &pid);
        if (!name.empty() && TextOf(explorer) != name)
            Fail("the explorer shows \"" + TextOf(explorer) + "\", not " + name + "; it was started as " +
                 ProcessCommandLine(pid) + "; " + std::to_string(TopWindows("ExplorerWClass").size()) +
                 " explorer windows");
        CloseExplorer(explorer);
        return true;
    }

    static void EndProcess(DWORD pid) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        if (!process) return;
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 10000);
        CloseHandle(process);
    }

    // Explorer processes besides those of the desktop, which were there
    // before the first action.
    std::vector<DWORD> ExplorerProcesses() const {
        std::vector<DWORD> found;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return found;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
            if (lstrcmpiW(entry.szExeFile, L"explorer.exe") == 0 &&
                std::find(desktopExplorers_.begin(), desktopExplorers_.end(), entry.th32ProcessID) == desktopExplorers_.end())
                found.push_back(entry.th32ProcessID);
        CloseHandle(snapshot);
        return found;
    }

    // Ends the explorer and waits until it has gone, so that the next open
    // path does not hand over to a dying explorer.
    void CloseExplorer(HWND explorer) {
        DWORD pid = 0;
        GetWindowThreadProcessId(explorer, &pid);
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
        PostMessageW(explorer, WM_CLOSE, 0, 0);
        if (process) {
            if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) TerminateProcess(process, 0);
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
        Expect(WaitFor([] { return TopWindows("ExplorerWClass").empty(); }, 15000), "an explorer window stays open");
        // One command, one explorer: a second one still starting up would
        // open its window during the next action.
        if (!WaitFor([&] { return ExplorerProcesses().empty(); }, 20000)) {
            const auto late = TopWindows("ExplorerWClass");
            Expect(late.empty(), "a second explorer window opened: \"" + (late.empty() ? "" : TextOf(late.front())) + "\"");
            note("an explorer process without a window stays; ended");
            for (DWORD stray : ExplorerProcesses()) EndProcess(stray);
        }
    }

    // Wine's file calls do not see letters that DefineDosDevice made, so
    // the monkey asks the system itself whether the root can be read, and
    // expects the program either to open the drive or to say why not and
    // go back to the system drive.
    bool changeDrive() {
        std::vector<std::string> letters;
        for (const std::string& entry : main_.driveListEntries()) letters.push_back(entry.substr(0, 2));
        if (letters.empty()) return false;
        std::string letter = any(letters);
        for (char& c : letter) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        const bool readable = RootReadable(letter);
        note("drive change to " + letter + (readable ? "" : ", whose root cannot be read"));
        main_.pickDrive(letter);
        if (readable) {
            Expect(WaitFor([&] { return main_.drive().compare(0, 2, letter) == 0; }, 10000),
                   "Drive shows " + main_.drive() + " after picking " + letter);
            Expect(!app_.hasMessage(), "picking " + letter + " gave the message \"" +
                                           (app_.hasMessage() ? app_.waitMessage().text() : "") + "\"");
            return true;
        }
        // The program may read it where the monkey cannot (under Wine that
        // depends on the call); either its folder list opens the drive or it
        // says why not, once the reading is done.
        Expect(WaitFor([&] { return app_.hasMessage() || main_.folder().compare(0, 2, letter) == 0; }, 10000),
               "picking " + letter + " neither opened it nor said why not; the folder list shows " + main_.folder());
        if (!app_.hasMessage()) return true;
        MessageBoxWindow box = app_.waitMessage(10000);
        ExpectEq(box.title(), "Korvane", "title of the drive error");
        Expect(box.icon() == Icon::Critical && !box.text().empty(), "the drive error is not a critical message with a text");
        box.press(IDOK);
        Expect(WaitFor([&] { return main_.drive().compare(0, 2, "C:") == 0; }, 10000),
               "Drive shows " + main_.drive() + " after the error, not the system drive");
        return true;
    }

    static bool RootReadable(const std::string& drive) {
        const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(Wide(drive + "\\*").c_str(), &found);
        const DWORD error = GetLastError();
        SetErrorMode(oldMode);
        if (search == INVALID_HANDLE_VALUE) return error == ERROR_FILE_NOT_FOUND;
        FindClose(search);
        return true;
    }

    bool statusClick() {
        const auto rows = main_.drives();
        if (rows.empty()) return false;
        const std::string drive = any(rows);
        note("click on " + drive + " for the status bar");
        main_.clickDrive(drive);
        const std::string folder = LongFolderOf(drive);
        Expect(WaitFor([&] { return lstrcmpiA(WithoutSlash(main_.status()).c_str(), folder.c_str()) == 0; }, 8000),
               "the status bar shows \"" + main_.status() + "\" for " + drive + ", not " + folder);
        return true;
    }

    // Help > About opens the about window while the main window waits; it
    // is offered only once Ctrl+A has been seen to open it.
    bool about() {
        if (aboutMissing_) return false;
        const bool probing = !aboutSeen_;
        const bool byMenu = !probing && chance(50);
        note(std::string("about") + (byMenu ? " by Help > About" : " by Ctrl+A"));
        if (byMenu) main_.menu('H', 'A');
        else main_.shortcut('A');
        HWND window = nullptr;
        WaitFor([&] {
            const auto others = OtherWindows(app_.pid(), main_.hwnd());
            window = others.empty() ? nullptr : others.front();
            return window != nullptr;
        }, probing ? 6000 : 15000);
        if (!window) {
            Expect(probing, "no about window opened");
            aboutMissing_ = true;
            note("about: Ctrl+A opens nothing yet, left out from now on");
            return true;
        }
        aboutSeen_ = true;
        Expect(!main_.enabled(), "the main window takes input while the about window is open");
        SetForegroundWindow(window);
        Keys({VK_ESCAPE});
        Expect(WaitFor([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 10000),
               "Esc did not close the about window");
        return true;
    }

    // What must hold after every action, whatever it was.
    void checkInvariants() {
        Expect(app_.running(), "the program ended");
        Expect(main_.responds(15000), "the program does not respond");
        Expect(WaitFor([&] { return main_.enabled() && main_.bar() == 0; }, 15000),
               "the window did not come back to rest: bar " + std::to_string(main_.bar()) +
                   (main_.enabled() ? ", enabled" : ", disabled"));
        const auto others = OtherWindows(app_.pid(), main_.hwnd());
        if (!others.empty()) Fail("a window of the program stays open: " + ClassOf(others.front()) + " \"" +
                                  TextOf(others.front()) + "\"");
        // Only open path may start an explorer, and it waits for its end.
        const auto explorers = ExplorerProcesses();
        if (!explorers.empty()) Fail("an explorer was started without an open path: " + ProcessCommandLine(explorers.front()));
        // subst.exe runs on its own: give the system time to catch up.
        std::string fault;
        if (!WaitFor([&] { return (fault = letterFault()).empty(); }, 15000)) Fail(fault);
    }

    std::string letterFault() const {
        const auto free = main_.freeLetters(), used = main_.drives(), saved = main_.savedDrives();
        for (char c = 'A'; c <= 'Z'; ++c) {
            const std::string drive{c, ':'};
            const std::string device = DeviceOf(drive);
            const bool real = device.compare(0, 8, "\\Device\\") == 0;
            const bool virtualDrive = device.compare(0, 4, "\\??\\") == 0;
            const int inFree = static_cast<int>(std::count(free.begin(), free.end(), drive));
            const int inUsed = static_cast<int>(std::count(used.begin(), used.end(), drive));
            const std::string where = drive + " is " + std::to_string(inFree) + "x in the free letters, " +
                                      std::to_string(inUsed) + "x in the used drives, " +
                                      (real ? "a real device" : "no real device") + " (device \"" + device + "\")";
            if (c == 'B' && !virtualDrive && !real) {
                if (inFree + inUsed != 0) return where + "; B: is never offered";
                continue;
            }
            if (inFree + inUsed + (real ? 1 : 0) != 1) return where;
            if (inUsed && !virtualDrive) return where + "; a used drive without a mapping";
            if (inFree && !device.empty()) return where + "; a free letter with a device";
        }
        // "X:" for a saved drive that is used, "X: (not present)" for one that is not.
        std::vector<std::string> savedLetters;
        for (const std::string& entry : saved) {
            const std::string drive = entry.substr(0, 2);
            if (Contains(used, drive) != (entry == drive))
                return "saved drive " + entry + " does not agree with the used drives " + Join(used);
            savedLetters.push_back(drive);
        }
        std::sort(savedLetters.begin(), savedLetters.end());
        if (RecordFiles() != savedLetters)
            return "record files " + Join(RecordFiles()) + " differ from the saved drives " + Join(saved);
        return "";
    }

    std::mt19937 random_;
    std::ofstream& trail_;
    Korvane app_;
    MainWindow main_;
    DWORD started_ = 0;
    int count_ = 0;
    std::string last_;
    bool unicode_ = false;
    bool aboutSeen_ = false;
    bool aboutMissing_ = false;
    std::vector<DWORD> desktopExplorers_;
};

// Two drives that a previous session left; saved drives come only from
// the monkey's own saves, so that every record is one it made.
void PrepareMachine() {
    for (const char* sub : {"\\Plain", "\\With Blanks", "\\Deep\\Inner Folder"}) MakeFolder(kRoot + std::string(sub));
    const std::wstring nonAscii = Wide(std::string(kRoot) + "\\" + kNonAsciiName);
    CreateDirectoryW(nonAscii.c_str(), nullptr);
    Expect(GetFileAttributesW(nonAscii.c_str()) != INVALID_FILE_ATTRIBUTES, "could not make the non-ASCII folder");
    MapDrive("S:", ShortPath(std::string(kRoot) + "\\With Blanks"));
    MapDrive("M:", std::string(kRoot) + "\\Plain");
}
}  // namespace

std::string RunMonkey(int seconds, unsigned seed, const std::string& trailFile) {
    std::ofstream trail(trailFile);
    trail << "seed " << seed << std::endl;
    int actions = 0;
    DWORD played = 0;
    std::string last;
    try {
        MakeFolder(kScratch);
        PrepareMachine();
        Monkey monkey(seed, trail);
        try {
            actions = monkey.run(seconds);
            played = monkey.playedMs();
        } catch (const std::exception&) {
            actions = monkey.actions();
            last = monkey.last();
            throw;
        }
    } catch (const std::exception& e) {
        return "FAIL: " + std::string(e.what()) + "; in action " + (last.empty() ? "(start-up)" : last) +
               "; seed " + std::to_string(seed);
    }
    return "PASS: " + std::to_string(actions) + " actions in " + std::to_string(played / 1000) + " s, seed " +
           std::to_string(seed);
}

}  // namespace e2e
