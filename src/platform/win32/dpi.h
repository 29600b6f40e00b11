// Pixels per inch of the monitor a window is on, for layouts that follow it.
#pragma once

#include "platform/win32/win32.h"

// Sent to a top-level window moved to a monitor of another DPI (Windows 8.1 on).
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace kv {

constexpr int kDefaultDpi = 96;

// Systems before Windows 10 1607 know only the one DPI of the whole screen;
// GetDpiForWindow is looked up so that the program still starts there.
inline int WindowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    if (hwnd != nullptr) {
        const auto forWindow = reinterpret_cast<GetDpiForWindowFn>(
            reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
        if (forWindow != nullptr) {
            const int dpi = static_cast<int>(forWindow(hwnd));
            if (dpi > 0) {
                return dpi;
            }
        }
    }
    int dpi = kDefaultDpi;
    if (HDC screen = ::GetDC(nullptr)) {
        dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : kDefaultDpi;
}

// A length given in twips (1/1440 inch) in pixels at `dpi`.
inline int TwipsToPixels(int twips, int dpi) { return ::MulDiv(twips, dpi, 1440); }

// Height for CreateFont of a face `hundredths` hundredths of a point tall.
inline int FontHeight(int hundredths, int dpi) { return -::MulDiv(hundredths, dpi, 7200); }

} // namespace kv
