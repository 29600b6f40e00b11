#include "korvane/splash_window.h"

#include <utility>

#include "resource.h"

namespace kv {
namespace {

constexpr wchar_t kClassName[] = L"KorvaneSplash";
constexpr int kWidth = 300; // pixels at 96 dpi, the size of the picture
constexpr int kHeight = 150;
constexpr UINT kTickMs = 1000;
constexpr int kHandOverTick = 3;

} // namespace

SplashWindow::SplashWindow(HINSTANCE instance, std::function<void()> handOver)
    : instance_(instance), handOver_(std::move(handOver)) {}

SplashWindow::~SplashWindow() {
    if (hwnd_ != nullptr) {
        ::DestroyWindow(hwnd_);
    }
}

bool SplashWindow::Create() {
    picture_.Reset(static_cast<HBITMAP>(
        ::LoadImageW(instance_, MAKEINTRESOURCEW(IDB_SPLASH), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &WindowProcFor<SplashWindow>;
    wc.hInstance = instance_;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_APPSTARTING);
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }

    int dpi = 96;
    if (HDC screen = ::GetDC(nullptr)) {
        dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
        ::ReleaseDC(nullptr, screen);
    }
    const int width = ::MulDiv(kWidth, dpi, 96);
    const int height = ::MulDiv(kHeight, dpi, 96);
    const int x = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    // A tool window keeps the splash off the taskbar.
    return ::CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"Korvane", WS_POPUP, x, y, width, height, nullptr, nullptr,
                             instance_, this) != nullptr;
}

void SplashWindow::Show() {
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    ::UpdateWindow(hwnd_);
    shownAt_ = ::GetTickCount64();
    ::SetTimer(hwnd_, IDT_SPLASH, kTickMs, nullptr);
}

// Only the splash's own messages are taken; messages sent to the thread's
// windows are served by the peek itself.
void SplashWindow::ServeWaiting() {
    MSG msg{};
    while (hwnd_ != nullptr && ::PeekMessageW(&msg, hwnd_, 0, 0, PM_REMOVE)) {
        ::DispatchMessageW(&msg);
    }
}

LRESULT SplashWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return picture_ ? TRUE : ::DefWindowProcW(hwnd_, msg, wParam, lParam);
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    case WM_CLOSE:
        // Closing the splash (Alt+F4) would leave the program running with no
        // window; it goes only by handing over.
        return 0;
    default:
        return ::DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}

// The picture stretched over the whole client area.
void SplashWindow::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd_, &ps);
    if (picture_) {
        RECT client{};
        ::GetClientRect(hwnd_, &client);
        BITMAP info{};
        ::GetObjectW(picture_.Get(), sizeof(info), &info);
        if (HDC source = ::CreateCompatibleDC(dc)) {
            HGDIOBJ old = ::SelectObject(source, picture_.Get());
            ::SetStretchBltMode(dc, HALFTONE);
            ::SetBrushOrgEx(dc, 0, 0, nullptr);
            ::StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
            ::SelectObject(source, old);
            ::DeleteDC(source);
        }
    }
    ::EndPaint(hwnd_, &ps);
}

// The hand-over happens once, on the third tick or, when the start-up work
// is still going then, as soon as it is done. The ticks are counted by the
// clock: a thread busy for a moment (filling the lists) gets two ticks as
// one, which counted by messages put the hand-over a second late. The main
// window is shown while the splash still stands, so that it takes the
// foreground from it rather than opening behind whatever window the system
// picks next; then the splash and its timer go.
void SplashWindow::OnTimer(UINT_PTR id) {
    if (id != IDT_SPLASH || handOverDue_) {
        return;
    }
    // Timers may fire a few milliseconds early.
    constexpr ULONGLONG kEarlyMs = 50;
    if (::GetTickCount64() - shownAt_ + kEarlyMs < static_cast<ULONGLONG>(kHandOverTick) * kTickMs) {
        return;
    }
    handOverDue_ = true;
    ::KillTimer(hwnd_, IDT_SPLASH);
    if (prepared_) {
        HandOver();
    }
}

void SplashWindow::Prepared() {
    prepared_ = true;
    if (handOverDue_) {
        HandOver();
    }
}

void SplashWindow::HandOver() {
    if (handOver_) {
        handOver_();
    }
    ::DestroyWindow(hwnd_);
}

} // namespace kv
