#include "command_line/command_line.h"

#include <algorithm>
#include <cctype>

#include "drives/drive_name.h"
#include "drives/scan.h"
#include "drives/subst.h"
#include "drives/targets.h"
#include "saved/labels.h"
#include "saved/records.h"
#include "saved/restore.h"

namespace kv {

namespace {

constexpr char kProgram[] = "korctl";

constexpr char kHelp[] = "Usage: korctl COMMAND [ARGUMENTS]\n"
                         "Makes, lists, removes and saves virtual drives as Korvane does.\n"
                         "\n"
                         "  list [--json]            the virtual drives, their folders, and which are saved\n"
                         "  create X: FOLDER [--save]  makes X: stand for FOLDER (a full path), and saves it\n"
                         "  remove X:                removes the drive X: and forgets its save\n"
                         "  save X:                  saves the drive X:, so that it comes back at logon\n"
                         "  forget X:                forgets the save of X:; the drive itself stays\n"
                         "  restore                  brings back the saved drives, as at logon\n"
                         "  label X: NAME | --clear  names the saved drive X: in Explorer, or takes its name away\n"
                         "  --help                   this text\n"
                         "  --version                the version\n"
                         "\n"
                         "Exit code 0 on success; otherwise 1, with the reason on standard error.\n";

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
    bool saved = false, present = false;
    std::string label;
};

// The virtual drives, then the saves whose drives are not there, each with
// the folder of its record.
std::vector<Listed> ListDrives(Os& os) {
    std::vector<Listed> listed;
    for (const char* letter = kDriveLetters; *letter != ';'; ++letter) {
        const std::string drive = DriveName(*letter);
        if (IsVirtualDrive(os, drive))
            listed.push_back({drive, FolderOf(os, drive), IsSaved(os, drive), true, {}});
    }
    for (const DriveRequest& saved : ReadSavedRecords(os, DataFolder(os)).drives)
        if (!IsVirtualDrive(os, saved.drive))
            listed.push_back({saved.drive, saved.folder, true, false, {}});
    for (Listed& item : listed)
        item.label = DriveLabel(os, item.drive, LabelScope::User);
    return listed;
}

CliResult List(Os& os, bool json) {
    std::string out = json ? "[" : "";
    bool first = true;
    for (const Listed& item : ListDrives(os)) {
        if (json) {
            out += std::string(first ? "" : ",") + "\n  {\"drive\": " + JsonText(item.drive) +
                   ", \"folder\": " + JsonText(item.folder) + ", \"saved\": " + (item.saved ? "true" : "false") +
                   ", \"present\": " + (item.present ? "true" : "false") +
                   ", \"label\": " + (item.label.empty() ? "null" : JsonText(item.label)) + "}";
        } else {
            out += item.drive + "  " + item.folder +
                   (item.saved ? (item.present ? "  [saved]" : "  [saved, not present]") : "") +
                   (item.label.empty() ? "" : "  label: " + item.label) + "\n";
        }
        first = false;
    }
    return Done(json ? out + (first ? "]\n" : "\n]\n") : out);
}

bool IsFullPath(const std::string& folder) {
    const bool onLetter = folder.size() >= 3 && std::isalpha(static_cast<unsigned char>(folder[0])) &&
                          folder[1] == ':' && folder[2] == '\\';
    return onLetter || folder.compare(0, 2, "\\\\") == 0;
}

CliResult Save(Os& os, const std::string& drive, const std::string& done) {
    if (const auto why = WriteSavedDrive(os, drive, GetDriveTarget(os, drive)))
        return Fail(drive + " could not be saved: " + *why);
    return Done(done);
}

CliResult Create(Os& os, const std::string& drive, const std::string& folder, bool save) {
    if (!IsFullPath(folder))
        return Fail("give the folder as a full path, such as C:\\Data, not " + folder);
    if (os.QueryDosDevice(drive))
        return Fail(drive + " is already in use");
    if (os.ProbePath(folder).state == PathProbe::State::Missing)
        return Fail("there is no folder " + folder);
    const SubstOutcome made = MakeDrive(os, drive, folder);
    if (!made.done)
        return Fail(drive + " could not be created: " + made.why);
    const std::string created = drive + " created for " + folder + "\n";
    return save ? Save(os, drive, drive + " created for " + folder + " and saved\n") : Done(created);
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
    return Save(os, drive, drive + " saved\n");
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

// "label X: NAME" or "label X: --clear". A label is kept only with a save,
// which brings the drive back under its name; taking one away always works.
CliResult Label(Os& os, const std::vector<std::string>& args) {
    const auto drive = args.size() == 3 ? DriveArgument(args[1]) : std::nullopt;
    if (!drive)
        return Fail("give the drive and the label, as in: korctl label X: \"Photos\" (or --clear)");
    const std::string label = args[2] == "--clear" ? std::string() : args[2];
    if (!LabelText(label).empty() && !IsSaved(os, *drive))
        return Fail(*drive + " is not saved; save it first (korctl save " + *drive +
                    "), as only a saved drive keeps "
                    "a label");
    if (const auto why = SetDriveLabel(os, *drive, label, LabelScope::User))
        return Fail("the label of " + *drive + " was not set: " + *why);
    return Done(LabelText(label).empty() ? *drive + " has no label now\n"
                                         : *drive + " is labelled " + LabelText(label) + "\n");
}

} // namespace

CliResult RunCommandLine(Os& os, const std::vector<std::string>& args, const std::string& version) {
    if (!args.empty() && args[0] == "label" && std::find(args.begin(), args.end(), "--help") == args.end())
        return Label(os, args);
    std::vector<std::string> words;
    bool json = false, save = false;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h" || arg == "/?")
            return Done(kHelp);
        if (arg == "--version")
            return Done(std::string(kProgram) + " " + version + "\n");
        if (arg == "--json")
            json = true;
        else if (arg == "--save")
            save = true;
        else if (arg.compare(0, 2, "--") == 0)
            return Fail("unknown option " + arg + "; see korctl --help");
        else
            words.push_back(arg);
    }
    if (words.empty())
        return Fail("no command given; see korctl --help");
    const std::string& command = words[0];
    const std::size_t wanted = command == "create" ? 3 : command == "list" || command == "restore" ? 1 : 2;
    const bool known = command == "list" || command == "restore" || command == "create" || command == "remove" ||
                       command == "save" || command == "forget";
    if (!known)
        return Fail("unknown command " + command + "; see korctl --help");
    if (words.size() != wanted || (json && command != "list") || (save && command != "create"))
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

} // namespace kv
