// Open path, the manual and exit: the commands that hand over to the shell
// or end the program.
#include <algorithm>

#include "driver.h"
#include "resource.h"

using namespace e2e;

namespace {
std::vector<HWND> Explorers() { return TopWindows("ExplorerWClass"); }

// Waits for an explorer window, checks that it shows exactly `folder`, and
// closes it again. Window handles are reused quickly under Wine, so the
// cases start each command with no explorer window open instead of
// comparing handles.
void ExpectExplorerOn(const std::string& folder, const std::string& how) {
    HWND opened = nullptr;
    WaitFor([&] {
        const auto shown = Explorers();
        opened = shown.empty() ? nullptr : shown.front();
        return opened != nullptr;
    }, 20000);
    Expect(opened != nullptr, how + " opened no explorer window");
    const std::string name = folder.substr(folder.find_last_of('\\') + 1);
    ExpectEq(TextOf(opened), name, how + ": explorer title");
    DWORD pid = 0;
    GetWindowThreadProcessId(opened, &pid);
    const std::string commandLine = ProcessCommandLine(pid);
    Expect(commandLine.find(folder) != std::string::npos,
           how + ": explorer was started as " + commandLine + ", not on " + folder);
    // Let the explorer process end before the next command asks the shell
    // again: a second explorer started meanwhile hands over to the dying one.
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    PostMessageW(opened, WM_CLOSE, 0, 0);
    if (process) {
        if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0) {
            TerminateProcess(process, 0);
            WaitForSingleObject(process, 10000);
        }
        CloseHandle(process);
    }
    WaitFor([&] { return !IsWindow(opened); }, 10000);
}
}  // namespace

KV_CASE(open_path_shows_the_long_folder_in_explorer) {
    const std::string folder = "C:\\kvtest\\Holiday Photos";
    MakeFolder(folder);
    MapDrive("P:", ShortPath(folder));
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.clickDrive("P:");
    const std::pair<const char*, std::function<void()>> triggers[] = {
        {"Enter on the row", [&] {
             main.clickDrive("P:");
             Expect(WaitFor([&] { return main.focus() == main.control(IDC_LSV); }, 5000),
                    "the used-drives list does not have the focus");
             Keys({VK_RETURN});
         }},
        {"File > Open Path", [&] { main.menu('F', 'O'); }},
        {"Ctrl+O", [&] { main.shortcut('O'); }},
        {"the toolbar", [&] { main.toolbar(IDM_OPENPATH); }},
        {"a double click", [&] { main.doubleClickDrive("P:"); }},
    };
    std::string previous = "the start";
    for (const auto& trigger : triggers) {
        if (!WaitFor([] { return Explorers().empty(); }, 15000))
            Fail("after " + previous + " an explorer window stays open: " + TextOf(Explorers().front()));
        previous = trigger.first;
        trigger.second();
        ExpectExplorerOn(folder, trigger.first);
        Expect(!app.hasMessage(), std::string(trigger.first) + " showed a message");
    }
}

KV_CASE(open_path_without_a_row_does_nothing) {
    MakeFolder("C:\\kvtest\\Plain");
    MapDrive("P:", "C:\\kvtest\\Plain");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    const auto before = Explorers();
    main.menu('F', 'O');
    main.shortcut('O');
    main.toolbar(IDM_OPENPATH);
    Pause(2500);
    ExpectEq(static_cast<long long>(Explorers().size()), static_cast<long long>(before.size()), "explorer windows");
    Expect(!app.hasMessage(), "a message was shown");
    Expect(app.running(), "the program ended");
}

KV_CASE(manual_opens_from_menu_shortcut_and_toolbar) {
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    const std::string expected = ProgramFile("manual.html");
    const std::pair<const char*, std::function<void()>> triggers[] = {
        {"Help > Manual", [&] { main.menu('H', 'M'); }},
        {"Ctrl+M", [&] { main.shortcut('M'); }},
        {"the toolbar", [&] { main.toolbar(IDM_MANUAL); }},
    };
    size_t opened = 0;
    for (const auto& trigger : triggers) {
        trigger.second();
        Expect(WaitFor([&] { return OpenLog().size() > opened; }, 15000),
               std::string(trigger.first) + " did not ask the shell to open the manual");
        ++opened;
        const std::string line = OpenLog().back();
        Expect(line.find(expected) != std::string::npos, std::string(trigger.first) + " opened " + line);
        Expect(!app.hasMessage() && app.running(), std::string(trigger.first) + " disturbed the program");
    }
}

KV_CASE(exit_from_menu_shortcut_and_toolbar) {
    const std::pair<const char*, std::function<void(MainWindow&)>> triggers[] = {
        {"File > Exit", [](MainWindow& m) { m.menu('F', 'E'); }},
        {"Ctrl+E", [](MainWindow& m) { m.shortcut('E'); }},
        {"the toolbar", [](MainWindow& m) { m.toolbar(IDM_EXIT); }},
    };
    for (const auto& trigger : triggers) {
        Korvane app = Korvane::Start();
        MainWindow main = app.waitMain();
        trigger.second(main);
        Expect(app.waitExit(3000), std::string(trigger.first) + " did not end the program");
    }
}
