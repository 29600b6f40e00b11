#include "platform/win32/win32_os.h"

#include <vector>

#include <sddl.h>

#include "platform/win32/ask_within.h"
#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace kv {
namespace {

// Runs a "fill this buffer of that size" wide call whose result is the length
// written, or the size needed when the buffer was too small, or 0 on failure.
// Grows the buffer until the whole text fits, so that long paths are never cut
// short, and gives the text as UTF-8.
template<typename Call>
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

bool HasWildcard(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

} // namespace

// The first of the NUL-separated targets; the list is read whole, however long.
std::optional<std::string> Win32System::QueryDosDevice(const std::string& drive) {
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

std::optional<std::string> Win32System::DefineDosDevice(const std::string& drive, const std::string& folder) {
    if (!::DefineDosDeviceW(0, Wide(drive).c_str(), Wide(folder).c_str())) {
        return SystemErrorText(::GetLastError());
    }
    return std::nullopt;
}

std::string Win32System::SystemDirectory() {
    return ReadSizedText([](wchar_t* buf, DWORD size) { return ::GetSystemDirectoryW(buf, size); })
        .value_or(std::string());
}

std::string Win32System::ProgramFolder() {
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

namespace {

// A name with wildcards would match other files; it names no file of its own.
std::optional<DWORD> AttributesOf(const std::string& path) {
    if (path.empty() || HasWildcard(path)) {
        return std::nullopt;
    }
    WIN32_FIND_DATAW data;
    FindHandle find(::FindFirstFileW(Wide(path).c_str(), &data));
    return find.Valid() ? std::optional<DWORD>(data.dwFileAttributes) : std::nullopt;
}

} // namespace

bool Win32System::PathExists(const std::string& path) { return AttributesOf(path).has_value(); }

bool Win32System::FileExists(const std::string& path) {
    const auto attributes = AttributesOf(path);
    return attributes && !(*attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

DWORD AttributesError(const std::wstring& path, std::wstring&) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ? ERROR_SUCCESS : ::GetLastError();
}

// A drive that is not ready, or a network drive whose server cannot be
// reached yet, may answer later.
bool IsNotReadyError(DWORD error) {
    switch (error) {
    case ERROR_NOT_READY:
    case ERROR_INVALID_DRIVE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_UNRECOGNIZED_VOLUME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_NETNAME_DELETED:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_REM_NOT_LIST:
        return true;
    default:
        return false;
    }
}

// Runs a "fill this buffer" path call of the GetShortPathNameW kind, growing
// the buffer until the whole text fits.
template<DWORD(WINAPI* Call)(LPCWSTR, LPWSTR, DWORD)>
DWORD PathForm(const std::wstring& path, std::wstring& text) {
    DWORD size = MAX_PATH + 1;
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::vector<wchar_t> buffer(size, L'\0');
        const DWORD written = Call(path.c_str(), buffer.data(), size);
        if (written == 0) {
            const DWORD error = ::GetLastError();
            return error != ERROR_SUCCESS ? error : ERROR_INVALID_DATA;
        }
        if (written < size) {
            text.assign(buffer.data(), written);
            return ERROR_SUCCESS;
        }
        size = written + 1; // the text may have grown between the calls
    }
    return ERROR_INSUFFICIENT_BUFFER;
}

std::optional<std::string> AskPathForm(PathQuestion question, const std::string& path) {
    const PathAnswer answer = AskWithin(question, Wide(path));
    if (answer.error != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return Utf8(answer.text);
}

} // namespace

// The attributes are enough to tell; nothing is opened. "Not found" is
// Missing only when the folder's own drive is there: on a letter that has no
// device yet (a disk not plugged in, a network drive not yet connected) the
// folder may still come. The scan asks at start-up and the companion at
// logon, where nobody should wait half a minute for a share that is down.
PathProbe Win32System::Classify(const std::string& path, DWORD error) {
    if (error == ERROR_SUCCESS) {
        return {PathProbe::State::Exists, {}};
    }
    if (error == ERROR_TIMEOUT) {
        return {PathProbe::State::NoAnswer, SystemErrorText(error)};
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        const bool onLetter = path.size() >= 2 && path[1] == ':';
        if (onLetter && !QueryDosDevice(path.substr(0, 2))) {
            return {PathProbe::State::NotReady, SystemErrorText(ERROR_INVALID_DRIVE)};
        }
        return {PathProbe::State::Missing, {}};
    }
    if (IsNotReadyError(error)) {
        return {PathProbe::State::NotReady, SystemErrorText(error)};
    }
    return {PathProbe::State::Unknown, SystemErrorText(error)};
}

std::vector<PathProbe> Win32System::ProbePaths(const std::vector<std::string>& paths, const ProbeAnswered& onAnswer) {
    std::vector<std::wstring> wide;
    for (const std::string& path : paths) {
        wide.push_back(Wide(path));
    }
    const Answered answered = [&](std::size_t i, const PathAnswer& answer) {
        if (onAnswer) {
            onAnswer(i, Classify(paths[i], answer.error));
        }
    };
    const std::vector<PathAnswer> answers = AskAllWithin(AttributesError, wide, kPathAnswerWaitMs, answered);
    std::vector<PathProbe> probes;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        probes.push_back(Classify(paths[i], answers[i].error));
    }
    return probes;
}

std::optional<std::string> Win32System::ShortPathName(const std::string& path) {
    return AskPathForm(PathForm<::GetShortPathNameW>, path);
}

std::optional<std::string> Win32System::LongPathName(const std::string& path) {
    return AskPathForm(PathForm<::GetLongPathNameW>, path);
}

std::optional<std::string> Win32System::LongPathNameWaiting(const std::string& path) {
    std::wstring text;
    if (PathForm<::GetLongPathNameW>(Wide(path), text) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return Utf8(text);
}

bool Win32System::CreateDirectory(const std::string& path) {
    return ::CreateDirectoryW(Wide(path).c_str(), nullptr) != FALSE;
}

namespace {

std::optional<std::string> WriteAll(HANDLE file, const std::string& bytes) {
    const char* data = bytes.data();
    std::string::size_type left = bytes.size();
    while (left > 0) {
        DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr) || written == 0) {
            return SystemErrorText(::GetLastError());
        }
        data += written;
        left -= written;
    }
    return std::nullopt;
}

} // namespace

// The checks are made on the file opened, so that nothing can be swapped in
// between them and the write.
std::optional<std::string> Win32System::OverwritePlainFile(const std::string& path, const std::string& bytes) {
    FileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        return SystemErrorText(::GetLastError());
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.Get(), &info)) {
        return SystemErrorText(::GetLastError());
    }
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0 ||
        info.nNumberOfLinks != 1) {
        return SystemErrorText(ERROR_ACCESS_DENIED);
    }
    if (!::SetEndOfFile(file.Get())) {
        return SystemErrorText(::GetLastError());
    }
    return WriteAll(file.Get(), bytes);
}

std::optional<std::string> Win32System::WriteFile(const std::string& path, const std::string& bytes) {
    FileHandle file(
        ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return SystemErrorText(::GetLastError());
    }
    return WriteAll(file.Get(), bytes);
}

// Append access alone makes the system put every write at the end of the file
// as it is at that moment, whoever else appends; sharing delete lets a trim
// replace the file while another process holds it open.
std::optional<std::string> Win32System::AppendToFile(const std::string& path, const std::string& bytes) {
    FileHandle file(::CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return SystemErrorText(::GetLastError());
    }
    return WriteAll(file.Get(), bytes);
}

std::optional<std::string> Win32System::ReadFileEnd(const std::string& path, std::size_t maxBytes) {
    FileHandle file(::CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size)) {
        return std::nullopt;
    }
    const auto whole = static_cast<unsigned long long>(size.QuadPart);
    const std::size_t wanted = whole < maxBytes ? static_cast<std::size_t>(whole) : maxBytes;
    LARGE_INTEGER start{};
    start.QuadPart = static_cast<LONGLONG>(whole - wanted);
    std::string bytes(wanted, '\0');
    DWORD read = 0;
    if (!::SetFilePointerEx(file.Get(), start, nullptr, FILE_BEGIN) ||
        (!bytes.empty() &&
         (!::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) || read != wanted))) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> Win32System::MoveFileOver(const std::string& from, const std::string& to) {
    if (::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return std::nullopt;
    }
    return SystemErrorText(::GetLastError());
}

std::optional<std::string> Win32System::ReadFile(const std::string& path, std::size_t maxBytes) {
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

std::optional<std::string> Win32System::DeleteFile(const std::string& path) {
    if (::DeleteFileW(Wide(path).c_str())) {
        return std::nullopt;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return std::nullopt;
    }
    return SystemErrorText(error);
}

bool Win32System::CopyFile(const std::string& from, const std::string& to) {
    return ::CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE) != FALSE;
}

// Best-fit mappings would turn a letter the code page lacks into a look-alike,
// naming another folder; such text is refused instead.
std::optional<std::string> Win32System::ToAnsiExactly(const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    if (wide.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(wide.size());
    BOOL lossy = FALSE;
    const int length =
        ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0, nullptr, &lossy);
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

std::string Win32System::FromAnsi(const std::string& bytes) { return Utf8FromCodePage(bytes, CP_ACP); }

namespace {

HKEY RootKey(RegistryRoot root) { return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

} // namespace

// The key is asked for with full access, as the program has always done: a
// user who may not change the machine's keys is refused here, not later.
RegistryWrite Win32System::WriteRegistryText(RegistryRoot root, const std::string& key, const std::string& name,
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
    if (::RegSetValueExW(opened, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()), bytes) !=
        ERROR_SUCCESS) {
        return RegistryWrite::ValueRefused;
    }
    return RegistryWrite::Written;
}

std::optional<std::string> Win32System::ReadRegistryText(RegistryRoot root, const std::string& key,
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

// The program runs in the system folder, so that it holds no folder of the
// user's open. Its output goes into a pipe that only it inherits and is read
// while it runs: a full pipe would stall it.
ProgramRun Win32System::RunProgram(const ProgramCall& call, unsigned timeoutMs) {
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
    childOutput.Reset(); // only the child holds the write end now

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

bool Win32System::DeleteRegistryValue(RegistryRoot root, const std::string& key, const std::string& name) {
    HKEY opened = nullptr;
    const LONG open = ::RegOpenKeyExW(RootKey(root), Wide(key).c_str(), 0, KEY_SET_VALUE, &opened);
    if (open == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    if (open != ERROR_SUCCESS) {
        return false;
    }
    RegKeyHandle handle(opened);
    const LONG deleted = ::RegDeleteValueW(opened, Wide(name).c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

bool Win32System::RegistryKeyExists(RegistryRoot root, const std::string& key) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(RootKey(root), Wide(key).c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegKeyHandle handle(opened);
    return true;
}

namespace {

class MutexLock : public SessionLock {
public:
    explicit MutexLock(KernelHandle mutex) : mutex_(std::move(mutex)) {}
    ~MutexLock() override {
        if (mutex_) {
            ::ReleaseMutex(mutex_.Get());
        }
    }

private:
    KernelHandle mutex_;
};

} // namespace

// A mutex in the session's own namespace. One made by an elevated process
// cannot be opened by a standard one; such a process has drive letters of
// its own and cannot race with this one, so that lock is taken as held.
std::unique_ptr<SessionLock> Win32System::LockSession(const std::string& name, unsigned waitMs) {
    KernelHandle mutex(::CreateMutexW(nullptr, FALSE, Wide("Local\\" + name).c_str()));
    if (!mutex) {
        return ::GetLastError() == ERROR_ACCESS_DENIED ? std::make_unique<MutexLock>(KernelHandle()) : nullptr;
    }
    const DWORD waited = ::WaitForSingleObject(mutex.Get(), waitMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        return nullptr;
    }
    return std::make_unique<MutexLock>(std::move(mutex));
}

unsigned long long Win32System::TickCount() { return ::GetTickCount64(); }

void Win32System::Sleep(unsigned ms) { ::Sleep(ms); }

namespace {

std::string Digits(unsigned value, int width) {
    std::string text(static_cast<std::size_t>(width), '0');
    for (int i = width - 1; i >= 0 && value > 0; --i, value /= 10) {
        text[static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    }
    return text;
}

} // namespace

std::string Win32System::LocalTimeStamp() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return Digits(now.wYear, 4) + '-' + Digits(now.wMonth, 2) + '-' + Digits(now.wDay, 2) + ' ' + Digits(now.wHour, 2) +
           ':' + Digits(now.wMinute, 2) + ':' + Digits(now.wSecond, 2);
}

std::optional<std::string> Win32System::LocalAppDataFolder() {
    const auto folder =
        ReadSizedText([](wchar_t* buf, DWORD size) { return ::GetEnvironmentVariableW(L"LOCALAPPDATA", buf, size); });
    if (!folder || folder->empty()) {
        return std::nullopt;
    }
    return folder;
}

void LoadDllsFromSystemFolderOnly() {
    ::SetDllDirectoryW(L""); // the current folder is searched no more
    // Windows 8 and later, and Windows 7 with its loader update, have it.
    constexpr DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
    const FARPROC found = ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (found != nullptr) {
        reinterpret_cast<SetDefaultDllDirectoriesCall>(reinterpret_cast<void*>(found))(kSearchSystem32);
    }
}

namespace {

bool SessionOf(HANDLE token, LUID& session) {
    TOKEN_STATISTICS statistics{};
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenStatistics, &statistics, sizeof(statistics), &size)) {
        return false;
    }
    session = statistics.AuthenticationId;
    return true;
}

// True when the process's token has a linked token in a logon session of
// its own: the other half of a UAC split. The elevation type alone does not
// tell: some systems (Wine among them) report every process as fully
// elevated, with a linked token in the same logon session.
bool LinkedTokenApart(HANDLE token) {
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenLinkedToken, &linked, sizeof(linked), &size)) {
        return false;
    }
    KernelHandle holdLinked(linked.LinkedToken);
    LUID own{}, other{};
    return SessionOf(token, own) && SessionOf(linked.LinkedToken, other) &&
           (own.LowPart != other.LowPart || own.HighPart != other.HighPart);
}

bool SplitToken(bool onlyElevatedHalf) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    KernelHandle hold(token);
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &size) ||
        type == TokenElevationTypeDefault || (onlyElevatedHalf && type != TokenElevationTypeFull)) {
        return false;
    }
    return LinkedTokenApart(token);
}

} // namespace

bool Win32System::ElevatedApartFromUser() { return SplitToken(true); }

bool Win32System::HasSplitToken() { return SplitToken(false); }

std::optional<std::string> Win32System::UserSid() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return std::nullopt;
    }
    KernelHandle hold(token);
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size != 0 ? size : 1);
    wchar_t* text = nullptr;
    if (!::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) ||
        !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        return std::nullopt;
    }
    const std::string sid = Utf8(text);
    ::LocalFree(text);
    return sid;
}

std::optional<std::string> Win32System::SetRegistryText(RegistryRoot root, const std::string& key,
                                                        const std::string& name, const std::string& text) {
    HKEY opened = nullptr;
    LONG result = ::RegCreateKeyExW(RootKey(root), Wide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (result != ERROR_SUCCESS) {
        return SystemErrorText(static_cast<DWORD>(result));
    }
    RegKeyHandle handle(opened);
    const std::wstring data = Wide(text);
    result = ::RegSetValueExW(opened, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                              static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    if (result != ERROR_SUCCESS) {
        return SystemErrorText(static_cast<DWORD>(result));
    }
    return std::nullopt;
}

std::optional<std::string> Win32System::RemoveRegistryValue(RegistryRoot root, const std::string& key,
                                                            const std::string& name) {
    HKEY opened = nullptr;
    LONG result = ::RegOpenKeyExW(RootKey(root), Wide(key).c_str(), 0, KEY_SET_VALUE, &opened);
    if (result == ERROR_SUCCESS) {
        RegKeyHandle handle(opened);
        result = ::RegDeleteValueW(opened, Wide(name).c_str());
    }
    if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    return SystemErrorText(static_cast<DWORD>(result));
}

// Exactly that definition: another one made since, for the same letter, stays.
std::optional<std::string> Win32System::RemoveDosDevice(const std::string& drive, const std::string& target) {
    if (!::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_RAW_TARGET_PATH | DDD_EXACT_MATCH_ON_REMOVE,
                            Wide(drive).c_str(), Wide(target).c_str())) {
        return SystemErrorText(::GetLastError());
    }
    return std::nullopt;
}

namespace {

bool KeyIsEmpty(HKEY root, const std::wstring& key) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) {
        return false;
    }
    RegKeyHandle handle(opened);
    DWORD subkeys = 1;
    DWORD values = 1;
    return ::RegQueryInfoKeyW(opened, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                              nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

} // namespace

// An emptied key that stays behind does no harm, so the keys are tidied
// only as far as they can be.
std::optional<std::string> Win32System::DeleteRegistryValueAndEmptyKeys(RegistryRoot root, const std::string& key,
                                                                        const std::string& name,
                                                                        const std::string& parentKey) {
    HKEY opened = nullptr;
    const LONG open = ::RegOpenKeyExW(RootKey(root), Wide(key).c_str(), 0, KEY_SET_VALUE, &opened);
    if (open == ERROR_FILE_NOT_FOUND) {
        return std::nullopt;
    }
    if (open != ERROR_SUCCESS) {
        return SystemErrorText(static_cast<DWORD>(open));
    }
    RegKeyHandle handle(opened);
    const LONG deleted = ::RegDeleteValueW(opened, Wide(name).c_str());
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        return SystemErrorText(static_cast<DWORD>(deleted));
    }
    handle.Reset();
    const std::wstring parent = Wide(parentKey);
    for (std::wstring k = Wide(key);
         k.size() > parent.size() + 1 && k.compare(0, parent.size(), parent) == 0 && k[parent.size()] == L'\\';
         k.erase(k.rfind(L'\\'))) {
        if (!KeyIsEmpty(RootKey(root), k) || ::RegDeleteKeyW(RootKey(root), k.c_str()) != ERROR_SUCCESS) {
            break;
        }
    }
    return std::nullopt;
}

// The shell is loaded only here, from the system folder: the companion
// shares this code and imports nothing but the kernel, the registry and the
// C runtime. The notice is posted, not awaited: an Explorer that hangs must
// not hold the caller.
void Win32System::NotifyDriveRenamed(const std::string& drive) {
    const std::wstring shell32 = Wide(SystemDirectory() + "\\shell32.dll");
    HMODULE shell = ::LoadLibraryExW(shell32.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (shell == nullptr) {
        return;
    }
    using ChangeNotify = void(WINAPI*)(LONG, UINT, LPCVOID, LPCVOID);
    const FARPROC found = ::GetProcAddress(shell, "SHChangeNotify");
    if (found != nullptr) {
        constexpr LONG kUpdateItem = 0x00002000;  // SHCNE_UPDATEITEM
        constexpr UINT kPathFlushNoWait = 0x3005; // SHCNF_PATHW | SHCNF_FLUSHNOWAIT
        const std::wstring root = Wide(drive + "\\");
        reinterpret_cast<ChangeNotify>(reinterpret_cast<void*>(found))(kUpdateItem, kPathFlushNoWait, root.c_str(),
                                                                       nullptr);
    }
    ::FreeLibrary(shell);
}

} // namespace kv
