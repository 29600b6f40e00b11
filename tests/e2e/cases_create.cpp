// Creating a virtual drive from the folder shown in the folder list.
#include "driver.h"
#include "resource.h"

using namespace e2e;

namespace {
// After the creation message of `drive`, the window comes back to rest.
void ExpectCreated(Korvane& app, MainWindow& main, const std::string& drive, const std::string& commandLine,
                   const std::string& target) {
    MessageBoxWindow box = app.waitMessage(5000);
    box.expect("Virtual drive " + drive + " created.", Icon::Information, {IDOK});
    Expect(WaitFor([&] { return !SubstLog().empty() && SubstLog().back() == commandLine; }, 10000),
           "subst.exe was not started as " + commandLine + ": " + Join(SubstLog()));
    Expect(WaitDriveTarget(drive, "\\??\\" + target), drive + " maps to \"" + DriveTarget(drive) + "\"");
    ExpectEq(main.drives().back(), drive, "last used drive");
    ExpectEq(main.letterText(), "Avaliable Drives:", "letter list text");
    ExpectEq(main.letterSelection(), -1, "letter selection");
    box.press(IDOK);
    Expect(WaitFor([&] { return main.enabled() && main.bar() == 0; }, 8000), "the window did not come back to rest");
    const auto listed = main.driveListEntries();
    Expect(std::any_of(listed.begin(), listed.end(), [&](const std::string& e) { return e.rfind(drive, 0) == 0; }),
           "the drive list does not show " + drive + ": " + Join(listed));
}
}  // namespace

// Without a letter every trigger asks for one; with one, a folder whose name
// has blanks and a drive's root each become a drive, paced over five seconds.
KV_CASE(create_asks_for_a_letter_then_makes_drives) {
    MakeFolder("C:\\kvtest\\Long Folder Name");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    const auto letters = main.freeLetters();
    const std::function<void()> triggers[] = {[&] { main.menu('F', 'C'); }, [&] { main.shortcut('C'); },
                                              [&] { main.toolbar(IDM_CREATE); }};
    for (const auto& trigger : triggers) {
        trigger();
        MessageBoxWindow box = app.waitMessage(10000);
        box.expect("Please choose a drive to created from the avaliable drives.", Icon::Information, {IDOK});
        box.press(IDOK);
        Expect(WaitFor([&] { return main.focus() == main.control(IDC_CMB) ||
                                    GetParent(main.focus()) == main.control(IDC_CMB); }, 2000),
               "the focus did not go to the letter list");
    }
    Pause(1500);
    ExpectEq(main.bar(), 0, "bar after the refusal");
    Expect(!app.hasMessage() && SubstLog().empty(), "something went on after the refusal");
    ExpectEq(main.freeLetters(), letters, "free letters");

    main.openFolder("C:\\kvtest\\Long Folder Name");
    main.pickLetter("X:");
    main.menu('F', 'C');
    ExpectPacedTimeline(main.sampleUntilMessage());
    const std::string shortPath = ShortPath("C:\\kvtest\\Long Folder Name");
    ExpectCreated(app, main, "X:", "X: " + shortPath, shortPath);

    main.openFolder("C:\\");
    main.pickLetter("R:");
    main.shortcut('C');
    ExpectPacedTimeline(main.sampleUntilMessage());
    ExpectCreated(app, main, "R:", "R: C:\\", "C:\\");
    ExpectEq(main.freeLetters(), FreeLettersBut("CRXZ"), "free letters after the creations");
    ExpectEq(static_cast<long long>(SubstLog().size()), 2, "subst launches");
    ExpectConsistent(app, main);
}
