// Controls that remember what was done to them.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "platform/controls.h"

namespace kv::test {

// What the drive table and the sorted lists have in common.
template <class Control>
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
    void SetEditText(const std::string& text) override
    {
        editText = text;
        selected = kNoSelection;
    }
    void Select(const std::string& text)
    {
        FakeList::Select(text);
        editText = text;
    }
};

class FakeDriveChooser : public DriveChooser {
public:
    std::string drive = "C:";
    int refreshes = 0;
    std::string Drive() const override { return drive; }
    std::optional<std::string> SetDrive(const std::string& value) override { return drive = value, std::nullopt; }
    void Refresh() override { ++refreshes; }
};

// Opens at once; a bare drive opens its current folder.
class FakeFolderChooser : public FolderChooser {
public:
    std::string path = "C:\\windows";
    std::string Path() const override { return path; }
    void Open(const std::string& value, Opened opened) override
    {
        path = value.size() == 2 ? value + "\\current" : value;
        if (opened)
            opened(std::nullopt);
    }
    void Refresh() override {}
};

class FakeProgressBar : public ProgressBar {
public:
    int value = 0;
    int Value() const override { return value; }
    void SetValue(int v) override { value = v; }
    int Maximum() const override { return 100; }
};

class FakeStatusBar : public StatusBar {
public:
    std::string text;
    void SetText(const std::string& t) override { text = t; }
};

class FakeTimer : public Timer {
public:
    bool enabled = false;
    void Enable() override { enabled = true; }
    void Disable() override { enabled = false; }
    bool Enabled() const override { return enabled; }
};

class FakeWindow : public CommandWindow {
public:
    bool waitCursor = false;
    bool enabled = true;
    void SetWaitCursor(bool wait) override { waitCursor = wait; }
    void Enable(bool e) override { enabled = e; }
    bool Enabled() const override { return enabled; }
};

} // namespace kv::test
