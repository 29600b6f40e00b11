// Who may change a file and the folders above it, and whether this process
// runs elevated: what decides where the companion may be registered to run
// at logon, and where the saves live.
#include "platform/win32/win32_os.h"

#include <aclapi.h>
#include <sddl.h>

#include <cwchar>

#include "platform/file_security.h"
#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace kv {

namespace {

struct LocalFreer {
    void operator()(HLOCAL memory) const { ::LocalFree(memory); }
};
using LocalMemory = UniqueHandle<HLOCAL, LocalFreer, detail::NullOf<HLOCAL>>;

constexpr SECURITY_INFORMATION kOwnerAndDacl = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;

// The owner and DACL in SDDL; nothing when they cannot be read.
std::optional<std::string> DescriptorText(const std::string& path) {
    std::wstring name = Wide(path);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(&name[0], SE_FILE_OBJECT, kOwnerAndDacl, nullptr, nullptr, nullptr, nullptr,
                                &descriptor) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    LocalMemory holdDescriptor(descriptor);
    LPWSTR text = nullptr;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, kOwnerAndDacl, &text,
                                                                nullptr)) {
        return std::nullopt;
    }
    LocalMemory holdText(text);
    return Utf8(text);
}

// The path with every junction and link on the way followed, as the system
// will follow them when it starts the program; nothing when it cannot be
// opened. A path on a share comes back as "UNC\...".
std::optional<std::string> FinalPath(const std::string& path) {
    FileHandle file(::CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        return std::nullopt;
    }
    std::wstring text(MAX_PATH + 1, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length = ::GetFinalPathNameByHandleW(file.Get(), &text[0], static_cast<DWORD>(text.size()),
                                                         FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) {
            return std::nullopt;
        }
        if (length < text.size()) {
            text.resize(length);
            return Utf8(text.compare(0, 4, L"\\\\?\\") == 0 ? text.substr(4) : text);
        }
        text.assign(length, L'\0');
    }
    return std::nullopt;
}

// A disk of this machine's own. A share or a mapped drive is ruled by
// another machine's administrators; a letter made by subst stands for a
// folder whose own rules are those of the folders above it there, and exists
// in one logon session only.
bool OnLocalFixedDisk(const std::string& path) {
    const std::wstring root = Wide(path.substr(0, 3));
    wchar_t target[MAX_PATH + 1] = {};
    return ::GetDriveTypeW(root.c_str()) == DRIVE_FIXED &&
           ::QueryDosDeviceW(root.substr(0, 2).c_str(), target, MAX_PATH + 1) != 0 &&
           std::wcsncmp(target, L"\\??\\", 4) != 0;
}

bool NoOneElseCanChange(const std::string& path) {
    const std::vector<std::string> names = PathAndFoldersAbove(path);
    if (names.empty() || !OnLocalFixedDisk(path)) {
        return false;
    }
    std::vector<std::optional<std::string>> chain;
    for (const std::string& name : names) {
        chain.push_back(DescriptorText(name));
    }
    return OnlyAdministratorsCanChange(chain);
}

} // namespace

// Both the path as named and the one the system reaches through it: a
// junction on the way may lead into folders that other users may change.
bool Win32System::OnlyAdministratorsCanWrite(const std::string& path) {
    const auto reached = FinalPath(path);
    return reached && NoOneElseCanChange(path) && (*reached == path || NoOneElseCanChange(*reached));
}

bool Win32System::IsElevated() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return false;
    }
    KernelHandle hold(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
           elevation.TokenIsElevated != 0;
}

} // namespace kv
