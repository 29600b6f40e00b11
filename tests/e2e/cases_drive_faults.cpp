// Drive operations that the system does not carry out as asked: Korvane says
// what failed and its lists keep telling the truth.
#include "driver.h"
#include "resource.h"

using namespace e2e;

KV_CASE(create_on_a_letter_taken_meanwhile_offers_it_no_more) {
    MakeFolder("C:\\kvtest\\Plain");
    MakeFolder("C:\\kvtest\\Other");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.openFolder("C:\\kvtest\\Plain");
    main.pickLetter("X:");
    main.shortcut('C');
    MapDrive("X:", "C:\\kvtest\\Other");  // another program, in the quiet first second
    MessageBoxWindow box = app.waitMessage(9000);
    box.expect("Virtual drive X: could not be created: subst.exe answered \"Drive already SUBSTed\".", {IDOK});
    ExpectEq(main.drives(), {"X:"}, "used drives");
    ExpectEq(main.freeLetters(), FreeLettersBut("CXZ"), "free letters");
    ExpectEq(main.letterText(), "Avaliable Drives:", "letter list text");
    box.press(IDOK);
    ExpectConsistent(app, main);
    ExpectEq(SubstLog(), {"X: C:\\kvtest\\Plain"}, "subst command lines");
    ExpectEq(DriveTarget("X:"), "\\??\\C:\\kvtest\\Other", "X: target");
}

KV_CASE(remove_refused_by_subst_keeps_the_drive_and_its_save) {
    MakeFolder("C:\\kvtest\\Kept");
    MakeFolder(ProgramFile("kordat"));
    WriteTextFile(ProgramFile("kordat\\K.ini"), "C:\\kvtest\\Kept\r\n");
    MapDrive("K:", "C:\\kvtest\\Kept");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.clickDrive("K:");
    WriteTextFile("C:\\kvtest\\subst-refuses.txt", "Access denied - K:\r\n");
    main.toolbar(IDM_REMOVE);
    app.waitMessage(3000).press(IDYES);
    ExpectPacedTimeline(main.sampleUntilMessage());
    MessageBoxWindow box = app.waitMessage(2000);
    box.expect("Virtual drive K: could not be deleted: subst.exe answered \"Access denied - K:\".", {IDOK});
    box.press(IDOK);
    ExpectConsistent(app, main);
    ExpectEq(SubstLog(), {"K: /D"}, "subst command lines");
    ExpectEq(main.drives(), {"K:"}, "used drives");
    ExpectEq(main.freeLetters(), FreeLettersBut("CKZ"), "free letters");
    Expect(Exists(ProgramFile("kordat\\K.ini")), "the saved record was deleted");
    ExpectEq(DriveTarget("K:"), "\\??\\C:\\kvtest\\Kept", "K: target");
}

KV_CASE(remove_takes_the_confirmed_drive_after_the_selection_moved) {
    MakeFolder("C:\\kvtest\\Home");
    MakeFolder("C:\\kvtest\\Stuff");
    MapDrive("H:", "C:\\kvtest\\Home");
    MapDrive("S:", "C:\\kvtest\\Stuff");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.clickDrive("S:");
    main.shortcut('R');
    MessageBoxWindow question = app.waitMessage(3000);
    question.expect("Delete virtual drive S: ?", {IDYES, IDNO});
    question.press(IDYES);
    Keys({VK_LEFT});  // the row left of S:, in the quiet first second
    Expect(WaitFor([&] { return main.selectedDrive() == "H:"; }, 600) && main.bar() == 0,
           "H: was not selected before the first tick (selected " + main.selectedDrive() + ")");

    MessageBoxWindow done = app.waitMessage(9000);
    done.expect("Virtual drive S: has been deleted!", {IDOK});
    ExpectEq(SubstLog(), {"S: /D"}, "subst command lines");
    done.press(IDOK);
    ExpectConsistent(app, main);
    ExpectEq(main.drives(), {"H:"}, "used drives");
    ExpectEq(DriveTarget("H:"), "\\??\\C:\\kvtest\\Home", "H: untouched");
    ExpectEq(DriveTarget("S:"), "", "S: target");
}

// When subst.exe cannot be started, Korvane says so and changes nothing.
KV_CASE(create_when_subst_cannot_start_changes_nothing) {
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.openFolder("C:\\");
    main.pickLetter("X:");
    RemoveSubst();  // gone after start-up found it
    main.shortcut('C');
    ExpectPacedTimeline(main.sampleUntilMessage());
    MessageBoxWindow box = app.waitMessage(5000);
    box.expect("Virtual drive X: could not be created: the system program subst.exe could not be started (" +
                   SystemText(ERROR_FILE_NOT_FOUND) + ").", {IDOK});
    box.press(IDOK);
    ExpectConsistent(app, main);
    ExpectEq(main.drives(), {}, "used drives");
    ExpectEq(main.freeLetters(), FreeLettersBut("CZ"), "free letters");
    ExpectEq(DriveTarget("X:"), "", "X: target");
}
