// Whose drives. A save is this user's at logon (a record in the data
// folder); with the user's switch on, the same saves also reach the user's
// programs run as administrator (a logon task that runs the companion with
// the highest privileges); and an administrator may save a drive for all
// users (a value of the system's DOS Devices key, which Windows makes at
// startup for every session and service).
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"

namespace kv {

inline constexpr char kDosDevicesKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\DOS Devices";
// How a save for all users shows in the saved list.
inline constexpr char kAllUsersMark[] = " (all users)";
// The companion's argument in the one-shot task that runs it as SYSTEM.
inline constexpr char kAllUsersArgument[] = "--all-users";

// What a command of this file did, in lines for the user; `done` false when
// any part of it failed, whatever else it did (the lines say what).
struct ScopeOutcome {
    bool done = false;
    std::string text;
};

// ---- All users, from startup ----

// The DOS Devices value for a folder: "\??\C:\Data"; a bare "C:" is its root.
std::string DosDevicesValue(const std::string& folder);
// The folder of a value that names a folder on a drive letter; nothing for
// any other value (a device, a share, a value of someone else's making).
std::optional<std::string> FolderOfDosDevicesValue(const std::optional<std::string>& value);
// The letters saved for all users, with their folders.
std::map<char, std::string> AllUsersDrives(Os& os);
std::set<char> AllUsersLetters(Os& os);

ScopeOutcome SaveForAllUsers(Os& os, const std::string& drive, const std::string& folder);
ScopeOutcome ForgetForAllUsers(Os& os, const std::string& drive);

// The drive named by the companion's command line "--all-users X:", if that is what it is.
std::optional<std::string> AllUsersDriveArgument(const std::string& commandLine);
// Run as SYSTEM, whose letters are every session's: the letter's definition
// made to agree with its value, made or taken away. The exit code: 0 when
// it agrees, 1 when the system refused, 2 when a device holds the letter.
int ApplyAllUsersDrive(Os& os, const std::string& drive);

// ---- Also for programs run as administrator ----

// Why the switch cannot be used here, in one line; nothing when it can.
std::optional<std::string> ElevatedDrivesUnavailable(Os& os);
bool ElevatedDrivesOn(Os& os);
ScopeOutcome SwitchElevatedDrives(Os& os, bool on);
// After a save: with the switch on, the saves are made in the session of the
// user's programs run as administrator at once. Nothing, or why not.
std::optional<std::string> ShareWithElevatedSession(Os& os);

// The task definitions, as the Task Scheduler takes them.
std::string LogonTaskXml(const std::string& companion, const std::string& userSid);
std::string AllUsersTaskXml(const std::string& companion, const std::string& drive);

// ---- The window's way to the above ----

// korctl run as administrator with these arguments, as the window asks for
// it: what it wrote comes back through a file, since it runs in another
// logon session.
struct ElevatedCommand {
    enum class End { Declined, Failed, Done };
    End end = End::Failed;
    std::string text; // what korctl said, or why it did not run
};
ElevatedCommand RunKorctlElevated(Os& os, const std::vector<std::string>& args);

} // namespace kv
