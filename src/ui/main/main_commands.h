// The main window's commands, in plain C++ over the control interfaces, so that
// they can be driven tick by tick in tests.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/controls.h"
#include "platform/os.h"
#include "platform/slow_calls.h"

namespace kv {

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
    MainCommands(Os& os, const MainControls& controls, SlowCalls& slow) : os_(os), c_(controls), slow_(slow) {}

    void Load();
    void OnDriveChange();
    void ShowStatus();

    void CreateDriveCommand();
    void OnCreateTick();
    void RemoveDriveCommand();
    void OnRemoveTick();
    void OpenPathCommand();
    void SaveDriveCommand();
    void RemoveSaveCommand();
    void ShowManualCommand();

private:
    bool PacedCommandPending() const;
    bool StepProgress();
    void FinishPacedCommand();
    void ShowSystemDrive();
    std::optional<std::string> ForgetSavedDrive(const std::string& drive);
    void SaveDrive(const std::string& drive, int oldEntry);
    void SetBusy(bool busy);
    bool IsListedVirtualDrive(const std::string& drive);
    void RemoveRow(const std::string& drive);
    void WithLongTarget(const std::string& target, std::size_t limit, std::function<void(const std::string&)> use);

    Os& os_;
    MainControls c_;
    SlowCalls& slow_;
    unsigned statusAsked_ = 0;   // only the latest click's folder goes to the status bar
    std::string confirmedDrive_; // the drive the pending removal is for
};

} // namespace kv
