#include <gtest/gtest.h>

#include "drives/subst.h"
#include "fakes/fake_controls.h"
#include "fakes/fake_os.h"

namespace kv::test {
namespace {

struct CreateDriveTest : ::testing::Test {
    FakeOs os;
    FakeComboBox cmb;
    FakeListView lsv;
    FakeFolderChooser dir;

    void SetUp() override
    {
        cmb.entries = {"W:", "X:", "Y:"};
        cmb.Select("X:");
    }
    std::string CreateFrom(const std::string& folder)
    {
        dir.path = folder;
        CreateDrive(os, cmb, lsv, dir);
        return os.runs.empty() ? "" : os.runs.back().arguments;
    }
    static ProgramRun Ended(unsigned long code, const std::string& output = {})
    {
        return {ProgramRun::End::Exited, code, output, {}};
    }
};

TEST_F(CreateDriveTest, MovesTheLetterAndReportsTheNewDrive)
{
    os.shortNames["C:\\Program Files\\Data"] = "C:\\PROGRA~1\\DATA";
    os.folders.insert("C:\\PROGRA~1\\DATA");
    EXPECT_EQ(CreateFrom("C:\\Program Files\\Data"), "X: C:\\PROGRA~1\\DATA");
    EXPECT_EQ(os.runs[0].path, "C:\\windows\\system32\\subst.exe") << "never by bare name";
    EXPECT_EQ(os.devices["X:"], "\\??\\C:\\PROGRA~1\\DATA");
    EXPECT_EQ(lsv.rows, (std::vector<std::string>{"X:"}));
    EXPECT_EQ(cmb.entries, (std::vector<std::string>{"W:", "Y:"}));
    EXPECT_EQ(cmb.editText, "Avaliable Drives:");
    EXPECT_EQ(cmb.selected, kNoSelection);
    ASSERT_EQ(os.messages.size(), 1u);
    EXPECT_EQ(os.messages[0].text, "Virtual drive X: created.");
    EXPECT_EQ(os.messages[0].style, MsgStyle::Information);

    // subst gets the whole folder as one argument: a root, or quoted when
    // blanks have no short form.
    os.folders.insert("D:\\");
    cmb.Select("W:");
    EXPECT_EQ(CreateFrom("D:\\"), "W: D:\\");
    os.folders.insert("C:\\No Short Form");
    os.shortNames["C:\\No Short Form"] = "C:\\No Short Form";
    cmb.Select("Y:");
    EXPECT_EQ(CreateFrom("C:\\No Short Form"), "Y: \"C:\\No Short Form\"");
    EXPECT_EQ(lsv.rows, (std::vector<std::string>{"X:", "W:", "Y:"}));
}

// Whatever went wrong, the user hears why, and the letter's place in the
// lists follows what the system says about it now.
TEST_F(CreateDriveTest, ReportsADriveThatWasNotMadeWithTheReason)
{
    auto failureFor = [&](std::function<ProgramRun(const ProgramCall&)> run) {
        os.onRun = std::move(run);
        os.messages.clear();
        CreateFrom("C:\\windows");
        EXPECT_EQ(os.messages.size(), 1u);
        EXPECT_EQ(os.messages.back().style, MsgStyle::Critical);
        return os.messages.back().text;
    };
    EXPECT_EQ(failureFor([](const ProgramCall&) {
                  return ProgramRun{ProgramRun::End::NotStarted, 0, {}, "The system cannot find the file specified."};
              }),
              "Virtual drive X: could not be created: the system program subst.exe could not be started "
              "(The system cannot find the file specified.).");
    EXPECT_EQ(failureFor([](const ProgramCall&) { return ProgramRun{ProgramRun::End::TimedOut, 0, {}, {}}; }),
              "Virtual drive X: could not be created: the system program subst.exe did not finish within 8 seconds.");
    EXPECT_EQ(failureFor([](const ProgramCall&) { return Ended(0); }),
              "Virtual drive X: could not be created: X: does not stand for C:\\windows after subst.exe ran.");
    EXPECT_EQ(failureFor([](const ProgramCall&) { return Ended(3); }),
              "Virtual drive X: could not be created: subst.exe ended with exit code 3.");
    EXPECT_TRUE(lsv.rows.empty());
    EXPECT_EQ(cmb.entries, (std::vector<std::string>{"W:", "X:", "Y:"})) << "a letter still free stays offered";
    EXPECT_EQ(cmb.selected, 1) << "and chosen, for another try";

    os.devices["X:"] = "\\Device\\HarddiskVolume3"; // taken by another program a moment ago
    EXPECT_EQ(failureFor(nullptr),
              "Virtual drive X: could not be created: subst.exe answered \"Drive already SUBSTed\".");
    EXPECT_EQ(cmb.entries, (std::vector<std::string>{"W:", "Y:"}));
    EXPECT_EQ(cmb.editText, "Avaliable Drives:");
    EXPECT_EQ(cmb.selected, kNoSelection);

    os.Subst("Y:", "C:\\elsewhere"); // made a virtual drive by another program
    cmb.Select("Y:");
    failureFor(nullptr);
    EXPECT_EQ(lsv.rows, (std::vector<std::string>{"Y:"}));
    EXPECT_EQ(cmb.entries, (std::vector<std::string>{"W:"}));

    // A folder whose name only begins the same is another folder.
    cmb.Select("W:");
    EXPECT_EQ(failureFor([&](const ProgramCall&) {
                  os.Subst("W:", "C:\\windows2");
                  return Ended(0);
              }),
              "Virtual drive W: could not be created: W: does not stand for C:\\windows after subst.exe ran.");

    // The file system's own comparison: letter case and a closing separator aside.
    cmb.entries = {"V:"};
    cmb.Select("V:");
    os.onRun = [&](const ProgramCall&) {
        os.devices["V:"] = "\\??\\c:\\WINDOWS\\";
        return Ended(0);
    };
    os.messages.clear();
    CreateFrom("C:\\windows");
    EXPECT_EQ(os.messages.back().text, "Virtual drive V: created.");
}

TEST(Subst, PresenceAndVerifiedDeletion)
{
    FakeOs os;
    EXPECT_FALSE(SubstPresent(os));
    EXPECT_EQ(SubstPath, "C:\\windows\\system32\\subst.exe");
    os.files[SubstPath] = "MZ";
    EXPECT_TRUE(SubstPresent(os));

    os.Subst("X:", "C:\\data");
    EXPECT_TRUE(DeleteDrive(os, "X:").done);
    EXPECT_EQ(os.runs.back().arguments, "X: /D");
    EXPECT_FALSE(os.devices.count("X:"));

    os.Subst("Y:", "C:\\data");
    os.onRun = [](const ProgramCall&) { return ProgramRun{ProgramRun::End::Exited, 0, {}, {}}; };
    const SubstOutcome stayed = DeleteDrive(os, "Y:");
    EXPECT_FALSE(stayed.done) << "a clean exit does not count when the drive is still there";
    EXPECT_EQ(stayed.why, "Y: is still in use after subst.exe ran");
}

} // namespace
} // namespace kv::test
