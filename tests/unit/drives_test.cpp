#include <gtest/gtest.h>

#include "drives/scan.h"
#include "drives/subst.h"
#include "drives/targets.h"
#include "fakes/fake_controls.h"
#include "fakes/fake_os.h"

namespace kv::test {
namespace {

using Rows = std::vector<std::string>;

ProgramRun Ended(unsigned long code) { return {ProgramRun::End::Exited, code, {}, {}}; }

TEST(ScanDrives, SortsEveryLetterIntoItsListAndDeletesOnlyDrivesWhoseFolderIsGone)
{
    FakeOs os;
    os.devices["C:"] = "\\Device\\HarddiskVolume1";
    os.devices["N:"] = "\\Device\\LanmanRedirector\\;N:0\\server\\share";
    os.Subst("B:", "C:\\floppy image");
    os.Subst("D:", "C:\\");
    os.devices["G:"] = "\\??\\C:\\gone"; // its folder was removed
    os.devices["U:"] = "\\??\\UNC\\server\\share"; // a share that does not answer
    os.probes["\\\\server\\share"] = {PathProbe::State::NoAnswer, "timed out"};
    os.devices["E:"] = "\\??\\F:\\stick"; // on a disk not plugged in
    os.probes["F:\\stick"] = {PathProbe::State::NotReady, "not ready"};
    os.Subst("Z:", "C:\\data");
    FakeListView lsv;
    FakeComboBox cmb;
    ScanDrives(os, lsv, cmb);
    EXPECT_EQ(lsv.rows, (Rows{"B:", "D:", "E:", "U:", "Z:"}));
    Rows free;
    for (char c : std::string("AFHIJKLMOPQRSTVWXY"))
        free.push_back(std::string(1, c) + ":");
    EXPECT_EQ(cmb.rows, free) << "B is never offered; devices and drives in use are not free";
    EXPECT_EQ(os.runs, Rows{"G: /D"});
    EXPECT_FALSE(os.devices.count("G:"));

    // A drive whose folder is gone stays listed while subst keeps it.
    FakeOs kept;
    kept.devices["A:"] = "\\??\\C:\\gone";
    kept.onRun = [](const ProgramCall&) { return ProgramRun{ProgramRun::End::TimedOut, 0, {}, {}}; };
    FakeListView keptRows;
    FakeComboBox keptLetters;
    ScanDrives(kept, keptRows, keptLetters);
    EXPECT_EQ(keptRows.rows, Rows{"A:"});
    EXPECT_EQ(keptLetters.rows.size(), 24u);
}

TEST(RelistLetter, MakesBothListsAgreeWithTheSystem)
{
    FakeOs os;
    FakeListView lsv;
    FakeComboBox cmb;
    lsv.rows = {"K:"};
    cmb.rows = {"X:", "Y:"};
    os.devices["X:"] = "\\Device\\CdRom0";
    EXPECT_TRUE(RelistLetter(os, lsv, cmb, "X:"));
    os.Subst("Y:", "C:\\data");
    EXPECT_TRUE(RelistLetter(os, lsv, cmb, "Y:"));
    EXPECT_FALSE(RelistLetter(os, lsv, cmb, "K:")) << "K: is free now";
    EXPECT_FALSE(RelistLetter(os, lsv, cmb, "B:"));
    EXPECT_EQ(lsv.rows, Rows{"Y:"});
    EXPECT_EQ(cmb.rows, Rows{"K:"});
    // A letter already first in its list is listed once, not twice.
    EXPECT_FALSE(RelistLetter(os, lsv, cmb, "Y:"));
    EXPECT_FALSE(RelistLetter(os, lsv, cmb, "K:"));
    EXPECT_EQ(lsv.rows, Rows{"Y:"});
    EXPECT_EQ(cmb.rows, Rows{"K:"});
}

struct CreateDriveTest : ::testing::Test {
    FakeOs os;
    FakeComboBox cmb;
    FakeListView lsv;
    FakeFolderChooser dir;

    // subst's arguments and the message the user saw.
    std::pair<std::string, std::string> CreateFrom(const std::string& letter, const std::string& folder)
    {
        cmb.rows = {"W:", "X:", "Y:"};
        cmb.Select(letter);
        dir.path = folder;
        os.messages.clear();
        os.runs.clear();
        CreateDrive(os, cmb, lsv, dir);
        EXPECT_EQ(os.messages.size(), 1u);
        return {os.runs.empty() ? "" : os.runs.back(), os.messages.back().text};
    }
};

TEST_F(CreateDriveTest, HandsSubstTheFolderAsOneArgumentAndMovesTheLetter)
{
    using Made = std::pair<std::string, std::string>;
    os.shortNames["C:\\Program Files\\Data"] = "C:\\PROGRA~1\\DATA";
    os.folders.insert("C:\\PROGRA~1\\DATA");
    EXPECT_EQ(CreateFrom("X:", "C:\\Program Files\\Data"), Made("X: C:\\PROGRA~1\\DATA", "Virtual drive X: created."));
    EXPECT_EQ(cmb.rows, (Rows{"W:", "Y:"}));
    EXPECT_EQ(lsv.rows, Rows{"X:"});
    EXPECT_EQ(cmb.editText, "Avaliable Drives:");
    EXPECT_EQ(cmb.selected, kNoSelection);
    os.folders.insert("D:\\");
    EXPECT_EQ(CreateFrom("W:", "D:\\").first, "W: D:\\");
    // Quoted where the short form keeps a blank, and then taken as made even
    // when the long form cannot be had.
    os.folders.insert("C:\\No Short Form");
    EXPECT_EQ(CreateFrom("Y:", "C:\\No Short Form").first, "Y: \"C:\\No Short Form\"");
    os.devices.erase("Y:");
    os.shortNames["C:\\My Docs\\Sub Dir"] = "C:\\My Docs\\SUBDIR~1";
    os.folders.insert("C:\\My Docs\\SUBDIR~1");
    EXPECT_EQ(CreateFrom("Y:", "C:\\My Docs\\Sub Dir"), Made("Y: \"C:\\My Docs\\SUBDIR~1\"", "Virtual drive Y: created."));
}

// Whatever went wrong, the user hears why, and the letter's place in the
// lists follows what the system says about it now.
TEST_F(CreateDriveTest, ReportsADriveThatWasNotMadeWithTheReason)
{
    const std::pair<std::function<ProgramRun(const ProgramCall&)>, std::string> failures[] = {
        {[](const ProgramCall&) { return ProgramRun{ProgramRun::End::NotStarted, 0, {}, "Not found."}; },
         "the system program subst.exe could not be started (Not found.)"},
        {[](const ProgramCall&) { return ProgramRun{ProgramRun::End::TimedOut, 0, {}, {}}; },
         "the system program subst.exe did not finish within 8 seconds"},
        {[](const ProgramCall&) { return Ended(0); }, "X: does not stand for C:\\windows after subst.exe ran"},
        {[](const ProgramCall&) { return Ended(3); }, "subst.exe ended with exit code 3"},
    };
    for (const auto& [run, why] : failures) {
        os.onRun = run;
        EXPECT_EQ(CreateFrom("X:", "C:\\windows").second, "Virtual drive X: could not be created: " + why + ".");
        EXPECT_EQ(os.messages.back().style, MsgStyle::Critical);
        EXPECT_EQ(cmb.selected, 1) << "a letter still free stays offered and chosen, for another try";
    }
    os.onRun = nullptr;
    EXPECT_TRUE(lsv.rows.empty());

    os.devices["W:"] = "\\Device\\HarddiskVolume3"; // taken by another program a moment ago
    EXPECT_EQ(CreateFrom("W:", "C:\\windows").second,
              "Virtual drive W: could not be created: subst.exe answered \"Drive already SUBSTed\".");
    EXPECT_EQ(cmb.rows, (Rows{"X:", "Y:"}));
    EXPECT_EQ(cmb.editText, "Avaliable Drives:");
    // Made a drive for another folder by another program, one whose name
    // only begins the same.
    os.onRun = [&](const ProgramCall&) {
        os.Subst("X:", "C:\\windows2");
        return Ended(0);
    };
    EXPECT_EQ(CreateFrom("X:", "C:\\windows").second,
              "Virtual drive X: could not be created: X: does not stand for C:\\windows after subst.exe ran.");
    EXPECT_EQ(lsv.rows, (Rows{"X:"}));
    EXPECT_EQ(cmb.rows, (Rows{"W:", "Y:"}));

    // The file system's own comparison: letter case and a closing separator aside.
    os.onRun = [&](const ProgramCall&) {
        os.devices["Y:"] = "\\??\\c:\\WINDOWS\\";
        return Ended(0);
    };
    EXPECT_EQ(CreateFrom("Y:", "C:\\windows").second, "Virtual drive Y: created.");
}

TEST(Subst, PresenceVerifiedDeletionAndDefinition)
{
    FakeOs os;
    EXPECT_FALSE(SubstPresent(os));
    EXPECT_EQ(SubstPath, "C:\\windows\\system32\\subst.exe");
    os.files[SubstPath] = "MZ";
    EXPECT_TRUE(SubstPresent(os));

    os.Subst("X:", "C:\\data");
    EXPECT_TRUE(DeleteDrive(os, "X:").done);
    EXPECT_EQ(os.runs, Rows{"X: /D"});
    EXPECT_FALSE(os.devices.count("X:"));
    os.Subst("Y:", "C:\\data");
    os.onRun = [](const ProgramCall&) { return Ended(0); };
    EXPECT_EQ(DeleteDrive(os, "Y:").why, "Y: is still in use after subst.exe ran") << "the exit code is not trusted";

    // Nor is the definition: another program may take the letter meanwhile.
    os.onDefine = [&] { os.devices["Q:"] = "\\??\\C:\\other"; };
    EXPECT_EQ(DefineDrive(os, {"Q:", "C:\\windows"}, true).why, "Q: does not stand for C:\\windows after it was defined");
}

TEST(DriveTargets, GiveTheStoredAndTheLongFolder)
{
    FakeOs os;
    os.shortNames["C:\\Program Files\\Data"] = "C:\\PROGRA~1\\DATA";
    os.Subst("X:", "C:\\PROGRA~1\\DATA");
    EXPECT_EQ(GetDriveTarget(os, "X:"), "C:\\PROGRA~1\\DATA");
    EXPECT_EQ(GetDriveLongTarget(os, "X:"), "C:\\Program Files\\Data");
    os.Subst("D:", "C:\\");
    EXPECT_EQ(GetDriveLongTarget(os, "D:"), "C:\\");
    EXPECT_EQ(GetDriveTarget(os, "Q:"), std::nullopt);
    EXPECT_EQ(GetDriveLongTarget(os, "Q:"), "");
    os.devices["G:"] = "\\??\\C:\\gone";
    EXPECT_EQ(GetDriveLongTarget(os, "G:"), "");
    // 255 characters and the NUL are what the places that show it take; a
    // longer long form leaves the folder as the drive stores it.
    for (const std::size_t length : {255, 256}) {
        const std::string deep = "C:\\" + std::string(length - 3, 'd');
        os.shortNames[deep] = "C:\\DDDDDD~" + std::to_string(length);
        os.Subst("L:", os.shortNames[deep]);
        EXPECT_EQ(GetDriveLongTarget(os, "L:"), length == 255 ? deep : os.shortNames[deep]);
    }
    // A share is not asked (its server may not answer) unless a short name needs expanding.
    os.devices["N:"] = "\\??\\UNC\\nas\\media\\Films";
    EXPECT_EQ(GetDriveLongTarget(os, "N:"), "\\\\nas\\media\\Films");
    os.shortNames["\\\\nas\\media\\Old Films"] = "\\\\nas\\media\\OLDFIL~1";
    os.devices["O:"] = "\\??\\UNC\\nas\\media\\OLDFIL~1";
    EXPECT_EQ(GetDriveLongTarget(os, "O:"), "\\\\nas\\media\\Old Films");
}

} // namespace
} // namespace kv::test
