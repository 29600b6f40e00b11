// Korvane: turns a folder into a drive letter.

#include "platform/win32/win32.h"

#include <objbase.h>

#include <optional>

#include "korvane/splash_window.h"
#include "startup/startup.h"
#include "platform/win32/folder_list.h"
#include "platform/win32/win32_os.h"
#include "ui/main/main_window.h"

namespace {

// Accelerators belong to the main window while it takes input; a message box or
// the splash gets its keys unchanged.
bool IsMainWindowAccelerator(const kv::MainWindow& window, MSG& msg) {
    HWND main = window.Handle();
    HACCEL table = window.Accelerators();
    if (main == nullptr || table == nullptr || !::IsWindowVisible(main) || !::IsWindowEnabled(main)) {
        return false;
    }
    if (msg.hwnd != main && !::IsChild(main, msg.hwnd)) {
        return false;
    }
    return ::TranslateAcceleratorW(main, table, &msg) != 0;
}

// Tab, the arrow keys between buttons and access keys move between the
// controls as in a dialog. Enter stays with the control, so that Enter in the
// list of drives opens the drive's folder.
bool IsMainWindowNavigationKey(const kv::MainWindow& window, MSG& msg) {
    HWND main = window.Handle();
    if (main == nullptr || !::IsWindowVisible(main) || !::IsChild(main, msg.hwnd)) {
        return false;
    }
    const bool isKey = msg.message == WM_KEYDOWN || msg.message == WM_KEYUP || msg.message == WM_CHAR;
    if (isKey && msg.wParam == VK_RETURN) {
        return false;
    }
    return ::IsDialogMessageW(main, &msg) != 0;
}

// The shell's calls (drive icons, ShellExecute) expect COM set up for a
// single-threaded apartment on the thread that makes them, before the first.
class ComApartment {
public:
    ComApartment()
        : initialised_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
    ~ComApartment() {
        if (initialised_) {
            ::CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

int RunProgram(HINSTANCE instance) {
    // Set up once the splash stands, which so shows without waiting for COM
    // and the DLLs behind it; nothing on this thread calls the shell before
    // the main window is made. Declared first, so that it still ends last.
    std::optional<ComApartment> com;
    // It lives as long as the process: a task still waiting on a share when
    // the window closes goes on using it until the process ends.
    kv::Win32Os& os = *new kv::Win32Os;
    // The splash shows as soon as the files the program needs are known to be
    // there; the main window and its lists, which the user sees only at the
    // hand-over, are made behind it.
    if (!kv::CheckStartupFiles(os)) {
        return 0;
    }
    kv::MainWindow window(instance, os);
    kv::SplashWindow splash(instance, [&window] { window.ShowCentered(); });
    const bool splashShown = splash.Create();
    if (splashShown) {
        splash.WaitForPreparation();
        splash.Show();
    }
    const bool preparing = window.Prepare([&splash, splashShown] {
        if (splashShown) {
            splash.Prepared();
        }
    });
    com.emplace();
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC =
        ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_USEREX_CLASSES;
    ::InitCommonControlsEx(&controls);
    const auto keepSplashAnswering = [&splash, splashShown] {
        if (splashShown) {
            splash.ServeWaiting();
        }
    };
    if (!preparing || !window.Create(keepSplashAnswering)) {
        ::MessageBoxW(nullptr, L"The main window could not be created.", L"Korvane", MB_OK | MB_ICONHAND);
        return 1;
    }
    if (!splashShown) {
        window.ShowCentered();
    }

    MSG msg{};
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (IsMainWindowAccelerator(window, msg) || IsMainWindowNavigationKey(window, msg)) {
            continue;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

} // namespace

// Built without exceptions: nothing can unwind out of here or into the
// system's code from a window procedure.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything can load a DLL: ole32, shell32 and comctl32 load on
    // their first call (cmake/delay_load.cmake), and then from the system
    // folder only, never from where another user could put a DLL of that name.
    kv::LoadDllsFromSystemFolderOnly();
    return RunProgram(instance);
}
