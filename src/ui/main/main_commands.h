// The main window's commands, in plain C++ over the model of the drives and
// the control interfaces, so that they can be driven tick by tick in tests.
// Whatever may wait on a path or a process goes through Tasks: the window's
// thread never waits.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "drives/drive_model.h"
#include "drives/subst.h"
#include "platform/controls.h"
#include "platform/os.h"
#include "platform/tasks.h"

namespace kv {

// What became of a removal: the drive, then its save, then its label.
struct RemoveOutcome {
    SubstOutcome removal;
    std::optional<std::string> saveKept;  // why the record is still there
    std::optional<std::string> labelKept; // why the label Korvane wrote is still there
};

// Asks the user for the label of a drive, the given text filled in; nothing
// when the user cancels.
using AskLabel = std::function<std::optional<std::string>(const std::string& drive, const std::string& text)>;

struct MainControls {
    DriveListView& lsv;
    ComboBox& cmb;
    SortedList& lst;
    DriveChooser& drive;
    FolderChooser& dir;
    ProgressBar& pb;
    StatusBar& sb;
    Timer& tmr;  // paces the create command
    Timer& tmr2; // paces the remove command
    CommandWindow& window;
};

class MainCommands {
public:
    MainCommands(Os& os, const MainControls& controls, Tasks& tasks) : os_(os), c_(controls), tasks_(tasks) {}

    // The drive and folder lists open on the system drive.
    void ShowSystemDrive();
    // The drives as the start-up found them.
    void Load(const DriveSnapshot& drives);
    // Reads the system's drives again: another program may have made or
    // removed one (the command line, subst in a console, the companion's
    // late retry).
    void Refresh();
    void OnDriveChange();
    void ShowStatus();

    void CreateDriveCommand();
    void OnCreateTick();
    void RemoveDriveCommand();
    void OnRemoveTick();
    void OpenPathCommand();
    void SaveDriveCommand();
    void RemoveSaveCommand();
    void LabelDriveCommand(const AskLabel& ask);
    void ShowManualCommand();
    // The scopes beyond this user's logon, each through korctl run as
    // administrator: the user is asked by the system, never the whole window.
    void SaveForAllUsersCommand();
    void ElevatedDrivesCommand();

    const DriveModel& Model() const { return model_; }

private:
    bool PacedCommandPending() const;
    bool UserWantsDriveOnlyElevatedProgramsSee(const std::string& drive);
    bool StepProgress();
    void FinishPacedCommand();
    std::optional<std::string> SelectedDrive() const;
    std::optional<std::string> DriveToActOn(const std::string& noneSelected);
    void Draw();
    void SetBusy(bool busy);
    using Refusal = std::optional<std::string>; // why not, or nothing when done
    void ChangeSave(const std::string& drive, bool saved, std::function<Refusal()> change, const std::string& failure);
    void WithLongTarget(const std::string& target, std::size_t limit, const std::string& slot,
                        std::function<void(const std::string&)> use);
    void OnCreated(const std::string& drive, const SubstOutcome& outcome);
    void OnRemoved(const std::string& drive, const RemoveOutcome& outcome);
    void DrawUsed();
    void DrawFree();
    void DrawSaved();
    void RunAsAdministrator(const std::vector<std::string>& korctlArgs);

    Os& os_;
    MainControls c_;
    Tasks& tasks_;
    DriveModel model_;
    bool working_ = false;       // a create's or removal's work is under way
    std::string confirmedDrive_; // the drive the pending removal is for
};

} // namespace kv
