#include <gtest/gtest.h>

#include "drives/scan.h"
#include "fakes/fake_controls.h"
#include "fakes/fake_os.h"

namespace kv::test {
namespace {

using Rows = std::vector<std::string>;

TEST(ScanDrives, SortsEveryLetterIntoItsListAndDeletesOnlyDrivesWhoseFolderIsGone)
{
    FakeOs os;
    os.devices["C:"] = "\\Device\\HarddiskVolume1";
    os.devices["N:"] = "\\Device\\LanmanRedirector\\;N:0\\server\\share";
    os.Subst("X:", "C:\\data");
    os.Subst("B:", "C:\\floppy image");
    os.Subst("D:", "C:\\");
    os.devices["G:"] = "\\??\\C:\\gone"; // its folder was removed
    os.devices["U:"] = "\\??\\UNC\\server\\share"; // a share that does not answer
    os.probes["\\\\server\\share"] = {PathProbe::State::NoAnswer, "timed out"};
    os.devices["E:"] = "\\??\\F:\\stick"; // on a disk not plugged in
    os.probes["F:\\stick"] = {PathProbe::State::NotReady, "not ready"};
    FakeListView lsv;
    FakeComboBox cmb;

    ScanDrives(os, lsv, cmb);

    EXPECT_EQ(lsv.rows, (Rows{"B:", "D:", "E:", "U:", "X:"}));
    Rows free;
    for (char c : std::string("AFHIJKLMOPQRSTVWYZ"))
        free.push_back(std::string(1, c) + ":");
    EXPECT_EQ(cmb.entries, free) << "B is never offered; devices and drives in use are not free";
    ASSERT_EQ(os.runs.size(), 1u);
    EXPECT_EQ(os.runs[0].arguments, "G: /D");
    EXPECT_FALSE(os.devices.count("G:"));
    EXPECT_EQ(os.probeRounds.size(), 1u) << "every folder asked about at once";
}

TEST(ScanDrives, ListsADriveWhoseFolderIsGoneWhenSubstKeepsIt)
{
    FakeOs os;
    os.devices["G:"] = "\\??\\C:\\gone";
    os.onRun = [](const ProgramCall&) { return ProgramRun{ProgramRun::End::TimedOut, 0, {}, {}}; };
    FakeListView lsv;
    FakeComboBox cmb;
    ScanDrives(os, lsv, cmb);
    EXPECT_EQ(lsv.rows, Rows{"G:"});
    EXPECT_EQ(cmb.entries.size(), 24u);
}

TEST(RelistLetter, MakesBothListsAgreeWithTheSystem)
{
    FakeOs os;
    FakeListView lsv;
    FakeComboBox cmb;
    lsv.rows = {"K:"};
    cmb.entries = {"X:", "Y:"};

    os.devices["X:"] = "\\Device\\CdRom0";
    EXPECT_TRUE(RelistLetter(os, lsv, cmb, "X:"));
    os.Subst("Y:", "C:\\data");
    EXPECT_TRUE(RelistLetter(os, lsv, cmb, "Y:"));
    EXPECT_FALSE(RelistLetter(os, lsv, cmb, "K:")) << "K: is free now";
    EXPECT_FALSE(RelistLetter(os, lsv, cmb, "B:"));
    EXPECT_EQ(lsv.rows, Rows{"Y:"});
    EXPECT_EQ(cmb.entries, Rows{"K:"});
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
