// The Windows Installer package as an administrator deploys it: silent
// install, the installed program at work, logon, repair, upgrade, a refused
// downgrade and a clean uninstall. run_cases.sh builds the packages of this
// build and names them in KV_MSI, KV_MSI_VERSION, KV_MSI_NEWER and
// KV_MSI_NEWER_VERSION.
#include "driver.h"

#include <msi.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdlib>

using namespace e2e;

namespace {
const char kInstallDir[] = "C:\\Program Files (x86)\\Korvane";
const wchar_t kUpgradeCode[] = L"{A0EFBEF8-FD25-47B6-B3D5-2E939096529F}";
const char kFolder[] = "C:\\kvtest\\Installed Drive";

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value)
        Fail(std::string(name) + " is not set: run the case through run_cases.sh");
    return value;
}

std::string Installed(const std::string& name) { return std::string(kInstallDir) + "\\" + name; }
std::string Record() { return Installed("kordat\\K.ini"); }
// The Run value's data, as Korvane writes it for the installed companion.
std::string CompanionCommand() { return "\"" + Installed("korstart.exe") + "\""; }

// A per-machine package puts its Start menu entries in the common Programs
// folder and takes a companion copy out of the common Startup folder. Wine's
// msi resolves ProgramMenuFolder and StartupFolder to the user's own folders
// whatever ALLUSERS says, so there the case looks where Wine puts them.
bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }
std::string MenuFolder() { return KnownFolder(UnderWine() ? CSIDL_PROGRAMS : CSIDL_COMMON_PROGRAMS) + "\\Korvane"; }
std::string StartupCopy() { return KnownFolder(UnderWine() ? CSIDL_STARTUP : CSIDL_COMMON_STARTUP) + "\\korstart.exe"; }

// As an administrator's deployment runs it: the 64-bit msiexec, which on
// 64-bit Windows installs every package.
// `meanwhile` runs once msiexec has started, with its process id.
DWORD Msiexec(const std::string& arguments, const std::function<void(DWORD)>& meanwhile = nullptr) {
    const PROCESS_INFORMATION info = Launch("C:\\windows\\sysnative\\msiexec.exe " + arguments);
    if (meanwhile)
        meanwhile(info.dwProcessId);
    return Finish(info.hProcess, 90000, "msiexec " + arguments);
}

std::vector<std::string> InstalledProducts() {
    std::vector<std::string> codes;
    wchar_t code[39];
    for (DWORD i = 0; MsiEnumRelatedProductsW(kUpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i)
        codes.push_back(Narrow(code));
    return codes;
}

std::string OnlyProduct() {
    const auto codes = InstalledProducts();
    ExpectEq(codes.size(), 1, "installed Korvane products (" + Join(codes) + ")");
    return codes.front();
}

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// A value of the Add/Remove Programs entry. A 32-bit package's entry lies in
// the 32-bit view, the driver's own.
std::string UninstallValue(const std::string& productCode, const char* name) {
    return RegistryValue(HKEY_LOCAL_MACHINE, kUninstallKey + productCode, name).data;
}

// The machine's PATH, where the package puts korctl's folder.
const char kEnvironmentKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
std::string SystemPath() { return RegistryValue(HKEY_LOCAL_MACHINE, kEnvironmentKey, "Path").data; }
const std::string kPathEntry = ";" + std::string(kInstallDir) + "\\";

// Runs msiexec with a window for its messages, expects it to refuse with that
// message and returns its exit code.
DWORD Refused(const std::string& arguments, const std::string& message) {
    return Msiexec(arguments + " /qb", [&](DWORD pid) {
        HWND box =
            WaitWindow([&] { return TopWindow("#32770", pid); }, 30000, "msiexec " + arguments + " showed no message");
        WaitFor([&] { return !TextOf(GetDlgItem(box, 0xFFFF)).empty(); }, 2000);
        MessageBoxWindow shown(box);
        ExpectEq(shown.text(), message, "the message of msiexec " + arguments);
        shown.press(IDOK);
    });
}

// The path a shortcut leads to; "" when it cannot be read.
std::string ShortcutTarget(const std::string& link) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IShellLinkW* shellLink = nullptr;
    IPersistFile* file = nullptr;
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shellLink))) &&
        SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(Wide(link).c_str(), STGM_READ)))
        shellLink->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH);
    if (file)
        file->Release();
    if (shellLink)
        shellLink->Release();
    CoUninitialize();
    return Narrow(path);
}

void ExpectInstalled(const std::string& version) {
    const auto harness = FolderFiles(kProgramDir); // this build's programs
    const auto files = FolderFiles(kInstallDir);
    for (const char* name : {"korvane.exe", "korstart.exe", "korctl.exe"})
        Expect(files.count(name) && files.at(name) == harness.at(name), std::string(name) + " is not this build's");
    Expect(files.count("manual.html") &&
               files.at("manual.html").find("User manual for version " + version) != std::string::npos,
           "the installed manual is not that of version " + version);
    ExpectEq(static_cast<long long>(files.size()), 4, "files in the program folder");
    Expect(Exists(Installed("kordat")), "no data folder");

    ExpectEq(ShortcutTarget(MenuFolder() + "\\Korvane.lnk"), Installed("korvane.exe"), "Start menu entry Korvane");
    ExpectEq(ShortcutTarget(MenuFolder() + "\\Korvane Manual.lnk"), Installed("manual.html"),
             "Start menu entry Korvane Manual");

    ExpectRunValue(HKEY_LOCAL_MACHINE, CompanionCommand());
    Expect(!RunValue(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY).found, "the Run value is in the 64-bit view");

    const std::string product = OnlyProduct();
    std::vector<std::string> entry;
    for (const char* name : {"DisplayName", "DisplayVersion", "Publisher", "HelpLink"})
        entry.push_back(UninstallValue(product, name));
    ExpectEq(entry, {"Korvane", version, "Ondrel Kastry", "http://www.kastry.example"},
             "Add/Remove Programs name, version, publisher and help link");
    Expect(!UninstallValue(product, "EstimatedSize").empty(), "Add/Remove Programs has no size"); // 0 under Wine
    ExpectEq(UninstallValue(product, "InstallLocation"), std::string(kInstallDir) + "\\",
             "Add/Remove Programs install location");
    const std::string path = SystemPath();
    const size_t at = path.find(kInstallDir);
    Expect(path.size() > kPathEntry.size() && at == path.size() - kPathEntry.size() + 1 && path.back() == '\\',
           "korctl's folder is not once at the end of the machine's PATH \"" + path + "\"");
    wchar_t icon[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    MsiGetProductInfoW(Wide(product).c_str(), L"ProductIcon", icon, &length);
    Expect(Exists(Narrow(icon)), "Add/Remove Programs icon \"" + Narrow(icon) + "\" missing");
}

// Runs msiexec and expects it to succeed, and with `version` that version to
// be installed then.
void ExpectMsiexec(const std::string& arguments, const std::string& version = "") {
    ExpectEq(Msiexec(arguments), 0, "exit code of msiexec " + arguments);
    if (!version.empty())
        ExpectInstalled(version);
}

// Korvane keeps the package's machine-wide entry for a companion in a
// protected folder. Wine reports every file as owned by, and writable for,
// the user, so there Korvane takes the entry as unsafe: it removes the
// machine-wide value and registers the companion for this user instead.
void ExpectRegisteredByKorvane() {
    if (UnderWine()) {
        Expect(!RunValue(HKEY_LOCAL_MACHINE).found, "the machine-wide Run value stayed under Wine");
        ExpectRunValue(HKEY_CURRENT_USER, CompanionCommand());
    } else {
        ExpectRunValue(HKEY_LOCAL_MACHINE, CompanionCommand());
        Expect(!RunValue(HKEY_CURRENT_USER).found, "a per-user Run value beside the machine-wide one");
    }
}

// What this case leaves, so that other cases and later runs start clean.
void CleanMachine() {
    for (const auto& code : InstalledProducts())
        Msiexec("/x " + code + " /qn");
    RemoveFolder(kInstallDir);
    DeleteFileW(Wide(StartupCopy()).c_str());
    if (RunValue(HKEY_CURRENT_USER).data == CompanionCommand())
        DeleteRegistryValue(HKEY_CURRENT_USER, kRunKey, "Korvane");
}

// Runs a story on a machine without Korvane installed and leaves it so,
// passed or failed; a reboot is no end.
void WithCleanMachine(void (*story)()) {
    if (Boot() == 0)
        CleanMachine();
    try {
        story();
    } catch (const CaseFailure&) {
        CleanMachine();
        throw;
    }
    CleanMachine();
}

// One administrator's round; each boot but the last ends with a reboot.
void AdministratorsRound() {
    const std::string msi = "\"" + Env("KV_MSI") + "\"", newer = "\"" + Env("KV_MSI_NEWER") + "\"";
    const std::string version = Env("KV_MSI_VERSION"), newerVersion = Env("KV_MSI_NEWER_VERSION");
    if (Boot() == 0) {
        ExpectMsiexec("/i " + msi + " /qn", version);
        Expect(FolderFiles(Installed("kordat")).empty(), "the data folder is not empty");

        LeaveDrive("K:", kFolder);
        Korvane app = Korvane::StartFrom(kInstallDir);
        MainWindow main = app.waitMain();
        Expect(!app.hasMessage(), "the installed Korvane showed a message at start");
        main.save("K:");
        main.close();
        Expect(Exists(Record()), "no record of K: in the installed data folder");
        ExpectRegisteredByKorvane();
        Reboot();
    }
    if (Boot() == 1) {
        Expect(DriveTarget("K:").empty(), "K: outlived the reboot");
        // The logon runs every Run value there is.
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
            if (RunValue(root).found)
                RunAtLogon({RunValue(root).data});
        ExpectEq(LongPath(DriveFolder("K:")), kFolder, "the folder of K: after logon");
        const std::string record = FileBytes(Record());

        // Repair: what a damaged install lost comes back, the save stays.
        DeleteFileW(Wide(Installed("korstart.exe")).c_str());
        DeleteRegistryValue(HKEY_LOCAL_MACHINE, kRunKey, "Korvane");
        // As the package (Wine's msiexec has no /f for a product code).
        ExpectMsiexec("/i " + msi + " REINSTALL=ALL REINSTALLMODE=omus /qn", version);
        ExpectMsiexec("/i " + msi + " /qn", version); // the same package again changes nothing

        ExpectMsiexec("/i " + newer + " /qn", newerVersion);
        ExpectEq(FileBytes(Record()), record, "record of K: after the upgrade");
        Reboot();
    }
    Expect(DriveTarget("K:").empty(), "K: outlived the second reboot");
    RunAtLogon({RunValue(HKEY_LOCAL_MACHINE).data}); // the package's own entry
    ExpectEq(LongPath(DriveFolder("K:")), kFolder, "the folder of K: after the second logon");

    // The older package refuses, says why, and leaves the newer one.
    ExpectEq(
        Refused("/i " + msi,
                "A newer version of Korvane is already installed. Uninstall it first to install this older version."),
        ERROR_INSTALL_FAILURE, "exit code of the older package");
    ExpectInstalled(newerVersion);

    // The manual's way out: forget the saves, then uninstall.
    {
        Korvane app = Korvane::StartFrom(kInstallDir);
        MainWindow main = app.waitMain();
        ExpectEq(main.savedDrives(), {"K:"}, "saved drives after the upgrade");
        main.clickSaved("K:");
        main.removeSave();
        Expect(WaitFor([&] { return main.savedDrives().empty(); }, 3000), "K: stayed saved");
        main.close();
        ExpectRegisteredByKorvane();
    }
    Expect(Exists(CompanionLogFile()), "the companion kept no log at " + CompanionLogFile());
    Expect(CopyFileW(Wide(Installed("korstart.exe")).c_str(), Wide(StartupCopy()).c_str(), FALSE) != 0,
           "cannot copy the companion to " + StartupCopy());
    const std::string product = OnlyProduct(), path = SystemPath();
    ExpectMsiexec("/x " + newer + " /qn"); // as deployed: by the package

    Expect(InstalledProducts().empty(), "Korvane is still installed");
    Expect(!Exists(kInstallDir), "the program folder is left");
    Expect(!Exists(MenuFolder()), "the Start menu folder is left");
    Expect(!Exists(StartupCopy()), "the companion copy in the common Startup folder is left");
    Expect(!RunValue(HKEY_LOCAL_MACHINE).found && !RunValue(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY).found,
           "the machine-wide Run value is left");
    // Wine only: what Korvane registered for this user stays; a package
    // cannot tell that value from one another copy of Korvane wrote.
    ExpectEq(RunValue(HKEY_CURRENT_USER).found, UnderWine(), "a per-user Run value is left");
    // A per-machine package touches no one's profile: that is where each
    // user keeps their own log and saves.
    Expect(Exists(CompanionLogFile()), "uninstall took the user's companion log");
    Expect(!RegistryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey + product), "the Add/Remove Programs entry is left");
    Expect(!RegistryKeyExists(HKEY_LOCAL_MACHINE, "Software\\Korvane"), "HKLM\\Software\\Korvane is left");
    // Wine's msi takes the folder off the PATH but leaves its separator.
    ExpectEq(SystemPath(), path.substr(0, path.size() - kPathEntry.size() + UnderWine()),
             "the machine's PATH after uninstall");
    // Drives made stay until logoff, as with subst.
    Expect(!DriveTarget("K:").empty(), "uninstalling removed K:");
}
} // namespace

KV_CASE(msi_install_logon_repair_upgrade_uninstall) { WithCleanMachine(AdministratorsRound); }

namespace {
// A folder chosen outside Program Files: no machine-wide Run value (Korvane
// registers per user there), a korstart.exe found there replaced, the upgrade
// in place, kordat kept while it holds a record. First a per-user install is
// refused (Wine's msi knows no MSIINSTALLPERUSER, so only ALLUSERS="").
void ChosenFolder() {
    const std::string msi = "\"" + Env("KV_MSI") + "\"";
    const std::string perUser = "Korvane is installed for all users of this computer and needs administrator rights. "
                                "Start the installation as an administrator, without ALLUSERS or MSIINSTALLPERUSER on "
                                "the command line.";
    ExpectEq(Refused("/i " + msi + " ALLUSERS=\"\"", perUser), ERROR_INSTALL_FAILURE, "exit code for ALLUSERS=\"\"");
    Expect(InstalledProducts().empty(), "a per-user install was made");

    const std::string folder = "C:\\kvtest\\KorvaneTools", record = folder + "\\kordat\\T.ini";
    MakeFolder(folder);
    WriteTextFile(folder + "\\korstart.exe", "MZ planted");
    ExpectMsiexec("/i " + msi + " INSTALLDIR=" + folder + "\\ /qn");
    ExpectEq(FileBytes(folder + "\\korstart.exe"), FileBytes(ProgramFile("korstart.exe")), "korstart.exe installed");
    Expect(!RunValue(HKEY_LOCAL_MACHINE).found, "a machine-wide Run value for " + folder);
    WriteTextFile(record, "C:\\kvtest\r\n");

    ExpectMsiexec("/i \"" + Env("KV_MSI_NEWER") + "\" /qn");
    Expect(FileBytes(folder + "\\manual.html").find("User manual for version " + Env("KV_MSI_NEWER_VERSION")) !=
               std::string::npos,
           "the upgrade did not replace the manual in " + folder);
    Expect(!Exists(kInstallDir), "the upgrade went to " + std::string(kInstallDir));
    Expect(!RunValue(HKEY_LOCAL_MACHINE).found, "a machine-wide Run value for " + folder + " after the upgrade");

    ExpectMsiexec("/x \"" + Env("KV_MSI_NEWER") + "\" /qn");
    ExpectEq(FileBytes(record), "C:\\kvtest\r\n", "the record after uninstall");
    Expect(FolderFiles(folder).empty(), "files left beside kordat in " + folder);
}
} // namespace

KV_CASE(msi_in_a_chosen_folder_upgrades_in_place_and_keeps_records) { WithCleanMachine(ChosenFolder); }
