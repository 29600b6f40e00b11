#include <gtest/gtest.h>

#include "fakes/fake_controls.h"
#include "fakes/fake_os.h"
#include "saved/autostart.h"
#include "saved/record_reader.h"
#include "saved/restore.h"
#include "saved/saved_list.h"

namespace kv::test {
namespace {

using Rows = std::vector<std::string>;
const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

struct SavedTest : ::testing::Test {
    FakeOs os;
    FakeListView lsv;
    FakeComboBox lst;
    void SetUp() override { os.folders.insert("C:\\Tools\\kordat"); }
    std::string& Record(char letter) { return os.files["C:\\Tools\\kordat\\" + std::string(1, letter) + ".ini"]; }
    std::string& RunValue(const char* root) { return os.registry[root + kRun]["Korvane"]; }
};

TEST_F(SavedTest, SyncKeepsTheRecordsOfPresentDrivesOnly)
{
    for (char letter : std::string("DXYZ"))
        Record(letter) = "C:\\f\r\n";
    lsv.rows = {" D: ", "K:", "y:", "Z:"};
    SyncSavedDrives(os, lsv);
    LoadSavedDrives(os, lst);
    EXPECT_EQ(lst.entries, (Rows{"D:", "Z:"})) << "trimmed rows match, lower case does not";
    EXPECT_EQ(os.files.size(), 2u);

    os.folders.erase("C:\\Tools\\kordat");
    os.files.clear();
    lsv.rows.clear();
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        Record(letter) = "C:\\f\r\n";
        lsv.rows.push_back(std::string(1, letter) + ":");
    }
    lst.entries.clear();
    SyncSavedDrives(os, lsv);
    LoadSavedDrives(os, lst);
    EXPECT_EQ(lst.entries.size(), 26u);
    EXPECT_EQ(os.files.size(), 26u);
}

TEST_F(SavedTest, RegistersMachineWideThenStartupFolderThenForTheUser)
{
    os.folders.insert("C:\\ProgramData\\Startup");
    os.files["C:\\Tools\\korstart.exe"] = "MZ";
    RegisterAutoStart(os);
    RegisterAutoStart(os);
    EXPECT_EQ(os.registry["HKLM\\" + kRun].size(), 1u);
    EXPECT_EQ(RunValue("HKLM\\"), "C:\\Tools\\korstart.exe");
    EXPECT_EQ(os.registry["HKCU\\Software\\Korvane"]["ProgramFolder"], "C:\\Tools");

    os.programFolder = "C:\\Program Files\\Korvane";
    os.files["C:\\Program Files\\Korvane\\korstart.exe"] = "MZ2";
    RegisterAutoStart(os);
    EXPECT_EQ(RunValue("HKLM\\"), "\"C:\\Program Files\\Korvane\\korstart.exe\"");

    os.refusedKeys.insert("HKLM\\" + kRun);
    RegisterAutoStart(os);
    EXPECT_EQ(os.files["C:\\ProgramData\\Startup\\korstart.exe"], "MZ2");
    EXPECT_FALSE(os.registry.count("HKCU\\" + kRun));

    os.folders.erase("C:\\ProgramData\\Startup");
    RegisterAutoStart(os);
    EXPECT_EQ(RunValue("HKCU\\"), "\"C:\\Program Files\\Korvane\\korstart.exe\"");
    os.commonStartup.reset();
    os.programFolder = "C:\\";
    RegisterAutoStart(os);
    EXPECT_EQ(RunValue("HKCU\\"), "C:\\\\korstart.exe") << "joined unchanged at a root";
}

TEST_F(SavedTest, CompanionBringsBackWhatItCanAndTouchesNoRecord)
{
    os.folders.insert("C:\\Work Space");
    os.shortNames["C:\\Work Space"] = "C:\\WORKSP~1";
    Record('W') = "C:\\Work Space\r\n";
    Record('G') = "C:\\gone\r\n";
    Record('E') = "";
    Record('B') = std::string("\x00\x01MZ\r\n", 6);
    Record('O') = "C:\\" + std::string(kMaxRecordBytes, 'o');
    Record('T') = "C:\\Work Space\r\n";
    os.Subst("T:", "C:\\windows");
    const auto records = os.files;

    EXPECT_EQ(RestoreSavedDrives(os), 1);
    EXPECT_EQ(os.devices, (std::map<std::string, std::string>{{"T:", "\\??\\C:\\windows"},
                                                               {"W:", "\\??\\C:\\WORKSP~1"}}));
    EXPECT_TRUE(os.runs.empty()) << "no process a drive at logon";
    EXPECT_EQ(os.files, records);

    os.devices.erase("W:");
    os.defineRefusal = "Access is denied.";
    EXPECT_EQ(RestoreSavedDrives(os), 0);
    os.defineRefusal.reset();

    // The copy in the common Startup folder has no data folder beside it.
    os.programFolder = "C:\\ProgramData\\Startup";
    EXPECT_EQ(RestoreSavedDrives(os), 0);
    os.registry["HKCU\\Software\\Korvane"]["ProgramFolder"] = "C:\\Tools";
    EXPECT_EQ(RestoreSavedDrives(os), 1);
}

} // namespace
} // namespace kv::test
