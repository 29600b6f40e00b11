// Small helpers shared by the list and combo box controls of the main window.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/text.h"

namespace kv {

// Row height for an owner-drawn list with that font.
int OwnerDrawRowHeight(HWND control, HFONT font);

// Background and text colours of an owner-drawn row in the given state.
inline void PaintRowBackground(HDC dc, const RECT& rect, bool selected, bool enabled) {
    const int back = selected && enabled ? COLOR_HIGHLIGHT : COLOR_WINDOW;
    FillRect(dc, &rect, GetSysColorBrush(back));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(!enabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
}

// The messages of a list box and of a combo box's list that do the same thing.
struct ListBoxMessages {
    static constexpr UINT kCount = LB_GETCOUNT;
    static constexpr UINT kTextLength = LB_GETTEXTLEN;
    static constexpr UINT kText = LB_GETTEXT;
    static constexpr UINT kAdd = LB_ADDSTRING;
    static constexpr UINT kDelete = LB_DELETESTRING;
    static constexpr UINT kSelected = LB_GETCURSEL;
};

struct ComboBoxMessages {
    static constexpr UINT kCount = CB_GETCOUNT;
    static constexpr UINT kTextLength = CB_GETLBTEXTLEN;
    static constexpr UINT kText = CB_GETLBTEXT;
    static constexpr UINT kAdd = CB_ADDSTRING;
    static constexpr UINT kDelete = CB_DELETESTRING;
    static constexpr UINT kSelected = CB_GETCURSEL;
};

// The text of a row as UTF-8, or an empty text when there is no such row. The
// length the control reports first may be more than it copies, so the copy
// counts.
template<class Messages>
std::string ItemText(HWND control, int index) {
    const LRESULT length = SendMessageW(control, Messages::kTextLength, static_cast<WPARAM>(index), 0);
    if (length < 0)
        return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(control, Messages::kText, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    return Utf8(std::wstring(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0));
}

// Adds a row with the text given as UTF-8.
template<class Messages>
LRESULT AddItem(HWND control, const std::string& text) {
    const std::wstring wide = Wide(text);
    return SendMessageW(control, Messages::kAdd, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

// An owner-drawn list control that draws its rows as a small icon and a text,
// with a font and a row height that fits it, and a subclass procedure that
// stays on the control while both the control and this object exist. The
// parent forwards WM_DRAWITEM to OnDrawItem, which answers true when the item
// is this control's.
class OwnerDrawnControl {
public:
    OwnerDrawnControl(const OwnerDrawnControl&) = delete;
    OwnerDrawnControl& operator=(const OwnerDrawnControl&) = delete;

    HWND Handle() const { return hwnd_; }
    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    bool OnMeasureItem(MEASUREITEMSTRUCT& item) const;

protected:
    explicit OwnerDrawnControl(UINT itemType) : itemType_(itemType) {}
    virtual ~OwnerDrawnControl();

    bool CreateControl(HWND parent, int id, DWORD exStyle, const wchar_t* className, DWORD style, int x, int y,
                       int width, int height, HFONT font);
    void Subclass();
    void DrawIconAndText(HDC dc, const RECT& row, int left, HICON icon, const std::string& text) const;

    // Everything of a row but the focus frame; the item may be no row at all.
    virtual void DrawRow(const DRAWITEMSTRUCT& item) = 0;
    // The control's messages while subclassed, up to its WM_NCDESTROY; what
    // is not fully handled goes on to DefSubclassProc.
    virtual LRESULT OnSubclassMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;

    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    int rowHeight_ = 18;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);

    UINT itemType_; // ODT_LISTBOX or ODT_COMBOBOX
};

} // namespace kv
