// Tasks on threads of their own, answering through a message-only window of
// the thread that makes it.
#pragma once

#include "platform/win32/win32.h"

#include "platform/tasks.h"

namespace kv {

class Win32Tasks final : public Tasks {
public:
    Win32Tasks() = default;
    ~Win32Tasks() override;
    Win32Tasks(const Win32Tasks&) = delete;
    Win32Tasks& operator=(const Win32Tasks&) = delete;

    // On the thread whose message loop is to give the answers.
    bool Create(HINSTANCE instance);

    void RunErased(const std::string& key, Work work, Done done, const Options& options) override;
    void Forget(const std::string& slot) override { book_.Forget(slot); }
    // Gives the answers that have come, for a thread busy with other work.
    void ServeWaiting();

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void OnEnded(LPARAM run);
    void OnBound(UINT_PTR request);

    HWND hwnd_ = nullptr;
    TaskBook book_;
};

} // namespace kv
