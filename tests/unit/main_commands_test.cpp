#include <gtest/gtest.h>

#include "fakes/fake_controls.h"
#include "fakes/fake_os.h"
#include "ui/main/main_commands.h"

namespace kv::test {
namespace {

using Rows = std::vector<std::string>;

struct MainCommandsTest : ::testing::Test {
    FakeOs os;
    FakeListView lsv;
    FakeComboBox cmb;
    FakeComboBox lst;
    FakeDriveChooser drive;
    FakeFolderChooser dir;
    FakeProgressBar pb;
    FakeStatusBar sb;
    FakeTimer tmr, tmr2;
    FakeWindow window;
    FakeSlowCalls slow{os};
    MainCommands commands{os, {lsv, cmb, lst, drive, dir, pb, sb, tmr, tmr2, window}, slow};

    void SetUp() override
    {
        os.folders.insert("C:\\Tools\\kordat");
        cmb.entries = {"W:", "Y:"};
        os.Subst("X:", "C:\\windows");
        lsv.rows = {"X:"};
    }
    // Ticks a paced command until its timer stops, recording the bar and the
    // window's state after each tick.
    std::vector<std::string> RunTicks(FakeTimer& timer, void (MainCommands::*tick)())
    {
        std::vector<std::string> seen;
        for (int i = 0; i < 10 && timer.enabled; ++i) {
            (commands.*tick)();
            seen.push_back(std::to_string(pb.value) + (window.enabled ? " enabled" : " busy") +
                           (window.waitCursor ? " wait" : ""));
        }
        return seen;
    }
};

TEST_F(MainCommandsTest, CreateAsksForALetterFirst)
{
    commands.CreateDriveCommand();
    ASSERT_EQ(os.messages.size(), 1u);
    EXPECT_EQ(os.messages[0].text, "Please choose a drive to created from the avaliable drives.");
    EXPECT_EQ(os.messages[0].style, MsgStyle::Information);
    EXPECT_TRUE(cmb.focused);
    EXPECT_FALSE(tmr.enabled);
}

TEST_F(MainCommandsTest, CreateFillsTheBarThenMakesTheDriveOnce)
{
    cmb.Select("W:");
    commands.CreateDriveCommand();
    EXPECT_TRUE(tmr.enabled);
    EXPECT_TRUE(window.enabled) << "the first interval is quiet";
    os.onMessage = [&] { EXPECT_EQ(pb.value, 100); EXPECT_FALSE(tmr.enabled); };

    EXPECT_EQ(RunTicks(tmr, &MainCommands::OnCreateTick),
              (Rows{"20 busy wait", "40 busy wait", "60 busy wait", "80 busy wait", "0 enabled"}));
    ASSERT_EQ(os.runs.size(), 1u);
    EXPECT_EQ(os.runs[0].arguments, "W: C:\\windows");
    EXPECT_EQ(lsv.rows, (Rows{"X:", "W:"}));
    EXPECT_EQ(drive.refreshes, 1) << "the drive list learns the new letter";
}

TEST_F(MainCommandsTest, RemoveAsksAndRespectsTheAnswer)
{
    commands.RemoveDriveCommand();
    EXPECT_EQ(os.messages.back().text, "You must select a drive to delete!");
    EXPECT_TRUE(lsv.focused);

    lsv.Select("X:");
    os.answers.push_back(Answer::No);
    commands.RemoveDriveCommand();
    EXPECT_EQ(os.messages.back().text, "Delete virtual drive X: ?");
    EXPECT_EQ(os.messages.back().style, MsgStyle::Question);
    EXPECT_FALSE(tmr2.enabled);
    EXPECT_TRUE(os.runs.empty());
}

TEST_F(MainCommandsTest, RemoveDeletesTheDriveAndForgetsItsSave)
{
    lst.entries = {" X: ", "Y:", "x:"};
    os.files["C:\\Tools\\kordat\\X.ini"] = "C:\\windows\r\n";
    drive.drive = "D:";
    lsv.Select("X:");
    commands.RemoveDriveCommand();
    os.onMessage = [&] { EXPECT_EQ(lsv.rows, Rows{"X:"}) << "still listed while the message is open"; };

    EXPECT_EQ(RunTicks(tmr2, &MainCommands::OnRemoveTick).back(), "0 enabled");
    EXPECT_EQ(os.runs.back().arguments, "X: /D");
    EXPECT_EQ(os.messages.back().text, "Virtual drive X: has been deleted!");
    EXPECT_EQ(lsv.rows, Rows{});
    EXPECT_EQ(lst.entries, (Rows{"Y:", "x:"})) << "trimmed, case-sensitive match";
    EXPECT_FALSE(os.files.count("C:\\Tools\\kordat\\X.ini"));
    EXPECT_EQ(cmb.entries, (Rows{"W:", "X:", "Y:"}));
    EXPECT_EQ(drive.drive, "C:");
    EXPECT_EQ(dir.path, "C:\\current");

    // A record that cannot go keeps its entry, and the user is told why.
    os.onMessage = nullptr;
    os.Subst("Y:", "C:\\windows");
    lsv.rows = {"Y:"};
    os.files["C:\\Tools\\kordat\\Y.ini"] = "C:\\windows\r\n";
    os.lockedFiles.insert("C:\\Tools\\kordat\\Y.ini");
    lsv.Select("Y:");
    commands.RemoveDriveCommand();
    RunTicks(tmr2, &MainCommands::OnRemoveTick);
    EXPECT_EQ(os.messages.back().text,
              "Virtual drive Y: has been deleted, but saved drive Y: could not be removed: Access is denied.");
    EXPECT_EQ(os.messages.back().style, MsgStyle::Critical);
    EXPECT_FALSE(os.devices.count("Y:"));
    EXPECT_EQ(lst.entries, (Rows{"Y: (not present)", "x:"}));
}

TEST_F(MainCommandsTest, RemoveTakesTheConfirmedDriveWhereverTheSelectionMoved)
{
    os.Subst("H:", "C:\\windows\\system32");
    lsv.rows = {"H:", "X:"};
    lsv.Select("X:");
    commands.RemoveDriveCommand();
    lsv.Select("H:"); // a click in the quiet first interval
    EXPECT_EQ(RunTicks(tmr2, &MainCommands::OnRemoveTick).back(), "0 enabled");
    EXPECT_EQ(os.runs.back().arguments, "X: /D");
    EXPECT_EQ(os.messages.back().text, "Virtual drive X: has been deleted!");
    EXPECT_EQ(lsv.rows, Rows{"H:"});
    EXPECT_TRUE(os.devices.count("H:"));

    lsv.selected = kNoSelection;
    lsv.Select("H:");
    commands.RemoveDriveCommand();
    lsv.selected = kNoSelection;
    os.devices.erase("H:"); // removed by another program meanwhile
    const auto shown = os.messages.size();
    EXPECT_EQ(RunTicks(tmr2, &MainCommands::OnRemoveTick).back(), "0 enabled");
    EXPECT_EQ(os.runs.size(), 1u);
    EXPECT_EQ(os.messages.size(), shown) << "nothing to say";
    EXPECT_EQ(lsv.rows, Rows{});
    EXPECT_EQ(cmb.entries, (Rows{"H:", "W:", "X:", "Y:"}));
}

// A box opened in the quiet first interval holds the window; the command
// waits for it rather than enabling the window behind it.
TEST_F(MainCommandsTest, APacedCommandWaitsForAnOpenMessageBox)
{
    cmb.Select("W:");
    commands.CreateDriveCommand();
    window.enabled = false;
    commands.OnCreateTick();
    commands.OnCreateTick();
    EXPECT_EQ(pb.value, 0);
    EXPECT_FALSE(window.enabled);
    window.enabled = true;
    EXPECT_EQ(RunTicks(tmr, &MainCommands::OnCreateTick).size(), 5u);
    EXPECT_EQ(os.runs.size(), 1u);
}

TEST_F(MainCommandsTest, RemoveKeepsEverythingWhenSubstRefuses)
{
    lst.entries = {"X:"};
    os.files["C:\\Tools\\kordat\\X.ini"] = "C:\\windows\r\n";
    os.onRun = [](const ProgramCall&) { return ProgramRun{ProgramRun::End::Exited, 5, "Access denied\r\n", {}}; };
    lsv.Select("X:");
    commands.RemoveDriveCommand();
    EXPECT_EQ(RunTicks(tmr2, &MainCommands::OnRemoveTick).back(), "0 enabled");
    EXPECT_EQ(os.messages.back().style, MsgStyle::Critical);
    EXPECT_EQ(os.messages.back().text, "Virtual drive X: could not be deleted: subst.exe answered \"Access denied\".");
    EXPECT_EQ(lsv.rows, Rows{"X:"});
    EXPECT_EQ(lst.entries, Rows{"X:"});
    EXPECT_TRUE(os.files.count("C:\\Tools\\kordat\\X.ini"));
    EXPECT_EQ(cmb.entries, (Rows{"W:", "Y:"}));
}

TEST_F(MainCommandsTest, SaveWritesTheRecordOnceAndListsOnlyWhatIsSaved)
{
    commands.SaveDriveCommand();
    os.Subst("W:", "C:\\Work");
    lsv.rows = {"X:", "W:"};
    lsv.Select("X:");
    commands.SaveDriveCommand();
    os.files["C:\\Tools\\kordat\\X.ini"] = "kept";
    commands.SaveDriveCommand();
    lsv.Select("W:");
    commands.SaveDriveCommand();
    EXPECT_EQ(lst.entries, (Rows{"W:", "X:"}));
    EXPECT_EQ(os.files["C:\\Tools\\kordat\\X.ini"], "kept");
    EXPECT_EQ(os.files["C:\\Tools\\kordat\\W.ini"], "C:\\Work\r\n");
    EXPECT_TRUE(os.messages.empty());

    // A save whose drive was not there is replaced by the drive there now.
    lst.entries = {"W: (not present)", "X:"};
    os.files["C:\\Tools\\kordat\\W.ini"] = "C:\\Old\r\n";
    commands.SaveDriveCommand();
    EXPECT_EQ(lst.entries, (Rows{"W:", "X:"}));
    EXPECT_EQ(os.files["C:\\Tools\\kordat\\W.ini"], "C:\\Work\r\n");

    // The companion would never bring back a share, so it is not saved.
    os.devices["U:"] = "\\??\\UNC\\server\\share\\dir";
    lsv.rows.push_back("U:");
    lsv.Select("U:");
    commands.SaveDriveCommand();
    EXPECT_EQ(os.messages.back().text, "Virtual drive U: could not be saved: its folder \\\\server\\share\\dir is on a "
                                       "network path, and only folders on a drive letter come back at logon.");
    EXPECT_EQ(os.messages.back().style, MsgStyle::Critical);
    EXPECT_FALSE(os.files.count("C:\\Tools\\kordat\\U.ini"));
    EXPECT_EQ(lst.entries, (Rows{"W:", "X:"}));
    os.messages.clear();
    lsv.Select("W:");

    lst.entries.clear();
    os.folders.erase("C:\\Tools\\kordat");
    os.onMessage = [&] { EXPECT_FALSE(window.enabled); };
    commands.SaveDriveCommand();
    ASSERT_EQ(os.messages.size(), 1u);
    EXPECT_EQ(os.messages[0].text, "Virtual drive W: could not be saved: The system cannot find the path specified.");
    EXPECT_EQ(os.messages[0].style, MsgStyle::Critical);
    EXPECT_EQ(lst.entries, Rows{});
    EXPECT_TRUE(window.enabled && !window.waitCursor);
}

TEST_F(MainCommandsTest, RemoveSaveForgetsTheSelectedEntryOnly)
{
    lst.entries = {"W:", "X: (not present)"};
    os.files["C:\\Tools\\kordat\\X.ini"] = "C:\\windows\r\n";
    commands.RemoveSaveCommand();
    EXPECT_EQ(os.messages.back().text, "Please select a drive to remove!");
    EXPECT_EQ(os.messages.back().style, MsgStyle::Information);
    EXPECT_TRUE(lst.focused && window.enabled && !window.waitCursor);

    lst.Select("X: (not present)");
    commands.RemoveSaveCommand();
    EXPECT_EQ(lst.entries, Rows{"W:"});
    EXPECT_TRUE(os.files.empty());
    EXPECT_EQ(os.devices.count("X:"), 1u) << "the drive itself stays";

    os.files["C:\\Tools\\kordat\\W.ini"] = "C:\\w\r\n";
    os.lockedFiles.insert("C:\\Tools\\kordat\\W.ini");
    lst.Select("W:");
    commands.RemoveSaveCommand();
    EXPECT_EQ(os.messages.back().text, "Saved drive W: could not be removed: Access is denied.");
    EXPECT_EQ(os.messages.back().style, MsgStyle::Critical);
    EXPECT_EQ(lst.entries, Rows{"W:"}) << "the record stays, so does its entry";
    EXPECT_TRUE(window.enabled && !window.waitCursor);
}

TEST_F(MainCommandsTest, OnePacedCommandAtATime)
{
    cmb.Select("W:");
    lsv.Select("X:");
    commands.RemoveDriveCommand();
    commands.CreateDriveCommand(); // during the quiet first interval
    EXPECT_EQ(os.beeps, 1);
    EXPECT_FALSE(tmr.enabled);
    commands.OnRemoveTick();
    commands.CreateDriveCommand();
    commands.RemoveDriveCommand();
    EXPECT_EQ(os.beeps, 3);
    EXPECT_EQ(RunTicks(tmr2, &MainCommands::OnRemoveTick).size(), 4u);
    EXPECT_EQ(os.runs.size(), 1u);
    EXPECT_EQ(pb.value, 0);
}

TEST_F(MainCommandsTest, DriveChangeRecoversFromAnUnreadableDrive)
{
    drive.drive = "A:";
    dir.unreadable = {"A:"};
    commands.OnDriveChange();
    ASSERT_EQ(os.messages.size(), 1u);
    EXPECT_EQ(os.messages[0].text, "The device is not ready.");
    EXPECT_EQ(os.messages[0].style, MsgStyle::Critical);
    EXPECT_EQ(drive.drive, "C:");
    EXPECT_EQ(dir.path, "C:\\current");
}

TEST_F(MainCommandsTest, StatusAndOpenPathUseTheLongFolderOfTheSelectedDrive)
{
    os.folders.insert("C:\\Long Name");
    os.shortNames["C:\\Long Name"] = "C:\\LONG~1";
    os.Subst("L:", "C:\\LONG~1");
    lsv.rows = {"L:"};
    commands.ShowStatus();
    commands.OpenPathCommand();
    EXPECT_EQ(sb.text, "");
    EXPECT_TRUE(os.launches.empty());

    lsv.Select("L:");
    commands.ShowStatus();
    commands.OpenPathCommand();
    EXPECT_EQ(sb.text, "C:\\Long Name");
    ASSERT_EQ(os.launches.size(), 1u);
    EXPECT_EQ(os.launches[0].verb, "explore");
    EXPECT_EQ(os.launches[0].file, "C:\\Long Name");
    EXPECT_EQ(os.launches[0].show, kShowNormal);

    commands.ShowManualCommand();
    EXPECT_EQ(os.launches.back().file, "C:\\Tools\\manual.html");
}

// The long form is asked away from the window's thread; a drive that answers
// late or never is held here by the test.
TEST_F(MainCommandsTest, StatusShowsTheStoredFolderUntilItsLongFormComesForTheLatestClick)
{
    for (const char* name : {"Long Name", "Other Name"})
        os.folders.insert(std::string("C:\\") + name);
    os.shortNames["C:\\Long Name"] = "C:\\LONG~1";
    os.shortNames["C:\\Other Name"] = "C:\\OTHER~1";
    os.Subst("L:", "C:\\LONG~1");
    os.Subst("M:", "C:\\OTHER~1");
    lsv.rows = {"L:", "M:"};
    slow.hold = true;

    lsv.Select("L:");
    commands.ShowStatus();
    EXPECT_EQ(sb.text, "C:\\LONG~1");
    lsv.Select("M:");
    commands.ShowStatus();
    slow.Answer(1);
    EXPECT_EQ(sb.text, "C:\\Other Name");
    slow.Answer(0);
    EXPECT_EQ(sb.text, "C:\\Other Name") << "the answer for the earlier click came late";

    commands.ShowStatus();
    slow.Answer(2, false);
    EXPECT_EQ(sb.text, "C:\\OTHER~1") << "no answer within the bound";
    commands.OpenPathCommand();
    EXPECT_TRUE(os.launches.empty()) << "nothing opens before the answer or the bound";
    slow.Answer(3, false);
    ASSERT_EQ(os.launches.size(), 1u);
    EXPECT_EQ(os.launches[0].file, "C:\\OTHER~1");
}

TEST_F(MainCommandsTest, DeepFolderShowsItsLongFormAndOpensByItsShortOne)
{
    const std::string deep = "C:\\" + std::string(300, 'd');
    os.folders.insert(deep);
    os.shortNames[deep] = "C:\\DDDDDD~1";
    os.Subst("D:", "C:\\DDDDDD~1");
    lsv.rows = {"D:"};
    lsv.Select("D:");
    commands.ShowStatus();
    EXPECT_EQ(sb.text, deep);
    commands.OpenPathCommand();
    ASSERT_EQ(os.launches.size(), 1u);
    EXPECT_EQ(os.launches[0].file, "C:\\DDDDDD~1") << "too long for the shell as it is";
}

} // namespace
} // namespace kv::test
