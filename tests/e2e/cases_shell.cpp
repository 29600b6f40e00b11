// Open path and the manual, the commands that hand over to the shell, and
// exit.
#include "driver.h"
#include "resource.h"

using namespace e2e;

// With no row selected open path does nothing; with one, each of its five
// triggers opens the drive's long folder in explorer. Each of the manual's
// three triggers hands the manual beside the program to the shell; the
// toolbar's Exit ends the program.
KV_CASE(open_path_manual_and_exit) {
    const std::string folder = "C:\\kvtest\\Holiday Photos";
    LeaveDrive("P:", folder, By::ShortName);
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.menu('F', 'O');
    main.shortcut('O');
    main.toolbar(IDM_OPENPATH);
    Sleep(2500);
    Expect(!TopWindow("ExplorerWClass"), "open path without a row opened an explorer");
    Expect(!app.hasMessage() && app.running(), "open path without a row disturbed the program");

    main.clickDrive("P:");
    const std::pair<const char*, std::function<void()>> triggers[] = {
        {"Enter on the row",
         [&] {
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
    for (const auto& trigger : triggers) {
        trigger.second();
        ExpectExplorerOn(folder, trigger.first);
        Expect(!app.hasMessage(), std::string(trigger.first) + " showed a message");
    }

    const std::string manual = ProgramFile("manual.html");
    const std::pair<const char*, std::function<void()>> manualTriggers[] = {
        {"Help > Manual", [&] { main.menu('H', 'M'); }},
        {"Ctrl+M", [&] { main.shortcut('M'); }},
        {"the toolbar", [&] { main.toolbar(IDM_MANUAL); }},
    };
    size_t opened = 0;
    for (const auto& trigger : manualTriggers) {
        trigger.second();
        Expect(WaitFor([&] { return OpenLog().size() > opened; }, 15000),
               std::string(trigger.first) + " did not ask the shell to open the manual");
        ++opened;
        Expect(OpenLog().back().find(manual) != std::string::npos,
               std::string(trigger.first) + " opened " + OpenLog().back());
        Expect(!app.hasMessage() && app.running(), std::string(trigger.first) + " disturbed the program");
    }
    ExpectConsistent(app, main);
    main.toolbar(IDM_EXIT);
    Expect(app.waitExit(3000), "the toolbar's Exit did not end the program");
}
