// Small helpers shared by the drive list and the folder list.
#pragma once

#include <windows.h>

#include <string>

namespace kv {

// Keeps the system from asking the user to insert a disk while a drive that
// may not be ready is looked at; the previous mode comes back at scope exit.
class QuietDriveErrors {
public:
    QuietDriveErrors() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~QuietDriveErrors() { SetErrorMode(previous_); }
    QuietDriveErrors(const QuietDriveErrors&) = delete;
    QuietDriveErrors& operator=(const QuietDriveErrors&) = delete;

private:
    UINT previous_;
};

// The system's own wording for an error code, without the line break that
// FormatMessage ends it with.
inline std::string SystemErrorText(DWORD code)
{
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr)
        text.assign(buffer, length);
    if (buffer != nullptr)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.empty())
        text = "Error " + std::to_string(code);
    return text;
}

// Row height for an owner-drawn list: the font's line plus a little air, and
// never less than a small icon with a pixel above and below.
inline int OwnerDrawRowHeight(HWND control, HFONT font)
{
    int textHeight = 13;
    if (HDC dc = GetDC(control)) {
        HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICA metrics{};
        if (GetTextMetricsA(dc, &metrics))
            textHeight = metrics.tmHeight;
        SelectObject(dc, old);
        ReleaseDC(control, dc);
    }
    const int iconHeight = GetSystemMetrics(SM_CYSMICON);
    return textHeight + 4 > iconHeight + 2 ? textHeight + 4 : iconHeight + 2;
}

// Background and text colours of an owner-drawn row in the given state.
inline void PaintRowBackground(HDC dc, const RECT& rect, bool selected, bool enabled)
{
    const int back = selected && enabled ? COLOR_HIGHLIGHT : COLOR_WINDOW;
    FillRect(dc, &rect, GetSysColorBrush(back));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(!enabled ? COLOR_GRAYTEXT
                                 : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
}

} // namespace kv
