#include "platform/win32/drive_list.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cctype>
#include <vector>

#include "platform/win32/control_util.h"

namespace kv {

namespace {

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

} // namespace

DriveList::~DriveList()
{
    ReleaseIcons();
}

bool DriveList::Create(HWND parent, int id, int x, int y, int width, HFONT font)
{
    if (!CreateControl(parent, id, 0, "COMBOBOX",
                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST
                           | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                       x, y, width, 0, font))
        return false;
    // The parent may not have answered WM_MEASUREITEM during creation, so the
    // heights of both the closed field and the rows are set here.
    SendMessageA(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), rowHeight_);
    SendMessageA(hwnd_, CB_SETITEMHEIGHT, 0, rowHeight_);
    // The dropped height of a combo box is its window height less the field.
    RECT field{};
    GetWindowRect(hwnd_, &field);
    const int fieldHeight = field.bottom - field.top;
    SetWindowPos(hwnd_, nullptr, 0, 0, width, fieldHeight + kVisibleRows * rowHeight_ + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Subclass();
    Refresh();
    return true;
}

std::string DriveList::Drive() const
{
    const LRESULT index = SendMessageA(hwnd_, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return {};
    return ItemText<ComboBoxMessages>(hwnd_, static_cast<int>(index)).substr(0, 2);
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
        same = ItemText<ComboBoxMessages>(hwnd_, i) == drives[i].text;
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
        const std::string text = ItemText<ComboBoxMessages>(hwnd_, i);
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

// The drive's icon and text; the closed field is painted too, even when no
// drive is selected.
void DriveList::DrawRow(const DRAWITEMSTRUCT& item)
{
    const bool enabled = IsWindowEnabled(hwnd_) && !(item.itemState & ODS_DISABLED);
    PaintRowBackground(item.hDC, item.rcItem, (item.itemState & ODS_SELECTED) != 0, enabled);
    if (item.itemID == static_cast<UINT>(-1))
        return;
    const std::string text = ItemText<ComboBoxMessages>(hwnd_, static_cast<int>(item.itemID));
    HICON icon = nullptr;
    if (!text.empty() && std::isupper(static_cast<unsigned char>(text[0])))
        icon = icons_[text[0] - 'A'];
    DrawIconAndText(item.hDC, item.rcItem, item.rcItem.left + 2, icon, text);
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

LRESULT DriveList::OnSubclassMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // A disk inserted or a drive added since the last look shows up in the list.
    if (IsAboutToDropDown(msg, wParam))
        Refresh();
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

} // namespace kv
