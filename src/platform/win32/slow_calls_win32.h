// SlowCalls on threads of their own, answering through a message-only window
// of the window's thread.
#pragma once

#include "platform/win32/win32.h"

#include <map>

#include "platform/slow_calls.h"

namespace kv {

class Win32SlowCalls : public SlowCalls {
public:
    Win32SlowCalls() = default;
    ~Win32SlowCalls() override;
    Win32SlowCalls(const Win32SlowCalls&) = delete;
    Win32SlowCalls& operator=(const Win32SlowCalls&) = delete;

    // On the thread whose message loop is to give the answers.
    bool Create(HINSTANCE instance);
    // The window that owns what the shell shows.
    void SetOwner(HWND owner) { owner_ = owner; }

    void LongPathName(const std::string& path, LongPathAnswer answer) override;
    void Explore(const std::string& folder) override;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Answer(UINT_PTR id, const LongPath& answer);

    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    UINT_PTR nextId_ = 1;
    std::map<UINT_PTR, LongPathAnswer> waiting_; // by request, which is also its timer
};

} // namespace kv
