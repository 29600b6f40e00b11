#include "saved/restore.h"

#include "drives/drive_name.h"
#include "saved/companion_log.h"
#include "saved/record_reader.h"
#include "saved/records.h"

namespace kv {

namespace {

// Korvane waits no longer for a companion's pass than such a pass takes.
constexpr unsigned kStartupLockWaitMs = 4000;
// The companion waits longer: Korvane's pass ends within that.
constexpr unsigned kCompanionLockWaitMs = 10000;

RestoreOutcome::Kind KindOfProbe(PathProbe::State state) {
    switch (state) {
    case PathProbe::State::Missing:
        return RestoreOutcome::Kind::FolderAbsent;
    case PathProbe::State::NotReady:
        return RestoreOutcome::Kind::Late;
    case PathProbe::State::Exists:
    case PathProbe::State::NoAnswer:
    case PathProbe::State::Unknown:
        break;
    }
    return RestoreOutcome::Kind::Made;
}

std::string Seconds(unsigned long long ms) { return std::to_string((ms + 500) / 1000) + " s"; }

} // namespace

// Asked with the bound, as a program folder on a share may not answer at
// logon; once the folder has answered, its small records are read plainly.
std::optional<std::string> CompanionDataFolder(Os& os) {
    const std::string folder = DataFolder(os);
    if (folder.empty() || os.ProbePath(folder).state != PathProbe::State::Exists)
        return std::nullopt;
    return folder;
}

SavedRecords ReadSavedRecords(Os& os, const std::string& dataFolder) {
    const AnsiDecoder fromAnsi = [&os](const std::string& bytes) { return os.FromAnsi(bytes); };
    SavedRecords records;
    for (const char* letter = kDriveLetters; *letter != ';'; ++letter) {
        const std::string drive = DriveName(*letter);
        const std::string path = RecordPathIn(dataFolder, drive);
        if (!os.PathExists(path))
            continue;
        std::string why = "it cannot be read, or it is larger than " + std::to_string(kMaxRecordBytes) + " bytes";
        const auto bytes = os.ReadFile(path, kMaxRecordBytes);
        const auto folder = bytes ? ReadRecord(*bytes, fromAnsi, &why) : std::nullopt;
        if (folder)
            records.drives.push_back({drive, *folder});
        else
            records.refused.push_back(drive + " record refused: " + why);
    }
    return records;
}

// Windows reconnects the user's persistent network drives after the logon
// programs have started; a letter taken before would leave the share
// unconnected, and programs that expect it there would find another folder.
void LeaveNetworkLetters(Os& os, SavedRecords& records) {
    std::vector<DriveRequest> kept;
    for (const DriveRequest& request : records.drives) {
        const std::string key = "Network\\" + request.drive.substr(0, 1);
        if (!os.RegistryKeyExists(RegistryRoot::CurrentUser, key)) {
            kept.push_back(request);
            continue;
        }
        const auto share = os.ReadRegistryText(RegistryRoot::CurrentUser, key, "RemotePath");
        records.refused.push_back(request.drive + " left alone: the letter is the user's network drive" +
                                  (share ? " " + *share : std::string()) + ", which Windows connects at logon");
    }
    records.drives = std::move(kept);
}

// Letters in use are settled before any folder is asked about, so that a
// drive already there costs nothing; each drive whose folder answers is made
// the moment it answers, not after the slowest.
std::vector<RestoreOutcome> RestorePass(Os& os, const std::vector<DriveRequest>& drives) {
    std::vector<RestoreOutcome> outcomes;
    std::vector<std::size_t> asked; // outcome of each folder asked about
    std::vector<std::string> folders;
    for (const DriveRequest& request : drives) {
        const bool inUse = os.QueryDosDevice(request.drive).has_value();
        outcomes.push_back({request, RestoreOutcome::Kind::LetterInUse, {}});
        if (!inUse) {
            asked.push_back(outcomes.size() - 1);
            folders.push_back(request.folder);
        }
    }
    std::vector<bool> settled(folders.size(), false);
    const auto settle = [&](std::size_t i, const PathProbe& probe) {
        RestoreOutcome& outcome = outcomes[asked[i]];
        settled[i] = true;
        outcome.kind = KindOfProbe(probe.state);
        outcome.why = probe.error;
        if (outcome.kind != RestoreOutcome::Kind::Made)
            return;
        const SubstOutcome made = DefineDrive(os, outcome.request, probe.state != PathProbe::State::NoAnswer);
        if (!made.done)
            outcome = {outcome.request, RestoreOutcome::Kind::Failed, made.why};
    };
    const std::vector<PathProbe> probes = os.ProbePaths(folders, settle);
    for (std::size_t i = 0; i < folders.size(); ++i)
        if (!settled[i])
            settle(i, probes[i]);
    return outcomes;
}

void RestoreAtStartup(Os& os) {
    const std::string dataFolder = DataFolder(os);
    if (dataFolder.empty() || !os.PathExists(dataFolder))
        return;
    SavedRecords records = ReadSavedRecords(os, dataFolder);
    LeaveNetworkLetters(os, records);
    if (records.drives.empty())
        return;
    if (const auto lock = os.LockSession(kRestoreLock, kStartupLockWaitMs))
        RestorePass(os, records.drives);
}

std::string DescribeOutcome(const RestoreOutcome& outcome, unsigned long long waitedMs) {
    const std::string& drive = outcome.request.drive;
    const std::string& folder = outcome.request.folder;
    switch (outcome.kind) {
    case RestoreOutcome::Kind::Made:
        return drive + " made, standing for " + folder +
               (waitedMs > 0 ? ", after waiting " + Seconds(waitedMs) + " for its drive" : std::string());
    case RestoreOutcome::Kind::LetterInUse:
        return drive + " left alone: the letter is in use";
    case RestoreOutcome::Kind::FolderAbsent:
        return drive + " not made: " + folder + " does not exist";
    case RestoreOutcome::Kind::Late:
        return drive + " not made: " + folder + " was still not there after " + Seconds(waitedMs) + " (" + outcome.why +
               ")";
    case RestoreOutcome::Kind::Failed:
        break;
    }
    return drive + " not made: " + outcome.why;
}

void RunCompanion(Os& os) {
    // A companion with no saves to make says so and leaves the logon to
    // another, before it takes the lock: two started together (the Run value
    // and a copy in the Startup folder) must not leave the one with saves
    // waiting on the one without.
    const auto dataFolder = CompanionDataFolder(os);
    if (!dataFolder) {
        CompanionLog log(os);
        const std::string expected = DataFolder(os);
        log.Add(expected.empty() ? "no saved drives: LOCALAPPDATA names no folder for this user's data"
                                 : "no saved drives: there is no data folder " + expected);
        log.Flush();
        return;
    }
    // The session lock is shared with the user's programs run as administrator,
    // whose companion (the logon task's) makes their letters at the same logon.
    const auto instance = os.LockSession(
        os.ElevatedApartFromUser() ? std::string(kCompanionLock) + ".elevated" : std::string(kCompanionLock), 0);
    if (!instance)
        return; // another companion does this logon's work
    CompanionLog log(os);
    SavedRecords records = ReadSavedRecords(os, *dataFolder);
    LeaveNetworkLetters(os, records);
    log.Add("started for " + *dataFolder + ", " + std::to_string(records.drives.size()) + " saved drives");
    for (const std::string& refusal : records.refused)
        log.Add(refusal);

    const unsigned long long start = os.TickCount();
    std::vector<DriveRequest> pending = records.drives;
    for (bool firstPass = true; !pending.empty(); firstPass = false) {
        std::vector<RestoreOutcome> outcomes;
        {
            const auto lock = os.LockSession(kRestoreLock, kCompanionLockWaitMs);
            outcomes = RestorePass(os, pending);
        }
        const unsigned long long waited = os.TickCount() - start;
        const bool givingUp = waited >= kLateGiveUpMs;
        pending.clear();
        for (const RestoreOutcome& outcome : outcomes) {
            if (outcome.kind == RestoreOutcome::Kind::Late && !givingUp) {
                pending.push_back(outcome.request);
                continue;
            }
            log.Add(DescribeOutcome(outcome, firstPass ? 0 : waited));
        }
        log.Flush();
        if (!pending.empty())
            os.Sleep(kLateRetryMs);
    }
}

} // namespace kv
