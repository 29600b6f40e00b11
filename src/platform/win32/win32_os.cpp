#include "platform/win32/win32_os.h"

#include <shlobj.h>

#include <vector>

#include "platform/win32/ask_within.h"
#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace kv {
namespace {

constexpr wchar_t kCaption[] = L"Korvane";

// Runs a "fill this buffer of that size" wide call whose result is the length
// written, or the size needed when the buffer was too small, or 0 on failure.
// Grows the buffer until the whole text fits, so that long paths are never cut
// short, and gives the text as UTF-8.
template <typename Call>
std::optional<std::string> ReadSizedText(Call call) {
    DWORD size = MAX_PATH + 1;
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<wchar_t> buffer(size, L'\0');
        DWORD written = call(buffer.data(), size);
        if (written == 0) {
            return std::nullopt;
        }
        if (written < size) {
            return Utf8(std::wstring(buffer.data(), written));
        }
        size = written + 1; // the text may have grown between the calls
    }
    return std::nullopt;
}

const wchar_t* WideOrNull(const char* utf8, std::wstring& holder) {
    if (utf8 == nullptr) {
        return nullptr;
    }
    holder = Wide(utf8);
    return holder.c_str();
}

// Moves what the pipe holds now into `out`, without blocking.
void DrainPipe(HANDLE pipe, std::string& out) {
    DWORD available = 0;
    while (::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        char chunk[512];
        DWORD read = 0;
        if (!::ReadFile(pipe, chunk, sizeof(chunk), &read, nullptr) || read == 0) {
            return;
        }
        out.append(chunk, read);
    }
}

bool HasWildcard(const std::string& path) {
    return path.find_first_of("*?") != std::string::npos;
}

} // namespace

// The first of the NUL-separated targets; the list is read whole, however long.
std::optional<std::string> Win32Os::QueryDosDevice(const std::string& drive) {
    const std::wstring name = Wide(drive);
    std::vector<wchar_t> buffer(1024, L'\0');
    for (;;) {
        DWORD n = ::QueryDosDeviceW(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n != 0) {
            return Utf8(buffer.data());
        }
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || buffer.size() >= 65536) {
            return std::nullopt;
        }
        buffer.assign(buffer.size() * 4, L'\0');
    }
}

std::optional<std::string> Win32Os::DefineDosDevice(const std::string& drive, const std::string& folder) {
    if (!::DefineDosDeviceW(0, Wide(drive).c_str(), Wide(folder).c_str())) {
        return SystemErrorText(::GetLastError());
    }
    return std::nullopt;
}

std::string Win32Os::SystemDirectory() {
    return ReadSizedText([](wchar_t* buf, DWORD size) { return ::GetSystemDirectoryW(buf, size); })
        .value_or(std::string());
}

std::string Win32Os::ProgramFolder() {
    std::vector<wchar_t> buffer(MAX_PATH + 1, L'\0');
    DWORD n = 0;
    // GetModuleFileNameW cuts the path silently and returns the buffer size when it
    // does not fit.
    for (;;) {
        n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            return std::string();
        }
        if (n < buffer.size() || buffer.size() >= 32768) {
            break;
        }
        buffer.assign(buffer.size() * 2, L'\0');
    }
    std::wstring path(buffer.data(), n);
    std::wstring::size_type slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        return std::string();
    }
    std::wstring folder = path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':') {
        folder += L'\\'; // "C:" alone would mean the current folder of drive C
    }
    return Utf8(folder);
}

std::string Win32Os::CurrentDirectory() {
    return ReadSizedText([](wchar_t* buf, DWORD size) { return ::GetCurrentDirectoryW(size, buf); })
        .value_or(std::string());
}

bool Win32Os::SetCurrentDirectory(const std::string& path) {
    return ::SetCurrentDirectoryW(Wide(path).c_str()) != FALSE;
}

// A name with wildcards would match other files; it names no file of its own.
bool Win32Os::PathExists(const std::string& path) {
    if (path.empty() || HasWildcard(path)) {
        return false;
    }
    WIN32_FIND_DATAW data;
    FindHandle find(::FindFirstFileW(Wide(path).c_str(), &data));
    return find.Valid();
}

namespace {

DWORD AttributesError(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ? ERROR_SUCCESS : ::GetLastError();
}

} // namespace

// The attributes are enough to tell; nothing is opened. A path that does not
// answer in time is "cannot tell", which keeps whatever depends on it: the
// scan asks at start-up and the companion at logon, where nobody should wait
// half a minute for a share that is down.
PathProbe Win32Os::ProbePath(const std::string& path) {
    const DWORD error = AskWithin(AttributesError, Wide(path));
    if (error == ERROR_SUCCESS) {
        return {PathProbe::State::Exists, {}};
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return {PathProbe::State::Missing, {}};
    }
    return {PathProbe::State::Unknown, SystemErrorText(error)};
}

std::optional<std::string> Win32Os::ShortPathName(const std::string& path) {
    const std::wstring wide = Wide(path);
    return ReadSizedText([&wide](wchar_t* buf, DWORD size) {
        return ::GetShortPathNameW(wide.c_str(), buf, size);
    });
}

std::optional<std::string> Win32Os::LongPathName(const std::string& path) {
    const std::wstring wide = Wide(path);
    return ReadSizedText([&wide](wchar_t* buf, DWORD size) {
        return ::GetLongPathNameW(wide.c_str(), buf, size);
    });
}

bool Win32Os::CreateDirectory(const std::string& path) {
    return ::CreateDirectoryW(Wide(path).c_str(), nullptr) != FALSE;
}

std::optional<std::string> Win32Os::WriteFile(const std::string& path, const std::string& bytes) {
    FileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return SystemErrorText(::GetLastError());
    }
    const char* data = bytes.data();
    std::string::size_type left = bytes.size();
    while (left > 0) {
        DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!::WriteFile(file.Get(), data, chunk, &written, nullptr) || written == 0) {
            return SystemErrorText(::GetLastError());
        }
        data += written;
        left -= written;
    }
    return std::nullopt;
}

std::optional<std::string> Win32Os::ReadFile(const std::string& path, std::size_t maxBytes) {
    FileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) || static_cast<unsigned long long>(size.QuadPart) > maxBytes) {
        return std::nullopt;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> Win32Os::DeleteFile(const std::string& path) {
    if (::DeleteFileW(Wide(path).c_str())) {
        return std::nullopt;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return std::nullopt;
    }
    return SystemErrorText(error);
}

bool Win32Os::CopyFile(const std::string& from, const std::string& to) {
    return ::CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE) != FALSE;
}

// Best-fit mappings would turn a letter the code page lacks into a look-alike,
// naming another folder; such text is refused instead.
std::optional<std::string> Win32Os::ToAnsiExactly(const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    if (wide.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr,
                                             &lossy);
    if (length == 0 || lossy) {
        return std::nullopt;
    }
    std::string ansi(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, &ansi[0], length, nullptr, &lossy);
    if (lossy || Utf8FromCodePage(ansi, CP_ACP) != utf8) {
        return std::nullopt;
    }
    return ansi;
}

std::string Win32Os::FromAnsi(const std::string& bytes) {
    return Utf8FromCodePage(bytes, CP_ACP);
}

namespace {

HKEY RootKey(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

} // namespace

// The key is asked for with full access, as the program has always done: a
// user who may not change the machine's keys is refused here, not later.
RegistryWrite Win32Os::WriteRegistryText(RegistryRoot root, const std::string& key, const std::string& name,
                                         const std::string& text) {
    HKEY opened = nullptr;
    wchar_t keyClass[] = L"KORM";
    if (::RegCreateKeyExW(RootKey(root), Wide(key).c_str(), 0, keyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, &opened, nullptr) != ERROR_SUCCESS) {
        return RegistryWrite::KeyRefused;
    }
    RegKeyHandle handle(opened);
    const std::wstring data = Wide(text);
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    if (::RegSetValueExW(opened, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         bytes) != ERROR_SUCCESS) {
        return RegistryWrite::ValueRefused;
    }
    return RegistryWrite::Written;
}

std::optional<std::string> Win32Os::ReadRegistryText(RegistryRoot root, const std::string& key,
                                                     const std::string& name) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(RootKey(root), Wide(key).c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RegKeyHandle handle(opened);
    const std::wstring valueName = Wide(name);
    DWORD type = 0;
    DWORD bytes = 0;
    if (::RegQueryValueExW(opened, valueName.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != REG_SZ || bytes > 65536) {
        return std::nullopt;
    }
    std::wstring data(bytes / sizeof(wchar_t) + 1, L'\0');
    if (::RegQueryValueExW(opened, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return Utf8(data.c_str()); // the stored text need not end in a NUL
}

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

int Win32Os::ShellExecute(const char* verb, const char* file, const char* params,
                          const char* directory, int show) {
    std::wstring verbText, fileText, paramsText, directoryText;
    HINSTANCE result = ::ShellExecuteW(owner_, WideOrNull(verb, verbText), WideOrNull(file, fileText),
                                       WideOrNull(params, paramsText), WideOrNull(directory, directoryText),
                                       show);
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

// The program runs in the system folder, so that it holds no folder of the
// user's open. Its output goes into a pipe that only it inherits and is read
// while it runs: a full pipe would stall it.
ProgramRun Win32Os::RunProgram(const ProgramCall& call, unsigned timeoutMs) {
    ProgramRun run;
    SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        run.error = SystemErrorText(::GetLastError());
        return run;
    }
    KernelHandle output(readEnd);
    KernelHandle childOutput(writeEnd);
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    const std::wstring program = Wide(call.path);
    const std::wstring directory = Wide(SystemDirectory());
    std::wstring commandLine = L"\"" + program + L"\" " + Wide(call.arguments);
    PROCESS_INFORMATION started{};
    if (!::CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                          directory.c_str(), &startup, &started)) {
        run.error = SystemErrorText(::GetLastError());
        return run;
    }
    KernelHandle process(started.hProcess);
    ::CloseHandle(started.hThread);
    childOutput.Reset();  // only the child holds the write end now

    std::string bytes;
    const DWORD start = ::GetTickCount();
    for (;;) {
        DrainPipe(output.Get(), bytes);
        if (::WaitForSingleObject(process.Get(), 10) == WAIT_OBJECT_0) {
            DrainPipe(output.Get(), bytes);
            ::GetExitCodeProcess(process.Get(), &run.exitCode);
            run.end = ProgramRun::End::Exited;
            break;
        }
        if (::GetTickCount() - start >= timeoutMs) {
            ::TerminateProcess(process.Get(), 1);
            run.end = ProgramRun::End::TimedOut;
            break;
        }
    }
    // Console programs write the OEM code page.
    run.output = Utf8FromCodePage(bytes, CP_OEMCP);
    return run;
}

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

void Win32Os::Beep() {
    ::MessageBeep(MB_OK);
}

} // namespace kv
