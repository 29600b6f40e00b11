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
    box.expect("Virtual drive " + drive + " created.", Icon::Information, {IDOK});
    Expect(WaitFor([&] { return !SubstLog().empty(); }, 10000), "subst.exe was not started");
    ExpectEq(SubstLog(), {commandLine}, "subst command lines");
    Expect(WaitDriveTarget(drive, "\\??\\" + target), drive + " maps to \"" + DriveTarget(drive) + "\"");
    ExpectEq(main.drives().back(), drive, "last used drive");
    const auto letters = main.freeLetters();
    Expect(std::find(letters.begin(), letters.end(), drive) == letters.end(), drive + " still offered");
    ExpectEq(main.letterText(), "Avaliable Drives:", "letter list text");
    ExpectEq(main.letterSelection(), -1, "letter selection");
    box.press(IDOK);
    Expect(WaitFor([&] { return main.enabled() && main.bar() == 0; }, 8000), "the window did not come back to rest");
    const auto listed = main.driveListEntries();
    Expect(std::any_of(listed.begin(), listed.end(), [&](const std::string& e) { return e.rfind(drive, 0) == 0; }),
           "the drive list does not show " + drive + ": " + Join(listed));
}
}  // namespace

KV_CASE(create_from_a_folder_with_blanks) {
    MakeFolder("C:\\kvtest\\Long Folder Name");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.openFolder("C:\\kvtest\\Long Folder Name");
    main.pickLetter("X:");
    main.menu('F', 'C');
    ExpectPacedTimeline(main.sampleUntilMessage());
    const std::string shortPath = ShortPath("C:\\kvtest\\Long Folder Name");
    ExpectCreated(app, main, "X:", "X: " + shortPath, shortPath);
    ExpectEq(main.freeLetters(), FreeLettersBut("CXZ"), "free letters after the creation");
}

KV_CASE(create_from_a_drive_root) {
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.openFolder("C:\\");
    main.pickLetter("R:");
    main.toolbar(IDM_CREATE);
    ExpectPacedTimeline(main.sampleUntilMessage());
    ExpectCreated(app, main, "R:", "R: C:\\", "C:\\");
}

KV_CASE(create_by_shortcut) {
    MakeFolder("C:\\kvtest\\Plain");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.openFolder("C:\\kvtest\\Plain");
    main.pickLetter("D:");
    main.shortcut('C');
    ExpectPacedTimeline(main.sampleUntilMessage());
    ExpectCreated(app, main, "D:", "D: C:\\kvtest\\Plain", "C:\\kvtest\\Plain");
}

KV_CASE(create_without_a_letter_asks_for_one) {
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
        Pause(1500);
        ExpectEq(main.bar(), 0, "bar after the refusal");
        Expect(!app.hasMessage(), "something went on after the refusal");
    }
    ExpectEq(main.freeLetters(), letters, "free letters");
    Expect(SubstLog().empty(), "subst.exe was started");
}

// A 32-bit program asking for System32 is shown SysWOW64, but a drive made on
// System32 stands for the real one in every 64-bit program: the folder list
// shows what the drive will show.
KV_CASE(system32_in_the_folder_list_is_the_real_one) {
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
    Expect(std::find(rows.begin(), rows.end(), "KvOnly64") != rows.end(),
           "System32 in the folder list lacks KvOnly64: " + Join(rows));
}
