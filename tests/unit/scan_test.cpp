#include <gtest/gtest.h>

#include "drives/scan.h"
#include "fakes/fake_controls.h"
#include "fakes/fake_os.h"

namespace kv::test {
namespace {

using Rows = std::vector<std::string>;

TEST(ScanDrives, SortsEveryLetterIntoItsList)
{
    FakeOs os;
    os.devices["C:"] = "\\Device\\HarddiskVolume1";
    os.devices["N:"] = "\\Device\\LanmanRedirector\\;N:0\\server\\share";
    os.Subst("X:", "C:\\data");
    os.Subst("B:", "C:\\floppy image");
    os.Subst("D:", "C:\\");
    os.devices["G:"] = "\\??\\C:\\gone"; // its folder was removed
    FakeListView lsv;
    FakeComboBox cmb;

    ScanDrives(os, lsv, cmb);

    EXPECT_EQ(lsv.rows, (Rows{"B:", "D:", "X:"}));
    Rows free;
    for (char c : std::string("AEFHIJKLMOPQRSTUVWYZ"))
        free.push_back(std::string(1, c) + ":");
    EXPECT_EQ(cmb.entries, free) << "B is never offered; devices and drives in use are not free";
    ASSERT_EQ(os.runs.size(), 1u);
    EXPECT_EQ(os.runs[0].arguments, "G: /D");
    EXPECT_FALSE(os.devices.count("G:"));
    EXPECT_EQ(os.currentDirectory, "C:\\windows");
    EXPECT_EQ(os.directoryChanges.back(), "C:\\windows") << "restored after the failed test too";
}

TEST(ScanDrives, LeavesTheCurrentDirectoryAloneWithoutVirtualDrives)
{
    FakeOs os;
    FakeListView lsv;
    FakeComboBox cmb;
    ScanDrives(os, lsv, cmb);
    EXPECT_TRUE(lsv.rows.empty());
    EXPECT_EQ(cmb.entries.size(), 25u);
    EXPECT_TRUE(os.directoryChanges.empty());
}

TEST(ClassifyTarget, TellsVirtualDrivesFromDevicesAndFreeLetters)
{
    EXPECT_EQ(ClassifyTarget(std::nullopt), DriveKind::Free);
    EXPECT_EQ(ClassifyTarget(std::string("\\??\\C:\\x")), DriveKind::Virtual);
    EXPECT_EQ(ClassifyTarget(std::string("\\Device\\CdRom0")), DriveKind::Device);
    EXPECT_EQ(ClassifyTarget(std::string("")), DriveKind::Free);
}

} // namespace
} // namespace kv::test
