// Folder names outside the system's ANSI code page: Cyrillic and CJK letters
// in the folder of a drive and in the program's own folder.
#include "driver.h"
#include "resource.h"

using namespace e2e;

namespace {
const char kFolder[] = "C:\\kvtest\\Фото 写真";
const char kProgramFolder[] = "C:\\kvtest\\Программы 程序";
} // namespace

// Korvane run from such a folder makes its data folder and opens its manual
// there; a drive on such a folder is made, shown, opened and still listed
// after a restart.
KV_CASE(cyrillic_and_cjk_folders_for_the_program_and_a_drive) {
    MakeFolder(kFolder);
    CopyProgramTo(kProgramFolder);
    std::string target;
    {
        Korvane app = Korvane::StartFrom(kProgramFolder);
        MainWindow main = app.waitMain();
        Expect(!app.hasMessage(), "a message showed at start-up");
        Expect(Exists(std::string(kProgramFolder) + "\\kordat"), "no data folder beside the program");
        main.shortcut('M');
        Expect(WaitFor([] { return !OpenLog().empty(); }, 5000), "the manual was not opened");
        const std::string manual = std::string(kProgramFolder) + "\\manual.html";
        Expect(OpenLog().back().find(manual) != std::string::npos, "the shell opened " + OpenLog().back());

        main.create(kFolder, "U:");
        target = DriveTarget("U:");
        Expect(target.rfind("\\??\\", 0) == 0, "U: is no virtual drive: " + target);
        main.clickDrive("U:");
        Expect(WaitFor([&] { return main.status() == kFolder; }, 2000), "status bar shows \"" + main.status() + "\"");
        main.shortcut('O');
        ExpectExplorerOn(kFolder, "Ctrl+O");
        ExpectConsistent(app, main);
        main.shortcut('E');
        Expect(app.waitExit(3000), "Ctrl+E did not end the program");
    }
    Korvane again = Korvane::StartFrom(kProgramFolder);
    MainWindow main = again.waitMain();
    ExpectEq(main.drives(), {"U:"}, "used drives after the restart");
    ExpectEq(DriveTarget("U:"), target, "U: target after the restart");
    ExpectEq(SubstLog().size(), 1, "subst launches");
    ExpectConsistent(again, main);
}
