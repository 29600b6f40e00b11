// Removing a virtual drive after the user confirms it.
#include "driver.h"
#include "resource.h"

using namespace e2e;

// Remove asks for a row when none is selected, changes nothing after No and
// after Yes deletes the drive and its save, paced over five seconds, with the
// lists back on the system drive.
KV_CASE(remove_asks_then_deletes_after_yes) {
    LeaveSavedDrive("S:", "C:\\kvtest\\Saved Stuff", By::ShortName);
    LeaveDrive("H:", "C:\\kvtest\\Other");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    ExpectEq(main.selectedDrive(), "", "selected row at start");
    const std::function<void()> triggers[] = {[&] { main.menu('F', 'R'); }, [&] { main.shortcut('R'); },
                                              [&] { main.toolbar(IDM_REMOVE); }};
    for (const auto& trigger : triggers) {
        trigger();
        app.answer("You must select a drive to delete!");
        Expect(WaitFor([&] { return main.focus() == main.control(IDC_LSV); }, 8000),
               "the focus did not go to the used-drives list");
    }

    const auto letters = main.freeLetters();
    main.clickDrive("S:");
    main.toolbar(IDM_REMOVE);
    app.answer("Delete virtual drive S: ?", IDNO, {IDYES, IDNO});
    Sleep(1800); // past the first tick, had a timer been started
    ExpectEq(main.bar(), 0, "bar");
    Expect(main.enabled() && !app.hasMessage(), "something went on after No");
    ExpectEq(main.drives(), {"H:", "S:"}, "used drives after No");
    ExpectEq(main.freeLetters(), letters, "free letters after No");
    Expect(SubstLog().empty() && Exists(RecordFile('S')) && !DriveTarget("S:").empty(), "No removed something");

    const std::string home = main.folder();
    main.pickDrive("Z:"); // away from the system drive, to see the way back
    Expect(WaitFor([&] { return main.drive().rfind("Z:", 0) == 0; }, 8000), "Drive did not move to Z:");
    main.clickDrive("S:");
    main.shortcut('R');
    app.answer("Delete virtual drive S: ?", IDYES, {IDYES, IDNO});
    main.expectPacedUntilMessage();

    MessageBoxWindow done = app.waitMessage(5000);
    done.expect("Virtual drive S: has been deleted!", {IDOK});
    ExpectEq(main.drives(), {"H:", "S:"}, "used drives while the message is open");
    ExpectEq(main.freeLetters(), FreeLettersBut("CHZ"), "free letters");
    Expect(WaitFor([&] { return !SubstLog().empty(); }, 15000), "subst.exe was not started");
    ExpectEq(SubstLog(), {"S: /D"}, "subst command lines");
    Expect(!Exists(RecordFile('S')), "the saved record is still there");
    Expect(WaitDriveTarget("S:", ""), "S: still exists");
    done.press(IDOK);

    Expect(WaitFor([&] { return main.drives().size() == 1; }, 8000), "the row stayed");
    ExpectEq(main.drives(), {"H:"}, "used drives");
    Expect(main.drive().rfind("C:", 0) == 0, "Drive shows " + main.drive() + ", not the system drive");
    ExpectEq(main.folder(), home, "folder list");
    ExpectEq(DriveTarget("H:"), "\\??\\C:\\kvtest\\Other", "H: untouched");
    ExpectConsistent(app, main);
}
