#include "platform/file_security.h"

#include <cstdint>

namespace kv {

namespace {

using Mask = std::uint32_t;

// winnt.h's values. On a folder, writing data is adding a file and
// appending is adding a folder.
constexpr Mask kWriteData = 0x2, kAppendData = 0x4, kDeleteChild = 0x40;
constexpr Mask kDelete = 0x10000, kWriteDac = 0x40000, kWriteOwner = 0x80000;
constexpr Mask kGenericAll = 0x10000000, kGenericWrite = 0x40000000, kMaximumAllowed = 0x02000000;
constexpr Mask kFileAllAccess = 0x1F01FF, kFileGenericWrite = 0x120116;

// The file and its folder: no one else may change or replace the file, nor
// put a file (a DLL the program would load) or a folder beside it.
constexpr Mask kNearRights = kWriteData | kAppendData | kDeleteChild | kDelete | kWriteDac | kWriteOwner;
// Each folder above: no one else may rename or remove it, take a child out
// of it, or give themselves those rights. Adding a new entry there replaces
// nothing; Windows lets Authenticated Users make folders in the system
// drive's root and Users add to ProgramData, so counting that would leave no
// folder safe.
constexpr Mask kFarRights = kDelete | kDeleteChild | kWriteDac | kWriteOwner;

struct RightsCode {
    char code[3];
    Mask mask;
};
constexpr RightsCode kRightsCodes[] = {
    {"GA", 0x10000000}, {"GR", 0x80000000}, {"GW", 0x40000000}, {"GX", 0x20000000}, {"RC", 0x20000},
    {"SD", 0x10000},    {"WD", 0x40000},    {"WO", 0x80000},    {"CC", 0x1},        {"DC", 0x2},
    {"LC", 0x4},        {"SW", 0x8},        {"RP", 0x10},       {"WP", 0x20},       {"DT", 0x40},
    {"LO", 0x80},       {"CR", 0x100},      {"FA", 0x1F01FF},   {"FR", 0x120089},   {"FW", 0x120116},
    {"FX", 0x1200A0},   {"KA", 0xF003F},    {"KR", 0x20019},    {"KW", 0x20006},    {"KX", 0x20019},
};

constexpr char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

bool IsAdministrative(const std::string& sid) {
    return sid == "BA" || sid == "SY" || sid == "S-1-5-32-544" || sid == "S-1-5-18" || sid == kTrustedInstaller;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const char lower = static_cast<char>(c | 0x20);
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

// "0x1301bf", or two-letter codes such as "FA" or "SDGXGWGR"; nothing for
// anything else.
std::optional<Mask> ReadRights(const std::string& text) {
    Mask mask = 0;
    if (text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] | 0x20) == 'x') {
        for (std::size_t i = 2; i < text.size(); ++i) {
            const int digit = HexDigit(text[i]);
            if (digit < 0)
                return std::nullopt;
            mask = mask << 4 | static_cast<Mask>(digit);
        }
        return mask;
    }
    if (text.empty() || text.size() % 2 != 0)
        return std::nullopt;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const RightsCode* found = nullptr;
        for (const RightsCode& known : kRightsCodes)
            if (text.compare(i, 2, known.code) == 0)
                found = &known;
        if (!found)
            return std::nullopt;
        mask |= found->mask;
    }
    return mask;
}

// Generic rights as they apply to files.
Mask FileRights(Mask mask) {
    if (mask & (kGenericAll | kMaximumAllowed))
        mask |= kFileAllAccess;
    if (mask & kGenericWrite)
        mask |= kFileGenericWrite;
    return mask;
}

bool InheritOnly(const std::string& flags) {
    for (std::size_t i = 0; i + 1 < flags.size(); i += 2)
        if (flags.compare(i, 2, "IO") == 0)
            return true;
    return false;
}

std::vector<std::string> Fields(const std::string& text) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    for (std::size_t end; (end = text.find(';', at)) != std::string::npos; at = end + 1)
        fields.push_back(text.substr(at, end - at));
    fields.push_back(text.substr(at));
    return fields;
}

// One entry, "A;OICI;0x1301bf;;;AU": false when it lets anyone but the
// three hold a right of `forbidden`, or cannot be read. Deny entries are
// passed over: they only take rights away, and which user they take them
// from would decide whether that helps. Entries that are inherit-only shape
// what the folder will hold, not the folder itself. An allowing entry of
// any other kind (object, conditional) counts as unsafe.
bool EntryKeepsOthersFrom(const std::string& entry, Mask forbidden) {
    const std::vector<std::string> fields = Fields(entry);
    if (fields.size() < 6)
        return false;
    const std::string& type = fields[0];
    if (type == "D" || type == "OD" || type == "XD" || InheritOnly(fields[1]))
        return true;
    const auto rights = ReadRights(fields[2]);
    return type == "A" && rights && (IsAdministrative(fields[5]) || (FileRights(*rights) & forbidden) == 0);
}

// The DACL's text after "D:": flags, then entries in parentheses (a
// conditional entry holds parentheses of its own). "NO_ACCESS_CONTROL" is a
// missing DACL, which lets everyone do everything; no entries at all let no
// one do anything.
bool DaclKeepsOthersFrom(const std::string& dacl, Mask forbidden) {
    std::size_t at = dacl.find('(');
    if (dacl.substr(0, at).find("NO_ACCESS_CONTROL") != std::string::npos)
        return false;
    while (at < dacl.size()) {
        if (dacl[at] != '(')
            return false;
        std::size_t end = at;
        for (int depth = 0; end < dacl.size(); ++end) {
            depth += dacl[end] == '(' ? 1 : dacl[end] == ')' ? -1 : 0;
            if (depth == 0)
                break;
        }
        if (end == dacl.size() || !EntryKeepsOthersFrom(dacl.substr(at + 1, end - at - 1), forbidden))
            return false;
        at = end + 1;
    }
    return true;
}

// The text of the part "O:", "G:", "D:" or "S:" named by `tag`, up to the
// next part; nothing when the descriptor has no such part.
std::optional<std::string> Part(const std::string& sddl, char tag) {
    std::optional<std::size_t> begin;
    int depth = 0;
    for (std::size_t i = 0; i + 1 < sddl.size(); ++i) {
        const char c = sddl[i];
        depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        if (depth != 0 || sddl[i + 1] != ':' || (c != 'O' && c != 'G' && c != 'D' && c != 'S'))
            continue;
        if (begin)
            return sddl.substr(*begin, i - *begin);
        if (c == tag)
            begin = i + 2;
        ++i;
    }
    return begin ? std::optional<std::string>(sddl.substr(*begin)) : std::nullopt;
}

// The owner may always rewrite the DACL, so it must be one of the three.
bool OnlyAdministratorsMay(const std::optional<std::string>& sddl, Mask forbidden) {
    if (!sddl)
        return false;
    const auto owner = Part(*sddl, 'O');
    const auto dacl = Part(*sddl, 'D');
    return owner && IsAdministrative(*owner) && dacl && DaclKeepsOthersFrom(*dacl, forbidden);
}

} // namespace

std::vector<std::string> PathAndFoldersAbove(const std::string& path) {
    const char drive = static_cast<char>(path.empty() ? 0 : path[0] | 0x20);
    if (path.size() < 3 || drive < 'a' || drive > 'z' || path[1] != ':' || path[2] != '\\')
        return {};
    std::vector<std::string> names;
    for (std::size_t at = 3, end; at < path.size(); at = end + 1) {
        end = path.find('\\', at);
        end = end == std::string::npos ? path.size() : end;
        const std::string name = path.substr(at, end - at);
        if (name == "." || name == "..")
            return {}; // the folders above would not be what the text says
        if (!name.empty())
            names.push_back(name);
    }
    std::vector<std::string> chain;
    for (std::size_t count = names.size() + 1; count-- > 0;) {
        std::string folder = path.substr(0, 3);
        for (std::size_t i = 0; i < count; ++i)
            folder += (i == 0 ? "" : "\\") + names[i];
        chain.push_back(folder);
    }
    return chain;
}

bool OnlyAdministratorsCanChange(const std::vector<std::optional<std::string>>& chain) {
    if (chain.size() < 2)
        return false;
    for (std::size_t i = 0; i < chain.size(); ++i)
        if (!OnlyAdministratorsMay(chain[i], i < 2 ? kNearRights : kFarRights))
            return false;
    return true;
}

} // namespace kv
