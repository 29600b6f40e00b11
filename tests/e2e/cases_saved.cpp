// Saved drives: saving and forgetting them, the start-up pass over the
// records, the logon registration, and korstart.exe bringing them back.
#include "driver.h"
#include <shlobj.h>

#include "resource.h"

using namespace e2e;

namespace {
// The folder a drive stands for, as the device namespace says it; "" for none.
std::string FolderOf(const std::string& drive) {
    const std::string target = DriveTarget(drive);
    return target.rfind("\\??\\", 0) == 0 ? target.substr(4) : "";
}

void Save(MainWindow& main, const std::string& drive, size_t savedAfter) {
    main.clickDrive(drive);
    main.toolbar(IDM_SAVE);
    Expect(WaitFor([&] { return main.savedDrives().size() == savedAfter && main.enabled(); }, 3000),
           "saving " + drive + " left the saved drives at " + Join(main.savedDrives()));
}

void ExpectSaveRefused(const Korvane& app, MainWindow& main, DWORD error) {
    main.toolbar(IDM_SAVE);
    MessageBoxWindow box = app.waitMessage(3000);
    box.expect("Virtual drive W: could not be saved: " + SystemText(error), Icon::Critical, {IDOK});
    box.press(IDOK);
    Expect(WaitFor([&] { return main.enabled(); }, 2000), "the window stayed disabled");
    ExpectEq(main.savedDrives(), {}, "saved drives");
}
}  // namespace

KV_CASE(save_and_remove_save) {
    MakeFolder("C:\\kvtest\\Music Box");
    MakeFolder("C:\\kvtest\\Work");
    MapDrive("M:", ShortPath("C:\\kvtest\\Music Box"));
    MapDrive("W:", "C:\\kvtest\\Work");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    Save(main, "W:", 1);
    ExpectEq(FileBytes(RecordFile('W')), "C:\\kvtest\\Work\r\n", "record of W:");
    WriteTextFile(RecordFile('W'), "kept");
    main.menu('F', 'S');
    Pause(800);
    ExpectEq(main.savedDrives(), {"W:"}, "saved drives after saving W: again");
    ExpectEq(FileBytes(RecordFile('W')), "kept", "record of W: after saving it again");
    Save(main, "M:", 2);
    ExpectEq(main.savedDrives(), {"M:", "W:"}, "saved drives");
    ExpectEq(FileBytes(RecordFile('M')), FolderOf("M:") + "\r\n", "record of M:");
    Expect(!app.hasMessage(), "saving showed a message");

    main.removeSave();
    MessageBoxWindow box = app.waitMessage(3000);
    box.expect("Please select a drive to remove!", Icon::Information, {IDOK});
    box.press(IDOK);
    Expect(WaitFor([&] { return main.focus() == main.control(IDC_LST); }, 2000),
           "the focus did not go to the saved-drives list");
    main.clickSaved("M:");
    main.removeSave();
    Expect(WaitFor([&] { return main.savedDrives().size() == 1; }, 3000), "M: stayed saved");
    ExpectEq(main.savedDrives(), {"W:"}, "saved drives");
    Expect(!Exists(RecordFile('M')) && Exists(RecordFile('W')), "the wrong record was deleted");
    ExpectEq(main.drives(), {"M:", "W:"}, "used drives");
    Expect(!DriveTarget("M:").empty(), "M: itself was removed");

    // A record another program holds open cannot go, so its entry stays too.
    HANDLE held = CreateFileA(RecordFile('W').c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Expect(held != INVALID_HANDLE_VALUE, "could not hold W's record open");
    main.clickSaved("W:");
    main.removeSave();
    MessageBoxWindow refused = app.waitMessage(10000);
    refused.expect("Saved drive W: could not be removed: " + SystemText(ERROR_SHARING_VIOLATION), Icon::Critical,
                   {IDOK});
    refused.press(IDOK);
    CloseHandle(held);
    Expect(WaitFor([&] { return main.enabled(); }, 2000), "the window stayed disabled");
    ExpectEq(main.savedDrives(), {"W:"}, "saved drives after the refusal");
    Expect(Exists(RecordFile('W')), "W's record went");
}

KV_CASE(save_failure_is_reported_and_lists_nothing) {
    MakeFolder("C:\\kvtest\\Work");
    MapDrive("W:", "C:\\kvtest\\Work");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    main.clickDrive("W:");
    RemoveFolder(ProgramFile("kordat"));
    ExpectSaveRefused(app, main, ERROR_PATH_NOT_FOUND);
    MakeFolder(ProgramFile("kordat\\W.ini"));  // the record's name is taken
    ExpectSaveRefused(app, main, ERROR_ACCESS_DENIED);
}

KV_CASE(startup_syncs_the_records_and_registers_the_companion) {
    MakeFolder("C:\\kvtest\\Here");
    LeaveSavedDrive("H:", "C:\\kvtest\\Here");
    WriteTextFile(RecordFile('A'), "C:\\kvtest\\Away\r\n");
    DeleteRunValue(HKEY_LOCAL_MACHINE);
    for (int start = 1; start <= 2; ++start) {
        Korvane app = Korvane::Start();
        MainWindow main = app.waitMain();
        ExpectEq(main.savedDrives(), {"H:"}, "saved drives");
        main.close();
        Expect(app.waitExit(3000), "Korvane did not end");
    }
    Expect(!Exists(RecordFile('A')), "the record of the absent drive A: is still there");
    ExpectEq(FileBytes(RecordFile('H')), "C:\\kvtest\\Here\r\n", "record of the present drive H:");
    ExpectRunValue(HKEY_LOCAL_MACHINE, "\"C:\\Program Files\\Korvane\\korstart.exe\"");

    CopyProgramTo("C:\\kvtest\\Tools");
    Korvane app = Korvane::StartFrom("C:\\kvtest\\Tools");
    app.waitMain().close();
    Expect(app.waitExit(3000), "Korvane did not end");
    ExpectRunValue(HKEY_LOCAL_MACHINE, "C:\\kvtest\\Tools\\korstart.exe");
}

// Two drives saved, a reboot, and the logon's run of the companion; then a
// second reboot with the companion run as a copy in the common Startup folder.
KV_CASE(saved_drives_come_back_at_logon) {
    const std::string spaced = "C:\\kvtest\\Saved Stuff", plain = "C:\\kvtest\\Plain";
    if (Boot() == 0) {
        MakeFolder(spaced);
        MakeFolder(plain);
        MapDrive("S:", spaced);
        MapDrive("P:", plain);
        Korvane app = Korvane::Start();
        MainWindow main = app.waitMain();
        Save(main, "S:", 1);
        Save(main, "P:", 2);
        main.close();
        Expect(app.waitExit(3000), "Korvane did not end");
        Reboot();
    }
    Expect(DriveTarget("S:").empty() && DriveTarget("P:").empty(), "the drives outlived the reboot");
    const auto comeBack = [&] {
        ExpectEq(DriveTarget("P:"), "\\??\\" + plain, "P: after logon");
        ExpectEq(LongPath(FolderOf("S:")), spaced, "long folder of S: after logon");
    };
    if (Boot() == 1) {
        MakeFolder("C:\\kvtest\\Taken");
        MapDrive("T:", "C:\\kvtest\\Taken");
        WriteTextFile(RecordFile('T'), plain + "\r\n");
        WriteTextFile(RecordFile('G'), "C:\\kvtest\\Gone\r\n");
        WriteTextFile(RecordFile('E'), "");
        WriteTextFile(RecordFile('B'), std::string("MZ\x90\0\x03\0\0\0\r\n", 10));
        WriteTextFile(RecordFile('O'), "C:\\kvtest\\" + std::string(5000, 'o') + "\r\n");
        const auto records = FolderFiles(ProgramFile("kordat"));
        RunAtLogon(RunValue(HKEY_LOCAL_MACHINE).data);
        comeBack();
        ExpectEq(DriveTarget("T:"), "\\??\\C:\\kvtest\\Taken", "T:, in use before the logon");
        for (const char* drive : {"G:", "E:", "B:", "O:"}) ExpectEq(DriveTarget(drive), "", drive);
        Expect(FolderFiles(ProgramFile("kordat")) == records, "the companion changed a record");
        for (const char letter : {'T', 'G', 'E', 'B', 'O'}) DeleteFileW(Wide(RecordFile(letter)).c_str());
        Reboot();
    }
    wchar_t startup[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_STARTUP, nullptr, 0, startup);
    const std::string copy = Narrow(startup) + "\\korstart.exe";
    Expect(CopyFileW(Wide(ProgramFile("korstart.exe")).c_str(), Wide(copy).c_str(), FALSE) != 0, "cannot copy to " + copy);
    RunAtLogon("\"" + copy + "\"");
    DeleteFileW(Wide(copy).c_str());
    comeBack();
}

// A folder whose name the ANSI code page cannot hold is saved in UTF-8 and
// still comes back at logon.
KV_CASE(saved_drive_on_a_cyrillic_and_cjk_folder_comes_back) {
    const std::string folder = "C:\\kvtest\\Фото 写真";
    if (Boot() == 0) {
        MakeFolder(folder);
        MapDrive("U:", folder);
        Korvane app = Korvane::Start();
        MainWindow main = app.waitMain();
        Save(main, "U:", 1);
        ExpectEq(FileBytes(RecordFile('U')), "\xEF\xBB\xBF" + folder + "\r\n", "record of U:");
        main.close();
        Expect(app.waitExit(3000), "Korvane did not end");
        Reboot();
    }
    RunAtLogon(RunValue(HKEY_LOCAL_MACHINE).data);
    ExpectEq(LongPath(FolderOf("U:")), folder, "long folder of U: after logon");
}
