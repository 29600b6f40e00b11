#include "saved/saved_list.h"

#include "drives/drive_name.h"
#include "saved/records.h"

namespace kv {

namespace {

// A letter is saved exactly when its record file exists, whatever it holds.
std::string SavedLetters(Os& os)
{
    std::string letters;
    for (const char* letter = kDriveLetters; *letter != ';'; ++letter)
        if (os.PathExists(RecordPath(os, DriveName(*letter))))
            letters += *letter;
    return letters;
}

bool ListsDrive(const DriveListView& lsv, const std::string& drive)
{
    for (int row = 0; row < lsv.Count(); ++row)
        if (Trim(lsv.Text(row)) == drive)
            return true;
    return false;
}

} // namespace

// A drive gone since the last session is not brought back at the next logon.
void SyncSavedDrives(Os& os, const DriveListView& lsv)
{
    for (const char letter : SavedLetters(os))
        if (!ListsDrive(lsv, DriveName(letter)))
            DeleteSavedDrive(os, DriveName(letter));
}

void LoadSavedDrives(Os& os, SortedList& lst)
{
    for (const char letter : SavedLetters(os))
        lst.Add(DriveName(letter));
}

} // namespace kv
