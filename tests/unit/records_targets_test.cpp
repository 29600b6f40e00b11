#include <gtest/gtest.h>

#include "drives/targets.h"
#include "fakes/fake_os.h"
#include "saved/records.h"

namespace kv::test {
namespace {

struct RecordTest : ::testing::Test {
    FakeOs os;
    void SetUp() override { os.folders.insert("C:\\Tools\\kordat"); }
    std::string Record(char letter) { return os.files["C:\\Tools\\kordat\\" + std::string(1, letter) + ".ini"]; }
};

TEST_F(RecordTest, WritesOneLineWithTheFolderByteForByte)
{
    EXPECT_TRUE(WriteSavedDrive(os, "X:", std::string("C:\\DATA")));
    EXPECT_EQ(Record('X'), "C:\\DATA\r\n");
    WriteSavedDrive(os, "X:", std::string("C:\\OTHER"));
    EXPECT_EQ(Record('X'), "C:\\OTHER\r\n");

    WriteSavedDrive(os, "D:", std::string("D:"));
    EXPECT_EQ(Record('D'), "D:\\\r\n") << "a bare drive becomes its root";
    WriteSavedDrive(os, "E:", std::string("E:\\"));
    EXPECT_EQ(Record('E'), "E:\\\r\n");
    WriteSavedDrive(os, "F:", std::string(""));
    EXPECT_EQ(Record('F'), "\r\n");
    WriteSavedDrive(os, "Q", std::string("C:\\Q"));
    EXPECT_EQ(Record('Q'), "C:\\Q\r\n");
}

TEST_F(RecordTest, KeepsTheOldRecordWhenThereIsNothingToWrite)
{
    WriteSavedDrive(os, "X:", std::string("C:\\DATA"));
    EXPECT_FALSE(WriteSavedDrive(os, "X:", std::nullopt));
    EXPECT_EQ(Record('X'), "C:\\DATA\r\n");

    os.folders.erase("C:\\Tools\\kordat");
    EXPECT_FALSE(WriteSavedDrive(os, "Y:", std::string("C:\\DATA")));
}

TEST_F(RecordTest, DeletesQuietlyAndJoinsARootProgramFolderUnchanged)
{
    WriteSavedDrive(os, "X:", std::string("C:\\DATA"));
    DeleteSavedDrive(os, "X:");
    DeleteSavedDrive(os, "X:");
    EXPECT_FALSE(os.files.count("C:\\Tools\\kordat\\X.ini"));

    os.programFolder = "C:\\";
    EXPECT_EQ(RecordPath(os, "X:"), "C:\\\\kordat\\X.ini");
}

TEST(DriveTargets, GiveTheStoredAndTheLongFolder)
{
    FakeOs os;
    os.folders.insert("C:\\Program Files\\Data");
    os.shortNames["C:\\Program Files\\Data"] = "C:\\PROGRA~1\\DATA";
    os.Subst("X:", "C:\\PROGRA~1\\DATA");
    EXPECT_EQ(GetDriveTarget(os, "X:"), "C:\\PROGRA~1\\DATA");
    EXPECT_EQ(GetDriveLongTarget(os, "X:"), "C:\\Program Files\\Data");

    os.Subst("D:", "C:\\");
    EXPECT_EQ(GetDriveLongTarget(os, "D:"), "C:\\");

    os.devices["C:"] = "\\Device\\HarddiskVolume1";
    EXPECT_EQ(GetDriveTarget(os, "C:"), "ice\\HarddiskVolume1");
    EXPECT_EQ(GetDriveTarget(os, "Q:"), std::nullopt);
    EXPECT_EQ(GetDriveLongTarget(os, "Q:"), "");

    os.devices["G:"] = "\\??\\C:\\gone";
    EXPECT_EQ(GetDriveLongTarget(os, "G:"), "");
    const std::string deep = "C:\\" + std::string(260, 'd');
    os.Subst("L:", deep);
    EXPECT_EQ(GetDriveLongTarget(os, "L:"), "") << "too long for the places that show it";
}

} // namespace
} // namespace kv::test
