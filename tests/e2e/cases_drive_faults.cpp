// Drive operations that the system does not carry out as asked: Korvane says
// what failed and its lists keep telling the truth.
#include "driver.h"
#include "resource.h"

using namespace e2e;

// A letter another program takes in the quiet first second is reported with
// subst's answer and offered no more; once subst.exe has gone, a create says
// that it could not be started and changes nothing.
KV_CASE(create_refused_on_a_taken_letter_and_without_subst) {
    MakeFolder("C:\\kvtest\\Plain");
    MakeFolder("C:\\kvtest\\Other");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.openFolder("C:\\kvtest\\Plain");
    main.pickLetter("X:");
    main.shortcut('C');
    MapDrive("X:", "C:\\kvtest\\Other");
    MessageBoxWindow box = app.waitMessage(9000);
    box.expect("Virtual drive X: could not be created: subst.exe answered \"Drive already SUBSTed\".", {IDOK});
    ExpectEq(main.drives(), {"X:"}, "used drives");
    ExpectEq(main.freeLetters(), FreeLettersBut("CXZ"), "free letters");
    ExpectEq(main.letterText(), "Avaliable Drives:", "letter list text");
    box.press(IDOK);
    ExpectConsistent(app, main);
    ExpectEq(SubstLog(), {"X: C:\\kvtest\\Plain"}, "subst command lines");
    ExpectEq(DriveTarget("X:"), "\\??\\C:\\kvtest\\Other", "X: target");

    main.pickLetter("Y:");
    RemoveSubst(); // gone after start-up found it
    main.shortcut('C');
    main.expectPacedUntilMessage();
    app.answer("Virtual drive Y: could not be created: the system program subst.exe could not be started (" +
               SystemText(ERROR_FILE_NOT_FOUND) + ").");
    ExpectConsistent(app, main);
    ExpectEq(main.drives(), {"X:"}, "used drives");
    ExpectEq(main.freeLetters(), FreeLettersBut("CXZ"), "free letters");
    ExpectEq(DriveTarget("Y:"), "", "Y: target");
}

// A removal subst refuses keeps the drive and its save; a removal takes the
// drive the user confirmed, even when the selection moves before the work.
KV_CASE(remove_refused_by_subst_then_of_the_confirmed_drive) {
    LeaveSavedDrive("K:", "C:\\kvtest\\Kept");
    LeaveDrive("H:", "C:\\kvtest\\Home");
    LeaveDrive("S:", "C:\\kvtest\\Stuff");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.clickDrive("K:");
    WriteTextFile("C:\\kvtest\\subst-refuses.txt", "Access denied - K:\r\n");
    main.toolbar(IDM_REMOVE);
    app.answer("Delete virtual drive K: ?", IDYES, {IDYES, IDNO});
    main.expectPacedUntilMessage();
    app.answer("Virtual drive K: could not be deleted: subst.exe answered \"Access denied - K:\".");
    ExpectConsistent(app, main);
    ExpectEq(SubstLog(), {"K: /D"}, "subst command lines");
    ExpectEq(main.drives(), {"H:", "K:", "S:"}, "used drives");
    Expect(Exists(RecordFile('K')), "the saved record was deleted");
    ExpectEq(DriveTarget("K:"), "\\??\\C:\\kvtest\\Kept", "K: target");

    DeleteFileW(L"C:\\kvtest\\subst-refuses.txt");
    main.clickDrive("S:");
    main.shortcut('R');
    app.answer("Delete virtual drive S: ?", IDYES, {IDYES, IDNO});
    Keys({VK_LEFT}); // the row left of S:, in the quiet first second
    Expect(WaitFor([&] { return main.selectedDrive() == "K:"; }, 600) && main.bar() == 0,
           "K: was not selected before the first tick (selected " + main.selectedDrive() + ")");
    MessageBoxWindow done = app.waitMessage(9000);
    done.expect("Virtual drive S: has been deleted!", {IDOK});
    ExpectEq(SubstLog(), {"K: /D", "S: /D"}, "subst command lines");
    done.press(IDOK);
    ExpectConsistent(app, main);
    ExpectEq(main.drives(), {"H:", "K:"}, "used drives");
    ExpectEq(DriveTarget("K:"), "\\??\\C:\\kvtest\\Kept", "K: untouched");
    ExpectEq(DriveTarget("S:"), "", "S: target");
}
