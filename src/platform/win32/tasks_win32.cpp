#include "platform/win32/tasks_win32.h"

#include <objbase.h>

#include "platform/win32/messages.h"

namespace kv {

namespace {

constexpr wchar_t kClassName[] = L"KorvaneTasks";
// A file call or a process start needs little stack, and the shell's calls
// (icons, Explore) a little more; the default megabyte each would let a few
// hundred threads held on a dead share fill a 32-bit address space.
constexpr SIZE_T kTaskStack = 256 * 1024;

// One work on its thread; the window takes it back with the answer. The run
// owns everything the work uses, so that nothing it touches goes away under it.
struct TaskRun {
    HWND target;
    std::string key;
    Tasks::Work work;
    Tasks::Answer answer;
};

// A thread with no "insert a disk" box, and COM as the shell's calls want it.
DWORD WINAPI RunTask(void* param) {
    auto* run = static_cast<TaskRun*>(param);
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr);
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    run->answer = run->work();
    run->work = nullptr;
    if (SUCCEEDED(com))
        ::CoUninitialize();
    if (!::PostMessageW(run->target, kTaskEnded, 0, reinterpret_cast<LPARAM>(run)))
        delete run; // the window has gone: nobody waits any more
    return 0;
}

} // namespace

Win32Tasks::~Win32Tasks() {
    if (hwnd_ != nullptr)
        ::DestroyWindow(hwnd_);
}

bool Win32Tasks::Create(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Win32Tasks::Proc;
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

// Work that cannot be started ends at once with no answer, through the same
// message, so that `done` is never called from inside this call.
void Win32Tasks::RunErased(const std::string& key, Work work, Done done, const Options& options) {
    const TaskBook::Asked asked = book_.Ask(key, std::move(done), options);
    if (options.boundMs != kNoBound)
        ::SetTimer(hwnd_, asked.request, options.boundMs, nullptr);
    if (!asked.startWork)
        return;
    auto* run = new TaskRun{hwnd_, key, std::move(work), nullptr};
    HANDLE thread =
        ::CreateThread(nullptr, kTaskStack, RunTask, run, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread != nullptr) {
        ::CloseHandle(thread);
        return;
    }
    run->work = nullptr;
    if (!::PostMessageW(hwnd_, kTaskEnded, 0, reinterpret_cast<LPARAM>(run)))
        delete run;
}

void Win32Tasks::ServeWaiting() {
    MSG msg{};
    while (hwnd_ != nullptr && ::PeekMessageW(&msg, hwnd_, 0, 0, PM_REMOVE)) {
        ::DispatchMessageW(&msg);
    }
}

void Win32Tasks::OnEnded(LPARAM param) {
    std::unique_ptr<TaskRun> run(reinterpret_cast<TaskRun*>(param));
    for (const auto& call : book_.Finished(run->key, run->answer))
        call();
}

void Win32Tasks::OnBound(UINT_PTR request) {
    ::KillTimer(hwnd_, request);
    if (const auto call = book_.BoundPassed(static_cast<TaskBook::Id>(request)))
        call();
}

LRESULT CALLBACK Win32Tasks::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Win32Tasks*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == kTaskEnded) {
        if (self != nullptr)
            self->OnEnded(lParam);
        else
            delete reinterpret_cast<TaskRun*>(lParam);
        return 0;
    }
    if (msg == WM_TIMER && self != nullptr) {
        self->OnBound(wParam);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace kv
