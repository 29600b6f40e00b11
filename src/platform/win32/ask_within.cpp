#include "platform/win32/ask_within.h"

#include "platform/win32/handles.h"

namespace kv {

namespace {

// Shared by the caller and the asking thread; the last one to let go frees it.
struct PendingQuestion {
    PathQuestion question;
    std::wstring path;
    PathAnswer answer;
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
    pending->answer.error = pending->question(pending->path, pending->answer.text);
    LetGo(pending);
    return 0;
}

// A file call needs little stack; 26 of them at once should not reserve 26 MB.
constexpr SIZE_T kAskStack = 64 * 1024;

} // namespace

std::vector<PathAnswer> AskAllWithin(PathQuestion question, const std::vector<std::wstring>& paths, DWORD waitMs)
{
    std::vector<PendingQuestion*> pending;
    std::vector<KernelHandle> threads;
    for (const std::wstring& path : paths) {
        auto* one = new PendingQuestion{question, path, {}};
        KernelHandle thread(::CreateThread(nullptr, kAskStack, Ask, one, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
        if (!thread) {
            one->answer.error = ::GetLastError();
            one->holders = 1;
        }
        pending.push_back(one);
        threads.push_back(std::move(thread));
    }
    std::vector<PathAnswer> answers;
    const ULONGLONG deadline = ::GetTickCount64() + waitMs;
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        // A thread that has ended has written its whole answer.
        const bool answered = !threads[i] || ::WaitForSingleObject(threads[i].Get(), left) == WAIT_OBJECT_0;
        answers.push_back(answered ? pending[i]->answer : PathAnswer{});
        LetGo(pending[i]);
    }
    return answers;
}

PathAnswer AskWithin(PathQuestion question, const std::wstring& path, DWORD waitMs)
{
    return AskAllWithin(question, {path}, waitMs).front();
}

} // namespace kv
