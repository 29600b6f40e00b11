#include "platform/win32/control_util.h"

#include <commctrl.h>

namespace kv {

namespace {

constexpr UINT_PTR kSubclassId = 1;

} // namespace

// Row height for an owner-drawn list: the font's line plus a little air, and
// never less than a small icon with a pixel above and below.
int OwnerDrawRowHeight(HWND control, HFONT font) {
    int textHeight = 13;
    if (HDC dc = GetDC(control)) {
        HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICW metrics{};
        if (GetTextMetricsW(dc, &metrics))
            textHeight = metrics.tmHeight;
        SelectObject(dc, old);
        ReleaseDC(control, dc);
    }
    const int iconHeight = GetSystemMetrics(SM_CYSMICON);
    return textHeight + 4 > iconHeight + 2 ? textHeight + 4 : iconHeight + 2;
}

OwnerDrawnControl::~OwnerDrawnControl() {
    if (hwnd_ != nullptr)
        RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
}

// Makes the control in the parent's module with the font, and works out the
// row height for it.
bool OwnerDrawnControl::CreateControl(HWND parent, int id, DWORD exStyle, const wchar_t* className, DWORD style, int x,
                                      int y, int width, int height, HFONT font) {
    font_ = font;
    hwnd_ = CreateWindowExW(exStyle, className, L"", style, x, y, width, height, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)), nullptr);
    if (hwnd_ == nullptr)
        return false;
    if (font_ != nullptr)
        SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    rowHeight_ = OwnerDrawRowHeight(hwnd_, font_);
    return true;
}

// From here on the control's messages pass through OnSubclassMessage.
void OwnerDrawnControl::Subclass() {
    SetWindowSubclass(hwnd_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

bool OwnerDrawnControl::OnMeasureItem(MEASUREITEMSTRUCT& item) const {
    if (item.CtlType != itemType_ || hwnd_ == nullptr || item.CtlID != static_cast<UINT>(GetDlgCtrlID(hwnd_)))
        return false;
    item.itemHeight = rowHeight_;
    return true;
}

bool OwnerDrawnControl::OnDrawItem(const DRAWITEMSTRUCT& item) {
    if (hwnd_ == nullptr || item.hwndItem != hwnd_)
        return false;
    DrawRow(item);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        DrawFocusRect(item.hDC, &item.rcItem);
    return true;
}

// The icon, when there is one, centred in the row at left, and the text after
// the icon's place, cut with an ellipsis where the row ends.
void OwnerDrawnControl::DrawIconAndText(HDC dc, const RECT& row, int left, HICON icon, const std::string& text) const {
    const int iconWidth = GetSystemMetrics(SM_CXSMICON);
    const int iconHeight = GetSystemMetrics(SM_CYSMICON);
    if (icon != nullptr)
        DrawIconEx(dc, left, row.top + (row.bottom - row.top - iconHeight) / 2, icon, iconWidth, iconHeight, 0, nullptr,
                   DI_NORMAL);
    HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
    RECT textRect{left + iconWidth + 4, row.top, row.right - 2, row.bottom};
    const std::wstring wide = Wide(text);
    DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (oldFont)
        SelectObject(dc, oldFont);
}

// The subclass goes with the control.
LRESULT CALLBACK OwnerDrawnControl::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                                 DWORD_PTR self) {
    auto* control = reinterpret_cast<OwnerDrawnControl*>(self);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, SubclassProc, id);
        control->hwnd_ = nullptr;
        return DefSubclassProc(hwnd, msg, wParam, lParam);
    }
    return control->OnSubclassMessage(hwnd, msg, wParam, lParam);
}

} // namespace kv
