// The window procedure of our top-level windows, one for each window class.
#pragma once

#include "platform/win32/win32.h"

namespace kv {

// The window object T is passed to CreateWindowExW; from WM_NCCREATE on it is
// kept with its window, which it knows as hwnd_, and every message goes to
// T::HandleMessage. The object lets go of the window at WM_NCDESTROY. T names
// this function its friend.
template<class T>
LRESULT CALLBACK WindowProcFor(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    T* self = nullptr;
    if (msg == WM_NCCREATE) {
        self = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<T*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (self == nullptr) {
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    const LRESULT result = self->HandleMessage(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

} // namespace kv
