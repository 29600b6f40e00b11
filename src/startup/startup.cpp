#include "startup/startup.h"

#include "drives/scan.h"
#include "drives/subst.h"
#include "saved/autostart.h"
#include "saved/restore.h"
#include "saved/saved_list.h"
#include "saved/scopes.h"

namespace kv {

namespace {

constexpr char kCaption[] = "Korvane";

} // namespace

std::string SubstMissingMessage(const std::string& substPath) {
    return std::string("Cannot find needed subst.exe in directory,  \r\n") + substPath +
           ",\r\nwithout this file Korvane cannot function.  " + kCaption + ".";
}

std::string CompanionMissingMessage(const std::string& programFolder) {
    return std::string("Cannot find needed ") + kCompanion + " in directory,  " + programFolder +
           ",\r\nwithout this file a user cannot start saves after rebooting.  " + "You may need to reinstall " +
           kCaption + ".";
}

// Without subst.exe the program can do nothing, so it ends; without the
// companion only the return of saved drives at logon is lost, so it warns.
bool CheckStartupFiles(Os& os) {
    if (!SubstPresent(os)) {
        os.MessageBox(SubstMissingMessage(SubstPath), MsgStyle::Critical);
        return false;
    }
    if (!CompanionPresent(os, kCompanion))
        os.MessageBox(CompanionMissingMessage(os.ProgramFolder()), MsgStyle::Critical);
    return true;
}

// The saved drives are brought back before the scan, as at logon: the
// companion may not have run yet in this session (an elevated start has
// letters of its own), or a folder may have come since.
DriveSnapshot PrepareDrives(Os& os) {
    CreateDataFolder(os);
    RestoreAtStartup(os);
    DriveSnapshot drives = ScanDrives(os);
    drives.saved = SavedLetters(os);
    drives.allUsers = AllUsersLetters(os);
    RegisterAutoStart(os);
    return drives;
}

} // namespace kv
