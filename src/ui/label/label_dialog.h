// The Label dialog: the name Explorer shows for a saved drive, asked for
// over the main window in its colours and font, with the current label
// filled in.
#pragma once

#include "platform/win32/win32.h"

#include <optional>
#include <string>

#include "platform/win32/handles.h"

namespace kv {

class LabelDialog {
public:
    explicit LabelDialog(HINSTANCE instance);
    LabelDialog(const LabelDialog&) = delete;
    LabelDialog& operator=(const LabelDialog&) = delete;

    // Shows the dialog modally over `owner`, `text` filled in; the text the
    // user confirmed, or nothing when cancelled. `shown` is false when the
    // dialog could not be made.
    std::optional<std::string> Ask(HWND owner, const std::string& drive, const std::string& text, bool& shown);

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT msg, WPARAM wParam);

    void OnInitDialog();
    void OnCommand(int id);
    HBRUSH OnCtlColor(HDC dc);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    FontHandle font_;
    BrushHandle background_;
    std::string drive_;
    std::string text_;
};

} // namespace kv
