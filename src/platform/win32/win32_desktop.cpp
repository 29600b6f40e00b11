// Korvane's desktop side of the seam: message boxes, the shell and the
// common Startup folder. The companion shows nothing and links none of it.
#include "platform/win32/win32_os.h"

#include <shlobj.h>

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace kv {

namespace {

constexpr wchar_t kCaption[] = L"Korvane";

const wchar_t* WideOrNull(const char* utf8, std::wstring& holder) {
    if (utf8 == nullptr) {
        return nullptr;
    }
    holder = Wide(utf8);
    return holder.c_str();
}

} // namespace

std::optional<std::string> Win32Os::CommonStartupFolder() {
    PIDLIST_ABSOLUTE items = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(owner_, CSIDL_COMMON_STARTUP, &items))) {
        return std::nullopt;
    }
    wchar_t path[MAX_PATH + 1] = {};
    const BOOL found = ::SHGetPathFromIDListW(items, path);
    ::CoTaskMemFree(items);
    if (!found || path[0] == L'\0') {
        return std::nullopt;
    }
    return Utf8(path);
}

int Win32Os::ShellExecute(const char* verb, const char* file, const char* params, const char* directory, int show) {
    std::wstring verbText, fileText, paramsText, directoryText;
    HINSTANCE result = ::ShellExecuteW(owner_, WideOrNull(verb, verbText), WideOrNull(file, fileText),
                                       WideOrNull(params, paramsText), WideOrNull(directory, directoryText), show);
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

// The system asks the user on a desktop of its own; a process that runs as
// administrator cannot be ended from here, so past the bound it is left to
// itself.
ProgramRun Win32Os::RunElevated(const ProgramCall& call, unsigned timeoutMs) {
    ProgramRun run;
    const std::wstring file = Wide(call.path);
    const std::wstring parameters = Wide(call.arguments);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.hwnd = owner_;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!::ShellExecuteExW(&info)) {
        const DWORD error = ::GetLastError();
        run.declined = error == ERROR_CANCELLED;
        run.error = SystemErrorText(error);
        return run;
    }
    if (info.hProcess == nullptr) {
        run.error = "the system started it without a handle to wait on";
        return run;
    }
    KernelHandle process(info.hProcess);
    if (::WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        run.end = ProgramRun::End::TimedOut;
        return run;
    }
    ::GetExitCodeProcess(process.Get(), &run.exitCode);
    run.end = ProgramRun::End::Exited;
    return run;
}

static_assert(static_cast<UINT>(MsgStyle::Critical) == (MB_OK | MB_ICONHAND) &&
                  static_cast<UINT>(MsgStyle::Information) == (MB_OK | MB_ICONASTERISK) &&
                  static_cast<UINT>(MsgStyle::Question) == (MB_YESNO | MB_ICONQUESTION),
              "each message style is the MessageBox flags it names");

// Before the main window is shown there is no window to own the box; it must
// still come to the front, above whatever the user was doing.
Answer Win32Os::MessageBox(const std::string& text, MsgStyle style) {
    HWND owner = (owner_ != nullptr && ::IsWindowVisible(owner_)) ? owner_ : nullptr;
    UINT flags = static_cast<UINT>(style);
    if (owner == nullptr) {
        flags |= MB_SETFOREGROUND;
    }
    int answer = ::MessageBoxW(owner, Wide(text).c_str(), kCaption, flags);
    switch (answer) {
    case IDYES:
        return Answer::Yes;
    case IDNO:
        return Answer::No;
    default:
        return Answer::Ok;
    }
}

void Win32Os::Beep() { ::MessageBeep(MB_OK); }

} // namespace kv
