// `Drive`: a drop-down list of the drives, each with its shell icon and label.
//
// The parent window must forward WM_DRAWITEM to OnDrawItem (it returns true when
// the item belongs to this control). WM_MEASUREITEM needs no forwarding: the
// row height is set after creation. The list re-reads the drives by itself
// each time it is dropped down; their labels and icons are read as tasks, one
// a drive, and filled in as they come. The parent receives the ordinary WM_COMMAND
// CBN_SELCHANGE with the control's id when the user picks a drive.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/tasks.h"
#include "platform/win32/control_util.h"

namespace kv {

class DriveList : public DriveChooser, public OwnerDrawnControl {
public:
    DriveList() : OwnerDrawnControl(ODT_COMBOBOX) {}
    ~DriveList() override;

    // The drives' looks are read through `tasks`, which must outlive the list's window.
    bool Create(HWND parent, int id, int x, int y, int width, HFONT font, Tasks& tasks);

    std::string Drive() const override;
    std::optional<std::string> SetDrive(const std::string& drive) override;
    void Refresh() override;

private:
    void DrawRow(const DRAWITEMSTRUCT& item) override;
    LRESULT OnSubclassMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool IsAboutToDropDown(UINT msg, WPARAM wParam) const;
    int FindLetter(char letter) const;
    void ReleaseIcons();
    void StartReading(const std::vector<char>& letters);
    void ApplyLook(char letter, const std::string& text, HICON icon);

    std::array<HICON, 26> icons_{};
    std::array<std::string, 26> texts_; // last label read per letter, "" before
    Tasks* tasks_ = nullptr;
};

} // namespace kv
