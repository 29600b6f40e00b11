#include "platform/win32/controls_win32.h"

#include <vector>

#include "platform/win32/text.h"

namespace kv {
namespace {

// Drive names and folder paths fit easily; list texts longer than this are cut.
constexpr int kItemTextMax = 1024;

} // namespace

void ControlWrapper::RedrawNow() {
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

int Win32ListView::Count() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }

std::string Win32ListView::Text(int index) const {
    std::vector<wchar_t> buffer(kItemTextMax, L'\0');
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = buffer.data();
    item.cchTextMax = kItemTextMax;
    LRESULT n = Send(LVM_GETITEMTEXTW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return Utf8(std::wstring(buffer.data(), n > 0 ? static_cast<size_t>(n) : 0));
}

// An index past the end appends the row.
void Win32ListView::Append(const std::string& text) {
    std::wstring wide = Wide(text);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = 0x7FFFFFFF;
    item.pszText = &wide[0];
    item.iImage = 0;
    Send(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void Win32ListView::Remove(int index) { Send(LVM_DELETEITEM, static_cast<WPARAM>(index)); }

int Win32ListView::Selected() const {
    return SelectionOrNone(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// Clearing the selection first keeps the edit text from naming an entry that is
// not chosen.
void Win32ComboBox::SetEditText(const std::string& text) {
    Send(CB_SETCURSEL, static_cast<WPARAM>(-1));
    const std::wstring wide = Wide(text);
    Send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void Win32ProgressBar::AttachWithRange(HWND hwnd) {
    Attach(hwnd);
    Send(PBM_SETRANGE32, 0, 100);
}

int Win32ProgressBar::Value() const { return static_cast<int>(Send(PBM_GETPOS)); }

void Win32ProgressBar::SetValue(int value) { Send(PBM_SETPOS, static_cast<WPARAM>(value)); }

int Win32ProgressBar::Maximum() const { return static_cast<int>(Send(PBM_GETRANGE, FALSE)); }

void Win32StatusBar::AttachSinglePart(HWND hwnd) {
    Attach(hwnd);
    int right = -1;
    Send(SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&right));
    // An empty text rather than none, so that reading the bar's text gives "".
    Send(SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L""));
}

void Win32StatusBar::SetText(const std::string& text) {
    const std::wstring wide = Wide(text);
    Send(SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

// Enabling a running timer leaves its interval running rather than restarting it.
void Win32Timer::Enable() {
    if (enabled_) {
        return;
    }
    if (::SetTimer(window_, id_, interval_, nullptr) != 0) {
        enabled_ = true;
    }
}

void Win32Timer::Disable() {
    ::KillTimer(window_, id_);
    enabled_ = false;
}

void Win32CommandWindow::SetWaitCursor(bool wait) {
    wait_ = wait;
    ::SetCursor(::LoadCursorW(nullptr, wait ? IDC_WAIT : IDC_ARROW));
}

// Disabling the window takes the keyboard focus from its control; the control
// gets it back when the window takes input again, so the keyboard user is not
// left without one.
void Win32CommandWindow::Enable(bool enabled) {
    if (!enabled && ::IsWindowEnabled(hwnd_)) {
        HWND focus = ::GetFocus();
        focusBeforeBusy_ = (focus != nullptr && ::IsChild(hwnd_, focus)) ? focus : nullptr;
    }
    ::EnableWindow(hwnd_, enabled ? TRUE : FALSE);
    if (enabled && focusBeforeBusy_ != nullptr) {
        if (::GetFocus() == nullptr && ::IsWindow(focusBeforeBusy_) && ::GetActiveWindow() == hwnd_) {
            ::SetFocus(focusBeforeBusy_);
        }
        focusBeforeBusy_ = nullptr;
    }
}

bool Win32CommandWindow::Enabled() const { return ::IsWindowEnabled(hwnd_) != FALSE; }

} // namespace kv
