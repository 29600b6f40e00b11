#include "platform/win32/ask_within.h"

#include "platform/win32/handles.h"

namespace kv {

namespace {

// Shared by the caller and the asking thread; the last one to let go frees it.
struct PendingQuestion {
    PathQuestion question;
    std::wstring path;
    DWORD answer = ERROR_TIMEOUT;
    LONG holders = 2;
};

void LetGo(PendingQuestion* pending)
{
    if (::InterlockedDecrement(&pending->holders) == 0)
        delete pending;
}

DWORD WINAPI Ask(void* param)
{
    auto* pending = static_cast<PendingQuestion*>(param);
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr); // no "insert a disk" box
    pending->answer = pending->question(pending->path);
    LetGo(pending);
    return 0;
}

} // namespace

DWORD AskWithin(PathQuestion question, const std::wstring& path, DWORD waitMs)
{
    auto* pending = new PendingQuestion{question, path};
    const KernelHandle thread(::CreateThread(nullptr, 0, Ask, pending, 0, nullptr));
    if (!thread) {
        const DWORD error = ::GetLastError();
        delete pending;
        return error;
    }
    // The thread has ended when the wait succeeds, so its answer is complete.
    const bool answered = ::WaitForSingleObject(thread.Get(), waitMs) == WAIT_OBJECT_0;
    const DWORD answer = answered ? pending->answer : ERROR_TIMEOUT;
    LetGo(pending);
    return answer;
}

} // namespace kv
