#include "drives/targets.h"

#include "drives/drive_name.h"

namespace kv {

namespace {

// Long paths the status bar and the explorer hand-off accept, with the NUL.
constexpr std::size_t kLongPathLimit = 256;

// A share whose server does not answer holds every lookup on it for many
// seconds, and the status bar asks on each click. A share path without a
// generated short name ("~") is already in its long form, so it is not asked.
bool IsLongSharePath(const std::string& path) {
    return path.compare(0, 2, "\\\\") == 0 && path.find('~') == std::string::npos;
}

} // namespace

// The device namespace answers "\??\" and the folder for a virtual drive; the
// prefix is cut whatever it is, so callers ask only about virtual drives.
std::optional<std::string> GetDriveTarget(Os& os, const std::string& drive) {
    const auto target = os.QueryDosDevice(drive);
    if (!target)
        return std::nullopt;
    return FolderOfTarget(*target);
}

std::string GetDriveLongTarget(Os& os, const std::string& drive) {
    const auto target = GetDriveTarget(os, drive);
    if (!target || target->empty())
        return {};
    return NeedsLongForm(*target) ? LongTargetOf(*target, os.LongPathName(*target), kLongPathLimit) : *target;
}

bool NeedsLongForm(const std::string& target) { return !target.empty() && !IsLongSharePath(target); }

// A long form too long for the callers still names the folder in its short
// form: that is better than a blank status bar or an open path that does nothing.
std::string LongTargetOf(const std::string& target, const std::optional<std::string>& longForm, std::size_t limit) {
    if (!longForm)
        return {};
    return longForm->size() >= limit ? target : *longForm;
}

} // namespace kv
