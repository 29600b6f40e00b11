// Folder names outside the system's ANSI code page: Cyrillic and CJK letters
// in the folder of a drive and in the program's own folder.
#include "driver.h"
#include "resource.h"

using namespace e2e;

namespace {
const char kFolder[] = "C:\\kvtest\\Фото 写真";
const char kProgramFolder[] = "C:\\kvtest\\Программы 程序";
}  // namespace

KV_CASE(drive_on_a_cyrillic_and_cjk_folder_works_and_survives_a_restart) {
    MakeFolder(kFolder);
    std::string target;
    {
        Korvane app = Korvane::Start();
        MainWindow main = app.waitMain();
        main.openFolder(kFolder);
        main.pickLetter("U:");
        main.shortcut('C');
        MessageBoxWindow box = app.waitMessage(9000);
        box.expect("Virtual drive U: created.", {IDOK});
        box.press(IDOK);
        Expect(WaitFor([&] { return main.enabled() && main.bar() == 0; }, 2000), "the window did not come back to rest");
        target = DriveTarget("U:");
        Expect(target.rfind("\\??\\", 0) == 0, "U: is no virtual drive: " + target);
        ExpectEq(main.drives(), {"U:"}, "used drives");

        main.clickDrive("U:");
        Expect(WaitFor([&] { return main.status() == kFolder; }, 2000), "status bar shows \"" + main.status() + "\"");
        main.shortcut('O');
        ExpectExplorerOn(kFolder, "Ctrl+O");
        main.close();
        Expect(app.waitExit(3000), "the program did not end");
    }
    Korvane again = Korvane::Start();
    MainWindow main = again.waitMain();
    ExpectEq(main.drives(), {"U:"}, "used drives after the restart");
    ExpectEq(DriveTarget("U:"), target, "U: target after the restart");
    ExpectEq(SubstLog().size(), 1, "subst launches");
    ExpectConsistent(again, main);
}

KV_CASE(program_folder_with_cyrillic_and_cjk_letters) {
    CopyProgramTo(kProgramFolder);
    Korvane app = Korvane::StartFrom(kProgramFolder);
    HWND main = nullptr;
    WaitFor([&] { return (main = app.window("KorvaneMain")) != nullptr || app.hasMessage() || !app.running(); },
            12000);
    Expect(!app.hasMessage(), "a message showed at start-up: " +
                                  (app.hasMessage() ? MessageBoxWindow(app.window("#32770")).text() : ""));
    Expect(main != nullptr, "the main window did not show");
    Expect(Exists(std::string(kProgramFolder) + "\\kordat"), "no data folder beside the program");
    MainWindow window = app.waitMain();
    window.shortcut('M');
    Expect(WaitFor([] { return !OpenLog().empty(); }, 5000), "the manual was not opened");
    const std::string manual = std::string(kProgramFolder) + "\\manual.html";
    Expect(OpenLog().back().find(manual) != std::string::npos, "the shell opened " + OpenLog().back());
    ExpectConsistent(app, window);
}
