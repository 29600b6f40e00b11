// When subst.exe cannot be started, Korvane says so and changes nothing.
#include "driver.h"
#include "resource.h"

using namespace e2e;

namespace {
std::string NotStartedMessage(const std::string& lead) {
    return lead + "the system program subst.exe could not be started (" + SystemText(ERROR_FILE_NOT_FOUND) + ").";
}
}  // namespace

KV_CASE(create_when_subst_cannot_start_changes_nothing) {
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.openFolder("C:\\");
    main.pickLetter("X:");
    RemoveSubst();  // gone after start-up found it
    main.shortcut('C');
    ExpectPacedTimeline(main.sampleUntilMessage());
    MessageBoxWindow box = app.waitMessage(5000);
    box.expect(NotStartedMessage("Virtual drive X: could not be created: "), Icon::Critical, {IDOK});
    box.press(IDOK);
    Expect(WaitFor([&] { return main.enabled() && main.bar() == 0; }, 8000), "the window did not come back to rest");
    ExpectEq(main.drives(), {}, "used drives");
    ExpectEq(main.freeLetters(), FreeLettersBut("CZ"), "free letters");
    ExpectEq(DriveTarget("X:"), "", "X: target");
}

KV_CASE(remove_when_subst_cannot_start_keeps_the_drive) {
    MakeFolder("C:\\kvtest\\Kept");
    LeaveSavedDrive("K:", "C:\\kvtest\\Kept");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.clickDrive("K:");
    RemoveSubst();
    main.toolbar(IDM_REMOVE);
    app.waitMessage(10000).press(IDYES);
    ExpectPacedTimeline(main.sampleUntilMessage());
    MessageBoxWindow box = app.waitMessage(5000);
    box.expect(NotStartedMessage("Virtual drive K: could not be deleted: "), Icon::Critical, {IDOK});
    box.press(IDOK);
    Expect(WaitFor([&] { return main.enabled() && main.bar() == 0; }, 8000), "the window did not come back to rest");
    ExpectEq(main.drives(), {"K:"}, "used drives");
    ExpectEq(main.freeLetters(), FreeLettersBut("CKZ"), "free letters");
    Expect(Exists(RecordFile('K')), "the saved record was deleted");
    ExpectEq(DriveTarget("K:"), "\\??\\C:\\kvtest\\Kept", "K: target");
}
