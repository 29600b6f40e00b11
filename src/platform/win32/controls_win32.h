// The control interfaces of platform/controls.h over the real Win32 controls.
// Each wrapper is attached to its control once the window has made it. Texts
// are UTF-8 here and go to the controls through their wide messages.
#pragma once

#include "platform/win32/win32.h"

#include "platform/controls.h"
#include "platform/win32/control_util.h"

namespace kv {

class ControlWrapper {
public:
    void Attach(HWND hwnd) { hwnd_ = hwnd; }
    HWND Handle() const { return hwnd_; }

protected:
    LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageW(hwnd_, msg, wp, lp); }
    void RedrawNow();
    void TakeFocus() { ::SetFocus(hwnd_); }
    static int SelectionOrNone(LRESULT index) { return index < 0 ? kNoSelection : static_cast<int>(index); }

    HWND hwnd_ = nullptr;
};

// `lsv`: icon view whose rows all show image 0 of its normal image list.
class Win32ListView : public DriveListView, public ControlWrapper {
public:
    int Count() const override;
    std::string Text(int index) const override;
    void Append(const std::string& text) override;
    void Remove(int index) override;
    int Selected() const override;
    void Redraw() override { RedrawNow(); }
    void Focus() override { TakeFocus(); }
};

// `cmb` and `lst`: the same wrapper over a list box's messages or a combo box's.
template<class Interface, class Messages>
class Win32StringList : public Interface, public ControlWrapper {
public:
    int Count() const override { return static_cast<int>(Send(Messages::kCount)); }
    std::string Text(int index) const override { return ItemText<Messages>(hwnd_, index); }
    void Add(const std::string& text) override { AddItem<Messages>(hwnd_, text); }
    void Remove(int index) override { Send(Messages::kDelete, static_cast<WPARAM>(index)); }
    int Selected() const override { return SelectionOrNone(Send(Messages::kSelected)); }
    void Redraw() override { RedrawNow(); }
    void Focus() override { TakeFocus(); }
};

// `cmb`: a CBS_SORT drop-down combo box with an edit field.
class Win32ComboBox : public Win32StringList<ComboBox, ComboBoxMessages> {
public:
    void SetEditText(const std::string& text) override;
};

// `lst`: an LBS_SORT list box.
using Win32ListBox = Win32StringList<SortedList, ListBoxMessages>;

// `pb`: attach sets the range 0 to 100.
class Win32ProgressBar : public ProgressBar, public ControlWrapper {
public:
    void AttachWithRange(HWND hwnd);
    int Value() const override;
    void SetValue(int value) override;
    int Maximum() const override;
};

// `sb`: one part spanning the whole bar.
class Win32StatusBar : public StatusBar, public ControlWrapper {
public:
    void AttachSinglePart(HWND hwnd);
    void SetText(const std::string& text) override;
};

// A window timer of the main window; its ticks arrive there as WM_TIMER with the id.
class Win32Timer : public Timer {
public:
    Win32Timer(UINT_PTR id, UINT intervalMs) : id_(id), interval_(intervalMs) {}
    void Attach(HWND window) { window_ = window; }
    UINT_PTR Id() const { return id_; }

    void Enable() override;
    void Disable() override;
    bool Enabled() const override { return enabled_; }

private:
    HWND window_ = nullptr;
    UINT_PTR id_;
    UINT interval_;
    bool enabled_ = false;
};

// The main window's busy state. The window asks WaitCursor() when it gets
// WM_SETCURSOR, so the wait pointer stays while the mouse moves.
class Win32CommandWindow : public CommandWindow, public ControlWrapper {
public:
    void SetWaitCursor(bool wait) override;
    void Enable(bool enabled) override;
    bool Enabled() const override;
    bool WaitCursor() const { return wait_; }

private:
    bool wait_ = false;
    HWND focusBeforeBusy_ = nullptr;
};

} // namespace kv
