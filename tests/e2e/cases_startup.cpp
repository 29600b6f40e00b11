// Start-up: the checks for the needed programs, the splash, the first
// picture of the drives, and the main window's own behaviour.
#include <cstdio>

#include "driver.h"
#include "resource.h"

using namespace e2e;

KV_CASE(startup_without_subst_explains_and_ends) {
    RemoveSubst();
    Korvane app = Korvane::Start();
    MessageBoxWindow box = app.waitMessage();
    box.expect("Cannot find needed subst.exe in directory,  \r\nC:\\windows\\system32\\subst.exe,\r\n"
               "without this file Korvane cannot function.  Korvane.",
               Icon::Critical, {IDOK});
    Expect(!app.splash() && !app.window("KorvaneMain"), "a Korvane window showed beside the message");
    box.press(IDOK);
    Expect(app.waitExit(3000), "the program went on after the message");
    Expect(!Exists(ProgramFile("kordat")), "the data folder was made");
}

KV_CASE(startup_without_companion_warns_then_goes_on) {
    RemoveCompanion();
    Korvane app = Korvane::Start();
    MessageBoxWindow box = app.waitMessage();
    box.expect(std::string("Cannot find needed korstart.exe in directory,  ") + kProgramDir +
                   ",\r\nwithout this file a user cannot start saves after rebooting.  "
                   "You may need to reinstall Korvane.",
               Icon::Critical, {IDOK});
    Expect(!app.splash(), "the splash showed while the message was open");
    box.press(IDOK);
    Expect(WaitFor([&] { return app.splash() != nullptr; }, 10000), "no splash after the message");
    app.waitMain();
}

KV_CASE(splash_hands_over_on_the_third_tick) {
    Korvane app = Korvane::Start();
    Expect(WaitFor([&] { return app.splash() != nullptr; }, 8000), "no splash window");
    const DWORD shown = Now();
    HWND splash = app.splash();
    RECT r;
    GetWindowRect(splash, &r);
    ExpectEq(r.right - r.left, 300, "splash width");
    ExpectEq(r.bottom - r.top, 150, "splash height");
    const int dx = (r.left + r.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2;
    const int dy = (r.top + r.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2;
    Expect(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2, "the splash is not centred");
    Expect(!(GetWindowLongA(splash, GWL_STYLE) & WS_CAPTION), "the splash has a title bar");
    // Made behind the splash, well before the hand-over.
    Expect(WaitFor([] { return Exists(ProgramFile("kordat")); }, 2000), "no data folder beside the program");

    Expect(WaitFor([&] { return app.window("KorvaneMain") != nullptr; }, 6000), "no main window");
    const DWORD handover = Now() - shown;
    std::printf("main window up %lu ms after the splash\n", static_cast<unsigned long>(handover));
    Expect(handover >= 2000 && handover <= 4000,
           "the main window came " + std::to_string(handover) + " ms after the splash, not at the third tick");
    // The main window comes first and takes the foreground; the splash goes right after.
    Expect(WaitFor([&] { return !app.splash(); }, 1000), "the splash stayed beside the main window");
    ExpectEq(TextOf(app.window("KorvaneMain")), "Korvane", "main window caption");
}

KV_CASE(drives_and_free_letters_at_startup) {
    MakeFolder("C:\\kvtest\\Music");
    MakeFolder("C:\\kvtest\\Work");
    MakeFolder("C:\\kvtest\\Gone");
    MapDrive("T:", "C:\\kvtest\\Work");
    MapDrive("M:", "C:\\kvtest\\Music");
    MapDrive("G:", "C:\\kvtest\\Gone");
    RemoveFolder("C:\\kvtest\\Gone");

    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    ExpectEq(main.drives(), {"M:", "T:"}, "used drives");
    ExpectEq(main.freeLetters(), FreeLettersBut("CGMTZ"), "free letters");
    ExpectEq(main.letterText(), "Avaliable Drives:", "letter list text");
    const auto asked = [] {
        const auto log = SubstLog();
        return std::find(log.begin(), log.end(), "G: /D") != log.end();
    };
    Expect(WaitFor(asked, 15000), "subst was not asked to delete G:, log " + Join(SubstLog()));
    Expect(WaitDriveTarget("G:", ""), "G: still exists");
    ExpectEq(DriveTarget("M:"), "\\??\\C:\\kvtest\\Music", "M: untouched");
}

KV_CASE(status_bar_shows_the_long_folder_of_a_clicked_drive) {
    MakeFolder("C:\\kvtest\\Long Folder Name");
    MakeFolder("C:\\kvtest\\Plain");
    MapDrive("K:", ShortPath("C:\\kvtest\\Long Folder Name"));
    MapDrive("P:", "C:\\kvtest\\Plain");

    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.clickDrive("K:");
    Expect(WaitFor([&] { return main.status() == "C:\\kvtest\\Long Folder Name"; }, 8000),
           "status bar shows \"" + main.status() + "\" after a click on K:");
    Pause(800);
    Expect(TopWindows("ExplorerWClass").empty(), "a single click on K: opened its folder in explorer");
    main.clickDrive("P:");
    Expect(WaitFor([&] { return main.status() == "C:\\kvtest\\Plain"; }, 8000),
           "status bar shows \"" + main.status() + "\" after a click on P:");
}

KV_CASE(unreadable_drive_is_reported_and_the_lists_go_back) {
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    const std::string home = main.folder();
    Expect(main.drive().rfind("C:", 0) == 0, "Drive does not start on C: but on " + main.drive());
    MapDrive("Q:", "C:\\kvtest\\nowhere");  // a drive whose folder does not exist

    main.pickDrive("Q:");
    MessageBoxWindow box = app.waitMessage();
    ExpectEq(box.title(), "Korvane", "error title");
    Expect(!box.text().empty(), "the error message is empty");
    ExpectEq(IconName(box.icon()), IconName(Icon::Critical), "error icon");
    box.press(IDOK);
    Expect(WaitFor([&] { return main.drive().rfind("C:", 0) == 0; }, 8000), "Drive shows " + main.drive());
    ExpectEq(main.folder(), home, "folder list after the error");
    Expect(!app.hasMessage(), "a second message followed");
}

KV_CASE(closing_the_window_ends_the_program) {
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.close();
    Expect(app.waitExit(3000), "the program is still running after its window was closed");
}
