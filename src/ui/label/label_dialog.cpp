#include "ui/label/label_dialog.h"

#include <vector>

#include "platform/win32/dpi.h"
#include "platform/win32/fonts.h"
#include "platform/win32/text.h"
#include "resource.h"
#include "saved/labels.h"

namespace kv {
namespace {

constexpr COLORREF kTeal = RGB(0, 192, 192);

} // namespace

LabelDialog::LabelDialog(HINSTANCE instance) : instance_(instance) {}

std::optional<std::string> LabelDialog::Ask(HWND owner, const std::string& drive, const std::string& text,
                                            bool& shown) {
    drive_ = drive;
    text_ = text;
    background_.Reset(::CreateSolidBrush(kTeal));
    const INT_PTR answer = ::DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_LABEL), owner, &LabelDialog::DialogProc,
                                             reinterpret_cast<LPARAM>(this));
    shown = answer != -1 && answer != 0;
    return answer == IDOK ? std::optional<std::string>(text_) : std::nullopt;
}

// The dialog object comes with WM_INITDIALOG and is kept with its window.
INT_PTR CALLBACK LabelDialog::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) {
        ::SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
        reinterpret_cast<LabelDialog*>(lParam)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<LabelDialog*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    return self != nullptr ? self->HandleMessage(msg, wParam) : FALSE;
}

INT_PTR LabelDialog::HandleMessage(UINT msg, WPARAM wParam) {
    switch (msg) {
    case WM_INITDIALOG:
        OnInitDialog();
        return FALSE; // the focus is set there
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return reinterpret_cast<INT_PTR>(OnCtlColor(reinterpret_cast<HDC>(wParam)));
    default:
        return FALSE;
    }
}

// The main window's bold face, at the DPI the dialog is shown at. The field
// takes as many characters as a label may hold, as Windows counts them; the
// text is selected, so that typing replaces it.
void LabelDialog::OnInitDialog() {
    font_.Reset(
        MakeFont(FirstInstalledFace({L"Microsoft Sans Serif", L"Tahoma"}), 825, FW_BOLD, FF_SWISS, WindowDpi(hwnd_)));
    for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    }
    const std::wstring prompt = Wide("&Name of " + drive_ + " in Explorer, up to " + std::to_string(kLabelMaxChars) +
                                     " characters (empty for none):");
    ::SetDlgItemTextW(hwnd_, IDC_LABEL_PROMPT, prompt.c_str());
    HWND edit = ::GetDlgItem(hwnd_, IDC_LABEL_EDIT);
    ::SendMessageW(edit, EM_SETLIMITTEXT, kLabelMaxChars, 0);
    ::SetWindowTextW(edit, Wide(text_).c_str());
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    ::SetFocus(edit);
}

void LabelDialog::OnCommand(int id) {
    if (id == IDOK) {
        HWND edit = ::GetDlgItem(hwnd_, IDC_LABEL_EDIT);
        std::vector<wchar_t> typed(static_cast<std::size_t>(::GetWindowTextLengthW(edit)) + 1, L'\0');
        ::GetWindowTextW(edit, typed.data(), static_cast<int>(typed.size()));
        text_ = Utf8(typed.data());
        ::EndDialog(hwnd_, IDOK);
    } else if (id == IDCANCEL) {
        ::EndDialog(hwnd_, IDCANCEL);
    }
}

// The dialog and its labels take the main window's teal; the field stays white.
HBRUSH LabelDialog::OnCtlColor(HDC dc) {
    ::SetBkColor(dc, kTeal);
    ::SetBkMode(dc, TRANSPARENT);
    return background_.Get();
}

} // namespace kv
