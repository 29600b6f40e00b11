#include "platform/win32/drive_list.h"

#include <commctrl.h>
#include <shellapi.h>

#include <objbase.h>

#include <cctype>
#include <memory>
#include <vector>

#include "platform/win32/control_util.h"

namespace kv {

namespace {

constexpr int kVisibleRows = 12;
struct DriveLook {
    std::string text;
    HICON icon;
};

std::string BareName(char letter) { return std::string{letter, ':'}; }

// "C: [SYSTEM]", or "C:" when the volume has no label or cannot be read.
std::string DriveText(char letter) {
    const std::wstring root{static_cast<wchar_t>(letter), L':', L'\\'};
    wchar_t label[MAX_PATH + 1] = {};
    if (GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0) &&
        label[0] != L'\0')
        return BareName(letter) + " [" + Utf8(label) + "]";
    return BareName(letter);
}

HICON LoadDriveIcon(char letter) {
    const std::wstring root{static_cast<wchar_t>(letter), L':', L'\\'};
    SHFILEINFOW info{};
    if (SHGetFileInfoW(root.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON))
        return info.hIcon;
    return nullptr;
}

std::vector<char> PresentLetters() {
    std::vector<char> letters;
    const DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i)
        if (mask & (1u << i))
            letters.push_back(static_cast<char>('A' + i));
    return letters;
}

} // namespace

DriveList::~DriveList() { ReleaseIcons(); }

bool DriveList::Create(HWND parent, int id, int x, int y, int width, HFONT font, Tasks& tasks) {
    tasks_ = &tasks;
    if (!CreateControl(parent, id, 0, L"COMBOBOX",
                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED |
                           CBS_HASSTRINGS,
                       x, y, width, 0, font))
        return false;
    // The parent may not have answered WM_MEASUREITEM during creation, so the
    // heights of both the closed field and the rows are set here.
    SendMessageW(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), rowHeight_);
    SendMessageW(hwnd_, CB_SETITEMHEIGHT, 0, rowHeight_);
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

std::string DriveList::Drive() const {
    const LRESULT index = SendMessageW(hwnd_, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return {};
    return ItemText<ComboBoxMessages>(hwnd_, static_cast<int>(index)).substr(0, 2);
}

// Selects the drive without telling the parent. A drive that is not listed
// leaves the selection as it was. Its root is not read here: the folder list
// reads it away from the window's thread and says when it cannot.
std::optional<std::string> DriveList::SetDrive(const std::string& drive) {
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
    SendMessageW(hwnd_, CB_SETCURSEL, index, 0);
    return std::nullopt;
}

// Lists the drives present now at once, each with the label and icon last
// read for its letter, keeping the selected drive when it is still there;
// the list is only rebuilt when the letters changed, so an open list does not
// flicker. Labels and icons are then read again off the window's thread.
void DriveList::Refresh() {
    const std::vector<char> letters = PresentLetters();
    const int count = static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0));
    bool same = count == static_cast<int>(letters.size());
    for (int i = 0; same && i < count; ++i)
        same = ItemText<ComboBoxMessages>(hwnd_, i).substr(0, 1) == std::string(1, letters[i]);
    if (!same) {
        const std::string selected = Drive();
        SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
        for (char letter : letters) {
            const std::string& known = texts_[letter - 'A'];
            AddItem<ComboBoxMessages>(hwnd_, known.empty() ? BareName(letter) : known);
        }
        if (!selected.empty()) {
            const int index = FindLetter(selected[0]);
            if (index >= 0)
                SendMessageW(hwnd_, CB_SETCURSEL, index, 0);
        }
    }
    StartReading(letters);
}

// A network drive whose server does not answer can take minutes for its
// label or icon, and holds only its own task: the others fill in as they
// come, and asking again for that drive joins the reading still waiting.
void DriveList::StartReading(const std::vector<char>& letters) {
    for (char letter : letters) {
        tasks_->Run<DriveLook>(
            std::string("look:") + letter, [letter] { return DriveLook{DriveText(letter), LoadDriveIcon(letter)}; },
            [this, letter](const DriveLook* look) {
                if (look != nullptr)
                    ApplyLook(letter, look->text, look->icon);
            });
    }
}

// A label that changed replaces the entry's text in place, keeping the
// selection; an icon alone only needs the row painted again.
void DriveList::ApplyLook(char letter, const std::string& text, HICON icon) {
    const int slot = letter - 'A';
    if (icons_[slot] != nullptr)
        DestroyIcon(icons_[slot]);
    icons_[slot] = icon;
    texts_[slot] = text;
    const int index = FindLetter(letter);
    if (index >= 0 && ItemText<ComboBoxMessages>(hwnd_, index) != text) {
        const bool selected = SendMessageW(hwnd_, CB_GETCURSEL, 0, 0) == index;
        const std::wstring wide = Wide(text);
        SendMessageW(hwnd_, CB_DELETESTRING, index, 0);
        SendMessageW(hwnd_, CB_INSERTSTRING, index, reinterpret_cast<LPARAM>(wide.c_str()));
        if (selected)
            SendMessageW(hwnd_, CB_SETCURSEL, index, 0);
    }
    InvalidateRect(hwnd_, nullptr, FALSE);
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    if (GetComboBoxInfo(hwnd_, &parts) && parts.hwndList != nullptr)
        InvalidateRect(parts.hwndList, nullptr, FALSE); // the dropped list, when open
}

int DriveList::FindLetter(char letter) const {
    const int count = static_cast<int>(SendMessageW(hwnd_, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const std::string text = ItemText<ComboBoxMessages>(hwnd_, i);
        if (!text.empty() && text[0] == letter)
            return i;
    }
    return -1;
}

void DriveList::ReleaseIcons() {
    for (HICON& icon : icons_) {
        if (icon != nullptr)
            DestroyIcon(icon);
        icon = nullptr;
    }
}

// The drive's icon and text; the closed field is painted too, even when no
// drive is selected.
void DriveList::DrawRow(const DRAWITEMSTRUCT& item) {
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
bool DriveList::IsAboutToDropDown(UINT msg, WPARAM wParam) const {
    if (SendMessageW(hwnd_, CB_GETDROPPEDSTATE, 0, 0))
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

LRESULT DriveList::OnSubclassMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // A disk inserted or a drive added since the last look shows up in the list.
    if (IsAboutToDropDown(msg, wParam))
        Refresh();
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

} // namespace kv
