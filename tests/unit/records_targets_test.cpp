#include <gtest/gtest.h>

#include "drives/targets.h"
#include "fakes/fake_os.h"
#include "saved/record_reader.h"
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
    EXPECT_EQ(WriteSavedDrive(os, "X:", std::string("C:\\DATA")), std::nullopt);
    EXPECT_EQ(Record('X'), "C:\\DATA\r\n");
    WriteSavedDrive(os, "X:", std::string("C:\\OTHER"));
    EXPECT_EQ(Record('X'), "C:\\OTHER\r\n");

    WriteSavedDrive(os, "D:", std::string("D:"));
    EXPECT_EQ(Record('D'), "D:\\\r\n") << "a bare drive becomes its root";
    WriteSavedDrive(os, "E:", std::string("E:\\"));
    EXPECT_EQ(Record('E'), "E:\\\r\n");
    EXPECT_NE(WriteSavedDrive(os, "F:", std::string("")), std::nullopt) << "no folder the companion could use";
    EXPECT_FALSE(os.files.count("C:\\Tools\\kordat\\F.ini"));
    WriteSavedDrive(os, "Q", std::string("C:\\Q"));
    EXPECT_EQ(Record('Q'), "C:\\Q\r\n");
}

TEST_F(RecordTest, KeepsTheOldRecordWhenThereIsNothingToWrite)
{
    WriteSavedDrive(os, "X:", std::string("C:\\DATA"));
    EXPECT_EQ(WriteSavedDrive(os, "X:", std::nullopt), "the folder behind it could not be read");
    EXPECT_EQ(Record('X'), "C:\\DATA\r\n");

    os.folders.erase("C:\\Tools\\kordat");
    EXPECT_EQ(WriteSavedDrive(os, "Y:", std::string("C:\\DATA")), "The system cannot find the path specified.");
}

TEST_F(RecordTest, WritesUtf8BehindAByteOrderMarkWhenTheCodePageFallsShort)
{
    const std::string folder = "C:\\\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0 \xE6\x96\x87";
    WriteSavedDrive(os, "U:", folder);
    EXPECT_EQ(Record('U'), "\xEF\xBB\xBF" + folder + "\r\n");
    EXPECT_EQ(ReadRecord(Record('U'), nullptr), folder);
}

TEST(RecordReader, TakesOnlyAFullFolderPathOnOneLine)
{
    const AnsiDecoder fromAnsi = [](const std::string& bytes) { return bytes == "C:\\\xE9" ? "C:\\\xC3\xA9" : "?"; };
    EXPECT_EQ(ReadRecord("C:\\\xE9\r\n", fromAnsi), "C:\\\xC3\xA9");
    EXPECT_EQ(ReadRecord("D:\\\r\n", fromAnsi), "D:\\");
    EXPECT_EQ(ReadRecord("c:\\x y\n", fromAnsi), "c:\\x y") << "an edited record";
    EXPECT_EQ(ReadRecord("C:\\x", fromAnsi), "C:\\x");
    const std::string refused[] = {"", "\r\n", "data\r\n", "C:data\r\n", "\\\\server\\share\r\n",
                                   "C:\\a\r\nC:\\b\r\n", "C:\\a\" /D\r\n", "C:\\a \r\n", "C:\\a\tb",
                                   "C:\\a:stream", std::string("C:\\a\0b", 6), "\xEF\xBB\xBF" "C:\\\xC0\xAF\r\n",
                                   "C:\\" + std::string(kMaxRecordBytes, 'a'), "C:\\\xE8"};
    for (const std::string& bytes : refused)
        EXPECT_EQ(ReadRecord(bytes, fromAnsi), std::nullopt) << bytes;
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
    EXPECT_EQ(GetDriveLongTarget(os, "L:"), deep) << "too long to expand: the folder as the drive stores it";

    // A share is not asked (its server may not answer) unless a short name needs expanding.
    os.devices["N:"] = "\\??\\UNC\\nas\\media\\Films";
    EXPECT_EQ(GetDriveLongTarget(os, "N:"), "\\\\nas\\media\\Films");
    os.folders.insert("\\\\nas\\media\\Old Films");
    os.shortNames["\\\\nas\\media\\Old Films"] = "\\\\nas\\media\\OLDFIL~1";
    os.devices["O:"] = "\\??\\UNC\\nas\\media\\OLDFIL~1";
    EXPECT_EQ(GetDriveLongTarget(os, "O:"), "\\\\nas\\media\\Old Films");
}

} // namespace
} // namespace kv::test
