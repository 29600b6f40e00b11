// korctl.exe, the command line: every command and every failure, with its
// output checked exactly, and drives that the window and the command line
// both see as saved.
#include "driver.h"

#include "resource.h"
#include "version.h"

using namespace e2e;

namespace {
const std::string kExplorerDrives = "Software\\Classes\\Applications\\Explorer.exe\\Drives";

struct Outcome {
    DWORD exitCode = 0;
    std::string out, err;
};

std::string ReadAll(HANDLE pipe) {
    std::string bytes;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &read, nullptr) && read > 0)
        bytes.append(chunk, read);
    return bytes;
}

// Runs korctl with its output in pipes, as a script would; with a code page,
// through cmd after "chcp" to it, as a batch file that set it.
Outcome Korctl(const std::string& arguments, int codePage = 0) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    CreatePipe(&outRead, &outWrite, &inheritable, 0);
    CreatePipe(&errRead, &errWrite, &inheritable, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    const std::string korctl = "\"" + ProgramFile("korctl.exe") + "\" " + arguments;
    const PROCESS_INFORMATION info = Launch(codePage ? "C:\\windows\\system32\\cmd.exe /c \"chcp " +
                                                           std::to_string(codePage) + " >nul & " + korctl + "\""
                                                     : korctl,
                                            "", &startup);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    Outcome outcome;
    outcome.out = ReadAll(outRead);
    outcome.err = ReadAll(errRead);
    CloseHandle(outRead);
    CloseHandle(errRead);
    outcome.exitCode = Finish(info.hProcess, 30000, "korctl " + arguments);
    return outcome;
}

void ExpectDone(const std::string& arguments, const std::string& out, int codePage = 0) {
    const Outcome outcome = Korctl(arguments, codePage);
    ExpectEq(outcome.err, "", "standard error of korctl " + arguments);
    ExpectEq(outcome.out, out, "output of korctl " + arguments);
    ExpectEq(outcome.exitCode, 0, "exit code of korctl " + arguments);
}

// A save for all users of the story's, taken away at its end whatever happens:
// the prefix outlives the case.
struct AllUsersValue {
    static constexpr char kKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\DOS Devices";
    std::wstring name;
    ~AllUsersValue() { DeleteRegistryValue(HKEY_LOCAL_MACHINE, kKey, Narrow(name)); }
    std::string Read() const {
        const RegText value = RegistryValue(HKEY_LOCAL_MACHINE, kKey, Narrow(name));
        return value.type == REG_SZ ? value.data : "(none)";
    }
};

void ExpectRefused(const std::string& arguments, const std::string& why) {
    const Outcome outcome = Korctl(arguments);
    ExpectEq(outcome.out, "", "output of korctl " + arguments);
    ExpectEq(outcome.err, "korctl: " + why + "\n", "standard error of korctl " + arguments);
    ExpectEq(outcome.exitCode, 1, "exit code of korctl " + arguments);
}
} // namespace

KV_CASE(command_line_makes_lists_saves_and_removes_drives) {
    const std::string photos = "C:\\kvtest\\Фото 写真", work = "C:\\kvtest\\Work";
    MakeFolder(photos);
    MakeFolder(work);
    // Unpacked and never started: the save makes the data folder.
    ExpectDone("create x: \"" + photos + "\" --save --utf8", "X: created for " + photos + " and saved\n");
    ExpectEq(DriveTarget("X:"), "\\??\\" + photos, "the folder behind X:");
    // "%~dp0" in a batch file: the backslash takes the quote and --save in.
    ExpectRefused("create W: \"" + work + "\\\" --save",
                  "the folder " + work +
                      "\" --save holds a quote: a backslash before a closing quote, as in "
                      "\"%~dp0\", takes the quote into the folder; write \"%~dp0.\" instead");
    ExpectEq(SubstLog(), {"X: \"" + photos + "\""}, "subst command lines");
    ExpectDone("create W: \"" + work + "\\.\"", "W: created for " + work + "\n");
    // Redirected, text is in the console's output code page, as a batch file
    // that ran chcp 866 reads it: the Cyrillic in its bytes, the rest as '?'.
    ExpectDone("list", "W:  " + work + "\nX:  C:\\kvtest\\\x94\xAE\xE2\xAE ??  [saved]\n", 866);
    ExpectDone("list --utf8", "W:  " + work + "\nX:  " + photos + "  [saved]\n", 866);

    // A saved drive's name in Explorer: any Unicode text, changed, cleared.
    // (Wine's shell does not read it; the registry shows what Explorer would.)
    ExpectRefused("label W: Work",
                  "W: is not saved; save it first (korctl save W:), as only a saved drive keeps a label");
    ExpectEq(Korctl("label x: \"Фото 写真 📷\"").exitCode, 0, "exit code of korctl label x:");
    ExpectEq(ExplorerLabel('X'), "Фото 写真 📷", "X:'s label");
    ExpectDone("label X: Photos", "X: is labelled Photos\n");
    ExpectDone("list --utf8", "W:  " + work + "\nX:  " + photos + "  [saved]  label: Photos\n");
    ExpectDone("label X: --clear", "X: has no label now\n");
    Expect(!RegistryKeyExists(HKEY_CURRENT_USER, kExplorerDrives + "\\X") &&
               !RegistryKeyExists(HKEY_CURRENT_USER, "Software\\Korvane\\Labels"),
           "a cleared label left its keys");
    ExpectDone("label X: Photos", "X: is labelled Photos\n");

    ExpectRefused("create V: C:\\kvtest\\Missing", "there is no folder C:\\kvtest\\Missing");
    WriteTextFile("C:\\kvtest\\subst-refuses.txt", "Access denied");
    ExpectRefused("create V: " + work, "V: could not be created: subst.exe answered \"Access denied\"");
    DeleteFileW(L"C:\\kvtest\\subst-refuses.txt");
    // A file in the data folder's place: the drive goes again with its save.
    MoveFileW(Wide(ProgramFile("kordat")).c_str(), L"C:\\kvtest\\kordat away");
    WriteTextFile(ProgramFile("kordat"), "");
    ExpectRefused("create V: " + work + " --save",
                  "V: could not be saved, so it was removed again: " + SystemText(ERROR_PATH_NOT_FOUND));
    Expect(DriveTarget("V:").empty(), "V: is left though korctl said it was removed");
    DeleteFileW(Wide(ProgramFile("kordat")).c_str());
    MoveFileW(L"C:\\kvtest\\kordat away", Wide(ProgramFile("kordat")).c_str());

    // For all users: the system's value, which Wine does not read at startup;
    // this copy is not protected there, so nothing runs as SYSTEM.
    const std::string everyone = "C:\\kvtest\\For Everyone";
    MakeFolder(everyone);
    const AllUsersValue value{L"U:"};
    ExpectDone("save u: \"" + everyone + "\" --all-users",
               "U: saved for all users, standing for " + everyone +
                   "; it comes at the next restart (this copy of Korvane may be changed by others, so it is not run as "
                   "SYSTEM to make it now)\n");
    ExpectEq(value.Read(), "\\??\\" + everyone, "the DOS Devices value of U:");
    ExpectRefused("save X: " + work + " --all-users", "X: could not be saved for all users: it is one of your own "
                                                      "saves; forget that first");
    // Wine has no second session for programs run as administrator.
    const std::string noSplit = "drives for programs run as administrator are not available: your account has no "
                                "separate session for programs run as administrator, so they see your drives already "
                                "or are another account's";
    ExpectRefused("elevated on", noSplit);
    ExpectDone("elevated status", noSplit + "\n");

    // The window sees the command line's save, and the command line the window's.
    {
        MapDrive("U:", everyone); // as a restart would make it
        Korvane app = Korvane::Start();
        MainWindow main = app.waitMain();
        ExpectEq(main.savedDrives(), {"U: (all users)", "X:"}, "saved drives in the window");
        // Its label is every user's: korctl, run as administrator, writes it.
        main.clickDrive("U:");
        main.toolbar(IDM_LABEL);
        HWND dialog = WaitWindow([&] { return app.window("#32770"); }, 8000, "no label dialog");
        SendMessageW(GetDlgItem(dialog, IDC_LABEL_EDIT), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Shared"));
        MessageBoxWindow(dialog).press(IDOK);
        app.answer("U: is labelled Shared for all users.");
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"U:", nullptr);
        main.save("W:");
        // What the command line does while the window is open shows there within a second.
        ExpectDone("create V: " + work, "V: created for " + work + "\n");
        ExpectDone("forget X:", "the save of X: is forgotten\n");
        ExpectEq(ExplorerLabel('X'), "", "X:'s label once its save is forgotten");
        Expect(WaitFor([&] { return Contains(main.drives(), "V:") && main.savedDrives().size() == 2; }, 1500),
               "the window lists " + Join(main.drives()) + ", saved " + Join(main.savedDrives()));
        Expect(!Contains(main.freeLetters(), "V:"), "V: is still offered");
        ExpectDone("remove V:", "V: removed\n");
        ExpectDone("save X:", "X: saved\n");
        Expect(WaitFor([&] { return !Contains(main.drives(), "V:") && main.savedDrives().size() == 3; }, 1500),
               "the window lists " + Join(main.drives()) + ", saved " + Join(main.savedDrives()));
        Expect(Contains(main.freeLetters(), "V:"), "V: is not offered again");
        main.close();
    }
    // In a key 64-bit Explorer shares with this 32-bit driver.
    const std::string uLabel = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\U\\DefaultLabel";
    ExpectEq(RegistryValue(HKEY_LOCAL_MACHINE, uLabel, "", KEY_WOW64_64KEY).data, "Shared", "U:'s label for all users");
    ExpectDone(
        "list --json",
        "[\n  {\"drive\": \"W:\", \"folder\": \"C:\\\\kvtest\\\\Work\", \"saved\": true, "
        "\"present\": true, \"scope\": \"mine\", \"label\": null},\n  {\"drive\": \"X:\", \"folder\": "
        "\"C:\\\\kvtest\\\\Фото 写真\", \"saved\": true, \"present\": true, \"scope\": \"mine\", \"label\": null},\n  "
        "{\"drive\": \"U:\", \"folder\": \"C:\\\\kvtest\\\\For Everyone\", \"saved\": true, "
        "\"present\": false, \"scope\": \"all-users\", \"label\": \"Shared\"}\n]\n");
    ExpectDone("list --utf8", "W:  " + work + "  [saved]\nX:  " + photos + "  [saved]\nU:  " + everyone +
                                  "  (all users, not present)  label: Shared\n");
    ExpectDone("forget U: --all-users",
               "the save of U: for all users is forgotten; the drive goes at the next restart\n");
    ExpectEq(value.Read(), "(none)", "the DOS Devices value of U: once forgotten");
    Expect(!RegistryValue(HKEY_LOCAL_MACHINE, uLabel, "", KEY_WOW64_64KEY).found,
           "U:'s label once its save is forgotten");

    // The label goes with the drive only while it is still the one Korvane wrote.
    ExpectDone("label W: Work", "W: is labelled Work\n");
    WriteRegistryText(HKEY_CURRENT_USER, kExplorerDrives + "\\W\\DefaultLabel", "", "Mine"); // as the user renames it
    ExpectDone("remove W:", "W: removed and its save forgotten\n");
    Expect(DriveTarget("W:").empty() && !Exists(RecordFile('W')), "W: or its record is still there");
    ExpectEq(ExplorerLabel('W'), "Mine", "the user's own label of W:");
    RegDeleteTreeW(HKEY_CURRENT_USER, Wide(kExplorerDrives + "\\W").c_str());
    ExpectDone("label X: Photos", "X: is labelled Photos\n");
    ExpectDone("remove X:", "X: removed and its save forgotten\n");
    Expect(ExplorerLabel('X').empty() && !RegistryKeyExists(HKEY_CURRENT_USER, kExplorerDrives + "\\X") &&
               !RegistryKeyExists(HKEY_CURRENT_USER, "Software\\Korvane\\Labels"),
           "X:'s label or Korvane's note of it stayed with the drive removed");
    WriteTextFile(RecordFile('X'), "\xEF\xBB\xBF" + photos + "\r\n");
    WriteTextFile(RecordFile('W'), work + "\r\n");
    MapDrive("W:", "C:\\kvtest");
    ExpectDone("restore --utf8", "W: left alone: the letter is in use\nX: made, standing for " + photos + "\n");
    ExpectDone("--version", "korctl " + std::string(KV_VERSION_TEXT) + "\n");
    Expect(Korctl("--help").out.rfind("Usage: korctl COMMAND", 0) == 0, "no usage from korctl --help");
}

// Once a folder is renamed, a sibling made after it may take its short name;
// a drive made or brought back on that name would show the sibling. Under
// Wine a short name is a hash of the long one, which no new folder inherits,
// so a sibling named after it stands in for one that took it.
KV_CASE(drive_keeps_its_folder_when_a_sibling_takes_its_short_name) {
    const std::string alpha = "C:\\kvtest\\Projects Alpha", away = "C:\\kvtest\\Projects Away";
    MakeFolder(alpha);
    const std::string shortName = ShortPath(alpha);
    ExpectDone("create X: \"" + alpha + "\" --save", "X: created for " + alpha + " and saved\n");
    const auto expectOnAlpha = [&](const std::string& when) {
        ExpectEq(DriveTarget("X:"), "\\??\\" + alpha, "X: " + when);
        ExpectEq(FileBytes(RecordFile('X')), alpha + "\r\n", "record of X: " + when);
    };
    expectOnAlpha("once made");
    Expect(MoveFileW(Wide(alpha).c_str(), Wide(away).c_str()) != 0, "could not rename " + alpha);
    MakeFolder(shortName);
    Expect(MoveFileW(Wide(away).c_str(), Wide(alpha).c_str()) != 0, "could not rename " + away + " back");
    expectOnAlpha("once a sibling took its short name");
    // Brought back from its record, as at logon.
    DefineDosDeviceW(DDD_REMOVE_DEFINITION, L"X:", nullptr);
    ExpectDone("restore", "X: made, standing for " + alpha + "\n");
    expectOnAlpha("brought back");
}
