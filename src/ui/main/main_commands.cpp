#include "ui/main/main_commands.h"

#include <algorithm>
#include <utility>

#include "drives/drive_name.h"
#include "drives/scan.h"
#include "drives/targets.h"
#include "saved/labels.h"
#include "saved/records.h"
#include "saved/saved_list.h"
#include "saved/scopes.h"

namespace kv {

namespace {

constexpr int kProgressStep = 20;
constexpr char kAvailableDrives[] = "Avaliable Drives:";

std::string DriveOf(const std::string& path) { return path.substr(0, 2); }

// The system's own error texts end with a full stop already.
std::string EndSentence(const std::string& text) { return !text.empty() && text.back() == '.' ? text : text + '.'; }

template<class List>
int IndexOf(const List& list, const std::string& text) {
    for (int i = 0; i < list.Count(); ++i)
        if (list.Text(i) == text)
            return i;
    return kNoSelection;
}

// What making a list follow the model did to it.
struct Followed {
    bool changed = false;
    bool selectionGone = false; // the selected entry was taken out
};

// Makes `list` hold what `wanted` holds: entries it does not hold go, the
// missing ones are added by `add`, and the others stay as they are.
template<class List, class Add>
Followed Follow(List& list, const std::vector<std::string>& wanted, Add add) {
    Followed result;
    const int selected = list.Selected();
    for (int i = list.Count() - 1; i >= 0; --i) {
        if (std::find(wanted.begin(), wanted.end(), list.Text(i)) == wanted.end()) {
            result.selectionGone = result.selectionGone || i == selected;
            list.Remove(i);
            result.changed = true;
        }
    }
    for (const std::string& entry : wanted) {
        if (IndexOf(list, entry) == kNoSelection) {
            add(entry);
            result.changed = true;
        }
    }
    return result;
}

} // namespace

void MainCommands::Load(const DriveSnapshot& drives) {
    model_.Take(drives);
    Draw();
}

// A reading begun before the program changed a drive itself is dropped when
// it comes; so is every reading while a create or removal is under way: the
// letter the user chose stays chosen, and the command's own answer says
// what became of it.
void MainCommands::Refresh() {
    if (PacedCommandPending())
        return;
    const unsigned generation = model_.Generation();
    tasks_.Run<DriveSnapshot>(
        "drives:" + std::to_string(generation), [&os = os_] { return ReadDrives(os); },
        [this, generation](const DriveSnapshot* now) {
            if (now == nullptr || PacedCommandPending() || generation != model_.Generation())
                return;
            model_.Take(*now);
            Draw();
        },
        {"drives", Tasks::kNoBound});
}

// The lists show the model; an entry changes only where the model did, so
// that the selection and the scroll position stay where the user left them.
void MainCommands::Draw() {
    DrawUsed();
    DrawFree();
    DrawSaved();
}

void MainCommands::DrawUsed() {
    if (Follow(c_.lsv, model_.UsedDrives(), [this](const std::string& drive) { c_.lsv.Append(drive); }).changed) {
        c_.lsv.Redraw();
        c_.drive.Refresh();
    }
}

// A letter the user had chosen and that is free no more is given up: the
// field shows its caption again.
void MainCommands::DrawFree() {
    const Followed free = Follow(c_.cmb, model_.FreeDrives(), [this](const std::string& drive) { c_.cmb.Add(drive); });
    if (free.selectionGone)
        c_.cmb.SetEditText(kAvailableDrives);
    if (free.changed)
        c_.cmb.Redraw();
}

void MainCommands::DrawSaved() {
    if (Follow(c_.lst, model_.SavedEntries(), [this](const std::string& entry) { c_.lst.Add(entry); }).changed)
        c_.lst.Redraw();
}

// The rows of `lsv` are the model's drives in the model's order.
std::optional<std::string> MainCommands::SelectedDrive() const {
    const int selected = c_.lsv.Selected();
    const std::vector<std::string> used = model_.UsedDrives();
    if (selected < 0 || selected >= static_cast<int>(used.size()))
        return std::nullopt;
    return used[selected];
}

// The selected drive, for a command that may not start while a paced one is
// under way (a beep) and needs a drive (the user is told to pick one).
std::optional<std::string> MainCommands::DriveToActOn(const std::string& noneSelected) {
    if (PacedCommandPending()) {
        os_.Beep();
        return std::nullopt;
    }
    const auto drive = SelectedDrive();
    if (!drive) {
        os_.MessageBox(noneSelected, MsgStyle::Information);
        c_.lsv.Focus();
    }
    return drive;
}

// A bare "C:" opens the current folder of that drive, not its root.
void MainCommands::ShowSystemDrive() {
    c_.drive.SetDrive(DriveOf(os_.SystemDirectory()));
    c_.dir.Open(DriveOf(c_.drive.Drive()), nullptr);
}

// A drive that cannot be read (an empty removable drive, or a share that
// does not answer within the bound, say) is reported and the lists go back
// to the system drive. The window goes on meanwhile.
void MainCommands::OnDriveChange() {
    c_.dir.Open(DriveOf(c_.drive.Drive()), [this](const std::optional<std::string>& error) {
        if (error) {
            os_.MessageBox(*error, MsgStyle::Critical);
            ShowSystemDrive();
            return;
        }
        c_.drive.Refresh();
    });
}

// The folder as the drive stores it shows at once; its long form replaces it
// when the system gives it, unless the user has clicked on since.
void MainCommands::ShowStatus() {
    const auto drive = SelectedDrive();
    if (!drive)
        return;
    const std::string target = GetDriveTarget(os_, *drive).value_or(std::string());
    c_.sb.SetText(target);
    WithLongTarget(target, std::string::npos, "status", [this](const std::string& folder) { c_.sb.SetText(folder); });
}

// Gives `use` the long form of a target, or the target itself when its drive
// did not answer within the bound or the long form is `limit` characters or
// more: the short form still names the folder. A newer request in the same
// slot drops the answer of an older one.
void MainCommands::WithLongTarget(const std::string& target, std::size_t limit, const std::string& slot,
                                  std::function<void(const std::string&)> use) {
    if (!NeedsLongForm(target)) {
        use(target);
        return;
    }
    using LongForm = std::optional<std::string>;
    tasks_.Run<LongForm>(
        "long:" + target, [&os = os_, target] { return os.LongPathNameWaiting(target); },
        [target, limit, use](const LongForm* answer) { use(answer ? LongTargetOf(target, *answer, limit) : target); },
        {slot, kPathAnswerWaitMs});
}

// Create and remove share the progress bar; while one of them is under way the
// other is refused, so the bar never passes its maximum and each does its work
// once.
bool MainCommands::PacedCommandPending() const {
    return c_.tmr.Enabled() || c_.tmr2.Enabled() || c_.pb.Value() != 0 || working_;
}

// One tick of a paced command: the bar moves on and the window is busy from
// the first tick. True on the tick that fills the bar. A message box opened
// in the quiet first interval (the folder list's, say) holds the window
// disabled; the command waits for it to close, so that its work never
// re-enables the window behind a box that is still open.
bool MainCommands::StepProgress() {
    if (c_.pb.Value() == 0 && !c_.window.Enabled())
        return false;
    c_.pb.SetValue(std::min(c_.pb.Value() + kProgressStep, c_.pb.Maximum()));
    c_.window.SetWaitCursor(true);
    c_.window.Enable(false);
    return c_.pb.Value() == c_.pb.Maximum();
}

void MainCommands::FinishPacedCommand() {
    c_.window.SetWaitCursor(false);
    c_.pb.SetValue(0);
    c_.window.Enable(true);
}

// The drive is made only when the bar is full, so the user sees the window
// repaint and the bar fill before subst runs.
void MainCommands::CreateDriveCommand() {
    if (PacedCommandPending()) {
        os_.Beep();
        return;
    }
    if (c_.cmb.Selected() == kNoSelection) {
        os_.MessageBox("Please choose a drive to created from the avaliable drives.", MsgStyle::Information);
        c_.cmb.Focus();
        return;
    }
    if (!UserWantsDriveOnlyElevatedProgramsSee(c_.cmb.Text(c_.cmb.Selected())))
        return;
    c_.tmr.Enable();
}

// Started as administrator under UAC, the program makes its drives in the
// session of the user's elevated programs, where Explorer and the user's
// everyday programs never see them: the user hears so before the drive is made.
bool MainCommands::UserWantsDriveOnlyElevatedProgramsSee(const std::string& drive) {
    return !os_.ElevatedApartFromUser() ||
           os_.MessageBox("Korvane runs as administrator, so virtual drive " + drive +
                              " will be seen only by programs run as administrator, not by Explorer or your other "
                              "programs. Create it anyway?",
                          MsgStyle::Question) == Answer::Yes;
}

// The timer stops before the work. subst and the checks after it run away
// from the window's thread, on the folder open when the bar filled; the
// window stays busy, and answers, until they end.
void MainCommands::OnCreateTick() {
    if (!StepProgress())
        return;
    c_.tmr.Disable();
    const int selected = c_.cmb.Selected();
    const std::string drive = selected == kNoSelection ? std::string() : c_.cmb.Text(selected);
    if (!model_.IsFree(drive)) { // the letter was given up, or taken, meanwhile
        FinishPacedCommand();
        return;
    }
    working_ = true;
    const std::string folder = c_.dir.Path();
    tasks_.Run<SubstOutcome>(
        "create:" + drive, [&os = os_, drive, folder] { return MakeDrive(os, drive, folder); },
        [this, drive](const SubstOutcome* outcome) { OnCreated(drive, *outcome); });
}

// Whatever came of it, the letter is read again: another program may have
// taken it meanwhile, and then it is no longer offered.
void MainCommands::OnCreated(const std::string& drive, const SubstOutcome& outcome) {
    working_ = false;
    model_.Relist(drive, os_.QueryDosDevice(drive));
    Draw();
    if (outcome.done)
        os_.MessageBox("Virtual drive " + drive + " created.", MsgStyle::Information);
    else
        os_.MessageBox("Virtual drive " + drive + " could not be created: " + outcome.why + ".", MsgStyle::Critical);
    FinishPacedCommand();
}

void MainCommands::RemoveDriveCommand() {
    const auto drive = DriveToActOn("You must select a drive to delete!");
    if (!drive)
        return;
    if (model_.IsSavedForAllUsers(*drive)) {
        if (os_.MessageBox("Virtual drive " + *drive +
                               " belongs to all users of this computer: it is saved for all users and comes back at "
                               "every startup. Remove that save, with administrator rights?",
                           MsgStyle::Question) == Answer::Yes)
            RunAsAdministrator({"forget", *drive, kAllUsersArgument});
        return;
    }
    if (os_.MessageBox("Delete virtual drive " + *drive + " ?", MsgStyle::Question) == Answer::Yes &&
        !PacedCommandPending()) {
        confirmedDrive_ = *drive;
        c_.tmr2.Enable();
    }
}

// The drive removed is the one the user confirmed, wherever the selection has
// moved since. When it has gone meanwhile there is nothing to remove: the
// lists follow the system and the command ends without a word. Removing a
// drive also forgets it as a saved drive; a drive that stays keeps its save.
void MainCommands::OnRemoveTick() {
    if (!StepProgress())
        return;
    c_.tmr2.Disable();
    const std::string drive = std::exchange(confirmedDrive_, std::string());
    const auto target = os_.QueryDosDevice(drive);
    if (ClassifyTarget(target) != DriveKind::Virtual || !model_.IsUsed(drive)) {
        model_.Relist(drive, target);
        Draw();
        FinishPacedCommand();
        return;
    }
    working_ = true;
    tasks_.Run<RemoveOutcome>(
        "remove:" + drive,
        [&os = os_, drive] {
            RemoveOutcome outcome{DeleteDrive(os, drive), std::nullopt, std::nullopt};
            if (outcome.removal.done)
                outcome.saveKept = DeleteSavedDrive(os, drive);
            if (outcome.removal.done && !outcome.saveKept)
                outcome.labelKept = ForgetDriveLabel(os, drive, LabelScope::User);
            return outcome;
        },
        [this, drive](const RemoveOutcome* outcome) { OnRemoved(drive, *outcome); });
}

// A record that cannot be deleted would bring the drive back at the next
// logon, so its entry stays, marked as not present now that the drive is
// gone. The drive's row goes once the user has read the message.
void MainCommands::OnRemoved(const std::string& drive, const RemoveOutcome& outcome) {
    working_ = false;
    if (!outcome.removal.done) {
        os_.MessageBox("Virtual drive " + drive + " could not be deleted: " + outcome.removal.why + ".",
                       MsgStyle::Critical);
        FinishPacedCommand();
        return;
    }
    model_.Relist(drive, std::nullopt);
    model_.Saved(drive, outcome.saveKept.has_value());
    DrawSaved();
    DrawFree();
    if (outcome.saveKept)
        os_.MessageBox(EndSentence("Virtual drive " + drive + " has been deleted, but saved drive " + drive +
                                   " could not be removed: " + *outcome.saveKept),
                       MsgStyle::Critical);
    else if (outcome.labelKept)
        os_.MessageBox(EndSentence("Virtual drive " + drive +
                                   " has been deleted, but its label could not be taken "
                                   "away: " +
                                   *outcome.labelKept),
                       MsgStyle::Critical);
    else
        os_.MessageBox("Virtual drive " + drive + " has been deleted!", MsgStyle::Information);
    DrawUsed();
    ShowSystemDrive();
    FinishPacedCommand();
}

// The cursor goes first so that the user sees the wait while the window is
// disabled, and last on the way back.
void MainCommands::SetBusy(bool busy) {
    if (busy) {
        c_.window.SetWaitCursor(true);
        c_.window.Enable(false);
    } else {
        c_.window.SetWaitCursor(false);
        c_.window.Enable(true);
    }
}

// A drive already saved keeps its record as it is. The entry shows only once
// the record is written: the list shows no drive that would not come back.
// The window is busy until then.
void MainCommands::SaveDriveCommand() {
    SetBusy(true);
    const auto drive = SelectedDrive();
    if (!drive || model_.IsSaved(*drive)) {
        SetBusy(false);
        return;
    }
    // Saved, and why programs run as administrator do not have it yet.
    using Saving = std::pair<std::optional<std::string>, std::optional<std::string>>;
    const auto target = GetDriveTarget(os_, *drive);
    tasks_.Run<Saving>(
        "save:" + *drive,
        [&os = os_, drive = *drive, target] {
            Saving saving{WriteSavedDrive(os, drive, target), std::nullopt};
            if (!saving.first)
                saving.second = ShareWithElevatedSession(os);
            return saving;
        },
        [this, drive = *drive](const Saving* saving) {
            if (saving->first) {
                os_.MessageBox(EndSentence("Virtual drive " + drive + " could not be saved: " + *saving->first),
                               MsgStyle::Critical);
            } else {
                model_.Saved(drive, true);
                DrawSaved();
                if (saving->second)
                    os_.MessageBox(EndSentence("Virtual drive " + drive + " is saved, but " + *saving->second),
                                   MsgStyle::Critical);
            }
            SetBusy(false);
        });
}

// A record that stays would bring the drive back at the next logon, so the
// entry stays with it and the user learns why.
void MainCommands::RemoveSaveCommand() {
    c_.window.Enable(false);
    c_.window.SetWaitCursor(true);
    const int selected = c_.lst.Selected();
    const std::vector<std::string> entries = model_.SavedEntries();
    if (selected < 0 || selected >= static_cast<int>(entries.size())) {
        os_.MessageBox("Please select a drive to remove!", MsgStyle::Information);
        c_.window.Enable(true);
        c_.lst.Focus();
        c_.window.SetWaitCursor(false);
        return;
    }
    using Refusals = std::pair<std::optional<std::string>, std::optional<std::string>>; // the save's, the label's
    const std::string drive = DriveOf(entries[selected]);
    if (entries[selected] == drive + kAllUsersMark) {
        SetBusy(false);
        RunAsAdministrator({"forget", drive, kAllUsersArgument});
        return;
    }
    tasks_.Run<Refusals>(
        "forget:" + drive,
        [&os = os_, drive] {
            Refusals why{DeleteSavedDrive(os, drive), std::nullopt};
            if (!why.first)
                why.second = ForgetDriveLabel(os, drive, LabelScope::User);
            return why;
        },
        [this, drive](const Refusals* why) {
            if (why->first) {
                os_.MessageBox(EndSentence("Saved drive " + drive + " could not be removed: " + *why->first),
                               MsgStyle::Critical);
            } else {
                model_.Saved(drive, false);
                DrawSaved();
            }
            if (why->second)
                os_.MessageBox(EndSentence("Saved drive " + drive +
                                           " has been removed, but its label could not be "
                                           "taken away: " +
                                           *why->second),
                               MsgStyle::Critical);
            SetBusy(false);
        });
}

// A label is kept only with a save: the save brings the drive back under its
// name, and forgetting it takes the name away. What the user typed is asked
// for again while it cannot be a label. The label is read here (a value of
// the registry answers at once); the shell is told of the new one away from
// the window's thread. A drive saved for all users is named for all users,
// by korctl run as administrator.
void MainCommands::LabelDriveCommand(const AskLabel& ask) {
    const auto drive = DriveToActOn("Please select a drive to label!");
    if (!drive)
        return;
    const bool forAll = model_.IsSavedForAllUsers(*drive);
    if (!forAll && !model_.IsSaved(*drive)) {
        os_.MessageBox("Save virtual drive " + *drive + " first: only a saved drive keeps a label.",
                       MsgStyle::Information);
        return;
    }
    const LabelScope scope = forAll ? LabelScope::AllUsers : LabelScope::User;
    const std::string current = DriveLabel(os_, *drive, scope);
    std::optional<std::string> typed = current;
    while ((typed = ask(*drive, *typed)) && LabelRefusal(LabelText(*typed)))
        os_.MessageBox("The label of " + *drive + " was not set: " + *LabelRefusal(LabelText(*typed)) + ".",
                       MsgStyle::Critical);
    if (!typed || LabelText(*typed) == current)
        return;
    if (forAll) {
        RunAsAdministrator(
            {"label", *drive, LabelText(*typed).empty() ? "--clear" : LabelText(*typed), kAllUsersArgument});
        return;
    }
    using Refusal = std::optional<std::string>;
    SetBusy(true);
    tasks_.Run<Refusal>(
        "label:" + *drive,
        [&os = os_, drive = *drive, label = *typed] { return SetDriveLabel(os, drive, label, LabelScope::User); },
        [this, drive = *drive](const Refusal* why) {
            if (*why)
                os_.MessageBox(EndSentence("The label of " + drive + " was not set: " + **why), MsgStyle::Critical);
            SetBusy(false);
        });
}

// The shell explores a folder given as the file; given only as the working
// directory it opens nothing on some systems. The shell's own look at the
// folder can wait as long as the folder's drive does; while one Explorer
// window for a folder is still awaited, asking again opens no second one.
void MainCommands::OpenPathCommand() {
    const auto drive = SelectedDrive();
    if (!drive)
        return;
    const auto target = GetDriveTarget(os_, *drive);
    if (!target || target->empty())
        return;
    WithLongTarget(*target, kShellPathLimit, "open:" + *target, [this](const std::string& folder) {
        if (folder.empty())
            return;
        tasks_.Run<int>(
            "explore:" + folder,
            [&os = os_, folder] { return os.ShellExecute("explore", folder.c_str(), nullptr, nullptr, kShowNormal); },
            [](const int*) {});
    });
}

// The browser may take its time to start.
void MainCommands::ShowManualCommand() {
    const std::string manual = os_.ProgramFolder() + "\\manual.html";
    tasks_.Run<int>(
        "manual",
        [&os = os_, manual] { return os.ShellExecute("open", manual.c_str(), nullptr, nullptr, kShowNormal); },
        [](const int*) {});
}

// The folder goes by name: korctl run as administrator on an account with
// a second session does not see this session's drives.
void MainCommands::SaveForAllUsersCommand() {
    const auto drive = SelectedDrive();
    if (!drive) {
        os_.MessageBox("Please select a drive to save for all users!", MsgStyle::Information);
        c_.lsv.Focus();
        return;
    }
    const std::string folder = GetDriveLongTarget(os_, *drive);
    RunAsAdministrator(
        {"save", *drive, folder.empty() ? GetDriveTarget(os_, *drive).value_or("") : folder, kAllUsersArgument});
}

// Whether the switch can be used and where it stands are the Task
// Scheduler's to say, and it may take its time.
void MainCommands::ElevatedDrivesCommand() {
    struct Switch {
        std::optional<std::string> unavailable;
        bool on = false;
    };
    SetBusy(true);
    tasks_.Run<Switch>(
        "elevated-switch",
        [&os = os_] {
            const auto why = ElevatedDrivesUnavailable(os);
            return Switch{why, !why && ElevatedDrivesOn(os)};
        },
        [this](const Switch* state) {
            SetBusy(false);
            if (state->unavailable) {
                os_.MessageBox(
                    EndSentence("Drives for programs run as administrator are not available: " + *state->unavailable),
                    MsgStyle::Information);
                return;
            }
            const std::string question =
                state->on ? "Your saved drives are also made for your programs run as administrator. Switch that off?"
                          : "Make your saved drives also for your programs run as administrator, now and at every "
                            "logon? This needs administrator rights once.";
            if (os_.MessageBox(question, MsgStyle::Question) == Answer::Yes)
                RunAsAdministrator({"elevated", state->on ? "off" : "on"});
        });
}

// The window stays busy, and answers, while the system asks the user and
// korctl works; whatever korctl did, the lists read the system again.
void MainCommands::RunAsAdministrator(const std::vector<std::string>& korctlArgs) {
    SetBusy(true);
    tasks_.Run<ElevatedCommand>(
        "as-administrator", [&os = os_, korctlArgs] { return RunKorctlElevated(os, korctlArgs); },
        [this](const ElevatedCommand* run) {
            os_.MessageBox(EndSentence(run->text),
                           run->end == ElevatedCommand::End::Failed ? MsgStyle::Critical : MsgStyle::Information);
            SetBusy(false);
            Refresh();
        });
}

} // namespace kv
