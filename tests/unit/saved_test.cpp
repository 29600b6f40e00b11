#include <gtest/gtest.h>

#include "fakes/fake_controls.h"
#include "fakes/fake_os.h"
#include "saved/autostart.h"
#include "saved/companion_log.h"
#include "saved/record_reader.h"
#include "saved/restore.h"
#include "saved/saved_list.h"

namespace kv::test {
namespace {

using Rows = std::vector<std::string>;
const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kLog = "C:\\Users\\ann\\AppData\\Local\\Korvane\\korstart.log";

struct SavedTest : ::testing::Test {
    FakeOs os;
    FakeListView lsv;
    FakeComboBox lst;
    void SetUp() override { os.folders.insert("C:\\Tools\\kordat"); }
    std::string& Record(char letter) { return os.files["C:\\Tools\\kordat\\" + std::string(1, letter) + ".ini"]; }
    std::map<std::string, std::string>& Run(const char* root) { return os.registry[root + kRun]; }
    Rows LogLines()
    {
        Rows lines;
        const std::string& log = os.files[kLog];
        for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(log.substr(at + 21, end - at - 21)); // past the time stamp
        return lines;
    }
};

TEST_F(SavedTest, ListsEverySaveMarkingThoseWhoseDriveIsNotThere)
{
    for (char letter : std::string("DXZ"))
        Record(letter) = "C:\\f\r\n";
    lsv.rows = {" D: ", "K:", "z:"};
    const auto records = os.files;
    LoadSavedDrives(os, lsv, lst);
    EXPECT_EQ(lst.entries, (Rows{"D:", "X: (not present)", "Z: (not present)"}))
        << "trimmed rows match, lower case does not";
    EXPECT_EQ(os.files, records) << "no record goes";
    EXPECT_EQ(FindSavedEntry(lst, "X:"), 1);
    EXPECT_EQ(FindSavedEntry(lst, "K:"), kNoSelection);
}

TEST_F(SavedTest, RegistersForEveryoneOnlyACompanionThatNoUserCanReplace)
{
    const std::string command = "C:\\Tools\\korstart.exe";
    os.files[command] = "MZ";
    os.protectedPaths = {"C:\\Tools", command};
    Run("HKCU\\")["Korvane"] = command;
    RegisterAutoStart(os);
    EXPECT_EQ(Run("HKLM\\"), (std::map<std::string, std::string>{{"Korvane", command}}));
    EXPECT_TRUE(Run("HKCU\\").empty()) << "a second companion at logon would race the first";
    EXPECT_EQ(os.registry["HKCU\\Software\\Korvane"]["ProgramFolder"], "C:\\Tools");

    // A standard user cannot write the machine's keys, and need not.
    os.refusedKeys.insert("HKLM\\" + kRun);
    RegisterAutoStart(os);
    EXPECT_TRUE(Run("HKCU\\").empty());
    Run("HKLM\\").clear();
    os.folders.insert("C:\\ProgramData\\Startup");
    RegisterAutoStart(os);
    EXPECT_EQ(os.files["C:\\ProgramData\\Startup\\korstart.exe"], "MZ");
    EXPECT_TRUE(Run("HKCU\\").empty());
    os.commonStartup.reset();
    RegisterAutoStart(os);
    EXPECT_EQ(Run("HKCU\\")["Korvane"], command) << "nothing for everyone could be made";

    // Where any user may write, the entry is this user's alone, and an
    // elevated start takes back one made for everyone.
    os.refusedKeys.clear();
    Run("HKCU\\").clear();
    os.protectedPaths = {"C:\\Tools"};
    Run("HKLM\\")["Korvane"] = command;
    RegisterAutoStart(os);
    EXPECT_TRUE(Run("HKLM\\").empty());
    EXPECT_EQ(Run("HKCU\\")["Korvane"], command);
    Run("HKLM\\")["Korvane"] = "C:\\Other\\korstart.exe";
    RegisterAutoStart(os);
    EXPECT_EQ(Run("HKLM\\")["Korvane"], "C:\\Other\\korstart.exe") << "another copy's entry is not ours";

    os.programFolder = "C:\\Program Files\\Korvane";
    RegisterAutoStart(os);
    EXPECT_EQ(Run("HKCU\\")["Korvane"], "\"C:\\Program Files\\Korvane\\korstart.exe\"");
}

TEST_F(SavedTest, AnElevatedStartSharesTheDataFolderOfAProtectedCopyOnly)
{
    os.folders.erase("C:\\Tools\\kordat");
    os.elevated = true;
    CreateDataFolder(os);
    EXPECT_TRUE(os.sharedFolders.empty());
    os.folders.erase("C:\\Tools\\kordat");
    os.protectedPaths = {"C:\\Tools", "C:\\Tools\\korstart.exe"};
    CreateDataFolder(os);
    EXPECT_EQ(os.sharedFolders, std::set<std::string>{"C:\\Tools\\kordat"});
    os.folders.erase("C:\\Tools\\kordat");
    os.sharedFolders.clear();
    os.elevated = false;
    CreateDataFolder(os);
    EXPECT_TRUE(os.sharedFolders.empty());
    EXPECT_TRUE(os.folders.count("C:\\Tools\\kordat"));
}

TEST_F(SavedTest, CompanionMakesWhatItCanAtOnceAndTouchesNoRecord)
{
    os.folders.insert("C:\\Work Space");
    os.shortNames["C:\\Work Space"] = "C:\\WORKSP~1";
    os.devices["N:"] = "\\Device\\LanmanRedirector\\;N:0\\server\\share";
    Record('W') = "C:\\Work Space\r\n";
    Record('S') = "N:\\slow\r\n";
    os.probes["N:\\slow"] = {PathProbe::State::NoAnswer, "timed out"};
    Record('G') = "C:\\gone\r\n";
    Record('E') = "";
    Record('U') = "\\\\server\\share\r\n";
    Record('O') = "C:\\" + std::string(kMaxRecordBytes, 'o');
    Record('T') = "C:\\Work Space\r\n";
    os.Subst("T:", "C:\\windows");
    const auto records = os.files;

    EXPECT_EQ(RunCompanion(os), 2);
    EXPECT_EQ(os.devices["W:"], "\\??\\C:\\WORKSP~1");
    EXPECT_EQ(os.devices["S:"], "\\??\\N:\\slow") << "a folder that does not answer is kept, as it stands";
    EXPECT_EQ(os.devices["T:"], "\\??\\C:\\windows");
    EXPECT_EQ(os.probeRounds.at(1).size(), 3u) << "every folder asked about at once, after the data folder";
    EXPECT_EQ(os.definitions, (Rows{"W:", "S:"})) << "a folder that answers does not wait for one that does not";
    EXPECT_TRUE(os.runs.empty()) << "no process a drive at logon";
    EXPECT_EQ(os.now, 1000000u) << "nothing to wait for";
    const Rows logged = LogLines();
    os.files.erase(kLog);
    EXPECT_EQ(os.files, records);
    EXPECT_EQ(logged, (Rows{"started for C:\\Tools\\kordat, 4 saved drives",
                                "E: record refused: it names a folder that is not a full path from a drive letter",
                                "O: record refused: it cannot be read, or it is larger than 4096 bytes",
                                "U: record refused: it names a folder that is on a network path, and only folders "
                                "on a drive letter come back at logon",
                                "G: not made: C:\\gone does not exist", "S: made, standing for N:\\slow",
                                "T: left alone: the letter is in use", "W: made, standing for C:\\Work Space"}));

    // One companion a logon: a second one ends at once.
    os.devices.erase("W:");
    os.locksHeldElsewhere.insert(kCompanionLock);
    EXPECT_EQ(RunCompanion(os), 0);
    EXPECT_FALSE(os.devices.count("W:"));

    // The copy in the common Startup folder has no data folder beside it.
    os.locksHeldElsewhere.clear();
    os.programFolder = "C:\\ProgramData\\Startup";
    EXPECT_EQ(RunCompanion(os), 0);
    os.registry["HKCU\\Software\\Korvane"]["ProgramFolder"] = "C:\\Tools";
    EXPECT_EQ(RunCompanion(os), 1);
}

TEST_F(SavedTest, CompanionWaitsForADriveThatComesLateThenGivesUp)
{
    Record('L') = "L:\\late\r\n";
    Record('V') = "V:\\never\r\n";
    Record('C') = "C:\\windows\r\n";
    for (const char* folder : {"L:\\late", "V:\\never"})
        os.probes[folder] = {PathProbe::State::NotReady, "The device is not ready."};
    os.onSleep = [&] {
        EXPECT_EQ(os.devices.count("C:"), 1u) << "a present folder is made before any wait";
        if (os.now >= 1000000 + 10000)
            os.probes.erase("L:\\late");
    };
    os.folders.insert("L:\\late");

    EXPECT_EQ(RunCompanion(os), 2);
    EXPECT_EQ(os.devices["L:"], "\\??\\L:\\late");
    EXPECT_FALSE(os.devices.count("V:"));
    EXPECT_GE(os.now - 1000000, kLateGiveUpMs);
    EXPECT_LT(os.now - 1000000, kLateGiveUpMs + kLateRetryMs);
    EXPECT_EQ(LogLines(), (Rows{"started for C:\\Tools\\kordat, 3 saved drives",
                                "C: made, standing for C:\\windows",
                                "L: made, standing for L:\\late, after waiting 10 s for its drive",
                                "V: not made: V:\\never was still not there after 120 s (The device is not ready.)"}));

    // Korvane's own start makes what it can at once and waits for nothing.
    os.devices.clear();
    os.probes["L:\\late"] = {PathProbe::State::NotReady, "The device is not ready."};
    const unsigned long long before = os.now;
    RestoreAtStartup(os);
    EXPECT_EQ(os.devices.size(), 1u);
    EXPECT_EQ(os.now, before);
    os.devices.clear();
    os.locksHeldElsewhere.insert(kRestoreLock); // a companion's pass under way
    RestoreAtStartup(os);
    EXPECT_TRUE(os.devices.empty());
}

TEST(CompanionLog, KeepsTheNewestWholeLinesUnderTheLimit)
{
    EXPECT_EQ(KeepNewestLines("aa\r\nbb\r\ncc\r\n", 12), "aa\r\nbb\r\ncc\r\n");
    EXPECT_EQ(KeepNewestLines("aa\r\nbb\r\ncc\r\n", 11), "bb\r\ncc\r\n");
    EXPECT_EQ(KeepNewestLines("aa\r\nbb\r\ncc\r\n", 8), "bb\r\ncc\r\n");
    EXPECT_EQ(KeepNewestLines("aa\r\nbb\r\ncc\r\n", 7), "cc\r\n");
    EXPECT_EQ(KeepNewestLines("aaaaaaaa", 4), "");

    FakeOs os;
    os.folders.insert("C:\\Users\\ann\\AppData\\Local");
    os.files[kLog] = std::string(kLogLimitBytes - 10, 'x') + "\r\n";
    CompanionLog log(os);
    log.Add("one more line");
    log.Flush();
    EXPECT_EQ(os.files[kLog], "2026-12-06 08:00:00  one more line\r\n");
}

} // namespace
} // namespace kv::test
