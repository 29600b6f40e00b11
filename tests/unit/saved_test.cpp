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
const std::string kData = "C:\\Tools\\kordat\\";
const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

struct SavedTest : ::testing::Test {
    FakeOs os;
    FakeListView lsv;
    FakeComboBox lst;
    void SetUp() override { os.folders.insert("C:\\Tools\\kordat"); }
    void Save(char letter, const std::string& bytes) { os.files[kData + letter + ".ini"] = bytes; }
    bool Saved(char letter) { return os.files.count(kData + letter + ".ini") > 0; }
};

TEST_F(SavedTest, SyncKeepsTheRecordsOfPresentDrivesOnly)
{
    Save('D', "C:\\d\r\n");
    Save('X', "C:\\x\r\n");
    Save('Y', "C:\\y\r\n");
    lsv.rows = {" D: ", "K:", "y:"};
    SyncSavedDrives(os, lsv);
    LoadSavedDrives(os, lst);
    EXPECT_TRUE(Saved('D'));
    EXPECT_FALSE(Saved('X'));
    EXPECT_FALSE(Saved('Y')) << "a row in lower case names no saved letter";
    EXPECT_FALSE(Saved('K'));
    EXPECT_EQ(lst.entries, Rows{"D:"});

    os.folders.erase("C:\\Tools\\kordat");
    os.files.clear();
    SyncSavedDrives(os, lsv);
    LoadSavedDrives(os, lst);
    EXPECT_EQ(lst.entries, Rows{"D:"});
    EXPECT_TRUE(os.messages.empty());
}

TEST_F(SavedTest, AllTwentySixLettersStaySaved)
{
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        Save(letter, "C:\\f\r\n");
        lsv.rows.push_back(std::string(1, letter) + ":");
    }
    SyncSavedDrives(os, lsv);
    LoadSavedDrives(os, lst);
    EXPECT_EQ(os.files.size(), 26u);
    ASSERT_EQ(lst.entries.size(), 26u);
    EXPECT_EQ(lst.entries.front(), "A:");
    EXPECT_EQ(lst.entries.back(), "Z:");
}

TEST_F(SavedTest, RegistersMachineWideThenStartupFolderThenForTheUser)
{
    os.files["C:\\Tools\\korstart.exe"] = "MZ";
    os.folders.insert("C:\\ProgramData\\Startup");
    RegisterAutoStart(os);
    RegisterAutoStart(os);
    EXPECT_EQ(os.registry["HKLM\\" + kRun], (std::map<std::string, std::string>{{"Korvane", "C:\\Tools\\korstart.exe"}}));
    EXPECT_EQ(os.registry["HKCU\\Software\\Korvane"]["ProgramFolder"], "C:\\Tools");

    os.programFolder = "C:\\Program Files\\Korvane";
    os.files["C:\\Program Files\\Korvane\\korstart.exe"] = "MZ2";
    RegisterAutoStart(os);
    EXPECT_EQ(os.registry["HKLM\\" + kRun]["Korvane"], "\"C:\\Program Files\\Korvane\\korstart.exe\"");

    os.refusedKeys.insert("HKLM\\" + kRun);
    RegisterAutoStart(os);
    EXPECT_EQ(os.files["C:\\ProgramData\\Startup\\korstart.exe"], "MZ2");
    EXPECT_FALSE(os.registry.count("HKCU\\" + kRun));

    os.folders.erase("C:\\ProgramData\\Startup");
    RegisterAutoStart(os);
    EXPECT_EQ(os.registry["HKCU\\" + kRun]["Korvane"], "\"C:\\Program Files\\Korvane\\korstart.exe\"");
    os.commonStartup.reset();
    os.programFolder = "C:\\";
    RegisterAutoStart(os);
    EXPECT_EQ(os.registry["HKCU\\" + kRun]["Korvane"], "C:\\\\korstart.exe") << "joined unchanged at a root";
}

TEST_F(SavedTest, CompanionBringsBackWhatItCanAndTouchesNoRecord)
{
    os.folders.insert("C:\\Work Space");
    os.folders.insert("C:\\Other");
    Save('W', "C:\\Work Space\r\n");
    Save('G', "C:\\gone\r\n");
    Save('E', "");
    Save('B', std::string("\x00\x01MZ\r\n", 6));
    Save('O', "C:\\" + std::string(kMaxRecordBytes, 'o'));
    Save('T', "C:\\Other\r\n");
    os.Subst("T:", "C:\\windows");
    const auto records = os.files;

    EXPECT_EQ(RestoreSavedDrives(os), 1);
    EXPECT_EQ(os.devices["W:"], "\\??\\C:\\Work Space");
    EXPECT_EQ(os.devices["T:"], "\\??\\C:\\windows");
    EXPECT_EQ(os.devices.size(), 2u);
    ASSERT_EQ(os.runs.size(), 2u) << "subst asked about W: and G: only";
    EXPECT_EQ(os.runs[0].path, "C:\\windows\\system32\\subst.exe");
    EXPECT_EQ(os.runs[0].arguments, "G: C:\\gone");
    EXPECT_EQ(os.runs[1].arguments, "W: \"C:\\Work Space\"");
    EXPECT_EQ(os.files, records);
}

// The copy in the common Startup folder has no data folder beside it.
TEST_F(SavedTest, CompanionInTheStartupFolderFindsTheProgramFolder)
{
    Save('W', "C:\\windows\r\n");
    os.programFolder = "C:\\ProgramData\\Startup";
    EXPECT_EQ(CompanionDataFolder(os), std::nullopt);
    EXPECT_EQ(RestoreSavedDrives(os), 0);
    os.registry["HKCU\\Software\\Korvane"]["ProgramFolder"] = "C:\\Tools";
    EXPECT_EQ(RestoreSavedDrives(os), 1);
    EXPECT_EQ(os.devices["W:"], "\\??\\C:\\windows");
}

} // namespace
} // namespace kv::test
