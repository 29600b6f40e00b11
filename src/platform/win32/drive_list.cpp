#include "platform/win32/drive_list.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cctype>
#include <vector>

#include "platform/win32/control_util.h"

namespace kv {

namespace {

constexpr UINT_PTR kSubclassId = 1;
constexpr int kVisibleRows = 12;

struct DriveEntry {
    char letter;
    std::string text;
};

// "C: [SYSTEM]", or "C:" when the volume has no label or cannot be read.
std::string DriveText(char letter)
{
    const std::string name{letter, ':'};
    const std::string root = name + "\\";
    char label[MAX_PATH + 1] = {};
    if (GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr,
                              nullptr, 0) && label[0] != '\0')
        return name + " [" + label + "]";
    return name;
}

std::vector<DriveEntry> ReadDrives()
{
    QuietDriveErrors quiet;
    std::vector<DriveEntry> drives;
    const DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (mask & (1u << i)) {
            const char letter = static_cast<char>('A' + i);
            drives.push_back({letter, DriveText(letter)});
        }
    }
    return drives;
}

HICON LoadDriveIcon(char letter)
{
    QuietDriveErrors quiet;
    const std::string root{letter, ':', '\\'};
    SHFILEINFOA info{};
    if (SHGetFileInfoA(root.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON))
        return info.hIcon;
    return nullptr;
}

std::string ItemText(HWND combo, int index)
{
    const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

} // namespace

DriveList::~DriveList()
{
    if (hwnd_ != nullptr)
        RemoveWindowSubclass(hwnd_, SubclassProc, kSubclassId);
    ReleaseIcons();
}

bool DriveList::Create(HWND parent, int id, int x, int y, int width, HFONT font)
{
    font_ = font;
    hwnd_ = CreateWindowExA(0, "COMBOBOX", "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST
                                | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                            x, y, width, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(parent, GWLP_HINSTANCE)),
                            nullptr);
    if (hwnd_ == nullptr)
        return false;
    if (font_ != nullptr)
        SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    // The parent may not have answered WM_MEASUREITEM during creation, so the
    // heights of both the closed field and the rows are set here.
    rowHeight_ = OwnerDrawRowHeight(hwnd_, font_);
    SendMessageA(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), rowHeight_);
    SendMessageA(hwnd_, CB_SETITEMHEIGHT, 0, rowHeight_);
    // The dropped height of a combo box is its window height less the field.
    RECT field{};
    GetWindowRect(hwnd_, &field);
    const int fieldHeight = field.bottom - field.top;
    SetWindowPos(hwnd_, nullptr, 0, 0, width, fieldHeight + kVisibleRows * rowHeight_ + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    SetWindowSubclass(hwnd_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    Refresh();
    return true;
}

std::string DriveList::Drive() const
{
    const LRESULT index = SendMessageA(hwnd_, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return {};
    return ItemText(hwnd_, static_cast<int>(index)).substr(0, 2);
}

// Selects the drive without telling the parent. A drive that is not listed, or
// whose root cannot be read, leaves the selection as it was.
std::optional<std::string> DriveList::SetDrive(const std::string& drive)
{
    if (drive.empty() || !std::isalpha(static_cast<unsigned char>(drive[0])))
        return SystemErrorText(ERROR_INVALID_DRIVE);
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])));
    int index = FindLetter(letter);
    if (index < 0) {
        Refresh();
        index = FindLetter(letter);
    }
    if (index < 0)
        return SystemErrorText(ERROR_INVALID_DRIVE);

    {
        QuietDriveErrors quiet;
        const std::string pattern{letter, ':', '\\', '*'};
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            // An empty root has nothing to find but is perfectly readable.
            if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
                return SystemErrorText(error);
        } else {
            FindClose(search);
        }
    }
    SendMessageA(hwnd_, CB_SETCURSEL, index, 0);
    return std::nullopt;
}

// Re-reads the drives and their labels, keeping the selected drive when it is
// still there. The list is only rebuilt when something changed, so an open
// list does not flicker.
void DriveList::Refresh()
{
    const std::vector<DriveEntry> drives = ReadDrives();
    const int count = static_cast<int>(SendMessageA(hwnd_, CB_GETCOUNT, 0, 0));
    bool same = count == static_cast<int>(drives.size());
    for (int i = 0; same && i < count; ++i)
        same = ItemText(hwnd_, i) == drives[i].text;
    if (same)
        return;

    const std::string selected = Drive();
    ReleaseIcons();
    SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0);
    for (const DriveEntry& entry : drives) {
        icons_[entry.letter - 'A'] = LoadDriveIcon(entry.letter);
        SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.text.c_str()));
    }
    if (!selected.empty()) {
        const int index = FindLetter(selected[0]);
        if (index >= 0)
            SendMessageA(hwnd_, CB_SETCURSEL, index, 0);
    }
}

int DriveList::FindLetter(char letter) const
{
    const int count = static_cast<int>(SendMessageA(hwnd_, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const std::string text = ItemText(hwnd_, i);
        if (!text.empty() && text[0] == letter)
            return i;
    }
    return -1;
}

void DriveList::ReleaseIcons()
{
    for (HICON& icon : icons_) {
        if (icon != nullptr)
            DestroyIcon(icon);
        icon = nullptr;
    }
}

bool DriveList::OnMeasureItem(MEASUREITEMSTRUCT& item) const
{
    if (item.CtlType != ODT_COMBOBOX || hwnd_ == nullptr
        || item.CtlID != static_cast<UINT>(GetDlgCtrlID(hwnd_)))
        return false;
    item.itemHeight = rowHeight_;
    return true;
}

bool DriveList::OnDrawItem(const DRAWITEMSTRUCT& item)
{
    if (hwnd_ == nullptr || item.hwndItem != hwnd_)
        return false;
    HDC dc = item.hDC;
    const RECT& rect = item.rcItem;
    const bool enabled = IsWindowEnabled(hwnd_) && !(item.itemState & ODS_DISABLED);
    PaintRowBackground(dc, rect, (item.itemState & ODS_SELECTED) != 0, enabled);
    if (item.itemID != static_cast<UINT>(-1)) {
        const std::string text = ItemText(hwnd_, static_cast<int>(item.itemID));
        const int iconWidth = GetSystemMetrics(SM_CXSMICON);
        const int iconHeight = GetSystemMetrics(SM_CYSMICON);
        int left = rect.left + 2;
        if (!text.empty() && std::isupper(static_cast<unsigned char>(text[0]))) {
            if (HICON icon = icons_[text[0] - 'A'])
                DrawIconEx(dc, left, rect.top + (rect.bottom - rect.top - iconHeight) / 2, icon,
                           iconWidth, iconHeight, 0, nullptr, DI_NORMAL);
        }
        left += iconWidth + 4;
        HGDIOBJ oldFont = font_ ? SelectObject(dc, font_) : nullptr;
        RECT textRect{left, rect.top, rect.right - 2, rect.bottom};
        DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        if (oldFont)
            SelectObject(dc, oldFont);
    }
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT))
        DrawFocusRect(dc, &rect);
    return true;
}

// True for the click or key that is about to open the list.
bool DriveList::IsAboutToDropDown(UINT msg, WPARAM wParam) const
{
    if (SendMessageA(hwnd_, CB_GETDROPPEDSTATE, 0, 0))
        return false;
    switch (msg) {
    case WM_LBUTTONDOWN:
        return true;
    case WM_KEYDOWN:
        return wParam == VK_F4;
    case WM_SYSKEYDOWN:
        return wParam == VK_DOWN || wParam == VK_UP;
    case CB_SHOWDROPDOWN:
        return wParam != FALSE;
    default:
        return false;
    }
}

LRESULT CALLBACK DriveList::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self)
{
    auto* list = reinterpret_cast<DriveList*>(self);
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hwnd, SubclassProc, id);
        list->hwnd_ = nullptr;
    } else if (list->IsAboutToDropDown(msg, wParam)) {
        // A disk inserted or a drive added since the last look shows up in the list.
        list->Refresh();
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

} // namespace kv
