// What the program knows of the drives, as plain data on the window's thread:
// the virtual drives in use and their folders, the free letters, and the
// saved drives with their presence. Commands change it and the system's word
// replaces it; the lists, the status bar and the toolbar only draw it.
#pragma once

#include <array>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/os.h"

namespace kv {

// What the system says of every letter at one moment.
struct DriveSnapshot {
    std::array<std::optional<std::string>, 26> targets; // A to Z: the first target of the letter's device
    std::set<char> saved;                               // letters with a record
    std::set<char> allUsers;                            // letters saved for all users
};

// The device table and the records as they are now. Neither waits on a
// folder: the device table is the system's own, and the records lie in the
// data folder.
DriveSnapshot ReadDrives(Os& os);

class DriveModel {
public:
    // Takes the system's word. Drives already listed keep their places; new
    // ones follow them, A to Z.
    void Take(const DriveSnapshot& now);

    std::vector<std::string> UsedDrives() const; // "X:", in the order listed
    std::vector<std::string> FreeDrives() const; // "X:", A to Z; B never, kept for the floppy it once meant
    // "X:" for a saved drive whose letter is a virtual drive now, "X: (not present)" otherwise;
    // "X: (all users)" for a drive saved for all users.
    std::vector<std::string> SavedEntries() const;
    std::optional<std::string> Folder(const std::string& drive) const; // of a drive in use
    bool IsUsed(const std::string& drive) const { return Folder(drive).has_value(); }
    bool IsFree(const std::string& drive) const;
    bool IsSaved(const std::string& drive) const;
    bool IsSavedForAllUsers(const std::string& drive) const;

    // What the program itself did or saw of one letter: its device's target
    // now (a virtual drive, a device, or nothing for a free letter), and
    // whether it is saved. Each also makes any reading of the system begun
    // before it stale (see Generation).
    void Relist(const std::string& drive, const std::optional<std::string>& target);
    void Saved(const std::string& drive, bool saved);
    // Moves with every change the program makes: a reading of the system
    // begun under an older generation is dropped when it comes.
    unsigned Generation() const { return generation_; }

private:
    struct Used {
        char letter;
        std::string folder;
    };
    std::vector<Used> used_;
    std::set<char> free_, saved_, allUsers_;
    unsigned generation_ = 0;
};

} // namespace kv
