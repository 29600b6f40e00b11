// Creating a virtual drive from the folder shown in the folder list.
#include <algorithm>

#include "driver.h"
#include "resource.h"

using namespace e2e;

namespace {
// After the creation message of `drive`, the window comes back to rest.
void ExpectCreated(Korvane& app, MainWindow& main, const std::string& drive, const std::string& commandLine,
                   const std::string& target) {
    MessageBoxWindow box = app.waitMessage(5000);
    box.expect("Virtual drive " + drive + " created.", {IDOK});
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
} // namespace

// Without a letter every trigger asks for one; with one, a folder whose name
// has blanks and a drive's root each become a drive, paced over five seconds.
// A 32-bit program asking for System32 is shown SysWOW64, but a drive made on
// System32 stands for the real one in every 64-bit program: the folder list
// shows what the drive will show.
KV_CASE(create_asks_for_a_letter_then_makes_drives) {
    MakeFolder("C:\\kvtest\\Long Folder Name");
    const std::wstring only64 = L"C:\\windows\\system32\\KvOnly64";
    void* redirection = nullptr;
    Expect(Wow64DisableWow64FsRedirection(&redirection) != 0, "this prefix runs no 32-bit program under WoW64");
    CreateDirectoryW(only64.c_str(), nullptr);
    const bool made = GetFileAttributesW(only64.c_str()) != INVALID_FILE_ATTRIBUTES;
    Wow64RevertWow64FsRedirection(redirection);
    Expect(made, "could not make a folder in the 64-bit System32");
    Expect(!Exists("C:\\windows\\system32\\KvOnly64"), "System32 is not redirected for 32-bit programs");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.openFolder("C:\\windows\\system32");
    const std::vector<std::string> rows = main.folderEntries();
    Expect(Contains(rows, "KvOnly64"), "System32 in the folder list lacks KvOnly64: " + Join(rows));
    const auto letters = main.freeLetters();
    const std::function<void()> triggers[] = {[&] { main.menu('F', 'C'); }, [&] { main.shortcut('C'); },
                                              [&] { main.toolbar(IDM_CREATE); }};
    for (const auto& trigger : triggers) {
        trigger();
        app.answer("Please choose a drive to created from the avaliable drives.");
        Expect(WaitFor(
                   [&] {
                       return main.focus() == main.control(IDC_CMB) || GetParent(main.focus()) == main.control(IDC_CMB);
                   },
                   2000),
               "the focus did not go to the letter list");
    }
    Sleep(1500);
    ExpectEq(main.bar(), 0, "bar after the refusal");
    Expect(!app.hasMessage() && SubstLog().empty(), "something went on after the refusal");
    ExpectEq(main.freeLetters(), letters, "free letters");

    main.openFolder("C:\\kvtest\\Long Folder Name");
    main.pickLetter("X:");
    main.menu('F', 'C');
    main.expectPacedUntilMessage();
    ExpectCreated(app, main, "X:", "X: \"C:\\kvtest\\Long Folder Name\"", "C:\\kvtest\\Long Folder Name");

    main.openFolder("C:\\");
    main.pickLetter("R:");
    main.shortcut('C');
    main.expectPacedUntilMessage();
    ExpectCreated(app, main, "R:", "R: C:\\", "C:\\");
    ExpectEq(main.freeLetters(), FreeLettersBut("CRXZ"), "free letters after the creations");
    ExpectEq(static_cast<long long>(SubstLog().size()), 2, "subst launches");
    ExpectConsistent(app, main);
}
