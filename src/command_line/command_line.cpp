#include "command_line/command_line.h"

#include <algorithm>
#include <cctype>

#include "drives/drive_name.h"
#include "drives/scan.h"
#include "drives/subst.h"
#include "drives/targets.h"
#include "saved/autostart.h"
#include "saved/labels.h"
#include "saved/records.h"
#include "saved/restore.h"
#include "saved/scopes.h"

namespace kv {

namespace {

constexpr char kProgram[] = "korctl";

constexpr char kHelp[] = "Usage: korctl COMMAND [ARGUMENTS]\n"
                         "Makes, lists, removes and saves virtual drives as Korvane does.\n"
                         "\n"
                         "  list [--json]            the virtual drives, their folders, and which are saved\n"
                         "  create X: FOLDER [--save]  makes X: stand for FOLDER (a full path) and, with --save,\n"
                         "                           saves it; a create that fails, save included, leaves no drive\n"
                         "  remove X:                removes the drive X: and forgets its save\n"
                         "  save X:                  saves the drive X:, so that it comes back at logon\n"
                         "  forget X:                forgets the save of X:; the drive itself stays\n"
                         "  restore                  brings back the saved drives, as at logon\n"
                         "  save X: [FOLDER] --all-users  saves X: for every user from startup (as administrator)\n"
                         "  forget X: --all-users    forgets that save, and the drive goes\n"
                         "  elevated on|off|status   your saved drives also for your programs run as administrator\n"
                         "  label X: NAME | --clear  names the saved drive X: in Explorer, or takes its name away;\n"
                         "                           with --all-users, for a drive saved for all users (as\n"
                         "                           administrator), in every user's Explorer\n"
                         "  --help                   this text\n"
                         "  --version                the version\n"
                         "  --utf8                   redirected text in UTF-8, not in the console's code page\n"
                         "\n"
                         "Exit code 0 on success; otherwise 1, with the reason on standard error.\n"
                         "Redirected to a file or a pipe, text is written in the console's output code page, as\n"
                         "Windows' own commands write it, or in UTF-8 with --utf8; --json is always UTF-8.\n"
                         "In a batch file, write a folder that ends in a backslash as \"%~dp0.\", not \"%~dp0\".\n";

CliResult Fail(const std::string& why) { return {1, {}, std::string(kProgram) + ": " + why + "\n"}; }

CliResult Done(const std::string& out) { return {0, out, {}}; }

// "x:" and "X:" both name drive X:.
std::optional<std::string> DriveArgument(const std::string& text) {
    if (text.size() != 2 || text[1] != ':' || !std::isalpha(static_cast<unsigned char>(text[0])))
        return std::nullopt;
    return DriveName(static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))));
}

bool IsVirtualDrive(Os& os, const std::string& drive) {
    return ClassifyTarget(os.QueryDosDevice(drive)) == DriveKind::Virtual;
}

bool IsSaved(Os& os, const std::string& drive) { return os.FileExists(RecordPath(os, drive)); }

// The long form when it can be had, as the status bar shows it.
std::string FolderOf(Os& os, const std::string& drive) {
    const std::string longForm = GetDriveLongTarget(os, drive);
    return !longForm.empty() ? longForm : GetDriveTarget(os, drive).value_or(std::string());
}

std::string JsonText(const std::string& text) {
    std::string json = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20) {
            const char* hex = "0123456789abcdef";
            json += std::string("\\u00") + hex[byte >> 4] + hex[byte & 0xF];
        } else {
            json += c;
        }
    }
    return json + '"';
}

struct Listed {
    std::string drive, folder;
    bool saved = false, present = false, allUsers = false;
    std::string label;
};

// The virtual drives, then the saves whose drives are not there, each with
// the folder of its record.
std::vector<Listed> ListDrives(Os& os) {
    std::vector<Listed> listed;
    auto allUsers = AllUsersDrives(os);
    for (const char* letter = kDriveLetters; *letter != ';'; ++letter) {
        const std::string drive = DriveName(*letter);
        if (!IsVirtualDrive(os, drive))
            continue;
        const bool forAll = allUsers.count(*letter) && os.QueryDosDevice(drive) == DosDevicesValue(allUsers[*letter]);
        listed.push_back({drive, FolderOf(os, drive), forAll || IsSaved(os, drive), true, forAll, {}});
        if (forAll)
            allUsers.erase(*letter);
    }
    for (const DriveRequest& saved : ReadSavedRecords(os, DataFolder(os)).drives)
        if (!IsVirtualDrive(os, saved.drive))
            listed.push_back({saved.drive, saved.folder, true, false, false, {}});
    for (const auto& [letter, folder] : allUsers)
        listed.push_back({DriveName(letter), folder, true, false, true, {}});
    for (Listed& item : listed)
        item.label = DriveLabel(os, item.drive, item.allUsers ? LabelScope::AllUsers : LabelScope::User);
    return listed;
}

CliResult List(Os& os, bool json) {
    std::string out = json ? "[" : "";
    bool first = true;
    for (const Listed& item : ListDrives(os)) {
        if (json) {
            out += std::string(first ? "" : ",") + "\n  {\"drive\": " + JsonText(item.drive) +
                   ", \"folder\": " + JsonText(item.folder) + ", \"saved\": " + (item.saved ? "true" : "false") +
                   ", \"present\": " + (item.present ? "true" : "false") + ", \"scope\": " +
                   (!item.saved     ? "null"
                    : item.allUsers ? "\"all-users\""
                                    : "\"mine\"") +
                   ", \"label\": " + (item.label.empty() ? "null" : JsonText(item.label)) + "}";
        } else if (item.allUsers) {
            out += item.drive + "  " + item.folder + "  (all users" + (item.present ? ")" : ", not present)");
        } else {
            out += item.drive + "  " + item.folder +
                   (item.saved ? (item.present ? "  [saved]" : "  [saved, not present]") : "");
        }
        if (!json)
            out += (item.label.empty() ? "" : "  label: " + item.label) + "\n";
        first = false;
    }
    return Done(json ? out + (first ? "]\n" : "\n]\n") : out);
}

// Without a closing backslash or "\." ("%~dp0." in a batch file), so that
// the drive and its record name the folder as the window would.
std::string WithoutClosingSeparator(std::string folder) {
    for (;;) {
        if (folder.size() >= 2 && folder.compare(folder.size() - 2, 2, "\\.") == 0)
            folder.pop_back();
        else if (folder.size() > 3 && folder.back() == '\\')
            folder.pop_back();
        else
            return folder;
    }
}

bool IsFullPath(const std::string& folder) {
    const bool onLetter = folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) &&
                          folder[1] == ':' && folder[2] == '\\';
    return onLetter || folder.compare(0, 2, "\\\\") == 0;
}

// A fresh unpack has no data folder until Korvane first runs; it is made
// here as Korvane makes it.
std::optional<std::string> SaveDrive(Os& os, const std::string& drive) {
    CreateDataFolder(os);
    return WriteSavedDrive(os, drive, GetDriveTarget(os, drive));
}

// Saved: the user's programs run as administrator get the drive too, when
// the user asked for that.
CliResult Saved(Os& os, const std::string& drive, const std::string& done) {
    if (const auto why = ShareWithElevatedSession(os))
        return {1, done, std::string(kProgram) + ": " + drive + " is saved, but " + *why + "\n"};
    return Done(done);
}

// The drive a create made before it failed, removed again: a script that is
// told the create failed must find the letter free. Nothing when none is
// left; otherwise why it stays.
std::optional<std::string> Undo(Os& os, const std::string& drive) {
    if (!IsVirtualDrive(os, drive))
        return std::nullopt;
    const SubstOutcome removed = DeleteDrive(os, drive);
    return removed.done ? std::nullopt : std::optional<std::string>(removed.why);
}

// CommandLineToArgvW takes a backslash before a closing quote as a quote of
// the text, as in create X: "%~dp0" --save, and no folder name holds one.
std::string QuoteRefusal(const std::string& folder) {
    return "the folder " + folder +
           " holds a quote: a backslash before a closing quote, as in \"%~dp0\", takes the quote into the folder; "
           "write \"%~dp0.\" instead";
}

CliResult Create(Os& os, const std::string& drive, const std::string& given, bool save) {
    if (given.find('"') != std::string::npos)
        return Fail(QuoteRefusal(given));
    const std::string folder = WithoutClosingSeparator(given);
    if (!IsFullPath(folder))
        return Fail("give the folder as a full path, such as C:\\Data, not " + given);
    if (os.QueryDosDevice(drive))
        return Fail(drive + " is already in use");
    if (os.ProbePath(folder).state == PathProbe::State::Missing)
        return Fail("there is no folder " + folder);
    const SubstOutcome made = MakeDrive(os, drive, folder);
    if (!made.done) {
        const auto stays = Undo(os, drive);
        return Fail(drive + " could not be created: " + made.why +
                    (stays ? "; subst.exe made " + drive + " all the same, and it could not be removed: " + *stays
                           : std::string()));
    }
    if (!save)
        return Done(drive + " created for " + folder + "\n");
    const auto unsaved = SaveDrive(os, drive);
    if (!unsaved)
        return Saved(os, drive, drive + " created for " + folder + " and saved\n");
    if (const auto stays = Undo(os, drive))
        return Fail(drive + " was created for " + folder +
                    " but not saved, and it stays, as it could not be removed (" + *stays +
                    "); the save failed: " + *unsaved);
    return Fail(drive + " could not be saved, so it was removed again: " + *unsaved);
}

CliResult Remove(Os& os, const std::string& drive) {
    if (!IsVirtualDrive(os, drive))
        return Fail(drive + " is not a virtual drive");
    const SubstOutcome removed = DeleteDrive(os, drive);
    if (!removed.done)
        return Fail(drive + " could not be removed: " + removed.why);
    const bool wasSaved = IsSaved(os, drive);
    if (const auto why = DeleteSavedDrive(os, drive))
        return Fail(drive + " was removed, but its save could not be forgotten: " + *why);
    if (const auto why = ForgetDriveLabel(os, drive, LabelScope::User))
        return Fail(drive + " was removed, but its label could not be taken away: " + *why);
    return Done(drive + " removed" + (wasSaved ? " and its save forgotten\n" : "\n"));
}

CliResult SaveCommand(Os& os, const std::string& drive) {
    if (!IsVirtualDrive(os, drive))
        return Fail(drive + " is not a virtual drive");
    if (IsSaved(os, drive))
        return Done(drive + " is saved already\n");
    if (const auto why = SaveDrive(os, drive))
        return Fail(drive + " could not be saved: " + *why);
    return Saved(os, drive, drive + " saved\n");
}

CliResult Forget(Os& os, const std::string& drive) {
    if (!IsSaved(os, drive))
        return Fail(drive + " is not saved");
    if (const auto why = DeleteSavedDrive(os, drive))
        return Fail("the save of " + drive + " could not be forgotten: " + *why);
    if (const auto why = ForgetDriveLabel(os, drive, LabelScope::User))
        return Fail("the save of " + drive + " is forgotten, but its label could not be taken away: " + *why);
    return Done("the save of " + drive + " is forgotten\n");
}

// Letters in use count as there: the drive may well be the saved one.
CliResult Restore(Os& os) {
    const SavedRecords records = ReadSavedRecords(os, DataFolder(os));
    std::string out;
    bool allThere = records.refused.empty();
    for (const std::string& refusal : records.refused)
        out += refusal + "\n";
    const auto lock = os.LockSession(kRestoreLock, 10000);
    for (const RestoreOutcome& outcome : RestorePass(os, records.drives)) {
        out += DescribeOutcome(outcome, 0) + "\n";
        allThere = allThere &&
                   (outcome.kind == RestoreOutcome::Kind::Made || outcome.kind == RestoreOutcome::Kind::LetterInUse);
    }
    if (allThere)
        return Done(out);
    return {1, out, std::string(kProgram) + ": not every saved drive could be brought back\n"};
}

// "label X: NAME" or "label X: --clear"; with --all-users, the label every
// user's Explorer shows for a drive saved for all users. A label is kept only
// with a save, which brings the drive back under its name; taking one away
// always works.
CliResult Label(Os& os, const std::vector<std::string>& args, bool allUsers) {
    const auto drive = args.size() == 3 ? DriveArgument(args[1]) : std::nullopt;
    if (!drive)
        return Fail("give the drive and the label, as in: korctl label X: \"Photos\" (or --clear)");
    const std::string label = args[2] == "--clear" ? std::string() : args[2];
    const bool labelling = !LabelText(label).empty();
    const bool forAll = AllUsersLetters(os).count((*drive)[0]) != 0;
    const std::string scope = allUsers ? " for all users" : "";
    if (allUsers && labelling && !forAll)
        return Fail(*drive + " is not saved for all users; save it first (korctl save " + *drive + " --all-users)");
    if (allUsers && !os.IsElevated())
        return Fail("the label of " + *drive + scope +
                    " was not set: that needs administrator rights; run korctl as administrator");
    if (!allUsers && labelling && !IsSaved(os, *drive))
        return Fail(*drive + " is not saved; " +
                    (forAll ? "it is saved for all users, so label it with --all-users, as administrator"
                            : "save it first (korctl save " + *drive + "), as only a saved drive keeps a label"));
    if (const auto why = SetDriveLabel(os, *drive, label, allUsers ? LabelScope::AllUsers : LabelScope::User))
        return Fail("the label of " + *drive + scope + " was not set: " + *why);
    return Done(labelling ? *drive + " is labelled " + LabelText(label) + scope + "\n"
                          : *drive + " has no label" + scope + " now\n");
}

CliResult FromScope(const ScopeOutcome& outcome) {
    return outcome.done ? Done(outcome.text) : CliResult{1, {}, std::string(kProgram) + ": " + outcome.text};
}

// save X: [FOLDER] --all-users, forget X: --all-users. Run as administrator
// apart from the user, this process does not see the user's own drives, so
// the window names the folder.
CliResult AllUsers(Os& os, const std::vector<std::string>& words) {
    const bool save = words[0] == "save";
    if ((!save && words[0] != "forget") || words.size() < 2 || words.size() > (save ? 3u : 2u))
        return Fail("wrong arguments for " + words[0] + " --all-users; see korctl --help");
    const auto drive = DriveArgument(words[1]);
    if (!drive)
        return Fail("not a drive letter: " + words[1] + " (give it as X:)");
    if (!save)
        return FromScope(ForgetForAllUsers(os, *drive));
    if (words.size() == 3)
        return FromScope(SaveForAllUsers(os, *drive, words[2]));
    if (!IsVirtualDrive(os, *drive))
        return Fail(*drive + " is not a virtual drive here; name its folder too");
    return FromScope(SaveForAllUsers(os, *drive, FolderOf(os, *drive)));
}

CliResult ElevatedSwitch(Os& os, const std::vector<std::string>& words) {
    const std::string state = words.size() == 2 ? words[1] : std::string();
    if (state == "on" || state == "off")
        return FromScope(SwitchElevatedDrives(os, state == "on"));
    if (state != "status")
        return Fail("wrong arguments for elevated; see korctl --help");
    if (const auto why = ElevatedDrivesUnavailable(os))
        return Done("drives for programs run as administrator are not available: " + *why + "\n");
    return Done(std::string("drives for programs run as administrator are ") + (ElevatedDrivesOn(os) ? "on" : "off") +
                "\n");
}

CliResult Run(Os& os, const std::vector<std::string>& args, const std::string& version) {
    std::vector<std::string> words;
    bool json = false, save = false, allUsers = false;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h" || arg == "/?")
            return Done(kHelp);
        if (arg == "--version")
            return Done(std::string(kProgram) + " " + version + "\n");
        if (arg == "--json")
            json = true;
        else if (arg == "--save")
            save = true;
        else if (arg == "--utf8")
            continue;
        else if (arg == "--clear")
            words.push_back(arg);
        else if (arg == kAllUsersArgument)
            allUsers = true;
        else if (arg.compare(0, 2, "--") == 0)
            return Fail("unknown option " + arg + "; see korctl --help");
        else
            words.push_back(arg);
    }
    if (words.empty())
        return Fail("no command given; see korctl --help");
    const std::string& command = words[0];
    if (command == "label" && !json && !save)
        return Label(os, words, allUsers);
    if (allUsers && !json && !save)
        return AllUsers(os, words);
    if (command == "elevated" && !json && !save && !allUsers)
        return ElevatedSwitch(os, words);
    const std::size_t wanted = command == "create" ? 3 : command == "list" || command == "restore" ? 1 : 2;
    const bool known = command == "list" || command == "restore" || command == "create" || command == "remove" ||
                       command == "save" || command == "forget" || command == "elevated";
    if (!known)
        return Fail("unknown command " + command + "; see korctl --help");
    if (words.size() != wanted || (json && command != "list") || (save && command != "create") || allUsers)
        return Fail("wrong arguments for " + command + "; see korctl --help");
    if (command == "list")
        return List(os, json);
    if (command == "restore")
        return Restore(os);
    const auto drive = DriveArgument(words[1]);
    if (!drive)
        return Fail("not a drive letter: " + words[1] + " (give it as X:)");
    if (command == "create")
        return Create(os, *drive, words[2], save);
    if (command == "remove")
        return Remove(os, *drive);
    if (command == "save")
        return SaveCommand(os, *drive);
    return Forget(os, *drive);
}

bool Given(const std::vector<std::string>& args, const char* option) {
    return std::find(args.begin(), args.end(), option) != args.end();
}

} // namespace

CliResult RunCommandLine(Os& os, const std::vector<std::string>& args, const std::string& version) {
    // Run as administrator by the window, whose output it cannot read.
    if (args.size() >= 2 && args[args.size() - 2] == "--report") {
        const CliResult result = RunCommandLine(os, {args.begin(), args.end() - 2}, version);
        os.OverwritePlainFile(args.back(), result.out + result.err);
        return result;
    }
    CliResult result = Run(os, args, version);
    result.outUtf8 = Given(args, "--utf8") || Given(args, "--json");
    result.errUtf8 = Given(args, "--utf8");
    return result;
}

} // namespace kv
