// The Task Scheduler 2.0 part of Win32System: tasks of the root folder,
// registered from their XML. Each call enters COM on its own thread and
// leaves it again, since the window's tasks and the command line call from
// threads of their own.
#include "platform/win32/win32_os.h"

#include <oleauto.h>
#include <taskschd.h>

#include "platform/win32/text.h"

namespace kv {
namespace {

// MinGW-w64's import libraries do not carry these two.
const CLSID kTaskSchedulerClass = {0x0F87369F, 0xA4E5, 0x4CFC, {0xBD, 0x3E, 0x73, 0xE6, 0x15, 0x45, 0x72, 0xDD}};
const IID kTaskServiceInterface = {0x2FABA4C7, 0x4DA9, 0x4013, {0x96, 0x97, 0x20, 0xCC, 0x3F, 0xD4, 0x0F, 0x85}};

constexpr HRESULT kTaskHasNotRun = 0x00041303; // SCHED_S_TASK_HAS_NOT_RUN
constexpr HRESULT kTaskRunning = 0x00041301;   // SCHED_S_TASK_RUNNING
constexpr HRESULT kTaskQueued = 0x00041325;    // SCHED_S_TASK_QUEUED
constexpr DWORD kPollMs = 200;

template<class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (p_ != nullptr) {
            p_->Release();
        }
    }
    T* operator->() const { return p_; }
    T** Out() { return &p_; }
    void** OutVoid() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    explicit Bstr(const std::string& utf8) : b_(::SysAllocString(Wide(utf8).c_str())) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { ::SysFreeString(b_); }
    operator BSTR() const { return b_; }

private:
    BSTR b_;
};

// A thread that entered COM in another mode already keeps it.
class ComApartment {
public:
    ComApartment() : hr_(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(hr_)) {
            ::CoUninitialize();
        }
    }

private:
    HRESULT hr_;
};

VARIANT Nothing() {
    VARIANT empty;
    ::VariantInit(&empty);
    return empty;
}

std::string Reason(HRESULT hr) { return SystemErrorText(static_cast<DWORD>(hr)); }

// The root folder of the Task Scheduler, or why it cannot be had.
class RootFolder {
public:
    RootFolder() {
        hr_ = ::CoCreateInstance(kTaskSchedulerClass, nullptr, CLSCTX_INPROC_SERVER, kTaskServiceInterface,
                                 service_.OutVoid());
        if (SUCCEEDED(hr_)) {
            hr_ = service_->Connect(Nothing(), Nothing(), Nothing(), Nothing());
        }
        if (SUCCEEDED(hr_)) {
            hr_ = service_->GetFolder(Bstr("\\"), folder_.Out());
        }
    }
    std::optional<std::string> Refusal() const {
        if (SUCCEEDED(hr_)) {
            return std::nullopt;
        }
        return "the Task Scheduler could not be reached: " + Reason(hr_);
    }
    ITaskFolder* operator->() const { return folder_.operator->(); }

private:
    ComApartment apartment_;
    HRESULT hr_ = E_FAIL;
    ComPtr<ITaskService> service_;
    ComPtr<ITaskFolder> folder_;
};

std::string TaskResultText(LONG result) {
    if (result < 0) {
        return Reason(result);
    }
    return "it ended with exit code " + std::to_string(result);
}

// Ended: neither running nor waiting to, and a result other than "has not
// run yet" (a task registered afresh) is in.
std::optional<std::string> WaitForEnd(IRegisteredTask& task, unsigned waitMs) {
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        TASK_STATE state = TASK_STATE_UNKNOWN;
        LONG result = kTaskHasNotRun;
        if (FAILED(task.get_State(&state)) || FAILED(task.get_LastTaskResult(&result))) {
            return std::string("its state could not be read");
        }
        const bool busy = state == TASK_STATE_RUNNING || state == TASK_STATE_QUEUED || result == kTaskHasNotRun ||
                          result == kTaskRunning || result == kTaskQueued;
        if (!busy) {
            return result == 0 ? std::nullopt : std::optional<std::string>(TaskResultText(result));
        }
        if (::GetTickCount64() - start >= waitMs) {
            return "it did not end within " + std::to_string(waitMs / 1000) + " seconds";
        }
        ::Sleep(kPollMs);
    }
}

} // namespace

// The account comes from the principal of the XML.
std::optional<std::string> Win32System::RegisterTask(const std::string& name, const std::string& xml,
                                                     TaskAccount account) {
    RootFolder root;
    if (const auto why = root.Refusal()) {
        return why;
    }
    ComPtr<IRegisteredTask> task;
    const TASK_LOGON_TYPE logon =
        account == TaskAccount::System ? TASK_LOGON_SERVICE_ACCOUNT : TASK_LOGON_INTERACTIVE_TOKEN;
    const HRESULT hr = root->RegisterTask(Bstr(name), Bstr(xml), TASK_CREATE_OR_UPDATE, Nothing(), Nothing(), logon,
                                          Nothing(), task.Out());
    if (FAILED(hr)) {
        return Reason(hr);
    }
    return std::nullopt;
}

std::optional<std::string> Win32System::RunTask(const std::string& name, unsigned waitMs) {
    RootFolder root;
    if (const auto why = root.Refusal()) {
        return why;
    }
    ComPtr<IRegisteredTask> task;
    HRESULT hr = root->GetTask(Bstr(name), task.Out());
    if (FAILED(hr)) {
        return Reason(hr);
    }
    ComPtr<IRunningTask> running;
    hr = task->Run(Nothing(), running.Out());
    if (FAILED(hr)) {
        return Reason(hr);
    }
    if (waitMs == 0) {
        return std::nullopt;
    }
    return WaitForEnd(*task.operator->(), waitMs);
}

std::optional<std::string> Win32System::DeleteTask(const std::string& name) {
    RootFolder root;
    if (const auto why = root.Refusal()) {
        return why;
    }
    const HRESULT hr = root->DeleteTask(Bstr(name), 0);
    if (FAILED(hr) && hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
        return Reason(hr);
    }
    return std::nullopt;
}

bool Win32System::TaskExists(const std::string& name) {
    RootFolder root;
    if (root.Refusal()) {
        return false;
    }
    ComPtr<IRegisteredTask> task;
    return SUCCEEDED(root->GetTask(Bstr(name), task.Out()));
}

} // namespace kv
