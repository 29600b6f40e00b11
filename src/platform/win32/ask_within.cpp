#include "platform/win32/ask_within.h"

#include "platform/win32/handles.h"

#include <algorithm>

namespace kv {

namespace {

// Shared by the caller and the asking thread; the last one to let go frees it.
struct PendingQuestion {
    PathQuestion question;
    std::wstring path;
    PathAnswer answer;
    LONG holders = 2;
};

void LetGo(PendingQuestion* pending) {
    if (::InterlockedDecrement(&pending->holders) == 0)
        delete pending;
}

DWORD WINAPI Ask(void* param) {
    auto* pending = static_cast<PendingQuestion*>(param);
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr); // no "insert a disk" box
    pending->answer.error = pending->question(pending->path, pending->answer.text);
    LetGo(pending);
    return 0;
}

// A file call needs little stack; 26 of them at once should not reserve 26 MB.
constexpr SIZE_T kAskStack = 64 * 1024;

} // namespace

std::vector<PathAnswer> AskAllWithin(PathQuestion question, const std::vector<std::wstring>& paths, DWORD waitMs,
                                     const Answered& answered) {
    std::vector<PathAnswer> answers(paths.size());
    std::vector<PendingQuestion*> pending(paths.size(), nullptr);
    std::vector<KernelHandle> threads;
    std::vector<HANDLE> running; // of the threads still asking
    std::vector<std::size_t> runningIndex;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        pending[i] = new PendingQuestion{question, paths[i], {}};
        KernelHandle thread(
            ::CreateThread(nullptr, kAskStack, Ask, pending[i], STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
        if (!thread) {
            answers[i].error = ::GetLastError();
            delete pending[i];
            pending[i] = nullptr;
            if (answered)
                answered(i, answers[i]);
            continue;
        }
        running.push_back(thread.Get());
        runningIndex.push_back(i);
        threads.push_back(std::move(thread));
    }
    // A thread that has ended has written its whole answer.
    const ULONGLONG deadline = ::GetTickCount64() + waitMs;
    while (!running.empty()) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        const DWORD count = static_cast<DWORD>(std::min<std::size_t>(running.size(), MAXIMUM_WAIT_OBJECTS));
        const DWORD woken = ::WaitForMultipleObjects(count, running.data(), FALSE, left);
        if (woken >= WAIT_OBJECT_0 + count)
            break;
        const std::size_t slot = woken - WAIT_OBJECT_0;
        const std::size_t i = runningIndex[slot];
        answers[i] = pending[i]->answer;
        if (answered)
            answered(i, answers[i]);
        running.erase(running.begin() + static_cast<std::ptrdiff_t>(slot));
        runningIndex.erase(runningIndex.begin() + static_cast<std::ptrdiff_t>(slot));
    }
    for (PendingQuestion* one : pending)
        if (one)
            LetGo(one);
    return answers;
}

PathAnswer AskWithin(PathQuestion question, const std::wstring& path, DWORD waitMs) {
    return AskAllWithin(question, {path}, waitMs).front();
}

} // namespace kv
