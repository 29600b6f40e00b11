// Removing a virtual drive after the user confirms it.
#include <algorithm>

#include "driver.h"
#include "resource.h"

using namespace e2e;

namespace {
const std::string kRecord = RecordFile('S');

void PrepareSavedDrive() {
    MakeFolder("C:\\kvtest\\Saved Stuff");
    LeaveSavedDrive("S:", ShortPath("C:\\kvtest\\Saved Stuff"));
}
}  // namespace

KV_CASE(remove_after_yes) {
    PrepareSavedDrive();
    MakeFolder("C:\\kvtest\\Other");
    MapDrive("H:", "C:\\kvtest\\Other");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    const std::string home = main.folder();
    main.pickDrive("Z:");  // away from the system drive, to see the way back
    Expect(WaitFor([&] { return main.drive().rfind("Z:", 0) == 0; }, 8000), "Drive did not move to Z:");

    main.clickDrive("S:");
    main.shortcut('R');
    MessageBoxWindow question = app.waitMessage(10000);
    question.expect("Delete virtual drive S: ?", Icon::Question, {IDYES, IDNO});
    question.press(IDYES);
    ExpectPacedTimeline(main.sampleUntilMessage());

    MessageBoxWindow done = app.waitMessage(5000);
    done.expect("Virtual drive S: has been deleted!", Icon::Information, {IDOK});
    ExpectEq(main.drives(), {"H:", "S:"}, "used drives while the message is open");
    ExpectEq(main.freeLetters(), FreeLettersBut("CHZ"), "free letters");
    Expect(WaitFor([&] { return !SubstLog().empty(); }, 15000), "subst.exe was not started");
    ExpectEq(SubstLog(), {"S: /D"}, "subst command lines");
    Expect(!Exists(kRecord), "the saved record is still there");
    Expect(WaitDriveTarget("S:", ""), "S: still exists");
    done.press(IDOK);

    Expect(WaitFor([&] { return main.drives().size() == 1; }, 8000), "the row stayed");
    ExpectEq(main.drives(), {"H:"}, "used drives");
    Expect(main.drive().rfind("C:", 0) == 0, "Drive shows " + main.drive() + ", not the system drive");
    ExpectEq(main.folder(), home, "folder list");
    Expect(main.enabled() && main.bar() == 0, "the window did not come back to rest");
    ExpectEq(DriveTarget("H:"), "\\??\\C:\\kvtest\\Other", "H: untouched");
}

KV_CASE(remove_after_no_changes_nothing) {
    PrepareSavedDrive();
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    const auto letters = main.freeLetters();
    main.clickDrive("S:");
    main.toolbar(IDM_REMOVE);
    MessageBoxWindow question = app.waitMessage(10000);
    question.expect("Delete virtual drive S: ?", Icon::Question, {IDYES, IDNO});
    question.press(IDNO);
    Pause(1800);  // past the first tick, had a timer been started
    ExpectEq(main.bar(), 0, "bar");
    Expect(main.enabled() && !app.hasMessage(), "something went on after No");
    ExpectEq(main.drives(), {"S:"}, "used drives");
    ExpectEq(main.freeLetters(), letters, "free letters");
    Expect(SubstLog().empty(), "subst.exe was started");
    Expect(Exists(kRecord), "the saved record was deleted");
    Expect(!DriveTarget("S:").empty(), "S: was removed");
}

KV_CASE(remove_without_a_row_asks_for_one) {
    PrepareSavedDrive();
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    ExpectEq(main.selectedDrive(), "", "selected row at start");
    const std::function<void()> triggers[] = {[&] { main.menu('F', 'R'); }, [&] { main.shortcut('R'); },
                                              [&] { main.toolbar(IDM_REMOVE); }};
    for (const auto& trigger : triggers) {
        trigger();
        MessageBoxWindow box = app.waitMessage(10000);
        box.expect("You must select a drive to delete!", Icon::Information, {IDOK});
        box.press(IDOK);
        Expect(WaitFor([&] { return main.focus() == main.control(IDC_LSV); }, 8000),
               "the focus did not go to the used-drives list");
    }
    Pause(1500);
    ExpectEq(main.bar(), 0, "bar");
    ExpectEq(main.drives(), {"S:"}, "used drives");
    Expect(SubstLog().empty() && Exists(kRecord), "something was removed");
}
