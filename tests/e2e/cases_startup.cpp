// Start-up: the checks for the needed programs, the splash, the first
// picture of the drives, and the main window's own behaviour.
#include <cstdio>

#include "driver.h"
#include "resource.h"

using namespace e2e;

// A missing companion costs only the saves at the next logon: Korvane warns
// and goes on. Without subst.exe it can do nothing: it says so and ends.
KV_CASE(startup_without_companion_or_subst) {
    DeleteFileW(Wide(ProgramFile("korstart.exe")).c_str());
    {
        Korvane app = Korvane::Start();
        MessageBoxWindow box = app.waitMessage();
        box.expect(std::string("Cannot find needed korstart.exe in directory,  ") + kProgramDir +
                       ",\r\nwithout this file a user cannot start saves after rebooting.  "
                       "You may need to reinstall Korvane.",
                   {IDOK});
        Expect(!app.splash(), "the splash showed while the message was open");
        box.press(IDOK);
        Expect(WaitFor([&] { return app.splash() != nullptr; }, 10000), "no splash after the message");
        MainWindow main = app.waitMain();
        ExpectConsistent(app, main);
        main.close();
    }
    RemoveFolder(ProgramFile("kordat"));
    RemoveSubst();
    Korvane app = Korvane::Start();
    MessageBoxWindow box = app.waitMessage();
    box.expect("Cannot find needed subst.exe in directory,  \r\nC:\\windows\\system32\\subst.exe,\r\n"
               "without this file Korvane cannot function.  Korvane.",
               {IDOK});
    Expect(!app.splash() && !app.window("KorvaneMain"), "a Korvane window showed beside the message");
    box.press(IDOK);
    Expect(app.waitExit(3000), "the program went on after the message");
    Expect(!Exists(ProgramFile("kordat")), "the data folder was made");
}

// The splash: its size, place and hand-over at the third tick, whatever
// closes the main window before. Then the first
// picture: drives left by an earlier session are listed, with the long folder
// in the status bar; only a drive whose folder was removed is deleted, not
// one on a share that does not answer. A drive whose folder goes while the
// program runs is reported when picked, and the lists go back.
KV_CASE(splash_then_the_drives_at_startup) {
    LeaveDrive("K:", "C:\\kvtest\\Long Folder Name", By::ShortName);
    LeaveDrive("M:", "C:\\kvtest\\Music");
    LeaveDrive("G:", "C:\\kvtest\\Gone");
    LeaveDrive("Q:", "C:\\kvtest\\Fading");
    MapDrive("U:", "\\\\192.0.2.1\\share");
    RemoveFolder("C:\\kvtest\\Gone");
    const std::string share = DriveTarget("U:");

    Korvane app = Korvane::Start();
    HWND splash = WaitWindow([&] { return app.splash(); }, 8000, "no splash window");
    const DWORD shown = GetTickCount();
    RECT r;
    GetWindowRect(splash, &r);
    ExpectEq(r.right - r.left, 300, "splash width");
    ExpectEq(r.bottom - r.top, 150, "splash height");
    const int dx = (r.left + r.right) / 2 - GetSystemMetrics(SM_CXSCREEN) / 2;
    const int dy = (r.top + r.bottom) / 2 - GetSystemMetrics(SM_CYSCREEN) / 2;
    Expect(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2, "the splash is not centred");
    Expect(!(GetWindowLongA(splash, GWL_STYLE) & WS_CAPTION), "the splash has a title bar");
    // A close sent to the main window while it is made behind the splash is ignored.
    HWND hidden =
        WaitWindow([] { return FindWindowW(L"KorvaneMain", nullptr); }, 2000, "no main window behind the splash");
    PostMessageW(hidden, WM_CLOSE, 0, 0);
    // Made behind the splash, well before the hand-over.
    Expect(WaitFor([] { return Exists(ProgramFile("kordat")); }, 2000), "no data folder beside the program");
    Expect(WaitFor([&] { return app.window("KorvaneMain") != nullptr; }, 6000), "no main window");
    const DWORD handover = GetTickCount() - shown;
    std::printf("main window up %lu ms after the splash\n", static_cast<unsigned long>(handover));
    Expect(handover >= 2000 && handover <= 4000,
           "the main window came " + std::to_string(handover) + " ms after the splash, not at the third tick");
    // The main window comes first and takes the foreground; the splash goes right after.
    Expect(WaitFor([&] { return !app.splash(); }, 1000), "the splash stayed beside the main window");
    ExpectEq(TextOf(app.window("KorvaneMain")), "Korvane", "main window caption");

    MainWindow main = app.waitMain();
    Expect(!app.hasMessage(), "a message was shown");
    ExpectEq(main.drives(), {"K:", "M:", "Q:", "U:"}, "used drives");
    ExpectEq(main.freeLetters(), FreeLettersBut("CKMQUZ"), "free letters");
    ExpectEq(main.letterText(), "Avaliable Drives:", "letter list text");
    Expect(WaitDriveTarget("G:", ""), "G: still exists");
    ExpectEq(SubstLog(), {"G: /D"}, "subst command lines");
    ExpectEq(DriveTarget("M:"), "\\??\\C:\\kvtest\\Music", "M: untouched");
    ExpectEq(DriveTarget("U:"), share, "U: target");

    main.clickDrive("K:");
    Expect(WaitFor([&] { return main.status() == "C:\\kvtest\\Long Folder Name"; }, 8000),
           "status bar shows \"" + main.status() + "\" after a click on K:");
    Sleep(800);
    Expect(!TopWindow("ExplorerWClass"), "a single click on K: opened its folder in explorer");
    main.clickDrive("U:");
    Expect(WaitFor([&] { return main.status() == "\\\\192.0.2.1\\share"; }, 5000),
           "the status bar shows \"" + main.status() + "\" for the share");

    const std::string home = main.folder();
    Expect(main.drive().rfind("C:", 0) == 0, "Drive does not start on C: but on " + main.drive());
    RemoveFolder("C:\\kvtest\\Fading");
    main.pickDrive("Q:");
    MessageBoxWindow box = app.waitMessage();
    ExpectEq(box.title(), "Korvane", "error title");
    Expect(!box.text().empty(), "the error message is empty");
    box.press(IDOK);
    Expect(WaitFor([&] { return main.drive().rfind("C:", 0) == 0; }, 8000), "Drive shows " + main.drive());
    ExpectEq(main.folder(), home, "folder list after the error");
    Expect(!app.hasMessage(), "a second message followed");
    ExpectConsistent(app, main);
}
