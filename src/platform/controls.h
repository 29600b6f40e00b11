// Small interfaces over the main window's controls. The procedures of the drive
// table and the commands take the controls they read or fill, so that tests can
// hand them fakes; each method is one message to the real control.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kv {

constexpr int kNoSelection = -1;

// `lsv`: the virtual drives in use, one row "X:" each.
class DriveListView {
public:
    virtual ~DriveListView() = default;
    virtual int Count() const = 0;
    virtual std::string Text(int index) const = 0;
    virtual void Append(const std::string& text) = 0; // with the drive icon, at the end
    virtual void Remove(int index) = 0;
    virtual int Selected() const = 0; // kNoSelection when none
    virtual void Redraw() = 0;
    virtual void Focus() = 0;
};

// `cmb` (sorted drop-down list with an edit field) and `lst` (sorted list box).
class SortedList {
public:
    virtual ~SortedList() = default;
    virtual int Count() const = 0;
    virtual std::string Text(int index) const = 0;
    virtual void Add(const std::string& text) = 0; // takes its sorted place
    virtual void Remove(int index) = 0;
    virtual int Selected() const = 0; // kNoSelection when none
    virtual void Redraw() = 0;
    virtual void Focus() = 0;
};

class ComboBox : public SortedList {
public:
    // Shows the text in the edit field; no entry is selected afterwards.
    virtual void SetEditText(const std::string& text) = 0;
};

// `Drive`: the drive list. SetDrive fails with the system's description of the
// error when the drive is not listed; it does not read the drive.
class DriveChooser {
public:
    virtual ~DriveChooser() = default;
    virtual std::string Drive() const = 0; // "C:"
    virtual std::optional<std::string> SetDrive(const std::string& drive) = 0;
    virtual void Refresh() = 0;
};

// `Dir`: the folder list. A folder is read away from the window's thread,
// since a drive that does not answer can hold a read for minutes; the list
// shows the folder once it has been read.
class FolderChooser {
public:
    // Nothing when the folder shows; otherwise the system's description of
    // why not. A folder not read within the bound is a drive not ready.
    using Opened = std::function<void(const std::optional<std::string>& error)>;

    virtual ~FolderChooser() = default;
    virtual std::string Path() const = 0;
    // "C:" opens the current folder of that drive. `opened`, which may be
    // empty, is called on the window's thread, unless a later Open came
    // first: only the latest one is shown and answered.
    virtual void Open(const std::string& path, Opened opened) = 0;
    virtual void Refresh() = 0;
};

class ProgressBar {
public:
    virtual ~ProgressBar() = default;
    virtual int Value() const = 0;
    virtual void SetValue(int value) = 0;
    virtual int Maximum() const = 0;
};

class StatusBar {
public:
    virtual ~StatusBar() = default;
    virtual void SetText(const std::string& text) = 0;
};

class Timer {
public:
    virtual ~Timer() = default;
    virtual void Enable() = 0;
    virtual void Disable() = 0;
    virtual bool Enabled() const = 0;
};

// The main window as the commands see it: its busy state.
class CommandWindow {
public:
    virtual ~CommandWindow() = default;
    virtual void SetWaitCursor(bool wait) = 0;
    virtual void Enable(bool enabled) = 0;
    // False also while a message box that the window owns is open.
    virtual bool Enabled() const = 0;
};

} // namespace kv
