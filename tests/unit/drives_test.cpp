#include <gtest/gtest.h>

#include "drives/drive_model.h"
#include "drives/scan.h"
#include "drives/subst.h"
#include "drives/targets.h"
#include "fakes/fake_controls.h"
#include "fakes/fake_os.h"
#include "fakes/fake_tasks.h"
#include "saved/scopes.h"
#include "ui/main/main_commands.h"

namespace kv::test {
namespace {

using Rows = std::vector<std::string>;
const std::string kordat = "C:\\Tools\\kordat\\";

ProgramRun Ended(unsigned long code) { return {ProgramRun::End::Exited, code, {}, {}}; }

// The names of the drives a snapshot's model lists, used and free.
std::string Listed(const DriveModel& model) {
    std::string listed;
    for (const std::string& drive : model.UsedDrives())
        listed += drive;
    listed += " |";
    for (const std::string& drive : model.FreeDrives())
        listed += drive.substr(0, 1);
    return listed;
}

TEST(ScanDrives, SortsEveryLetterAndDeletesOnlyDrivesWhoseFolderIsGone) {
    FakeOs os;
    os.devices = {{"C:", "\\Device\\HarddiskVolume1"},
                  {"N:", "\\Device\\LanmanRedirector\\;N:0\\server\\share"},
                  {"G:", "\\??\\C:\\gone"},
                  {"U:", "\\??\\UNC\\server\\share"},
                  {"E:", "\\??\\F:\\stick"}};
    os.Subst("B:", "C:\\floppy image");
    os.Subst("D:", "C:\\");
    os.Subst("Z:", "C:\\data");
    // A share that does not answer and a disk not plugged in keep their drives.
    os.probes = {{"\\\\server\\share", {PathProbe::State::NoAnswer, "timed out"}},
                 {"F:\\stick", {PathProbe::State::NotReady, "not ready"}}};
    DriveModel model;
    model.Take(ScanDrives(os));
    EXPECT_EQ(Listed(model), "B:D:E:U:Z: |AFGHIJKLMOPQRSTVWXY") << "B is never offered; devices are not free";
    EXPECT_EQ(os.runs, Rows{"G: /D"});
    EXPECT_EQ(model.Folder("U:"), "\\\\server\\share");

    // A drive whose folder is gone stays listed while it stays, whatever
    // subst's exit code said.
    os.devices["A:"] = "\\??\\C:\\gone";
    os.onRun = [](const ProgramCall&) { return Ended(0); };
    model.Take(ScanDrives(os));
    EXPECT_EQ(Listed(model), "B:D:E:U:Z:A: |FGHIJKLMOPQRSTVWXY") << "a drive new to the model comes last";
}

TEST(DriveModel, FollowsTheSystemAndWhatTheProgramDid) {
    FakeOs os;
    os.Subst("K:", "C:\\k");
    os.Subst("D:", "C:\\d");
    os.files["C:\\Tools\\kordat\\K.ini"] = os.files["C:\\Tools\\kordat\\Q.ini"] = "C:\\k\r\n";
    DriveModel model;
    model.Take(ReadDrives(os));
    EXPECT_EQ(model.SavedEntries(), (Rows{"K:", "Q: (not present)"}));
    const unsigned before = model.Generation();
    model.Relist("Q:", "\\??\\C:\\q");
    model.Relist("D:", std::nullopt);
    model.Relist("X:", "\\Device\\CdRom0");
    model.Relist("B:", std::nullopt);
    model.Saved("K:", false);
    EXPECT_EQ(Listed(model), "K:Q: |ACDEFGHIJLMNOPRSTUVWYZ");
    EXPECT_EQ(model.SavedEntries(), Rows{"Q:"});
    EXPECT_EQ(model.Generation(), before + 5) << "each change makes readings begun before it stale";
    // The system has the last word: places kept, a folder that changed follows.
    os.Subst("K:", "C:\\moved");
    os.Subst("A:", "C:\\a");
    model.Take(ReadDrives(os));
    EXPECT_EQ(Listed(model), "K:A:D: |CEFGHIJLMNOPQRSTUVWXYZ");
    EXPECT_EQ(model.Folder("K:"), "C:\\moved");
}

// A definition is not trusted: another program may take the letter.
TEST(DriveTargets, GiveTheStoredAndTheLongFolder) {
    FakeOs os;
    os.shortNames = {{"C:\\Program Files\\Data", "C:\\PROGRA~1\\DATA"},
                     {"\\\\nas\\media\\Old Films", "\\\\nas\\media\\OLDFIL~1"}};
    os.Subst("X:", "C:\\PROGRA~1\\DATA");
    os.Subst("D:", "C:\\");
    os.devices["G:"] = "\\??\\C:\\gone";
    // A share is not asked (its server may not answer) unless a short name needs expanding.
    os.devices["N:"] = "\\??\\UNC\\nas\\media\\Films";
    os.devices["O:"] = "\\??\\UNC\\nas\\media\\OLDFIL~1";
    const Texts longTargets = {
        {"X:", "C:\\Program Files\\Data"},  {"D:", "C:\\"}, {"G:", ""}, {"Q:", ""}, {"N:", "\\\\nas\\media\\Films"},
        {"O:", "\\\\nas\\media\\Old Films"}};
    for (const auto& [drive, folder] : longTargets)
        EXPECT_EQ(GetDriveLongTarget(os, drive), folder) << drive;
    // 255 characters and the NUL are what the places that show it take; a
    // longer long form leaves the folder as the drive stores it.
    for (const std::size_t length : {255, 256}) {
        const std::string deep = "C:\\" + std::string(length - 3, 'd');
        os.shortNames[deep] = "C:\\DDDDDD~" + std::to_string(length);
        os.Subst("L:", os.shortNames[deep]);
        EXPECT_EQ(GetDriveLongTarget(os, "L:"), length == 255 ? deep : os.shortNames[deep]);
    }
}

TEST(Tasks, JoinTheWorkOfTheirKeyAndNeverAnswerLateOrStale) {
    FakeTasks tasks;
    tasks.hold = true;
    Rows answers;
    const auto ask = [&](const std::string& key, const std::string& slot) {
        tasks.Run<std::string>(
            key, [key] { return "answer of " + key; },
            [&answers, slot](const std::string* answer) {
                answers.push_back(slot + ": " + (answer ? *answer : "none"));
            },
            {slot, 1000});
    };
    ask("a", "one");
    tasks.PassBound(0);
    ask("a", "one"); // joins the work still running
    ask("b", "two");
    ask("c", "two"); // b's answer is stale now
    ask("d", "three");
    tasks.Forget("three");
    for (const char* key : {"b", "c", "a", "d"})
        tasks.End(key);
    EXPECT_EQ(answers, (Rows{"one: none", "two: answer of c", "one: answer of a"}));
    EXPECT_EQ(tasks.started, (Rows{"a", "b", "c", "d"}));
}

struct WindowTest : ::testing::Test {
    FakeOs os;
    FakeListView lsv;
    FakeComboBox cmb, lst;
    FakeChoosers lists;
    FakeTimer tmr, tmr2;
    FakeWindow window;
    FakeTasks tasks;
    MainCommands commands{os, {lsv, cmb, lst, lists, lists, window, window, tmr, tmr2, window}, tasks};

    // X: on C:\windows; W: and Y: free; every other letter a disk.
    void SetUp() override {
        for (const char* letter = "ABCDEFGHIJKLMNOPQRSTUVZ"; *letter; ++letter)
            os.devices[std::string(1, *letter) + ":"] = "\\Device\\HarddiskVolume1";
        os.Subst("X:", "C:\\windows");
        commands.Load(ReadDrives(os));
        lists.refreshes = 0;
        lists.path = "C:\\windows";
    }
    // The system changed behind the program's back; it looks again.
    void Free(const std::string& drive) {
        os.devices.erase(drive);
        commands.Refresh();
    }
    // Ticks a paced command until its timer stops: the bar and the window after each tick.
    Rows RunTicks(FakeTimer& timer, void (MainCommands::*tick)()) {
        Rows seen;
        for (int i = 0; i < 10 && timer.enabled; ++i) {
            (commands.*tick)();
            seen.push_back(std::to_string(window.bar) + (window.enabled ? " enabled" : " busy") +
                           (window.waitCursor ? " wait" : ""));
        }
        return seen;
    }
    // subst's arguments and the message the user saw.
    Rows CreateFrom(const std::string& letter, const std::string& folder) {
        cmb.Select(letter);
        lists.path = folder;
        os.messages.clear();
        commands.CreateDriveCommand();
        RunTicks(tmr, &MainCommands::OnCreateTick);
        EXPECT_EQ(os.messages.size(), 1u);
        return {os.runs.empty() ? "" : os.runs.back(), os.messages.empty() ? "" : os.messages.back()};
    }
    // The last tick of removing the drive on that row.
    std::string Remove(const std::string& row) {
        lsv.Select(row);
        commands.RemoveDriveCommand();
        return RunTicks(tmr2, &MainCommands::OnRemoveTick).back();
    }
};

// A short name goes to whichever folder takes it next, so a drive is made on
// the long form, one argument for subst even with blanks.
TEST_F(WindowTest, CreateHandsSubstTheLongFolderAsOneArgumentAndMovesTheLetter) {
    Free("V:");
    os.shortNames["C:\\Program Files\\Data"] = "C:\\PROGRA~1\\DATA";
    os.folders.insert("C:\\Program Files\\Data");
    EXPECT_EQ(CreateFrom("V:", "C:\\Program Files\\Data"),
              (Rows{"V: \"C:\\Program Files\\Data\"", "(i) Virtual drive V: created."}));
    EXPECT_EQ(cmb.rows, (Rows{"W:", "Y:"}));
    EXPECT_EQ(lsv.rows, (Rows{"X:", "V:"}));
    EXPECT_EQ(cmb.editText, "Avaliable Drives:");
    EXPECT_EQ(cmb.selected, kNoSelection);
    // The length past which a folder goes by its short form counts
    // characters, not the bytes of their UTF-8.
    std::string accented = "C:\\";
    for (int i = 0; i < 256; ++i)
        accented += "\xC3\xA9";
    os.shortNames[accented] = "C:\\EEEEEE~1";
    os.folders.insert(accented);
    EXPECT_EQ(CreateFrom("Y:", accented)[0], "Y: " + accented);
}

// Whatever went wrong, the user hears why, and the letter's place in the
// lists follows what the system says about it now.
TEST_F(WindowTest, CreateReportsADriveThatWasNotMadeWithTheReason) {
    Free("V:");
    const std::pair<ProgramRun, std::string> failures[] = {
        {{ProgramRun::End::NotStarted, 0, {}, "Not found."},
         "the system program subst.exe could not be started (Not found.)"},
        {{ProgramRun::End::TimedOut, 0, {}, {}}, "the system program subst.exe did not finish within 8 seconds"},
        {Ended(0), "W: does not stand for C:\\windows after subst.exe ran"},
        {Ended(3), "subst.exe ended with exit code 3"}};
    for (const auto& [run, why] : failures) {
        os.onRun = [run = run](const ProgramCall&) { return run; };
        EXPECT_EQ(CreateFrom("W:", "C:\\windows")[1], "(x) Virtual drive W: could not be created: " + why + ".");
        EXPECT_EQ(cmb.selected, 1) << "a letter still free stays offered and chosen, for another try";
    }
    os.onRun = nullptr;
    os.devices["V:"] = "\\Device\\HarddiskVolume3"; // taken by another program a moment ago
    EXPECT_EQ(CreateFrom("V:", "C:\\windows")[1],
              "(x) Virtual drive V: could not be created: subst.exe answered \"Drive already SUBSTed\".");
    EXPECT_EQ(cmb.rows, (Rows{"W:", "Y:"}));
    EXPECT_EQ(cmb.editText, "Avaliable Drives:");
    EXPECT_EQ(lsv.rows, Rows{"X:"});
    // Made a drive by another program, for a folder whose name only begins the same.
    os.onRun = [&](const ProgramCall&) {
        os.Subst("W:", "C:\\windows2");
        return Ended(0);
    };
    EXPECT_EQ(CreateFrom("W:", "C:\\windows")[1],
              "(x) Virtual drive W: could not be created: W: does not stand for C:\\windows after subst.exe ran.");
    EXPECT_EQ(lsv.rows, (Rows{"X:", "W:"}));
    EXPECT_EQ(cmb.rows, Rows{"Y:"});
    // The file system's own comparison: letter case and a closing separator aside.
    os.onRun = [&](const ProgramCall&) {
        os.devices["Y:"] = "\\??\\c:\\WINDOWS\\";
        return Ended(0);
    };
    EXPECT_EQ(CreateFrom("Y:", "C:\\windows")[1], "(i) Virtual drive Y: created.");
}

TEST_F(WindowTest, CreateFillsTheBarThenMakesTheDriveOnce) {
    cmb.Select("W:");
    commands.CreateDriveCommand();
    EXPECT_TRUE(window.enabled) << "the first interval is quiet";
    os.onMessage = [&] { EXPECT_EQ(window.bar, 100); };
    EXPECT_EQ(RunTicks(tmr, &MainCommands::OnCreateTick),
              (Rows{"20 busy wait", "40 busy wait", "60 busy wait", "80 busy wait", "0 enabled"}));
    EXPECT_EQ(os.runs, Rows{"W: C:\\windows"});
    EXPECT_EQ(lsv.rows, (Rows{"X:", "W:"}));
    EXPECT_EQ(lists.refreshes, 1) << "the drive list learns the new letter";
    // A letter given up meanwhile makes nothing.
    cmb.Select("Y:");
    commands.CreateDriveCommand();
    cmb.SetEditText("Avaliable Drives:");
    EXPECT_EQ(RunTicks(tmr, &MainCommands::OnCreateTick).back(), "0 enabled");
    EXPECT_EQ(os.runs.size(), 1u);
    // As administrator under UAC the user learns first who will see the drive.
    os.elevatedApart = true;
    os.onMessage = [] {};
    os.messages.clear();
    Free("V:");
    cmb.Select("V:");
    commands.CreateDriveCommand();
    RunTicks(tmr, &MainCommands::OnCreateTick);
    EXPECT_EQ(os.messages, (Rows{"(?) Korvane runs as administrator, so virtual drive V: will be seen only by programs "
                                 "run as administrator, not by Explorer or your other programs. Create it anyway?",
                                 "(i) Virtual drive V: created."}));
}

TEST_F(WindowTest, RemoveDeletesTheConfirmedDriveAndForgetsItsSave) {
    os.files[kordat + "X.ini"] = os.files[kordat + "Y.ini"] = "C:\\windows\r\n";
    commands.Refresh();
    EXPECT_EQ(lst.rows, (Rows{"X:", "Y: (not present)"}));
    lists.drive = "D:";
    os.onMessage = [&] { EXPECT_EQ(lsv.rows, Rows{"X:"}) << "still listed while the message is open"; };
    EXPECT_EQ(Remove("X:"), "0 enabled");
    EXPECT_EQ(os.runs, Rows{"X: /D"});
    EXPECT_EQ(os.messages.back(), "(i) Virtual drive X: has been deleted!");
    EXPECT_EQ(lst.rows, Rows{"Y: (not present)"});
    EXPECT_FALSE(os.files.count(kordat + "X.ini"));
    EXPECT_TRUE(lsv.rows.empty() && lists.refreshes == 1);
    EXPECT_EQ(lists.drive + " " + lists.path, "C: C:\\current");
    // A record that cannot go keeps its entry, and the user is told why.
    os.onMessage = [] {};
    os.Subst("V:", "C:\\windows");
    os.Subst("H:", "C:\\windows");
    os.files[kordat + "V.ini"] = "C:\\windows\r\n";
    os.lockedFiles.insert(kordat + "V.ini");
    commands.Refresh();
    Remove("V:");
    EXPECT_EQ(os.messages.back(), "(x) Virtual drive V: has been deleted, but saved drive V: could not be removed: "
                                  "Access is denied.");
    EXPECT_EQ(lst.rows, (Rows{"V: (not present)", "Y: (not present)"}));
    // The drive removed is the one confirmed, wherever the selection moved.
    os.Subst("K:", "C:\\windows");
    commands.Refresh();
    EXPECT_EQ(lsv.rows, (Rows{"H:", "K:"}));
    lsv.Select("K:");
    commands.RemoveDriveCommand();
    lsv.Select("H:"); // a click in the quiet first interval
    RunTicks(tmr2, &MainCommands::OnRemoveTick);
    EXPECT_EQ(os.runs.back(), "K: /D");
    // One removed by another program meanwhile is only no longer listed.
    os.onMessage = [&] { os.devices.erase("H:"); };
    EXPECT_EQ(Remove("H:"), "0 enabled");
    EXPECT_EQ(os.runs.size(), 3u);
    EXPECT_EQ(os.messages.back(), "(?) Delete virtual drive H: ?") << "nothing more to say";
    EXPECT_EQ(lsv.rows, Rows{});
    EXPECT_EQ(cmb.rows, (Rows{"H:", "K:", "V:", "W:", "X:", "Y:"}));
}

// A label is asked for again until it can be one, and goes with the save.
TEST_F(WindowTest, RemoveSaveForgetsTheSelectedEntryOnlyWithItsLabel) {
    const std::string label = "HKCU\\Software\\Classes\\Applications\\Explorer.exe\\Drives\\X\\DefaultLabel\\";
    Rows asked, answers = {"Tab\there", " Windows "};
    const AskLabel ask = [&](const std::string& drive, const std::string& text) {
        asked.push_back(drive + " " + text);
        return std::optional<std::string>(answers.at(asked.size() - 1));
    };
    lsv.Select("X:");
    commands.LabelDriveCommand(ask);
    EXPECT_EQ(os.messages.back(), "(i) Save virtual drive X: first: only a saved drive keeps a label.");
    os.files[kordat + "W.ini"] = os.files[kordat + "X.ini"] = "C:\\windows\r\n";
    commands.Refresh();
    os.registry[label] = "Old";
    commands.LabelDriveCommand(ask);
    EXPECT_EQ(asked, (Rows{"X: Old", "X: Tab\there"}));
    EXPECT_EQ(os.messages.back(), "(x) The label of X: was not set: it holds a control character, such as a tab or "
                                  "a line break, which Explorer cannot show in a name.");
    EXPECT_EQ(os.registry[label], "Windows");
    EXPECT_EQ(os.renamed, Rows{"X:"}) << "Explorer is told";
    EXPECT_TRUE(window.enabled && !window.waitCursor);
    os.messages.clear();
    os.onMessage = [&] { EXPECT_TRUE(!window.enabled && window.waitCursor) << "busy while the box is open"; };
    commands.RemoveSaveCommand();
    EXPECT_EQ(os.messages.back(), "(i) Please select a drive to remove!");
    EXPECT_TRUE(lst.focused && window.enabled && !window.waitCursor);
    lst.Select("X:");
    commands.RemoveSaveCommand();
    EXPECT_EQ(lst.rows, Rows{"W: (not present)"});
    EXPECT_FALSE(os.files.count(kordat + "X.ini") || os.registry.count(label));
    EXPECT_EQ(os.devices.count("X:"), 1u) << "the drive itself stays";
    os.lockedFiles.insert(kordat + "W.ini");
    lst.Select("W: (not present)");
    commands.RemoveSaveCommand();
    EXPECT_EQ(os.messages.back(), "(x) Saved drive W: could not be removed: Access is denied.");
    EXPECT_EQ(lst.rows, Rows{"W: (not present)"}) << "the record stays, so does its entry";
    EXPECT_TRUE(window.enabled && !window.waitCursor);
}

// What reaches beyond this user's logon runs as korctl with administrator
// rights: the system asks, and what korctl says comes back through a file.
TEST_F(WindowTest, CommandsBeyondThisUserRunKorctlAsAdministratorAndSayWhatCameOfIt) {
    const std::string report = "C:\\AppData\\Korvane\\korctl-elevated.txt";
    os.folders.insert("C:\\AppData\\Korvane");
    Rows calls;
    ProgramRun answer{ProgramRun::End::Exited, 0, {}, {}};
    std::string said;
    os.onElevated = [&](const ProgramCall& call) {
        calls.push_back(call.path + " " + call.arguments);
        os.files[report] = said;
        return answer;
    };
    os.Subst("Q:", "C:\\My Data\\");
    commands.Refresh();
    lsv.Select("Q:");
    said = "Q: saved for all users, standing for C:\\My Data\\\r\n";
    os.onMessage = [&] { EXPECT_TRUE(!window.enabled && window.waitCursor) << "busy until the user has read it"; };
    commands.SaveForAllUsersCommand();
    EXPECT_EQ(calls, Rows{"C:\\Tools\\korctl.exe save Q: \"C:\\My Data\\\\\" --all-users --report "
                          "C:\\AppData\\Korvane\\korctl-elevated.txt"});
    os.registry[std::string("HKLM\\") + kDosDevicesKey + "\\Q:"] = "\\??\\C:\\My Data\\";
    os.onMessage = [] {};
    commands.Refresh();
    EXPECT_EQ(lst.rows, Rows{"Q: (all users)"});
    said = "Q: is labelled Box for all users\r\n";
    lsv.Select("Q:");
    commands.LabelDriveCommand([](const std::string&, const std::string&) { return std::string(" Box "); });
    EXPECT_EQ(calls.back(),
              "C:\\Tools\\korctl.exe label Q: Box --all-users --report C:\\AppData\\Korvane\\korctl-elevated.txt");
    // Removing it is forgetting it for all users, which the user is offered.
    answer = {ProgramRun::End::NotStarted, 0, {}, "The operation was canceled by the user.", true};
    lsv.Select("Q:");
    commands.RemoveDriveCommand();
    EXPECT_FALSE(tmr2.enabled) << "subst cannot remove it";
    EXPECT_EQ(calls.back(),
              "C:\\Tools\\korctl.exe forget Q: --all-users --report C:\\AppData\\Korvane\\korctl-elevated.txt");
    lst.Select("Q: (all users)");
    answer = {ProgramRun::End::Exited, 1, {}, {}};
    said = "korctl: the save of Q: for all users could not be forgotten: Access is denied.\r\n";
    commands.RemoveSaveCommand();
    answer.exitCode = 3;
    said.clear();
    commands.ElevatedDrivesCommand();
    os.splitToken = true;
    os.protectedPaths = {"C:\\Tools", "C:\\Tools\\korstart.exe"};
    os.companionProtected = -1; // another process, which reads it anew
    commands.ElevatedDrivesCommand();
    EXPECT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls.back(), "C:\\Tools\\korctl.exe elevated on --report C:\\AppData\\Korvane\\korctl-elevated.txt");
    EXPECT_EQ(os.messages,
              (Rows{"(i) Q: saved for all users, standing for C:\\My Data\\.", "(i) Q: is labelled Box for all users.",
                    "(?) Virtual drive Q: belongs to all users of this computer: it is saved for all users and comes "
                    "back at every startup. Remove that save, with administrator rights?",
                    "(i) Administrator rights were not given, so nothing was changed.",
                    "(x) The save of Q: for all users could not be forgotten: Access is denied.",
                    "(i) Drives for programs run as administrator are not available: your account has no separate "
                    "session for programs run as administrator, so they see your drives already or are another "
                    "account's.",
                    "(?) Make your saved drives also for your programs run as administrator, now and at every logon? "
                    "This needs administrator rights once.",
                    "(x) korctl.exe, run as administrator, ended with exit code 3 and said nothing."}));
    EXPECT_EQ(lst.rows, Rows{"Q: (all users)"});
    // With the switch on, a save reaches programs run as administrator at once.
    os.tasks["Korvane elevated drives S-1-5-21-7"] = "xml";
    os.taskFaults["run"] = "Not implemented.";
    os.folders.insert("C:\\AppData\\Korvane\\kordat"); // an installed copy's saves are the user's own
    lsv.Select("X:");
    commands.SaveDriveCommand();
    EXPECT_EQ(os.messages.back(), "(x) Virtual drive X: is saved, but programs run as administrator get it only from "
                                  "your next logon: Not implemented.");
    EXPECT_EQ(lst.rows, (Rows{"Q: (all users)", "X:"}));
    EXPECT_TRUE(window.enabled && !window.waitCursor);
}

TEST_F(WindowTest, OnePacedCommandAtATime) {
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
    // Nor when a create began while the user answered, nor while it runs,
    // nor while the bar is full and its message is open.
    os.Subst("Y:", "C:\\windows");
    commands.Refresh();
    lsv.Select("Y:");
    cmb.Select("W:");
    os.onMessage = [&] { commands.CreateDriveCommand(); };
    commands.RemoveDriveCommand();
    EXPECT_FALSE(tmr2.enabled);
    os.onMessage = [&] { commands.RemoveDriveCommand(); };
    commands.RemoveDriveCommand();
    RunTicks(tmr, &MainCommands::OnCreateTick);
    EXPECT_EQ(os.beeps, 5);
    EXPECT_EQ(os.runs.size(), 2u);
    // A box opened in the quiet first interval holds the window; the command
    // waits for it rather than enabling the window behind it.
    os.onMessage = [] {};
    Free("V:");
    cmb.Select("V:");
    commands.CreateDriveCommand();
    window.enabled = false;
    commands.OnCreateTick();
    window.enabled = true;
    EXPECT_EQ(RunTicks(tmr, &MainCommands::OnCreateTick).size(), 5u);
}

// The long form is asked away from the window's thread; a drive that answers
// late or never is held here by the test.
TEST_F(WindowTest, StatusAndOpenPathUseTheLongFolderOfTheLatestClick) {
    const std::string deep = "C:\\" + std::string(300, 'd');
    os.shortNames = {{"C:\\Long Name", "C:\\LONG~1"}, {"C:\\Other Name", "C:\\OTHER~1"}, {deep, "C:\\DDDDDD~1"}};
    os.Subst("L:", "C:\\LONG~1");
    os.Subst("M:", "C:\\OTHER~1");
    os.Subst("D:", "C:\\DDDDDD~1");
    commands.Refresh();
    tasks.started.clear();
    commands.ShowStatus();
    commands.OpenPathCommand();
    EXPECT_TRUE(window.status.empty() && os.explored.empty()) << "no drive selected";
    tasks.hold = true;
    lsv.Select("L:");
    commands.ShowStatus();
    EXPECT_EQ(window.status, "C:\\LONG~1");
    lsv.Select("M:");
    commands.ShowStatus();
    tasks.End("long:C:\\OTHER~1");
    tasks.End("long:C:\\LONG~1"); // the answer for the earlier click comes late
    EXPECT_EQ(window.status, "C:\\Other Name");
    // Clicking back and forth on drives that do not answer waits on one work a drive.
    for (int i = 0; i < 100; ++i) {
        lsv.Select(i % 2 ? "L:" : "M:");
        commands.ShowStatus();
    }
    EXPECT_EQ(tasks.started, (Rows{"long:C:\\LONG~1", "long:C:\\OTHER~1", "long:C:\\OTHER~1", "long:C:\\LONG~1"}));
    tasks.PassBound(101);
    EXPECT_EQ(window.status, "C:\\LONG~1") << "no answer within the bound";
    commands.OpenPathCommand();
    EXPECT_TRUE(os.explored.empty()) << "nothing opens before the answer or the bound";
    tasks.PassBound(102);
    commands.OpenPathCommand();
    tasks.PassBound(104);
    EXPECT_EQ(std::count(tasks.started.begin(), tasks.started.end(), "explore:C:\\LONG~1"), 1)
        << "one Explorer window for a folder while it is awaited";
    tasks.End("long:C:\\LONG~1");
    tasks.End("explore:C:\\LONG~1");
    // Too long for the shell as it is, a deep folder opens by its short name.
    tasks.hold = false;
    lsv.Select("D:");
    commands.ShowStatus();
    EXPECT_EQ(window.status, deep);
    commands.OpenPathCommand();
    EXPECT_EQ(os.explored, (Rows{"C:\\LONG~1", "C:\\DDDDDD~1"}));
}

} // namespace
} // namespace kv::test
