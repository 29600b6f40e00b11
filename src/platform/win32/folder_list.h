// `Dir`: a list of folders showing the open path as a chain of open folders,
// the root first, and below it the subfolders of the open folder.
//
// The parent window must forward WM_DRAWITEM to OnDrawItem (it returns true when
// the item belongs to this control). Folders are read on threads of their own
// and shown when the answer comes; only the latest reading is shown, and only
// when it answers within the bound. WM_MEASUREITEM needs no forwarding: the
// row height is set after creation. Double click and Enter are handled inside
// the control: they open the row's folder. The list box's window text is kept
// equal to Path(), so WM_GETTEXT reads the open folder.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/tasks.h"
#include "platform/win32/control_util.h"

namespace kv {

// The folders from the root down to the path itself: "C:\a\b" gives "C:\", "a"
// and "b". A root stands alone ("C:\").
std::vector<std::string> FolderChain(const std::string& path);

// The path of the first count entries of a chain, without a trailing backslash
// except at a root.
std::string ChainPath(const std::vector<std::string>& chain, size_t count);

// Has the shell load its folder icons ahead of the folder list: the first
// load can take a good part of a second, which the window's thread would
// otherwise spend inside the shell while the splash must answer.
void WarmFolderIcons();

class FolderList : public FolderChooser, public OwnerDrawnControl {
public:
    FolderList() : OwnerDrawnControl(ODT_LISTBOX) {}
    ~FolderList() override;

    // The folders are read through `tasks`, which must outlive the list's window.
    bool Create(HWND parent, int id, int x, int y, int width, int height, HFONT font, Tasks& tasks);

    std::string Path() const override { return path_; }
    void Open(const std::string& path, Opened opened) override;
    void Refresh() override;

    struct Reading; // one folder read, the answer of its task

private:
    void DrawRow(const DRAWITEMSTRUCT& item) override;
    LRESULT OnSubclassMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    void StartReading(std::vector<std::string> folders, bool resolve, Opened opened);
    void OnRead(const Reading* reading, bool resolve, const Opened& opened);
    void Show(const std::string& path, std::vector<std::string> subfolders);
    void OpenRow(int index);
    int IndentOf(int index) const;

    std::string path_;
    std::vector<std::string> chain_;
    HICON openIcon_ = nullptr;
    HICON closedIcon_ = nullptr;
    int pendingOpen_ = -1; // row double-clicked, opened when the button comes up
    Tasks* tasks_ = nullptr;
    unsigned readsNotAnswered_ = 0;
};

} // namespace kv
