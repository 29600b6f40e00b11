#include "saved/scopes.h"

#include <cctype>

#include "drives/drive_name.h"
#include "drives/scan.h"
#include "saved/autostart.h"
#include "saved/labels.h"
#include "saved/records.h"

namespace kv {

namespace {

constexpr char kRawPrefix[] = "\\??\\";
constexpr char kElevatedTaskPrefix[] = "Korvane elevated drives ";
constexpr char kAllUsersTaskPrefix[] = "Korvane all users ";
constexpr char kSystemSid[] = "S-1-5-18";
// Long enough for the companion to make one letter under load.
constexpr unsigned kAllUsersTaskWaitMs = 30000;
// An elevation prompt waits for the user.
constexpr unsigned kElevatedWaitMs = 300000;
// Drives of these devices lie on another computer.
constexpr const char* kRemoteDevices[] = {"\\Device\\LanmanRedirector", "\\Device\\Mup", "\\Device\\WebDavRedirector",
                                          "\\Device\\RdpDr", "\\Device\\WinDfs"};

ScopeOutcome Failed(const std::string& text) { return {false, text + "\n"}; }
ScopeOutcome Succeeded(const std::string& text) { return {true, text + "\n"}; }

bool IsDriveLetterPath(const std::string& folder) {
    return folder.size() >= 2 && std::isalpha(static_cast<unsigned char>(folder[0])) && folder[1] == ':' &&
           (folder.size() == 2 || folder[2] == '\\');
}

// Another session resolves the folder's drive on its own: only a local
// disk means the same there.
bool OnLocalDisk(Os& os, const std::string& folder) {
    const std::string device = os.QueryDosDevice(folder.substr(0, 2)).value_or(std::string());
    if (device.compare(0, 8, "\\Device\\") != 0)
        return false;
    for (const char* remote : kRemoteDevices)
        if (device.compare(0, std::string(remote).size(), remote) == 0)
            return false;
    return true;
}

// The user's persistent network mappings are reconnected at logon and
// would fight a save for that letter.
bool MappedToNetwork(Os& os, const std::string& drive) {
    return os.ReadRegistryText(RegistryRoot::CurrentUser, "Network\\" + drive.substr(0, 1), "RemotePath").has_value();
}

std::string ElevatedTaskName(const std::string& sid) { return kElevatedTaskPrefix + sid; }

std::string CompanionFile(Os& os) { return os.ProgramFolder() + "\\" + kCompanion; }

std::string XmlText(const std::string& text) {
    std::string xml;
    for (const char c : text) {
        switch (c) {
        case '&':
            xml += "&amp;";
            break;
        case '<':
            xml += "&lt;";
            break;
        case '>':
            xml += "&gt;";
            break;
        case '"':
            xml += "&quot;";
            break;
        default:
            xml += c;
        }
    }
    return xml;
}

std::string TaskXml(const std::string& registration, const std::string& triggers, const std::string& principal,
                    const std::string& timeLimit, const std::string& exec) {
    return "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n"
           "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
           "  <RegistrationInfo>" +
           registration + "</RegistrationInfo>\n" + triggers + "  <Principals><Principal id=\"Author\">" + principal +
           "</Principal></Principals>\n"
           "  <Settings>\n"
           "    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\n"
           "    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\n"
           "    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\n"
           "    <AllowStartOnDemand>true</AllowStartOnDemand>\n"
           "    <ExecutionTimeLimit>" +
           timeLimit +
           "</ExecutionTimeLimit>\n"
           "    <Enabled>true</Enabled>\n"
           "  </Settings>\n"
           "  <Actions Context=\"Author\"><Exec>" +
           exec + "</Exec></Actions>\n</Task>\n";
}

// The definition for every session is the SYSTEM account's own, so only the
// system's task can make or take it at once; a file that another user could
// replace must never run there.
std::optional<std::string> ApplyNowAsSystem(Os& os, const std::string& drive) {
    const std::string task = kAllUsersTaskPrefix + drive.substr(0, 1);
    os.DeleteTask(task); // one a failed run may have left
    if (const auto why = os.RegisterTask(task, AllUsersTaskXml(CompanionFile(os), drive), Os::TaskAccount::System))
        return "its task for the SYSTEM account could not be registered: " + *why;
    const auto ran = os.RunTask(task, kAllUsersTaskWaitMs);
    const auto kept = os.DeleteTask(task);
    if (ran)
        return "its task for the SYSTEM account did not run through: " + *ran;
    if (kept)
        return "its task for the SYSTEM account could not be deleted: " + *kept;
    return std::nullopt;
}

std::string Quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos)
        return arg;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    return quoted.append(2 * backslashes, '\\') + '"';
}

} // namespace

std::string DosDevicesValue(const std::string& folder) {
    return kRawPrefix + (folder.size() == 2 ? folder + "\\" : folder);
}

std::optional<std::string> FolderOfDosDevicesValue(const std::optional<std::string>& value) {
    if (!value || value->compare(0, 4, kRawPrefix) != 0)
        return std::nullopt;
    const std::string folder = value->substr(4);
    if (folder.size() < 3 || !IsDriveLetterPath(folder))
        return std::nullopt;
    return folder;
}

std::map<char, std::string> AllUsersDrives(Os& os) {
    std::map<char, std::string> drives;
    for (const char* letter = kDriveLetters; *letter != ';'; ++letter) {
        const auto folder = FolderOfDosDevicesValue(
            os.ReadRegistryText(RegistryRoot::LocalMachine, kDosDevicesKey, DriveName(*letter)));
        if (folder)
            drives[*letter] = *folder;
    }
    return drives;
}

std::set<char> AllUsersLetters(Os& os) {
    std::set<char> letters;
    for (const auto& drive : AllUsersDrives(os))
        letters.insert(drive.first);
    return letters;
}

ScopeOutcome SaveForAllUsers(Os& os, const std::string& drive, const std::string& given) {
    const std::string folder = given.size() == 2 ? given + "\\" : given;
    const std::string refused = drive + " could not be saved for all users: ";
    if (!IsDriveLetterPath(folder) || !OnLocalDisk(os, folder))
        return Failed(refused + folder + " is not a folder on a local disk");
    if (os.ProbePath(folder).state != PathProbe::State::Exists)
        return Failed(refused + "there is no folder " + folder);
    if (os.FileExists(RecordPath(os, drive)))
        return Failed(refused + "it is one of your own saves; forget that first");
    if (MappedToNetwork(os, drive))
        return Failed(refused + "the letter is your network drive's, reconnected at every logon");
    const auto value = os.ReadRegistryText(RegistryRoot::LocalMachine, kDosDevicesKey, drive);
    if (value == DosDevicesValue(folder))
        return Succeeded(drive + " is saved for all users already");
    if (value)
        return Failed(refused + "the letter is saved for all users already, as " + *value);
    if (ClassifyTarget(os.QueryDosDevice(drive)) == DriveKind::Device)
        return Failed(refused + "the letter is a device's");
    if (!os.IsElevated())
        return Failed(refused + "that needs administrator rights; run korctl as administrator");
    if (const auto why = os.SetRegistryText(RegistryRoot::LocalMachine, kDosDevicesKey, drive, DosDevicesValue(folder)))
        return Failed(refused + *why);
    const std::string saved = drive + " saved for all users, standing for " + folder;
    if (!CompanionIsProtected(os))
        return Succeeded(saved + "; it comes at the next restart (this copy of Korvane may be changed by others, "
                                 "so it is not run as SYSTEM to make it now)");
    if (const auto why = ApplyNowAsSystem(os, drive))
        return Failed(saved + "; it comes at the next restart, but could not be made now: " + *why);
    return Succeeded(saved + ", for every user from now on");
}

ScopeOutcome ForgetForAllUsers(Os& os, const std::string& drive) {
    if (!FolderOfDosDevicesValue(os.ReadRegistryText(RegistryRoot::LocalMachine, kDosDevicesKey, drive)))
        return Failed(drive + " is not saved for all users");
    if (!os.IsElevated())
        return Failed("the save of " + drive +
                      " for all users could not be forgotten: that needs administrator "
                      "rights; run korctl as administrator");
    if (const auto why = os.RemoveRegistryValue(RegistryRoot::LocalMachine, kDosDevicesKey, drive))
        return Failed("the save of " + drive + " for all users could not be forgotten: " + *why);
    std::string forgotten = "the save of " + drive + " for all users is forgotten";
    bool done = true;
    if (!CompanionIsProtected(os)) {
        forgotten += "; the drive goes at the next restart";
    } else if (const auto why = ApplyNowAsSystem(os, drive)) {
        forgotten += "; the drive goes at the next restart, but could not be removed now: " + *why;
        done = false;
    } else {
        forgotten += " and the drive removed";
    }
    if (const auto why = ForgetDriveLabel(os, drive, LabelScope::AllUsers))
        return Failed(forgotten + "; its label could not be taken away: " + *why);
    return done ? Succeeded(forgotten) : Failed(forgotten);
}

std::optional<std::string> AllUsersDriveArgument(const std::string& commandLine) {
    const std::string text = Trim(commandLine);
    const std::string flag = std::string(kAllUsersArgument) + " ";
    if (text.size() != flag.size() + 2 || text.compare(0, flag.size(), flag) != 0)
        return std::nullopt;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[flag.size()])));
    if (letter < 'A' || letter > 'Z' || text.back() != ':')
        return std::nullopt;
    return DriveName(letter);
}

// A definition already there that is not the value's (an older save) gives
// way; a device never does.
int ApplyAllUsersDrive(Os& os, const std::string& drive) {
    const auto value = os.ReadRegistryText(RegistryRoot::LocalMachine, kDosDevicesKey, drive);
    const auto folder = FolderOfDosDevicesValue(value);
    const auto now = os.QueryDosDevice(drive);
    if (folder && now == value)
        return 0;
    if (ClassifyTarget(now) == DriveKind::Device)
        return 2;
    if (now && os.RemoveDosDevice(drive, *now))
        return 1;
    return folder && os.DefineDosDevice(drive, *folder) ? 1 : 0;
}

std::optional<std::string> ElevatedDrivesUnavailable(Os& os) {
    if (!os.HasSplitToken())
        return std::string("your account has no separate session for programs run as administrator, so they see "
                           "your drives already or are another account's");
    if (!CompanionIsProtected(os))
        return std::string("this copy of Korvane may be changed by others, and only an installed copy may run with "
                           "administrator rights");
    if (!os.UserSid())
        return std::string("your account could not be read");
    return std::nullopt;
}

bool ElevatedDrivesOn(Os& os) {
    const auto sid = os.UserSid();
    return sid && os.TaskExists(ElevatedTaskName(*sid));
}

// The task's own first run makes the drives at once; a run that fails
// leaves the switch on for the next logon, and says so.
ScopeOutcome SwitchElevatedDrives(Os& os, bool on) {
    const std::string what = "drives for programs run as administrator";
    if (const auto why = ElevatedDrivesUnavailable(os))
        return Failed(what + " are not available: " + *why);
    if (!os.IsElevated())
        return Failed(what + " could not be switched " + (on ? "on" : "off") +
                      ": that needs administrator rights; run korctl as administrator");
    const std::string task = ElevatedTaskName(*os.UserSid());
    if (!on) {
        if (const auto why = os.DeleteTask(task))
            return Failed(what + " could not be switched off: " + *why);
        return Succeeded(what + " are off; those made already stay until you log off");
    }
    if (const auto why =
            os.RegisterTask(task, LogonTaskXml(CompanionFile(os), *os.UserSid()), Os::TaskAccount::InteractiveUser))
        return Failed(what + " could not be switched on: the logon task could not be registered: " + *why);
    if (const auto why = os.RunTask(task, 0))
        return Failed(what + " are on from your next logon, but could not be made now: " + *why);
    return Succeeded(what + " are on: your saved drives are made for them now and at every logon");
}

std::optional<std::string> ShareWithElevatedSession(Os& os) {
    if (!os.HasSplitToken())
        return std::nullopt;
    const auto sid = os.UserSid();
    if (!sid || !os.TaskExists(ElevatedTaskName(*sid)))
        return std::nullopt;
    if (const auto why = os.RunTask(ElevatedTaskName(*sid), 0))
        return "programs run as administrator get it only from your next logon: " + *why;
    return std::nullopt;
}

// Only the user may run the task on demand, besides the administrators and
// the system; it starts with the user's highest rights at their own logon.
std::string LogonTaskXml(const std::string& companion, const std::string& userSid) {
    const std::string sid = XmlText(userSid);
    return TaskXml(
        "<Description>Makes your saved drives for your programs run as administrator.</Description>"
        "<SecurityDescriptor>D:(A;;FA;;;SY)(A;;FA;;;BA)(A;;FRFX;;;" +
            sid + ")</SecurityDescriptor>",
        "  <Triggers><LogonTrigger><Enabled>true</Enabled><UserId>" + sid + "</UserId></LogonTrigger></Triggers>\n",
        "<UserId>" + sid + "</UserId><LogonType>InteractiveToken</LogonType><RunLevel>HighestAvailable</RunLevel>",
        "PT10M", "<Command>" + XmlText(companion) + "</Command>");
}

std::string AllUsersTaskXml(const std::string& companion, const std::string& drive) {
    return TaskXml("<Description>Makes or removes drive " + XmlText(drive) +
                       " for all users now, as saved for all users.</Description>",
                   "", std::string("<UserId>") + kSystemSid + "</UserId><RunLevel>HighestAvailable</RunLevel>", "PT1M",
                   "<Command>" + XmlText(companion) + "</Command><Arguments>" + kAllUsersArgument + " " +
                       XmlText(drive) + "</Arguments>");
}

ElevatedCommand RunKorctlElevated(Os& os, const std::vector<std::string>& args) {
    const auto appData = os.LocalAppDataFolder();
    if (!appData)
        return {ElevatedCommand::End::Failed, "Your folder for program data is not known."};
    os.CreateDirectory(*appData + "\\Korvane");
    const std::string report = *appData + "\\Korvane\\korctl-elevated.txt";
    // Made here, by the user: korctl run as administrator only writes into
    // the plain file it finds (see Os::OverwritePlainFile).
    if (const auto why = os.WriteFile(report, ""))
        return {ElevatedCommand::End::Failed, "The report of korctl.exe could not be prepared: " + *why};
    std::string arguments;
    for (const std::string& arg : args)
        arguments += Quoted(arg) + " ";
    const ProgramRun run = os.RunElevated(
        {os.ProgramFolder() + "\\korctl.exe", arguments + "--report " + Quoted(report)}, kElevatedWaitMs);
    if (run.declined)
        return {ElevatedCommand::End::Declined, "Administrator rights were not given, so nothing was changed."};
    switch (run.end) {
    case ProgramRun::End::NotStarted:
        return {ElevatedCommand::End::Failed, "korctl.exe could not be started as administrator: " + run.error};
    case ProgramRun::End::TimedOut:
        return {ElevatedCommand::End::Failed, "korctl.exe, run as administrator, did not end within five minutes."};
    case ProgramRun::End::Exited:
        break;
    }
    std::string said = os.ReadFile(report, 65536).value_or(std::string());
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r'))
        said.pop_back();
    if (said.compare(0, 8, "korctl: ") == 0)
        said = said.substr(8);
    if (!said.empty())
        said[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(said[0])));
    else
        said = "korctl.exe, run as administrator, ended with exit code " + std::to_string(run.exitCode) +
               " and said nothing.";
    return {run.exitCode == 0 ? ElevatedCommand::End::Done : ElevatedCommand::End::Failed, said};
}

} // namespace kv
