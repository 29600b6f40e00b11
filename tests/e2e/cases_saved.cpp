// Saved drives: saving and forgetting them, the start-up pass over the
// records, the logon registration, and korstart.exe bringing them back.
#include "driver.h"
#include <shlobj.h>

#include "resource.h"

using namespace e2e;

namespace {
// Makes the letter lead to a folder of C:\kvtest for file calls from now on,
// as a disk plugged in late; the device table does not list it.
void AttachDrive(const std::string& drive, const std::string& scratchFolder) {
    WriteTextFile(std::string(kScratch) + "\\attach-" + drive.substr(0, 1) + ".txt", scratchFolder);
    const std::wstring root = Wide(drive + "\\");
    Expect(WaitFor([&] { return GetFileAttributesW(root.c_str()) != INVALID_FILE_ATTRIBUTES; }, 5000),
           "the harness did not attach " + drive);
}

void ExpectSaveRefused(const Korvane& app, MainWindow& main, const std::string& drive, const std::string& why) {
    main.clickDrive(drive);
    main.toolbar(IDM_SAVE);
    app.answer("Virtual drive " + drive + " could not be saved: " + why);
    Expect(WaitFor([&] { return main.enabled(); }, 2000), "the window stayed disabled");
    ExpectEq(main.savedDrives(), {}, "saved drives");
}
} // namespace

// Saving writes a record once; Remove Save forgets the selected save and
// nothing else. A save that cannot be made or forgotten is reported with the
// system's reason and listed as it really is; a drive on a share is never
// saved, as the companion would not bring it back.
KV_CASE(save_and_remove_save) {
    LeaveDrive("M:", "C:\\kvtest\\Music Box", By::ShortName);
    LeaveDrive("W:", "C:\\kvtest\\Work");
    Expect(DefineDosDeviceW(DDD_RAW_TARGET_PATH, L"N:", L"\\??\\UNC\\kvserver\\share\\dir") != 0, "could not map N:");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    ExpectSaveRefused(app, main, "N:",
                      "its folder \\\\kvserver\\share\\dir is on a network path, and only folders on a drive "
                      "letter come back at logon.");
    Expect(!Exists(RecordFile('N')), "a record for the share");
    main.save("W:");
    ExpectEq(FileBytes(RecordFile('W')), "C:\\kvtest\\Work\r\n", "record of W:");
    WriteTextFile(RecordFile('W'), "kept");
    main.menu('F', 'S');
    Sleep(800);
    ExpectEq(main.savedDrives(), {"W:"}, "saved drives after saving W: again");
    ExpectEq(FileBytes(RecordFile('W')), "kept", "record of W: after saving it again");
    main.save("M:");
    ExpectEq(main.savedDrives(), {"M:", "W:"}, "saved drives");
    ExpectEq(FileBytes(RecordFile('M')), DriveFolder("M:") + "\r\n", "record of M:");
    Expect(!app.hasMessage(), "saving showed a message");

    // Named in Explorer through the Label dialog, with the label filled in
    // when it opens again; Remove Save takes it away.
    const auto labelDialog = [&](const std::function<void()>& open) {
        open();
        HWND dialog = WaitWindow([&] { return app.window("#32770"); }, 8000, "no label dialog");
        Sleep(300);
        ExpectEq(TextOf(GetDlgItem(dialog, IDC_LABEL_PROMPT)),
                 "&Name of M: in Explorer, up to 32 characters (empty for none):", "label prompt");
        return dialog;
    };
    main.clickDrive("M:");
    HWND dialog = labelDialog([&] { main.toolbar(IDM_LABEL); });
    SendMessageW(GetDlgItem(dialog, IDC_LABEL_EDIT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Музыка ♪"));
    MessageBoxWindow(dialog).press(IDOK);
    Expect(WaitFor([&] { return ExplorerLabel('M') == "Музыка ♪" && main.enabled(); }, 3000),
           "M:'s label is " + ExplorerLabel('M'));
    dialog = labelDialog([&] { main.menu('F', 'L'); });
    ExpectEq(TextOf(GetDlgItem(dialog, IDC_LABEL_EDIT)), "Музыка ♪", "the label field");
    MessageBoxWindow(dialog).press(IDCANCEL);

    main.removeSave();
    app.answer("Please select a drive to remove!");
    Expect(WaitFor([&] { return main.focus() == main.control(IDC_LST); }, 2000),
           "the focus did not go to the saved-drives list");
    main.clickSaved("M:");
    main.removeSave();
    Expect(WaitFor([&] { return main.savedDrives().size() == 1; }, 3000), "M: stayed saved");
    ExpectEq(main.savedDrives(), {"W:"}, "saved drives");
    Expect(!Exists(RecordFile('M')) && Exists(RecordFile('W')), "the wrong record was deleted");
    ExpectEq(main.drives(), {"M:", "N:", "W:"}, "used drives");
    Expect(!DriveTarget("M:").empty(), "M: itself was removed");
    ExpectEq(ExplorerLabel('M'), "", "M:'s label once its save is removed");

    // A record another program holds open cannot go, so its entry stays
    // too: after Remove Save, and after removing the drive itself.
    HANDLE held =
        CreateFileA(RecordFile('W').c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Expect(held != INVALID_HANDLE_VALUE, "could not hold W's record open");
    const std::string busy = SystemText(ERROR_SHARING_VIOLATION);
    main.clickSaved("W:");
    main.removeSave();
    app.answer("Saved drive W: could not be removed: " + busy);
    Expect(WaitFor([&] { return main.enabled(); }, 2000), "the window stayed disabled");
    ExpectEq(main.savedDrives(), {"W:"}, "saved drives after the refusal");

    main.clickDrive("W:");
    main.toolbar(IDM_REMOVE);
    app.answer("Delete virtual drive W: ?", IDYES, {IDYES, IDNO});
    app.answer("Virtual drive W: has been deleted, but saved drive W: could not be removed: " + busy);
    CloseHandle(held);
    Expect(WaitFor([&] { return main.enabled() && main.drives().size() == 2; }, 5000), "W: is still listed");
    Expect(DriveTarget("W:").empty(), "W: itself is still there");
    ExpectEq(main.savedDrives(), {"W: (not present)"}, "saved drives after the removal");
    Expect(Exists(RecordFile('W')), "W's record went");

    // The saves go with the data folder, and the list follows.
    RemoveFolder(ProgramFile("kordat"));
    Expect(WaitFor([&] { return main.savedDrives().empty(); }, 3000), "W: is still listed as saved");
    ExpectSaveRefused(app, main, "M:", SystemText(ERROR_PATH_NOT_FOUND));
    MakeFolder(ProgramFile("kordat\\M.ini")); // the record's name is taken
    ExpectSaveRefused(app, main, "M:", SystemText(ERROR_ACCESS_DENIED));
}

// No save is lost at start-up: one whose folder is not there is listed as
// not present and kept as it is, and comes back with its folder; one whose
// letter is free is brought back before the drives are listed.
//
// Wine gives every file and folder to the user (owner S-1-5-21-0-0-0-1000,
// full access for that user and SYSTEM, read for Everyone) and runs every
// process elevated. So the companion is one its user could replace: the
// logon entry is the user's own, and the elevated start takes back a
// machine-wide entry of ours.
KV_CASE(startup_keeps_every_save_and_registers_the_companion) {
    MakeFolder("C:\\kvtest\\Back");
    LeaveSavedDrive("H:", "C:\\kvtest\\Here");
    WriteTextFile(RecordFile('A'), "C:\\kvtest\\Away\r\n");
    WriteTextFile(RecordFile('R'), "C:\\kvtest\\Back\r\n");
    WriteTextFile(RecordFile('Q'), "C:\\kvtest\\Elsewhere\r\n");
    WriteRegistryText(HKEY_LOCAL_MACHINE, kRunKey, "Korvane", "\"C:\\Program Files\\Korvane\\korstart.exe\"");
    {
        Korvane app = Korvane::Start();
        MainWindow main = app.waitMain();
        ExpectEq(main.savedDrives(), {"A: (not present)", "H:", "Q: (not present)", "R:"}, "saved drives");
        ExpectEq(main.drives(), {"H:", "R:"}, "used drives");
        ExpectEq(DriveTarget("R:"), "\\??\\C:\\kvtest\\Back", "R: brought back");
        main.clickSaved("Q: (not present)");
        main.removeSave();
        Expect(WaitFor([&] { return main.savedDrives().size() == 3; }, 3000), "Q: stayed saved");
        Expect(!Exists(RecordFile('Q')), "the record of Q: is still there");
        main.close();
    }
    ExpectEq(FileBytes(RecordFile('A')), "C:\\kvtest\\Away\r\n", "record of the absent drive A:");
    ExpectRunValue(HKEY_CURRENT_USER, "\"C:\\Program Files\\Korvane\\korstart.exe\"");
    Expect(!RunValue(HKEY_LOCAL_MACHINE).found, "a machine-wide Run value for a companion any user may replace");

    MakeFolder("C:\\kvtest\\Away");
    Korvane app = Korvane::Start();
    MainWindow main = app.waitMain();
    ExpectEq(main.savedDrives(), {"A:", "H:", "R:"}, "saved drives once A's folder is back");
    ExpectEq(DriveTarget("A:"), "\\??\\C:\\kvtest\\Away", "A: brought back");
    main.close();

    // A copy in a folder whose name the ANSI code page cannot hold keeps its
    // data folder and manual there, and the logon entry names its companion.
    const std::string tools = "C:\\kvtest\\Программы 程序";
    CopyProgramTo(tools);
    Korvane copy = Korvane::StartFrom(tools);
    MainWindow copied = copy.waitMain();
    Expect(!copy.hasMessage() && Exists(tools + "\\kordat"), "a message, or no data folder beside the copy");
    copied.shortcut('M');
    Expect(
        WaitFor(
            [&] { return !OpenLog().empty() && OpenLog().back().find(tools + "\\manual.html") != std::string::npos; },
            5000),
        "the copy's manual was not opened: " + Join(OpenLog()));
    copied.close();
    ExpectEq(RunValue(HKEY_CURRENT_USER).data, "\"" + tools + "\\korstart.exe\"", "the Run value for the copy");
}

// Four drives saved: on a folder with blanks, a plain one, one whose name the
// ANSI code page cannot hold (saved in UTF-8) and one nested past 260
// characters (made through the folder list on its short form, shown whole).
// A reboot, and the logon's run of the companion; then a second reboot with
// the companion started twice at once, by the Run value and as a copy in the
// common Startup folder: each drive is made once.
KV_CASE(saved_drives_come_back_at_logon) {
    const std::string spaced = "C:\\kvtest\\Saved Stuff", plain = "C:\\kvtest\\Plain";
    const std::string unicode = "C:\\kvtest\\Фото 写真";
    std::string deep = "C:\\kvtest\\Deep";
    for (int i = 1; deep.size() < 300; ++i)
        deep += "\\A Folder With A Rather Long Name " + std::to_string(i);
    if (Boot() == 0) {
        MakeFolder(deep);
        LeaveDrive("S:", spaced);
        LeaveDrive("P:", plain);
        MakeFolder(unicode);
        Korvane app = Korvane::Start();
        MainWindow main = app.waitMain();
        main.create(unicode, "U:");
        main.create(deep, "D:");
        Expect(WaitDriveTarget("D:", "\\??\\" + ShortPath(deep)), "D: stands for " + DriveTarget("D:"));
        main.clickDrive("D:");
        Expect(WaitFor([&] { return main.status() == deep; }, 5000), "the status bar shows \"" + main.status() + "\"");
        for (const char* drive : {"D:", "S:", "P:", "U:"})
            main.save(drive);
        ExpectEq(FileBytes(RecordFile('U')), "\xEF\xBB\xBF" + unicode + "\r\n", "record of U:");
        main.clickDrive("U:");
        Expect(WaitFor([&] { return main.status() == unicode; }, 5000), "U:'s status bar shows " + main.status());
        main.shortcut('O');
        ExpectExplorerOn(unicode, "Ctrl+O on U:");
        main.close();
        Reboot();
    }
    for (const char* drive : {"D:", "P:", "S:", "U:"})
        ExpectEq(DriveTarget(drive), "", "after the reboot, " + std::string(drive));
    const auto comeBack = [&] {
        ExpectEq(DriveTarget("P:"), "\\??\\" + plain, "P: after logon");
        ExpectEq(LongPath(DriveFolder("S:")), spaced, "long folder of S: after logon");
        ExpectEq(LongPath(DriveFolder("U:")), unicode, "long folder of U: after logon");
        ExpectEq(DriveTarget("D:"), "\\??\\" + ShortPath(deep), "D: after logon");
    };
    if (Boot() == 1) {
        LeaveDrive("T:", "C:\\kvtest\\Taken");
        WriteTextFile(RecordFile('T'), plain + "\r\n");
        WriteTextFile(RecordFile('G'), "C:\\kvtest\\Gone\r\n");
        WriteTextFile(RecordFile('E'), "");
        WriteTextFile(RecordFile('B'), std::string("MZ\x90\0\x03\0\0\0\r\n", 10));
        WriteTextFile(RecordFile('O'), "C:\\kvtest\\" + std::string(5000, 'o') + "\r\n");
        const auto records = FolderFiles(ProgramFile("kordat"));
        RunAtLogon({RunValue(HKEY_CURRENT_USER).data});
        comeBack();
        ExpectEq(DriveTarget("T:"), "\\??\\C:\\kvtest\\Taken", "T:, in use before the logon");
        for (const char* drive : {"G:", "E:", "B:", "O:"})
            ExpectEq(DriveTarget(drive), "", drive);
        Expect(FolderFiles(ProgramFile("kordat")) == records, "the companion changed a record");
        const auto log = CompanionLog();
        for (const std::string& line :
             {std::string("G: not made: C:\\kvtest\\Gone does not exist"),
              std::string("P: made, standing for ") + plain, std::string("T: left alone: the letter is in use")})
            Expect(Contains(log, line), "the log " + Join(log) + " lacks " + line);
        for (const char letter : {'T', 'G', 'E', 'B', 'O'})
            DeleteFileW(Wide(RecordFile(letter)).c_str());
        Reboot();
    }
    const std::string copy = KnownFolder(CSIDL_COMMON_STARTUP) + "\\korstart.exe";
    Expect(CopyFileW(Wide(ProgramFile("korstart.exe")).c_str(), Wide(copy).c_str(), FALSE) != 0,
           "cannot copy to " + copy);
    RunAtLogon({"\"" + copy + "\"", RunValue(HKEY_CURRENT_USER).data});
    DeleteFileW(Wide(copy).c_str());
    comeBack();
    ExpectEq(DriveTargets("P:").size(), 1, "definitions of P:");
    ExpectEq(DriveTargets("S:").size(), 1, "definitions of S:");
}

// A saved folder on a disk that is plugged in ten seconds into the logon:
// the companion waits for it, makes the drive, and says so in its log.
KV_CASE(saved_drive_on_a_late_disk_comes_back_when_it_appears) {
    MakeFolder("C:\\kvtest\\Late Disk\\Photos");
    MakeFolder(ProgramFile("kordat"));
    WriteTextFile(RecordFile('K'), "L:\\Photos\r\n");
    // A log past its 64 KiB keeps its newest whole lines.
    const std::string logFile = CompanionLogFile();
    MakeFolder(logFile.substr(0, logFile.rfind('\\')));
    WriteTextFile(logFile, std::string(70000, 'x') + "\r\n2026-12-01 08:00:00  old\r\n");
    const DWORD start = GetTickCount();
    RunAtLogon({"\"" + ProgramFile("korstart.exe") + "\""}, [] {
        Sleep(10000);
        AttachDrive("L:", "Late Disk");
    });
    Expect(GetTickCount() - start < 25000, "the companion took " + std::to_string(GetTickCount() - start) + " ms");
    ExpectEq(DriveTarget("K:"), "\\??\\L:\\Photos", "K: once L: came");
    const auto log = CompanionLog();
    Expect(!log.empty() && log.back().rfind("K: made, standing for L:\\Photos, after waiting 1", 0) == 0 &&
               log.back().find(" s for its drive") != std::string::npos,
           "the log says " + Join(log));
    Expect(FileBytes(logFile).size() < 65536 && log.front() == "old",
           "the log keeps " + std::to_string(FileBytes(logFile).size()) + " bytes from " + log.front().substr(0, 20));
}
