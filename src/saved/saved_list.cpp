#include "saved/saved_list.h"

#include "drives/drive_name.h"
#include "saved/records.h"

namespace kv {

namespace {

bool ListsDrive(const DriveListView& lsv, const std::string& drive) {
    for (int row = 0; row < lsv.Count(); ++row)
        if (Trim(lsv.Text(row)) == drive)
            return true;
    return false;
}

} // namespace

std::string SavedEntry(const std::string& drive, bool present) { return present ? drive : drive + kNotPresent; }

bool IsPresentEntry(const std::string& entry) { return Trim(entry).find(kNotPresent) == std::string::npos; }

// Entries compare as the user sees them: blanks around them aside, letter
// case not.
int FindSavedEntry(const SortedList& lst, const std::string& drive) {
    const std::string wanted = Trim(drive);
    for (int i = 0; i < lst.Count(); ++i) {
        const std::string entry = Trim(lst.Text(i));
        if (entry == wanted || entry == wanted + kNotPresent)
            return i;
    }
    return kNoSelection;
}

// A letter is saved exactly when its record file exists, whatever it holds.
void LoadSavedDrives(Os& os, const DriveListView& lsv, SortedList& lst) {
    for (const char* letter = kDriveLetters; *letter != ';'; ++letter) {
        const std::string drive = DriveName(*letter);
        if (os.PathExists(RecordPath(os, drive)))
            lst.Add(SavedEntry(drive, ListsDrive(lsv, drive)));
    }
}

} // namespace kv
