#include "platform/win32/slow_calls_win32.h"

#include <objbase.h>
#include <shellapi.h>

#include <memory>
#include <vector>

#include "platform/win32/ask_within.h"
#include "platform/win32/text.h"

namespace kv {

namespace {

constexpr wchar_t kClassName[] = L"KorvaneSlowCalls";
// lParam: a LongPathAsked the window takes over.
constexpr UINT kLongPathMessage = WM_APP + 0x47;

struct LongPathAsked {
    HWND target = nullptr;
    UINT_PTR id = 0;
    std::wstring path;
    bool found = false;
    std::wstring longForm;
};

struct ExploreAsked {
    HWND owner;
    std::wstring folder;
};

// The buffer grows until the whole long form fits, however deep the folder.
DWORD WINAPI AskLongPath(void* param) {
    std::unique_ptr<LongPathAsked> asked(static_cast<LongPathAsked*>(param));
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr); // no "insert a disk" box
    std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD written = ::GetLongPathNameW(asked->path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (written == 0)
            break;
        if (written < buffer.size()) {
            asked->found = true;
            asked->longForm.assign(buffer.data(), written);
            break;
        }
        buffer.assign(written + 1, L'\0');
    }
    HWND target = asked->target;
    if (::PostMessageW(target, kLongPathMessage, 0, reinterpret_cast<LPARAM>(asked.get())))
        asked.release();
    return 0;
}

// The shell's calls expect COM on the thread that makes them.
DWORD WINAPI ExploreFolder(void* param) {
    std::unique_ptr<ExploreAsked> asked(static_cast<ExploreAsked*>(param));
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr);
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ::ShellExecuteW(asked->owner, L"explore", asked->folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return 0;
}

bool StartThread(LPTHREAD_START_ROUTINE routine, void* param) {
    HANDLE thread = ::CreateThread(nullptr, 0, routine, param, 0, nullptr);
    if (thread == nullptr)
        return false;
    ::CloseHandle(thread);
    return true;
}

} // namespace

Win32SlowCalls::~Win32SlowCalls() {
    if (hwnd_ != nullptr)
        ::DestroyWindow(hwnd_);
}

bool Win32SlowCalls::Create(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32SlowCalls::Proc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return false;
    hwnd_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    if (hwnd_ == nullptr)
        return false;
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return true;
}

// A call that cannot be started is answered as one that found nothing.
void Win32SlowCalls::LongPathName(const std::string& path, LongPathAnswer answer) {
    const UINT_PTR id = nextId_++;
    auto asked = std::make_unique<LongPathAsked>();
    asked->target = hwnd_;
    asked->id = id;
    asked->path = Wide(path);
    if (hwnd_ == nullptr || !StartThread(AskLongPath, asked.get())) {
        answer(LongPath{true, std::nullopt});
        return;
    }
    asked.release();
    waiting_[id] = std::move(answer);
    ::SetTimer(hwnd_, id, kPathAnswerWaitMs, nullptr);
}

void Win32SlowCalls::Explore(const std::string& folder) {
    auto asked = std::make_unique<ExploreAsked>(ExploreAsked{owner_, Wide(folder)});
    if (StartThread(ExploreFolder, asked.get()))
        asked.release();
}

// Whichever comes first, the answer or the timer, is given; the other finds
// nothing waiting and is dropped.
void Win32SlowCalls::Answer(UINT_PTR id, const LongPath& answer) {
    ::KillTimer(hwnd_, id);
    const auto found = waiting_.find(id);
    if (found == waiting_.end())
        return;
    LongPathAnswer waiting = std::move(found->second);
    waiting_.erase(found);
    waiting(answer);
}

LRESULT CALLBACK Win32SlowCalls::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32SlowCalls*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == kLongPathMessage) {
        std::unique_ptr<LongPathAsked> asked(reinterpret_cast<LongPathAsked*>(lParam));
        if (self != nullptr) {
            LongPath answer{true, std::nullopt};
            if (asked->found)
                answer.path = Utf8(asked->longForm);
            self->Answer(asked->id, answer);
        }
        return 0;
    }
    if (msg == WM_TIMER && self != nullptr) {
        self->Answer(wParam, LongPath{});
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace kv
