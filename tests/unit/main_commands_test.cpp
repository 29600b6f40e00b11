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
        cmb.rows = {"W:", "Y:"};
        os.Subst("X:", "C:\\windows");
        lsv.rows = {"X:"};
    }
    // Ticks a paced command until its timer stops, recording the bar and the
    // window's state after each tick.
    Rows RunTicks(FakeTimer& timer, void (MainCommands::*tick)())
    {
        Rows seen;
        for (int i = 0; i < 10 && timer.enabled; ++i) {
            (commands.*tick)();
            seen.push_back(std::to_string(pb.value) + (window.enabled ? " enabled" : " busy") +
                           (window.waitCursor ? " wait" : ""));
        }
        return seen;
    }
    void Remove(const std::string& row)
    {
        lsv.Select(row);
        commands.RemoveDriveCommand();
        EXPECT_EQ(RunTicks(tmr2, &MainCommands::OnRemoveTick).back(), "0 enabled");
    }
};

TEST_F(MainCommandsTest, CreateFillsTheBarThenMakesTheDriveOnce)
{
    cmb.Select("W:");
    commands.CreateDriveCommand();
    EXPECT_TRUE(window.enabled) << "the first interval is quiet";
    os.onMessage = [&] { EXPECT_EQ(pb.value, 100); };
    EXPECT_EQ(RunTicks(tmr, &MainCommands::OnCreateTick),
              (Rows{"20 busy wait", "40 busy wait", "60 busy wait", "80 busy wait", "0 enabled"}));
    EXPECT_EQ(os.runs, Rows{"W: C:\\windows"});
    EXPECT_EQ(lsv.rows, (Rows{"X:", "W:"}));
    EXPECT_EQ(drive.refreshes, 1) << "the drive list learns the new letter";

    // A letter given up meanwhile makes nothing.
    cmb.Select("Y:");
    commands.CreateDriveCommand();
    cmb.SetEditText("Avaliable Drives:");
    EXPECT_EQ(RunTicks(tmr, &MainCommands::OnCreateTick).back(), "0 enabled");
    EXPECT_EQ(os.runs.size(), 1u);
}

TEST_F(MainCommandsTest, RemoveDeletesTheConfirmedDriveAndForgetsItsSave)
{
    lst.rows = {" X: ", "Y:", "x:"};
    os.files["C:\\Tools\\kordat\\X.ini"] = "C:\\windows\r\n";
    drive.drive = "D:";
    os.onMessage = [&] { EXPECT_EQ(lsv.rows, Rows{"X:"}) << "still listed while the message is open"; };
    Remove("X:");
    EXPECT_EQ(os.runs, Rows{"X: /D"});
    EXPECT_EQ(os.messages.back(), (ShownMessage{"Virtual drive X: has been deleted!", MsgStyle::Information}));
    EXPECT_EQ(lsv.rows, Rows{});
    EXPECT_EQ(lst.rows, (Rows{"Y:", "x:"})) << "trimmed, case-sensitive match";
    EXPECT_FALSE(os.files.count("C:\\Tools\\kordat\\X.ini"));
    EXPECT_EQ(cmb.rows, (Rows{"W:", "X:", "Y:"}));
    EXPECT_EQ(drive.drive, "C:");
    EXPECT_EQ(drive.refreshes, 1);
    EXPECT_EQ(dir.path, "C:\\current");

    // A record that cannot go keeps its entry, and the user is told why.
    os.onMessage = nullptr;
    os.Subst("H:", "C:\\windows");
    os.Subst("V:", "C:\\windows");
    lsv.rows = {"V:", "H:"};
    lst.Add("V:");
    os.files["C:\\Tools\\kordat\\V.ini"] = "C:\\windows\r\n";
    os.lockedFiles.insert("C:\\Tools\\kordat\\V.ini");
    Remove("V:");
    EXPECT_EQ(os.messages.back(), (ShownMessage{"Virtual drive V: has been deleted, but saved drive V: could not be "
                                                "removed: Access is denied.",
                                                MsgStyle::Critical}));
    EXPECT_FALSE(os.devices.count("V:"));
    EXPECT_EQ(lst.rows, (Rows{"V: (not present)", "Y:", "x:"}));

    // The drive removed is the one confirmed, wherever the selection moved.
    os.Subst("K:", "C:\\windows");
    lsv.rows = {"H:", "K:"};
    lsv.Select("K:");
    commands.RemoveDriveCommand();
    lsv.Select("H:"); // a click in the quiet first interval
    RunTicks(tmr2, &MainCommands::OnRemoveTick);
    EXPECT_EQ(os.runs.back(), "K: /D");
    EXPECT_EQ(lsv.rows, Rows{"H:"});
    // One removed by another program meanwhile is only no longer listed.
    lsv.Select("H:");
    commands.RemoveDriveCommand();
    os.devices.erase("H:");
    const auto shown = os.messages.size();
    EXPECT_EQ(RunTicks(tmr2, &MainCommands::OnRemoveTick).back(), "0 enabled");
    EXPECT_EQ(os.runs.size(), 3u);
    EXPECT_EQ(os.messages.size(), shown) << "nothing to say";
    EXPECT_EQ(lsv.rows, Rows{});
    EXPECT_EQ(cmb.rows, (Rows{"H:", "K:", "V:", "W:", "X:", "Y:"}));
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
    EXPECT_EQ(lst.rows, (Rows{"W:", "X:"}));
    EXPECT_EQ(os.files["C:\\Tools\\kordat\\X.ini"], "kept");
    EXPECT_EQ(os.files["C:\\Tools\\kordat\\W.ini"], "C:\\Work\r\n");
    EXPECT_TRUE(os.messages.empty());
    // A save whose drive was not there is replaced by the drive there now.
    lst.rows = {"W: (not present)", "X:"};
    os.files["C:\\Tools\\kordat\\W.ini"] = "C:\\Old\r\n";
    commands.SaveDriveCommand();
    EXPECT_EQ(lst.rows, (Rows{"W:", "X:"}));
    EXPECT_EQ(os.files["C:\\Tools\\kordat\\W.ini"], "C:\\Work\r\n");

    // The companion would never bring back a share, so it is not saved.
    os.devices["U:"] = "\\??\\UNC\\server\\share\\dir";
    lsv.rows.push_back("U:");
    lsv.Select("U:");
    os.onMessage = [&] { EXPECT_TRUE(!window.enabled && window.waitCursor) << "busy while the box is open"; };
    commands.SaveDriveCommand();
    EXPECT_EQ(os.messages.back(), (ShownMessage{"Virtual drive U: could not be saved: its folder \\\\server\\share\\dir "
                                                "is on a network path, and only folders on a drive letter come back "
                                                "at logon.",
                                                MsgStyle::Critical}));
    EXPECT_EQ(lst.rows, (Rows{"W:", "X:"}));
    EXPECT_TRUE(window.enabled && !window.waitCursor);
}

TEST_F(MainCommandsTest, RemoveSaveForgetsTheSelectedEntryOnly)
{
    lst.rows = {"W:", "X: (not present)"};
    os.files["C:\\Tools\\kordat\\X.ini"] = "C:\\windows\r\n";
    os.onMessage = [&] { EXPECT_TRUE(!window.enabled && window.waitCursor) << "busy while the box is open"; };
    commands.RemoveSaveCommand();
    EXPECT_EQ(os.messages.back(), (ShownMessage{"Please select a drive to remove!", MsgStyle::Information}));
    EXPECT_TRUE(lst.focused && window.enabled && !window.waitCursor);

    lst.Select("X: (not present)");
    commands.RemoveSaveCommand();
    EXPECT_EQ(lst.rows, Rows{"W:"});
    EXPECT_TRUE(os.files.empty());
    EXPECT_EQ(os.devices.count("X:"), 1u) << "the drive itself stays";

    os.files["C:\\Tools\\kordat\\W.ini"] = "C:\\w\r\n";
    os.lockedFiles.insert("C:\\Tools\\kordat\\W.ini");
    lst.Select("W:");
    commands.RemoveSaveCommand();
    EXPECT_EQ(os.messages.back(),
              (ShownMessage{"Saved drive W: could not be removed: Access is denied.", MsgStyle::Critical}));
    EXPECT_EQ(lst.rows, Rows{"W:"}) << "the record stays, so does its entry";
    EXPECT_TRUE(window.enabled && !window.waitCursor);
}

TEST_F(MainCommandsTest, OnePacedCommandAtATime)
{
    cmb.Select("W:");
    lsv.Select("X:");
    commands.RemoveDriveCommand();
    commands.CreateDriveCommand(); // during the quiet first interval
    EXPECT_FALSE(tmr.enabled);
    commands.OnRemoveTick();
    commands.CreateDriveCommand();
    commands.RemoveDriveCommand();
    EXPECT_EQ(os.beeps, 3);
    EXPECT_EQ(os.messages.size(), 1u) << "no second question";
    EXPECT_EQ(RunTicks(tmr2, &MainCommands::OnRemoveTick).size(), 4u);
    EXPECT_EQ(os.runs.size(), 1u);

    // Nor while the bar is full and the work's message is open, nor when a
    // create began while the user answered.
    os.Subst("Y:", "C:\\windows");
    lsv.rows = {"Y:"};
    lsv.Select("Y:");
    cmb.Select("W:");
    os.onMessage = [&] { commands.CreateDriveCommand(); };
    commands.RemoveDriveCommand();
    EXPECT_FALSE(tmr2.enabled);
    os.onMessage = nullptr;
    commands.RemoveDriveCommand(); // while the create runs
    EXPECT_EQ(os.beeps, 4);
    os.onMessage = [&] { commands.RemoveDriveCommand(); };
    RunTicks(tmr, &MainCommands::OnCreateTick);
    EXPECT_EQ(os.beeps, 5);
    EXPECT_EQ(os.runs.size(), 2u);

    // A box opened in the quiet first interval holds the window; the command
    // waits for it rather than enabling the window behind it.
    os.onMessage = nullptr;
    cmb.Select("X:");
    commands.CreateDriveCommand();
    window.enabled = false;
    commands.OnCreateTick();
    EXPECT_EQ(pb.value, 0);
    EXPECT_FALSE(window.enabled);
    window.enabled = true;
    EXPECT_EQ(RunTicks(tmr, &MainCommands::OnCreateTick).size(), 5u);
}

// The long form is asked away from the window's thread; a drive that answers
// late or never is held here by the test.
TEST_F(MainCommandsTest, StatusAndOpenPathUseTheLongFolderOfTheLatestClick)
{
    const std::string deep = "C:\\" + std::string(300, 'd');
    os.shortNames = {{"C:\\Long Name", "C:\\LONG~1"}, {"C:\\Other Name", "C:\\OTHER~1"}, {deep, "C:\\DDDDDD~1"}};
    os.Subst("L:", "C:\\LONG~1");
    os.Subst("M:", "C:\\OTHER~1");
    os.Subst("D:", "C:\\DDDDDD~1");
    lsv.rows = {"L:", "M:", "D:"};
    commands.ShowStatus();
    commands.OpenPathCommand();
    EXPECT_EQ(sb.text, "");
    EXPECT_TRUE(slow.explored.empty()) << "no drive selected";

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
    EXPECT_TRUE(slow.explored.empty()) << "nothing opens before the answer or the bound";
    slow.Answer(3, false);
    lsv.Select("L:");
    commands.OpenPathCommand();
    slow.Answer(4);
    // Too long for the shell as it is, a deep folder opens by its short name.
    slow.hold = false;
    lsv.Select("D:");
    commands.ShowStatus();
    EXPECT_EQ(sb.text, deep);
    commands.OpenPathCommand();
    EXPECT_EQ(slow.explored, (Rows{"C:\\OTHER~1", "C:\\Long Name", "C:\\DDDDDD~1"}));
}

} // namespace
} // namespace kv::test
