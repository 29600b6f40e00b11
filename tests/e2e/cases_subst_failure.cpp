// When subst.exe cannot be started, Korvane says so and changes nothing.
#include "driver.h"
#include "resource.h"

using namespace e2e;

KV_CASE(create_when_subst_cannot_start_changes_nothing) {
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.openFolder("C:\\");
    main.pickLetter("X:");
    RemoveSubst();  // gone after start-up found it
    main.shortcut('C');
    ExpectPacedTimeline(main.sampleUntilMessage());
    MessageBoxWindow box = app.waitMessage(5000);
    box.expect("Virtual drive X: could not be created: the system program subst.exe could not be started.",
               Icon::Critical, {IDOK});
    box.press(IDOK);
    Expect(WaitFor([&] { return main.enabled() && main.bar() == 0; }, 8000), "the window did not come back to rest");
    ExpectEq(main.drives(), {}, "used drives");
    ExpectEq(main.freeLetters(), FreeLettersBut("CZ"), "free letters");
    ExpectEq(DriveTarget("X:"), "", "X: target");
}

KV_CASE(remove_when_subst_cannot_start_keeps_the_drive) {
    MakeFolder("C:\\kvtest\\Kept");
    MakeFolder(ProgramFile("kordat"));
    WriteTextFile(ProgramFile("kordat\\K.ini"), "C:\\kvtest\\Kept\r\n");
    MapDrive("K:", "C:\\kvtest\\Kept");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.clickDrive("K:");
    RemoveSubst();
    main.toolbar(IDM_REMOVE);
    app.waitMessage(10000).press(IDYES);
    ExpectPacedTimeline(main.sampleUntilMessage());
    MessageBoxWindow box = app.waitMessage(5000);
    box.expect("Virtual drive K: could not be deleted: the system program subst.exe could not be started.",
               Icon::Critical, {IDOK});
    box.press(IDOK);
    Expect(WaitFor([&] { return main.enabled() && main.bar() == 0; }, 8000), "the window did not come back to rest");
    ExpectEq(main.drives(), {"K:"}, "used drives");
    ExpectEq(main.freeLetters(), FreeLettersBut("CKZ"), "free letters");
    Expect(Exists(ProgramFile("kordat\\K.ini")), "the saved record was deleted");
    ExpectEq(DriveTarget("K:"), "\\??\\C:\\kvtest\\Kept", "K: target");
}
