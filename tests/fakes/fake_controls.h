// Controls that remember what was done to them.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/controls.h"

namespace kv::test {

class FakeListView : public DriveListView {
public:
    std::vector<std::string> rows;
    int selected = kNoSelection;
    bool focused = false;

    int Count() const override { return static_cast<int>(rows.size()); }
    std::string Text(int index) const override { return rows.at(index); }
    void Append(const std::string& text) override { rows.push_back(text); }
    void Remove(int index) override
    {
        rows.erase(rows.begin() + index);
        selected = kNoSelection;
    }
    int Selected() const override { return selected; }
    void Redraw() override {}
    void Focus() override { focused = true; }
    void Select(const std::string& text)
    {
        selected = static_cast<int>(std::find(rows.begin(), rows.end(), text) - rows.begin());
    }
};

class FakeComboBox : public ComboBox {
public:
    std::vector<std::string> entries;
    int selected = kNoSelection;
    std::string editText = "Avaliable Drives:";
    bool focused = false;

    int Count() const override { return static_cast<int>(entries.size()); }
    std::string Text(int index) const override { return entries.at(index); }
    void Add(const std::string& text) override
    {
        entries.insert(std::upper_bound(entries.begin(), entries.end(), text), text);
    }
    void Remove(int index) override { entries.erase(entries.begin() + index); }
    int Selected() const override { return selected; }
    void Redraw() override {}
    void Focus() override { focused = true; }
    void SetEditText(const std::string& text) override
    {
        editText = text;
        selected = kNoSelection;
    }
    void Select(const std::string& text)
    {
        selected = static_cast<int>(std::find(entries.begin(), entries.end(), text) - entries.begin());
        editText = text;
    }
};

class FakeDriveChooser : public DriveChooser {
public:
    std::string drive = "C:";
    int refreshes = 0;
    std::string Drive() const override { return drive; }
    std::optional<std::string> SetDrive(const std::string& value) override
    {
        drive = value;
        return std::nullopt;
    }
    void Refresh() override { ++refreshes; }
};

// Opens at once, unless told to hold: then each Open waits until the test
// answers it or lets its bound pass, as a drive that answers late does.
class FakeFolderChooser : public FolderChooser {
public:
    std::string path = "C:\\windows";
    std::vector<std::string> unreadable; // paths that fail to open
    bool hold = false;
    std::vector<std::pair<std::string, Opened>> held;
    std::string Path() const override { return path; }
    void Open(const std::string& value, Opened opened) override
    {
        if (hold) {
            held.emplace_back(value, std::move(opened));
            return;
        }
        const bool fails = std::count(unreadable.begin(), unreadable.end(), value) > 0;
        if (!fails)
            path = value.size() == 2 ? value + "\\current" : value;
        if (opened)
            opened(fails ? std::optional<std::string>("The device is not ready.") : std::nullopt);
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
