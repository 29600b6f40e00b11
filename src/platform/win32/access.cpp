// Who may change a file or folder, whether this process runs elevated, and a
// folder that every user of the machine may write: what decides where the
// companion may be registered to run at logon.
#include "platform/win32/win32_os.h"

#include <aclapi.h>
#include <sddl.h>

#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace kv {

namespace {

struct LocalFreer {
    void operator()(HLOCAL memory) const { ::LocalFree(memory); }
};
using LocalMemory = UniqueHandle<HLOCAL, LocalFreer, detail::NullOf<HLOCAL>>;

// Rights that let a holder replace the file, put another beside it, or give
// itself such rights.
constexpr ACCESS_MASK kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                     WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

constexpr wchar_t kTrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    BYTE known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(known);
    return ::CreateWellKnownSid(type, nullptr, known, &size) && ::EqualSid(sid, known);
}

bool IsTrustedInstaller(PSID sid) {
    PSID trusted = nullptr;
    if (!::ConvertStringSidToSidW(kTrustedInstaller, &trusted)) {
        return false;
    }
    LocalMemory hold(trusted);
    return ::EqualSid(sid, trusted) != FALSE;
}

bool IsAdministrative(PSID sid) {
    return sid != nullptr && ::IsValidSid(sid) &&
           (IsWellKnown(sid, WinBuiltinAdministratorsSid) || IsWellKnown(sid, WinLocalSystemSid) ||
            IsTrustedInstaller(sid));
}

// Deny entries are passed over: reading them could only make a descriptor
// look safer. An allowed entry of a kind not read here counts as unsafe.
bool OnlyAdministrativeAllowedToWrite(PACL dacl) {
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(dacl, i, &entry)) {
            return false;
        }
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) {
            continue; // applies to what the folder will hold, not to itself
        }
        switch (header->AceType) {
        case ACCESS_ALLOWED_ACE_TYPE: {
            const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
            PSID sid = const_cast<DWORD*>(&allowed->SidStart);
            if ((allowed->Mask & kWriteRights) != 0 && !IsAdministrative(sid)) {
                return false;
            }
            break;
        }
        case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
            return false;
        default:
            break;
        }
    }
    return true;
}

} // namespace

// The owner may always rewrite the rights, so it must be one of the three
// as well. A missing DACL grants everyone everything.
bool Win32System::OnlyAdministratorsCanWrite(const std::string& path) {
    std::wstring name = Wide(path);
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(&name[0], SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    LocalMemory hold(descriptor);
    return dacl != nullptr && IsAdministrative(owner) && OnlyAdministrativeAllowedToWrite(dacl);
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

// Modify for the local Users group on the folder and on all it will hold,
// added to what the folder inherits like any other.
bool Win32System::CreateDirectoryForUsers(const std::string& path) {
    std::wstring name = Wide(path);
    if (!::CreateDirectoryW(name.c_str(), nullptr)) {
        return false;
    }
    BYTE users[SECURITY_MAX_SID_SIZE];
    DWORD usersSize = sizeof(users);
    PACL inherited = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::CreateWellKnownSid(WinBuiltinUsersSid, nullptr, users, &usersSize) ||
        ::GetNamedSecurityInfoW(&name[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &inherited,
                                nullptr, &descriptor) != ERROR_SUCCESS) {
        return true;
    }
    LocalMemory hold(descriptor);
    EXPLICIT_ACCESSW modify{};
    modify.grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;
    modify.grfAccessMode = GRANT_ACCESS;
    modify.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    modify.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    modify.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    modify.Trustee.ptstrName = reinterpret_cast<LPWSTR>(users);
    PACL shared = nullptr;
    if (::SetEntriesInAclW(1, &modify, inherited, &shared) == ERROR_SUCCESS) {
        LocalMemory holdShared(shared);
        ::SetNamedSecurityInfoW(&name[0], SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, shared, nullptr);
    }
    return true;
}

} // namespace kv
