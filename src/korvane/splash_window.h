// `frmLoad`: the borderless picture shown while the program comes up. On its
// third one-second tick it hands over to the main window and closes; when it
// was told to wait for the start-up work, not before that work is done.
#pragma once

#include "platform/win32/win32.h"

#include <functional>

#include "platform/win32/handles.h"
#include "platform/win32/window_base.h"

namespace kv {

class SplashWindow {
public:
    SplashWindow(HINSTANCE instance, std::function<void()> handOver);
    ~SplashWindow();
    SplashWindow(const SplashWindow&) = delete;
    SplashWindow& operator=(const SplashWindow&) = delete;

    // Makes the window, hidden.
    bool Create();
    // Shows it centred on the screen and starts the ticks.
    void Show();
    // Paints and answers what is waiting for the splash, while the thread is
    // busy with other work.
    void ServeWaiting();
    // The hand-over waits for Prepared.
    void WaitForPreparation() { prepared_ = false; }
    void Prepared();

    HWND Handle() const { return hwnd_; }

private:
    friend LRESULT CALLBACK WindowProcFor<SplashWindow>(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

    void OnPaint();
    void OnTimer(UINT_PTR id);
    void HandOver();

    HINSTANCE instance_;
    std::function<void()> handOver_;
    HWND hwnd_ = nullptr;
    BitmapHandle picture_;
    ULONGLONG shownAt_ = 0;
    bool handOverDue_ = false;
    bool prepared_ = true;
};

} // namespace kv
