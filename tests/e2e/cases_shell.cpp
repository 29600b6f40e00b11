// Open path, the manual and exit: the commands that hand over to the shell
// or end the program.
#include <algorithm>

#include "driver.h"
#include "resource.h"

using namespace e2e;

namespace {
std::vector<HWND> Explorers() { return TopWindows("ExplorerWClass"); }

// Waits for an explorer window that was not there before and checks that it
// shows exactly `folder`; closes it again.
void ExpectExplorerOn(const std::vector<HWND>& before, const std::string& folder, const std::string& how) {
    HWND opened = nullptr;
    WaitFor([&] {
        for (HWND w : Explorers())
            if (std::find(before.begin(), before.end(), w) == before.end()) opened = w;
        return opened != nullptr;
    }, 5000);
    Expect(opened != nullptr, how + " opened no explorer window");
    const std::string name = folder.substr(folder.find_last_of('\\') + 1);
    ExpectEq(TextOf(opened), name, how + ": explorer title");
    DWORD pid = 0;
    GetWindowThreadProcessId(opened, &pid);
    const std::string commandLine = ProcessCommandLine(pid);
    Expect(commandLine.find(folder) != std::string::npos,
           how + ": explorer was started as " + commandLine + ", not on " + folder);
    PostMessageW(opened, WM_CLOSE, 0, 0);
    WaitFor([&] { return !IsWindow(opened); }, 3000);
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
        {"File > Open Path", [&] { main.menu('F', 'O'); }},
        {"Ctrl+O", [&] { main.shortcut('O'); }},
        {"the toolbar", [&] { main.toolbar(IDM_OPENPATH); }},
        {"a double click", [&] { main.doubleClickDrive("P:"); }},
        {"Enter on the row", [&] { main.clickDrive("P:"); Keys({VK_RETURN}); }},
    };
    for (const auto& trigger : triggers) {
        const auto before = Explorers();
        trigger.second();
        ExpectExplorerOn(before, folder, trigger.first);
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
        Expect(WaitFor([&] { return OpenLog().size() > opened; }, 5000),
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
