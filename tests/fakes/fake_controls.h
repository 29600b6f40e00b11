// Controls that remember what was done to them.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/controls.h"

namespace kv::test {

// What the drive table and the sorted lists have in common.
template<class Control>
class FakeList : public Control {
public:
    std::vector<std::string> rows;
    int selected = kNoSelection;
    bool focused = false;

    int Count() const override { return static_cast<int>(rows.size()); }
    std::string Text(int index) const override { return rows.at(index); }
    void Remove(int index) override { rows.erase(rows.begin() + index); }
    int Selected() const override { return selected; }
    void Redraw() override {}
    void Focus() override { focused = true; }
    void Select(const std::string& text) { selected = int(std::find(rows.begin(), rows.end(), text) - rows.begin()); }
};

class FakeListView : public FakeList<DriveListView> {
public:
    void Append(const std::string& text) override { rows.push_back(text); }
};

// Also stands for the sorted list box of saved drives.
class FakeComboBox : public FakeList<ComboBox> {
public:
    std::string editText = "Avaliable Drives:";

    void Add(const std::string& text) override { rows.insert(std::upper_bound(rows.begin(), rows.end(), text), text); }
    void SetEditText(const std::string& text) override {
        editText = text;
        selected = kNoSelection;
    }
    void Select(const std::string& text) {
        FakeList::Select(text);
        editText = text;
    }
};

// The drive list and the folder list below it, which opens at once.
class FakeChoosers : public DriveChooser, public FolderChooser {
public:
    std::string drive = "C:";
    std::string path = "C:\\windows";
    int refreshes = 0;
    std::string Drive() const override { return drive; }
    std::optional<std::string> SetDrive(const std::string& value) override { return drive = value, std::nullopt; }
    void Refresh() override { ++refreshes; }
    std::string Path() const override { return path; }
    void Open(const std::string& value, Opened opened) override {
        path = value.size() == 2 ? value + "\\current" : value; // a bare drive opens its current folder
        if (opened)
            opened(std::nullopt);
    }
};

class FakeTimer : public Timer {
public:
    bool enabled = false;
    void Enable() override { enabled = true; }
    void Disable() override { enabled = false; }
    bool Enabled() const override { return enabled; }
};

// The main window as the commands see it: busy or not, its bar and its status line.
class FakeWindow : public CommandWindow, public ProgressBar, public StatusBar {
public:
    bool waitCursor = false;
    bool enabled = true;
    int bar = 0;
    std::string status;
    void SetWaitCursor(bool wait) override { waitCursor = wait; }
    void Enable(bool e) override { enabled = e; }
    bool Enabled() const override { return enabled; }
    int Value() const override { return bar; }
    void SetValue(int value) override { bar = value; }
    int Maximum() const override { return 100; }
    void SetText(const std::string& text) override { status = text; }
};

} // namespace kv::test
