#include "platform/win32/folder_list.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <vector>

#include "platform/win32/ask_within.h"
#include "platform/win32/control_util.h"

namespace kv {

namespace {

// Every reading of the list is in one slot: a newer one makes the older stale.
constexpr char kReadingSlot[] = "folders";

// Length of the root at the start of a full path: "C:\" or "\\server\share\".
size_t RootLength(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':')
        return path.size() >= 3 && path[2] == '\\' ? 3 : 2;
    if (path.rfind("\\\\", 0) == 0) {
        size_t end = path.find('\\', 2);
        if (end != std::string::npos)
            end = path.find('\\', end + 1);
        return end == std::string::npos ? path.size() : end + 1;
    }
    return 0;
}

HICON LoadFolderIcon(bool open) {
    SHFILEINFOW info{};
    UINT flags = SHGFI_USEFILEATTRIBUTES | SHGFI_ICON | SHGFI_SMALLICON;
    if (open)
        flags |= SHGFI_OPENICON;
    if (SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info, flags))
        return info.hIcon;
    return nullptr;
}

// Past MAX_PATH the wide calls take a path only in its extended form, which
// they use as it is: it must be full and in canonical form already.
std::wstring ExtendedForm(const std::wstring& path) {
    if (path.size() < MAX_PATH - 12 || path.compare(0, 4, L"\\\\?\\") == 0)
        return path;
    if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\')
        return L"\\\\?\\" + path;
    if (path.compare(0, 2, L"\\\\") == 0)
        return L"\\\\?\\UNC\\" + path.substr(2);
    return path;
}

// A "fill this buffer" wide call whose result is the length written, or the
// size needed; nothing when it fails.
template<typename Call>
std::optional<std::wstring> GrowingText(Call call) {
    std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD written = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (written == 0)
            return std::nullopt;
        if (written < buffer.size())
            return std::wstring(buffer.data(), written);
        buffer.assign(written + 1, L'\0');
    }
    return std::nullopt;
}

std::wstring WithoutExtendedPrefix(std::wstring path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0)
        return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0)
        return path.substr(4);
    return path;
}

// The full, long form of a path the caller gave: a bare "X:" becomes the
// current folder of that drive, "." and ".." are resolved, short names are
// expanded, and the trailing backslash goes except at a root.
std::string FullFolderPath(const std::string& path) {
    const std::wstring given = Wide(path);
    std::wstring wide = GrowingText([&given](wchar_t* buffer, DWORD size) {
                            return GetFullPathNameW(given.c_str(), size, buffer, nullptr);
                        }).value_or(given);
    const std::wstring extended = ExtendedForm(wide);
    if (const auto longName = GrowingText(
            [&extended](wchar_t* buffer, DWORD size) { return GetLongPathNameW(extended.c_str(), buffer, size); }))
        wide = WithoutExtendedPrefix(*longName);
    std::string result = Utf8(wide);
    if (result.size() >= 2 && result[1] == ':')
        result[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(result[0])));
    while (result.size() > RootLength(result) && result.back() == '\\')
        result.pop_back();
    if (result.size() == 2 && result[1] == ':')
        result += '\\';
    return result;
}

// The visible subfolders of a folder, sorted as Explorer sorts names. Hidden
// folders are left out, as Explorer does by default. Fails with the system's
// error code when the folder cannot be read.
std::optional<std::vector<std::string>> ReadSubfolders(const std::string& folder, DWORD& error) {
    std::string pattern = folder;
    if (pattern.empty() || pattern.back() != '\\')
        pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(ExtendedForm(Wide(pattern)).c_str(), &found);
    std::vector<std::wstring> names;
    if (search == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        // The root of an empty volume has no entries at all, not even "." and "..".
        if (error == ERROR_FILE_NOT_FOUND && folder.size() == RootLength(folder))
            return std::vector<std::string>();
        return std::nullopt;
    }
    do {
        const std::wstring name = found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) &&
            name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end(),
              [](const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) < 0; });
    std::vector<std::string> sorted;
    sorted.reserve(names.size());
    for (const std::wstring& name : names)
        sorted.push_back(Utf8(name));
    return sorted;
}

std::wstring WindowText(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

} // namespace

std::vector<std::string> FolderChain(const std::string& path) {
    std::vector<std::string> chain;
    const size_t rootLength = RootLength(path);
    if (rootLength == 0)
        return chain;
    std::string root = path.substr(0, rootLength);
    if (root.back() != '\\')
        root += '\\';
    chain.push_back(root);
    size_t start = rootLength;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            chain.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return chain;
}

std::string ChainPath(const std::vector<std::string>& chain, size_t count) {
    std::string path;
    for (size_t i = 0; i < count && i < chain.size(); ++i) {
        if (!path.empty() && path.back() != '\\')
            path += '\\';
        path += chain[i];
    }
    return path;
}

void WarmFolderIcons() {
    for (bool open : {true, false})
        if (HICON icon = LoadFolderIcon(open))
            DestroyIcon(icon);
}

FolderList::~FolderList() {
    if (openIcon_ != nullptr)
        DestroyIcon(openIcon_);
    if (closedIcon_ != nullptr)
        DestroyIcon(closedIcon_);
}

bool FolderList::Create(HWND parent, int id, int x, int y, int width, int height, HFONT font, Tasks& tasks) {
    tasks_ = &tasks;
    if (!CreateControl(parent, id, WS_EX_CLIENTEDGE, L"LISTBOX",
                       WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                           LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
                       x, y, width, height, font))
        return false;
    SendMessageW(hwnd_, LB_SETITEMHEIGHT, 0, rowHeight_);
    openIcon_ = LoadFolderIcon(true);
    closedIcon_ = LoadFolderIcon(false);
    Subclass();
    return true;
}

struct FolderList::Reading {
    bool read = false;
    std::string shown;
    std::vector<std::string> subfolders;
    DWORD error = ERROR_SUCCESS;
};

namespace {

// A 32-bit program on 64-bit Windows is shown SysWOW64 where it asks for
// System32, while a drive made on System32 stands for the real one in every
// 64-bit program. The reading thread sees the folders as they are, so that
// the list shows what the drive will show. Redirection belongs to the
// thread, and comes back when the reading is done.
class RealFolders {
public:
    RealFolders() : off_(::Wow64DisableWow64FsRedirection(&previous_) != FALSE) {}
    ~RealFolders() {
        if (off_)
            ::Wow64RevertWow64FsRedirection(previous_);
    }
    RealFolders(const RealFolders&) = delete;
    RealFolders& operator=(const RealFolders&) = delete;

private:
    void* previous_ = nullptr;
    bool off_;
};

// The first of the folders that reads; `resolve`: the one folder as given, to
// be made a full long path first.
FolderList::Reading ReadFirstFolder(std::vector<std::string> folders, bool resolve) {
    FolderList::Reading reading;
    RealFolders real;
    if (resolve) {
        const std::string full = FullFolderPath(folders.front());
        folders = {full};
        if (FolderChain(full).empty()) {
            reading.error = ERROR_BAD_PATHNAME;
            return reading;
        }
    }
    for (const std::string& folder : folders) {
        std::optional<std::vector<std::string>> subfolders = ReadSubfolders(folder, reading.error);
        if (subfolders) {
            reading.read = true;
            reading.shown = folder;
            reading.subfolders = std::move(*subfolders);
            break;
        }
    }
    return reading;
}

} // namespace

void FolderList::Open(const std::string& path, Opened opened) {
    if (path.empty()) {
        tasks_->Forget(kReadingSlot);
        if (opened)
            opened(SystemErrorText(ERROR_PATH_NOT_FOUND));
        return;
    }
    StartReading({path}, true, std::move(opened));
}

// Re-reads the open folder. When it has gone away meanwhile, the nearest
// folder above it that can still be read is opened instead.
void FolderList::Refresh() {
    if (chain_.empty())
        return;
    std::vector<std::string> folders;
    for (size_t count = chain_.size(); count > 0; --count)
        folders.push_back(ChainPath(chain_, count));
    StartReading(std::move(folders), false, nullptr);
}

// A reading that does not answer within the bound is a drive not ready, and
// whatever it answers later is dropped: the list never moves on its own.
// The same folders asked again while their reading still waits join it;
// asked again after the user was told the drive is not ready, they are read
// afresh, since the share may have come back while the old call still hangs.
void FolderList::StartReading(std::vector<std::string> folders, bool resolve, Opened opened) {
    std::string key = std::to_string(readsNotAnswered_) + (resolve ? ":open:" : ":refresh:");
    for (const std::string& folder : folders)
        key += folder + '|';
    tasks_->Run<Reading>(
        key, [folders = std::move(folders), resolve] { return ReadFirstFolder(folders, resolve); },
        [this, resolve, opened = std::move(opened)](const Reading* reading) { OnRead(reading, resolve, opened); },
        {kReadingSlot, kPathAnswerWaitMs});
}

void FolderList::OnRead(const Reading* reading, bool resolve, const Opened& opened) {
    if (reading == nullptr) {
        ++readsNotAnswered_;
        if (opened)
            opened(SystemErrorText(ERROR_NOT_READY));
        return;
    }
    if (reading->read)
        Show(reading->shown, reading->subfolders);
    else if (!resolve)
        Show(path_, {});
    if (opened)
        opened(reading->read ? std::nullopt : std::optional<std::string>(SystemErrorText(reading->error)));
}

// Fills the list with the chain of open folders and the subfolders, selects
// the open folder and keeps the window text equal to the path.
void FolderList::Show(const std::string& path, std::vector<std::string> subfolders) {
    path_ = path;
    chain_ = FolderChain(path);
    SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
    SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
    for (const std::string& name : chain_)
        AddItem<ListBoxMessages>(hwnd_, name);
    for (const std::string& name : subfolders)
        AddItem<ListBoxMessages>(hwnd_, name);
    const int current = static_cast<int>(chain_.size()) - 1;
    SendMessageW(hwnd_, LB_SETCURSEL, current, 0);
    // Keep a little of the chain above the open folder in view on deep paths,
    // so that the subfolders below it get the rest of the list.
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int visible = std::max(1, static_cast<int>(client.bottom) / std::max(1, rowHeight_));
    const int top = current < visible ? 0 : current - visible / 3;
    SendMessageW(hwnd_, LB_SETTOPINDEX, top, 0);
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
    SetWindowTextW(hwnd_, Wide(path_).c_str());
}

// Opens the folder of a row: a row of the chain goes up to that folder, a
// subfolder row goes down into it. A folder that cannot be read is reported
// and the list stays where it was.
void FolderList::OpenRow(int index) {
    const int count = static_cast<int>(SendMessageW(hwnd_, LB_GETCOUNT, 0, 0));
    if (index < 0 || index >= count)
        return;
    std::string target;
    if (index < static_cast<int>(chain_.size())) {
        target = ChainPath(chain_, static_cast<size_t>(index) + 1);
    } else {
        target = path_;
        if (target.back() != '\\')
            target += '\\';
        target += ItemText<ListBoxMessages>(hwnd_, index);
    }
    Open(target, [this](const std::optional<std::string>& error) {
        if (!error)
            return;
        HWND owner = GetAncestor(hwnd_, GA_ROOT);
        MessageBoxW(owner, Wide(*error).c_str(), WindowText(owner).c_str(), MB_OK | MB_ICONHAND);
        SendMessageW(hwnd_, LB_SETCURSEL, chain_.size() - 1, 0);
    });
}

int FolderList::IndentOf(int index) const {
    const int level = std::min(index, static_cast<int>(chain_.size()));
    return level * (GetSystemMetrics(SM_CXSMICON) * 3 / 4);
}

// A folder of the chain shows open and sits one step right of the folder above
// it; the subfolders sit one step right of the open folder.
void FolderList::DrawRow(const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1))
        return;
    const int index = static_cast<int>(item.itemID);
    PaintRowBackground(item.hDC, item.rcItem, (item.itemState & ODS_SELECTED) != 0, IsWindowEnabled(hwnd_) != FALSE);
    HICON icon = index < static_cast<int>(chain_.size()) ? openIcon_ : closedIcon_;
    DrawIconAndText(item.hDC, item.rcItem, item.rcItem.left + 2 + IndentOf(index), icon,
                    ItemText<ListBoxMessages>(hwnd_, index));
}

LRESULT FolderList::OnSubclassMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_GETDLGCODE: {
        const auto* pending = reinterpret_cast<const MSG*>(lParam);
        LRESULT code = DefSubclassProc(hwnd, msg, wParam, lParam);
        if (pending != nullptr && pending->message == WM_KEYDOWN && pending->wParam == VK_RETURN)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            OpenRow(static_cast<int>(SendMessageW(hwnd, LB_GETCURSEL, 0, 0)));
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == '\r')
            return 0;
        break;
    case WM_LBUTTONDBLCLK: {
        // The list box still tracks the mouse until the button comes up; the
        // rows are replaced only then, so the release cannot pick a new row.
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        const LRESULT hit = SendMessageW(hwnd, LB_ITEMFROMPOINT, 0, lParam);
        pendingOpen_ = HIWORD(hit) == 0 ? static_cast<int>(LOWORD(hit)) : -1;
        return result;
    }
    case WM_LBUTTONDOWN:
        pendingOpen_ = -1;
        break;
    case WM_LBUTTONUP: {
        const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
        const int row = pendingOpen_;
        pendingOpen_ = -1;
        if (row >= 0)
            OpenRow(row);
        return result;
    }
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

} // namespace kv
