#include "ui/main/main_commands.h"

#include <algorithm>
#include <utility>

#include "drives/drive_name.h"
#include "drives/scan.h"
#include "drives/subst.h"
#include "drives/targets.h"
#include "saved/records.h"
#include "saved/saved_list.h"

namespace kv {

namespace {

constexpr int kProgressStep = 20;

std::string DriveOf(const std::string& path) { return path.substr(0, 2); }

// The system's own error texts end with a full stop already.
std::string EndSentence(const std::string& text) { return !text.empty() && text.back() == '.' ? text : text + '.'; }

} // namespace

void MainCommands::Load() { ShowSystemDrive(); }

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
    const int selected = c_.lsv.Selected();
    if (selected == kNoSelection)
        return;
    const std::string target = GetDriveTarget(os_, c_.lsv.Text(selected)).value_or(std::string());
    c_.sb.SetText(target);
    const unsigned asked = ++statusAsked_;
    WithLongTarget(target, std::string::npos, [this, asked](const std::string& folder) {
        if (asked == statusAsked_)
            c_.sb.SetText(folder);
    });
}

// Gives `use` the long form of a target, or the target itself when its drive
// did not answer within the bound or the long form is `limit` characters or
// more: the short form still names the folder.
void MainCommands::WithLongTarget(const std::string& target, std::size_t limit,
                                  std::function<void(const std::string&)> use) {
    if (!NeedsLongForm(target)) {
        use(target);
        return;
    }
    slow_.LongPathName(target, [target, limit, use](const SlowCalls::LongPath& answer) {
        use(answer.answered ? LongTargetOf(target, answer.path, limit) : target);
    });
}

// Create and remove share the progress bar; while one of them is under way the
// other is refused, so the bar never passes its maximum and each does its work
// once.
bool MainCommands::PacedCommandPending() const { return c_.tmr.Enabled() || c_.tmr2.Enabled() || c_.pb.Value() != 0; }

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
    c_.tmr.Enable();
}

// The timer stops before the work: CreateDrive's message box runs a message
// loop in which a further tick would push the bar past its maximum.
void MainCommands::OnCreateTick() {
    if (!StepProgress())
        return;
    c_.tmr.Disable();
    if (c_.cmb.Selected() == kNoSelection) { // the letter was given up meanwhile
        FinishPacedCommand();
        return;
    }
    CreateDrive(os_, c_.cmb, c_.lsv, c_.dir);
    c_.cmb.Redraw();
    c_.drive.Refresh();
    FinishPacedCommand();
}

void MainCommands::RemoveDriveCommand() {
    if (PacedCommandPending()) {
        os_.Beep();
        return;
    }
    const int selected = c_.lsv.Selected();
    if (selected == kNoSelection) {
        os_.MessageBox("You must select a drive to delete!", MsgStyle::Information);
        c_.lsv.Focus();
        return;
    }
    const std::string drive = c_.lsv.Text(selected);
    if (os_.MessageBox("Delete virtual drive " + drive + " ?", MsgStyle::Question) == Answer::Yes &&
        !PacedCommandPending()) {
        confirmedDrive_ = drive;
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
    if (!IsListedVirtualDrive(drive)) {
        RelistLetter(os_, c_.lsv, c_.cmb, drive);
        c_.lsv.Redraw();
        c_.cmb.Redraw();
        FinishPacedCommand();
        return;
    }
    const SubstOutcome outcome = DeleteDrive(os_, drive);
    if (!outcome.done) {
        os_.MessageBox("Virtual drive " + drive + " could not be deleted: " + outcome.why + ".", MsgStyle::Critical);
        FinishPacedCommand();
        return;
    }
    const auto saveKept = ForgetSavedDrive(drive);
    c_.cmb.Add(drive);
    if (saveKept)
        os_.MessageBox(EndSentence("Virtual drive " + drive + " has been deleted, but saved drive " + drive +
                                   " could not be removed: " + *saveKept),
                       MsgStyle::Critical);
    else
        os_.MessageBox("Virtual drive " + drive + " has been deleted!", MsgStyle::Information);
    RemoveRow(drive);
    c_.lsv.Redraw();
    ShowSystemDrive();
    c_.drive.Refresh();
    c_.cmb.Redraw();
    FinishPacedCommand();
}

bool MainCommands::IsListedVirtualDrive(const std::string& drive) {
    if (ClassifyTarget(os_.QueryDosDevice(drive)) != DriveKind::Virtual)
        return false;
    for (int i = 0; i < c_.lsv.Count(); ++i)
        if (c_.lsv.Text(i) == drive)
            return true;
    return false;
}

void MainCommands::RemoveRow(const std::string& drive) {
    for (int i = 0; i < c_.lsv.Count(); ++i) {
        if (c_.lsv.Text(i) == drive) {
            c_.lsv.Remove(i);
            return;
        }
    }
}

// A record that cannot be deleted would bring the drive back at the next
// logon, so its entry stays, marked as not present now that the drive is gone.
std::optional<std::string> MainCommands::ForgetSavedDrive(const std::string& drive) {
    const int entry = FindSavedEntry(c_.lst, drive);
    const auto why = DeleteSavedDrive(os_, drive);
    if (entry != kNoSelection) {
        c_.lst.Remove(entry);
        if (why)
            c_.lst.Add(SavedEntry(Trim(drive), false));
        c_.lst.Redraw();
    }
    return why;
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

// A drive already saved keeps its record as it is; a save of the letter
// whose drive was not present is replaced. The entry is added only once the
// record is written: the list shows no drive that would not come back.
void MainCommands::SaveDriveCommand() {
    SetBusy(true);
    const int selected = c_.lsv.Selected();
    if (selected != kNoSelection) {
        const std::string drive = c_.lsv.Text(selected);
        const int entry = FindSavedEntry(c_.lst, drive);
        if (entry == kNoSelection || !IsPresentEntry(c_.lst.Text(entry)))
            SaveDrive(drive, entry);
    }
    SetBusy(false);
}

void MainCommands::SaveDrive(const std::string& drive, int oldEntry) {
    if (const auto why = WriteSavedDrive(os_, drive, GetDriveTarget(os_, drive))) {
        os_.MessageBox(EndSentence("Virtual drive " + drive + " could not be saved: " + *why), MsgStyle::Critical);
        return;
    }
    if (oldEntry != kNoSelection)
        c_.lst.Remove(oldEntry);
    c_.lst.Add(drive);
    c_.lst.Redraw();
}

void MainCommands::RemoveSaveCommand() {
    c_.window.Enable(false);
    c_.window.SetWaitCursor(true);
    const int selected = c_.lst.Selected();
    if (selected == kNoSelection) {
        os_.MessageBox("Please select a drive to remove!", MsgStyle::Information);
        c_.window.Enable(true);
        c_.lst.Focus();
        c_.window.SetWaitCursor(false);
        return;
    }
    // A record that stays would bring the drive back at the next logon, so
    // the entry stays with it and the user learns why.
    const std::string drive = Trim(c_.lst.Text(selected)).substr(0, 2); // "X:", present or not
    if (const auto why = DeleteSavedDrive(os_, drive)) {
        os_.MessageBox(EndSentence("Saved drive " + drive + " could not be removed: " + *why), MsgStyle::Critical);
    } else {
        c_.lst.Remove(selected);
        c_.lst.Redraw();
    }
    SetBusy(false);
}

// The shell explores a folder given as the file; given only as the working
// directory it opens nothing on some systems.
void MainCommands::OpenPathCommand() {
    const int selected = c_.lsv.Selected();
    if (selected == kNoSelection)
        return;
    const auto target = GetDriveTarget(os_, c_.lsv.Text(selected));
    if (!target)
        return;
    WithLongTarget(*target, kShellPathLimit, [this](const std::string& folder) {
        if (!folder.empty())
            slow_.Explore(folder);
    });
}

void MainCommands::ShowManualCommand() {
    const std::string manual = os_.ProgramFolder() + "\\manual.html";
    os_.ShellExecute("open", manual.c_str(), nullptr, nullptr, kShowNormal);
}

} // namespace kv
