// Bringing the saved drives back: what the companion korstart.exe does at
// logon, and what Korvane does once at start-up before it lists the drives.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "drives/subst.h"
#include "platform/os.h"

namespace kv {

// The session lock of a restore pass: Korvane's and the companion's passes
// never check and define the same letter at once.
inline constexpr char kRestoreLock[] = "Korvane.restore";
// Held by the companion for as long as it runs: one companion a logon.
inline constexpr char kCompanionLock[] = "Korvane.korstart";

// A drive whose folder's own drive is not there yet is asked for again this
// often, for this long.
inline constexpr unsigned kLateRetryMs = 5000;
inline constexpr unsigned long long kLateGiveUpMs = 120000;

// The data folder, when it answers within the bound.
std::optional<std::string> CompanionDataFolder(Os& os);

struct SavedRecords {
    std::vector<DriveRequest> drives; // A to Z
    std::vector<std::string> refused; // "X: ..." for each record that was not taken, and why
};
// Reads every record of the data folder; records are only read, never changed.
SavedRecords ReadSavedRecords(Os& os, const std::string& dataFolder);
// Moves the records whose letters are the user's persistent network drives
// to the refused, each with a line saying so.
void LeaveNetworkLetters(Os& os, SavedRecords& records);

struct RestoreOutcome {
    enum class Kind {
        Made,
        LetterInUse,
        FolderAbsent, // its drive is there, the folder is not
        Late,         // its drive is not there yet, or not ready: ask again later
        Failed,       // the system refused to make it
    };
    DriveRequest request;
    Kind kind = Kind::Failed;
    std::string why;
};
// One pass over the saved drives: the folders are asked about all at once,
// and every drive that can be made now is made. A folder that does not
// answer cannot be told absent, so its drive is made as it stands.
std::vector<RestoreOutcome> RestorePass(Os& os, const std::vector<DriveRequest>& drives);

// One line on what became of a saved drive, `waitedMs` after the start.
std::string DescribeOutcome(const RestoreOutcome& outcome, unsigned long long waitedMs);

// Korvane's start-up: one pass over its own records, waiting for nothing
// that is not there yet.
void RestoreAtStartup(Os& os);

// The companion: every saved drive it can make, made at once; those whose
// drive is not there yet, again and again until they come or two minutes
// have passed. What became of each record goes to its log.
void RunCompanion(Os& os);

} // namespace kv
