// Tools kve2e.exe carries beside its cases: the pictures scripts/run takes
// and the report of run_cases.sh --check-slow-drive, which measures how Wine
// lets a drive that does not answer hold up its callers.
#include "e2e_tools.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "../e2e/driver.h"

namespace e2e {

void TakeScreenshot(const std::string& bmpPath, HWND window) {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (window)
        GetWindowRect(window, &area);
    const int w = area.right - area.left, h = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((w * 3 + 3) / 4) * 4, imageSize = stride * h;
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    info.bmiHeader.biSizeImage = imageSize;
    std::ofstream out(bmpPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
    out.write(static_cast<const char*>(bits), imageSize);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

namespace {
struct TimedCall {
    std::function<void()> call;
    DWORD tookMs = 0;
};

DWORD WINAPI RunTimed(void* param) {
    auto* timed = static_cast<TimedCall*>(param);
    const DWORD start = GetTickCount();
    timed->call();
    timed->tookMs = GetTickCount() - start;
    return 0;
}

// Runs `call` on a thread of its own. Meanwhile another process's window (the
// desktop's, explorer's) is probed for stalls, and a second thread of this
// process lists C:\windows over and over, keeping its slowest listing.
std::string TimeAgainstOthers(const std::string& name, std::function<void()> call) {
    volatile LONG done = 0;
    DWORD slowestListing = 0;
    TimedCall lister{[&] {
        while (!done) {
            const DWORD start = GetTickCount();
            WIN32_FIND_DATAW data;
            HANDLE find = FindFirstFileW(L"C:\\windows\\*", &data);
            if (find != INVALID_HANDLE_VALUE)
                FindClose(find);
            slowestListing = std::max(slowestListing, GetTickCount() - start);
            Sleep(300);
        }
    }};
    TimedCall timed{std::move(call)};
    DWORD longest = 0;
    {
        StallProbe desktop([] { return GetDesktopWindow(); });
        HANDLE listing = CreateThread(nullptr, 0, RunTimed, &lister, 0, nullptr);
        HANDLE thread = CreateThread(nullptr, 0, RunTimed, &timed, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        InterlockedExchange(&done, 1);
        WaitForSingleObject(listing, 120000);
        CloseHandle(thread);
        CloseHandle(listing);
        longest = desktop.longestMs();
    }
    char line[256];
    std::snprintf(line, sizeof line,
                  "  %-10s the caller waited %6lu ms; another process stalled at most %5lu ms; "
                  "the slowest listing of C: by another thread of the caller took %6lu ms\n",
                  name.c_str(), static_cast<unsigned long>(timed.tookMs), static_cast<unsigned long>(longest),
                  static_cast<unsigned long>(slowestListing));
    return line;
}
} // namespace

std::string CheckSlowDrive() {
    MapSlowDrive();
    MakeFolder(std::string(kSlowRoot) + "\\Folder");
    std::string report;
    for (const char* mode : {"3", "3 all"}) {
        report += std::string("N: waiting 3 s a call, ") +
                  (std::string(mode) == "3" ? "the Wine server answered at once:\n" : "the Wine server held too:\n");
        const auto setDelay = [mode] {
            WriteTextFile(std::string(kScratch) + "\\slow-delay.txt", std::string(mode) + "\n");
        };
        setDelay();
        report += TimeAgainstOthers("attributes", [] { GetFileAttributesW(L"N:\\Folder"); });
        report += TimeAgainstOthers("listing", [] {
            WIN32_FIND_DATAW data;
            HANDLE find = FindFirstFileW(L"N:\\Folder\\*", &data);
            if (find != INVALID_HANDLE_VALUE) {
                while (FindNextFileW(find, &data)) {
                }
                FindClose(find);
            }
        });
        report += TimeAgainstOthers("open", [] {
            HANDLE file =
                CreateFileW(L"N:\\kvslow.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE)
                CloseHandle(file);
        });
        SetSlowDelay(0);
    }
    return report;
}

int Screenshots(const std::string& folder) {
    try {
        MakeFolder("C:\\kvtest\\Holiday Photos");
        MakeFolder("C:\\kvtest\\Projects");
        MapDrive("P:", "C:\\kvtest\\Projects");
        MapDrive("H:", ShortPath("C:\\kvtest\\Holiday Photos"));
        MakeFolder(ProgramFile("kordat"));
        WriteTextFile(ProgramFile("kordat\\P.ini"), "C:\\kvtest\\Projects\r\n");
        Korvane app = Korvane::Start();
        HWND splash = nullptr;
        WaitFor([&] { return (splash = app.splash()) != nullptr || !app.running(); }, 10000);
        if (splash) {
            Sleep(1000);
            TakeScreenshot(folder + "\\splash.bmp", splash);
        }
        MainWindow main = app.waitMain();
        Sleep(700);
        main.clickDrive("H:");
        Sleep(500);
        TakeScreenshot(folder + "\\main.bmp", main.hwnd());
        main.shortcut('A');
        HWND about = nullptr;
        WaitFor([&] { return (about = app.window("KorvaneAbout")) != nullptr; }, 5000);
        if (about) {
            Sleep(700);
            TakeScreenshot(folder + "\\about.bmp", about);
            PostMessageW(about, WM_CLOSE, 0, 0);
            Sleep(300);
        }
        main.clickDrive("P:");
        main.shortcut('L');
        HWND label = nullptr;
        WaitFor([&] { return (label = app.window("#32770")) != nullptr; }, 5000);
        if (label) {
            Sleep(700);
            TakeScreenshot(folder + "\\label.bmp", label);
            PostMessageW(label, WM_COMMAND, IDCANCEL, 0);
            Sleep(300);
        }
        main.close();
        app.waitExit(3000);
        return splash && about && label ? 0 : 1;
    } catch (const std::exception& e) {
        std::printf("%s\n", e.what());
        return 1;
    }
}

} // namespace e2e
