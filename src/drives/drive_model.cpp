#include "drives/drive_model.h"

#include <algorithm>

#include "drives/drive_name.h"
#include "drives/scan.h"
#include "saved/saved_list.h"
#include "saved/scopes.h"

namespace kv {

namespace {

char LetterOf(const std::string& drive) { return drive.empty() ? '\0' : drive[0]; }

} // namespace

DriveSnapshot ReadDrives(Os& os) {
    DriveSnapshot now;
    for (int i = 0; i < 26; ++i)
        now.targets[i] = os.QueryDosDevice(DriveName(kDriveLetters[i]));
    now.saved = SavedLetters(os);
    now.allUsers = AllUsersLetters(os);
    return now;
}

void DriveModel::Take(const DriveSnapshot& now) {
    std::vector<Used> used;
    std::set<char> free;
    for (const Used& listed : used_) {
        const auto& target = now.targets[listed.letter - 'A'];
        if (ClassifyTarget(target) == DriveKind::Virtual)
            used.push_back({listed.letter, FolderOfTarget(Trim(*target))});
    }
    for (int i = 0; i < 26; ++i) {
        const char letter = kDriveLetters[i];
        const DriveKind kind = ClassifyTarget(now.targets[i]);
        const bool listed =
            std::any_of(used.begin(), used.end(), [letter](const Used& u) { return u.letter == letter; });
        if (kind == DriveKind::Virtual && !listed)
            used.push_back({letter, FolderOfTarget(Trim(*now.targets[i]))});
        else if (kind == DriveKind::Free && letter != 'B')
            free.insert(letter);
    }
    used_ = std::move(used);
    free_ = std::move(free);
    saved_ = now.saved;
    allUsers_ = now.allUsers;
}

std::vector<std::string> DriveModel::UsedDrives() const {
    std::vector<std::string> drives;
    for (const Used& used : used_)
        drives.push_back(DriveName(used.letter));
    return drives;
}

std::vector<std::string> DriveModel::FreeDrives() const {
    std::vector<std::string> drives;
    for (char letter : free_)
        drives.push_back(DriveName(letter));
    return drives;
}

std::vector<std::string> DriveModel::SavedEntries() const {
    std::vector<std::string> entries;
    for (char letter : saved_)
        entries.push_back(SavedEntry(DriveName(letter), IsUsed(DriveName(letter))));
    for (char letter : allUsers_)
        entries.push_back(DriveName(letter) + kAllUsersMark);
    return entries;
}

std::optional<std::string> DriveModel::Folder(const std::string& drive) const {
    for (const Used& used : used_)
        if (used.letter == LetterOf(drive))
            return used.folder;
    return std::nullopt;
}

bool DriveModel::IsFree(const std::string& drive) const { return free_.count(LetterOf(drive)) != 0; }

bool DriveModel::IsSaved(const std::string& drive) const { return saved_.count(LetterOf(drive)) != 0; }

bool DriveModel::IsSavedForAllUsers(const std::string& drive) const { return allUsers_.count(LetterOf(drive)) != 0; }

void DriveModel::Relist(const std::string& drive, const std::optional<std::string>& target) {
    ++generation_;
    const char letter = LetterOf(drive);
    const DriveKind kind = ClassifyTarget(target);
    free_.erase(letter);
    if (kind == DriveKind::Free && letter != 'B')
        free_.insert(letter);
    const auto listed =
        std::find_if(used_.begin(), used_.end(), [letter](const Used& u) { return u.letter == letter; });
    if (kind != DriveKind::Virtual) {
        if (listed != used_.end())
            used_.erase(listed);
    } else if (listed != used_.end()) {
        listed->folder = FolderOfTarget(Trim(*target));
    } else {
        used_.push_back({letter, FolderOfTarget(Trim(*target))});
    }
}

void DriveModel::Saved(const std::string& drive, bool saved) {
    ++generation_;
    if (saved)
        saved_.insert(LetterOf(drive));
    else
        saved_.erase(LetterOf(drive));
}

} // namespace kv
