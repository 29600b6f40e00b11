// `Drive`: a drop-down list of the drives, each with its shell icon and label.
//
// The parent window must forward WM_DRAWITEM to OnDrawItem (it returns true when
// the item belongs to this control). WM_MEASUREITEM needs no forwarding: the
// row height is set after creation. The list re-reads the drives by itself
// each time it is dropped down. The parent receives the ordinary WM_COMMAND
// CBN_SELCHANGE with the control's id when the user picks a drive.
#pragma once

#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "platform/controls.h"

namespace kv {

class DriveList : public DriveChooser {
public:
    DriveList() = default;
    ~DriveList() override;
    DriveList(const DriveList&) = delete;
    DriveList& operator=(const DriveList&) = delete;

    bool Create(HWND parent, int id, int x, int y, int width, HFONT font);
    HWND Handle() const { return hwnd_; }

    std::string Drive() const override;
    std::optional<std::string> SetDrive(const std::string& drive) override;
    void Refresh() override;

    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    bool OnMeasureItem(MEASUREITEMSTRUCT& item) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR self);
    bool IsAboutToDropDown(UINT msg, WPARAM wParam) const;
    int FindLetter(char letter) const;
    void ReleaseIcons();

    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    int rowHeight_ = 18;
    std::array<HICON, 26> icons_{};
};

} // namespace kv
