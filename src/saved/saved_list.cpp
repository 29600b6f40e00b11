#include "saved/saved_list.h"

#include "drives/drive_name.h"
#include "saved/records.h"

namespace kv {

std::string SavedEntry(const std::string& drive, bool present) { return present ? drive : drive + kNotPresent; }

std::set<char> SavedLetters(Os& os) {
    const std::string dataFolder = DataFolder(os);
    std::set<char> letters;
    for (const char* letter = kDriveLetters; *letter != ';'; ++letter)
        if (os.FileExists(RecordPathIn(dataFolder, DriveName(*letter))))
            letters.insert(*letter);
    return letters;
}

} // namespace kv
