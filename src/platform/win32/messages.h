// The window messages of our own, in one place so that no two share a number.
#pragma once

#include "platform/win32/win32.h"

namespace kv {

enum AppMessage : UINT {
    // To the tasks' message-only window: a task's work ended; lParam is the
    // run, which the window takes over.
    kTaskEnded = WM_APP + 1,
    // To the splash: the start-up work behind it is done.
    kStartupPrepared,
};

} // namespace kv
