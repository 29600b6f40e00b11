#include <gtest/gtest.h>

#include "startup/startup.h"
#include "command_line/command_line.h"
#include "fakes/fake_os.h"
#include "saved/autostart.h"
#include "saved/companion_log.h"
#include "saved/labels.h"
#include "saved/record_reader.h"
#include "saved/records.h"
#include "saved/restore.h"
#include "saved/saved_list.h"

namespace kv::test {
namespace {

using Rows = std::vector<std::string>;
const std::string kLog = "C:\\AppData\\Korvane\\korstart.log";
const std::string kOurs = "C:\\Tools\\korstart.exe";

struct SavedTest : ::testing::Test {
    FakeOs os;
    std::string& Record(char letter) { return os.files["C:\\Tools\\kordat\\" + std::string(1, letter) + ".ini"]; }
    std::string& Run(const std::string& root) {
        return os.registry[root + "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Korvane"];
    }
    // The logon entries a start leaves: for every user, for this user, and a
    // copy in the Startup folder.
    std::string Registered() {
        RegisterAutoStart(os, CompanionIsProtected(os));
        return Run("HKLM") + "|" + Run("HKCU") + "|" + Find(os.files, "C:\\Startup\\korstart.exe").value_or("");
    }
    Rows LogLines() {
        Rows lines;
        const std::string& log = os.files[kLog];
        for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(log.substr(at + 21, end - at - 21)); // past the time stamp
        return lines;
    }
};

TEST(RecordReader, TakesOnlyAFullFolderPathOnOneLine) {
    const AnsiDecoder fromAnsi = [](const std::string& bytes) { return bytes + " (ANSI)"; };
    const std::string longest = "C:\\" + std::string(kMaxRecordBytes - 5, 'a');
    const Texts taken = {{"C:\\\xE9\r\n", "C:\\\xE9 (ANSI)"},
                         {"C:\\\x80", "C:\\\x80 (ANSI)"},
                         {"C:\\\x7F", "C:\\\x7F"},
                         {"D:\\\r\n", "D:\\"},
                         {"c:\\x y\n", "c:\\x y"},
                         {"A:\\a", "A:\\a"},
                         {"Z:\\z", "Z:\\z"},
                         {longest + "\r\n", longest}};
    for (const auto& [bytes, folder] : taken)
        EXPECT_EQ(ReadRecord(bytes, fromAnsi), folder) << bytes;
    const std::string refused[] = {"",
                                   "\n",
                                   "\r\n",
                                   "data\r\n",
                                   "C:data\r\n",
                                   "\\\\server\\share\r\n",
                                   "C:\\a\r\nC:\\b\r\n",
                                   "C:\\a\" /D\r\n",
                                   "C:\\a \r\n",
                                   "C:\\a\tb",
                                   "C:\\a:stream",
                                   "[:\\a",
                                   "C:\\" + std::string(kMaxRecordBytes, 'a'),
                                   std::string("C:\\a\0b", 6)};
    for (const std::string& bytes : refused)
        EXPECT_EQ(ReadRecord(bytes, fromAnsi), std::nullopt) << bytes;
    // UTF-8 at the edges of each form: the smallest and largest of each
    // length pass; overlong forms, surrogates, stray or missing continuation
    // bytes, anything past U+10FFFF and control characters do not.
    const std::string bom = "\xEF\xBB\xBF"
                            "C:\\";
    for (const char* name : {"\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                             "\xEF\xBF\xBD", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"})
        EXPECT_EQ(ReadRecord(bom + name + "\r\n", fromAnsi), std::string("C:\\") + name) << name;
    for (const char* name : {"\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF0\x8F\xBF\xBF",
                             "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xC3\x28", "\xE6\x96", "\x1F"})
        EXPECT_EQ(ReadRecord(bom + name + "\r\n", fromAnsi), std::nullopt) << name;
}

// A logon entry for every user, and a data folder every user may change,
// only for a companion that no user can replace; never two entries.
TEST_F(SavedTest, OnlyACompanionNoUserCanReplaceServesEveryone) {
    os.files[kOurs] = "MZ";
    os.folders.insert("C:\\Startup");
    os.elevated = true;
    os.protectedPaths = {"C:\\Tools", kOurs};
    Run("HKCU") = kOurs;
    EXPECT_EQ(Registered(), kOurs + "||");
    EXPECT_EQ(os.registry["HKCU\\Software\\Korvane\\ProgramFolder"], "C:\\Tools");
    CreateDataFolder(os, CompanionIsProtected(os));
    EXPECT_EQ(os.sharedFolders.size(), 1u);
    // A standard user cannot write the machine's keys, and need not.
    os.refusedValues.insert("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Korvane");
    EXPECT_EQ(Registered(), kOurs + "||");
    Run("HKLM") = "";
    EXPECT_EQ(Registered(), "||MZ");
    os.commonStartup.reset();
    EXPECT_EQ(Registered(), "|" + kOurs + "|MZ") << "nothing for everyone could be made";
    // Where any user may write, the entry and the folder are this user's
    // alone, and an elevated start takes back an entry of ours for everyone.
    os.refusedValues.clear();
    os.protectedPaths = {"C:\\Tools"};
    os.folders.erase("C:\\Tools\\kordat");
    CreateDataFolder(os, CompanionIsProtected(os));
    EXPECT_TRUE(os.folders.count("C:\\Tools\\kordat") && os.sharedFolders.size() == 1);
    Run("HKLM") = kOurs;
    EXPECT_EQ(Registered(), "|" + kOurs + "|MZ");
    Run("HKLM") = "C:\\Other\\korstart.exe";
    EXPECT_EQ(Registered(), "C:\\Other\\korstart.exe|" + kOurs + "|MZ") << "another copy's entry is not ours";
    os.programFolder = "C:\\Program Files\\Korvane";
    EXPECT_EQ(Registered(), "C:\\Other\\korstart.exe|\"C:\\Program Files\\Korvane\\korstart.exe\"|MZ");
}

TEST_F(SavedTest, CompanionMakesWhatItCanAtOnceAndTouchesNoRecord) {
    os.folders.insert({"C:\\Work Space", "C:\\WORKSP~1"});
    os.shortNames["C:\\Work Space"] = "C:\\WORKSP~1";
    Record('W') = "C:\\Work Space\r\n";
    Record('V') = "C:\\WORKSP~1\r\n"; // as older versions saved it
    Record('A') = "N:\\slow\r\n";
    os.probes["N:\\slow"] = {PathProbe::State::NoAnswer, "timed out"};
    Record('G') = "C:\\gone\r\n";
    Record('E') = "";
    Record('U') = "\\\\server\\share\r\n";
    Record('O') = "C:\\" + std::string(kMaxRecordBytes, 'o');
    Record('T') = "C:\\Work Space\r\n";
    os.Subst("T:", "C:\\windows");
    const auto records = os.files;
    RunCompanion(os);
    EXPECT_EQ(os.devices["W:"], "\\??\\C:\\Work Space");
    EXPECT_EQ(os.devices["V:"], "\\??\\C:\\WORKSP~1");
    EXPECT_EQ(os.devices["A:"], "\\??\\N:\\slow") << "a folder that does not answer is kept, as it stands";
    EXPECT_EQ(os.devices["T:"], "\\??\\C:\\windows");
    EXPECT_TRUE(os.runs.empty()) << "no process a drive at logon";
    EXPECT_EQ(os.now, 0u) << "nothing to wait for";
    EXPECT_EQ(LogLines(), (Rows{"started for C:\\Tools\\kordat, 5 saved drives",
                                "E: record refused: it names a folder that is not a full path from a drive letter",
                                "O: record refused: it cannot be read, or it is larger than 4096 bytes",
                                "U: record refused: it names a folder that is on a network path, and only folders "
                                "on a drive letter come back at logon",
                                "A: made, standing for N:\\slow", "G: not made: C:\\gone does not exist",
                                "T: left alone: the letter is in use", "V: made, standing for C:\\WORKSP~1",
                                "W: made, standing for C:\\Work Space"}));
    os.files.erase(kLog);
    EXPECT_EQ(os.files, records);

    // One companion a logon: a second one ends at once.
    os.devices.erase("W:");
    os.locksElsewhere.insert(kCompanionLock);
    RunCompanion(os);
    EXPECT_FALSE(os.devices.count("W:"));
    // The copy in the common Startup folder has no data folder beside it.
    os.locksElsewhere.clear();
    os.programFolder = "C:\\Startup";
    os.registry["HKCU\\Software\\Korvane\\ProgramFolder"] = "C:\\Elsewhere";
    RunCompanion(os);
    EXPECT_EQ(LogLines(), Rows{"no saved drives: no data folder beside C:\\Startup or where Korvane last ran"});
    os.registry["HKCU\\Software\\Korvane\\ProgramFolder"] = "C:\\Tools";
    RunCompanion(os);
    EXPECT_TRUE(os.devices.count("W:"));
}

TEST_F(SavedTest, CompanionWaitsForADriveThatComesLateThenGivesUp) {
    Record('C') = "C:\\windows\r\n";
    for (const char* folder : {"L:\\late", "M:\\later", "V:\\never"}) {
        Record(folder[0]) = folder + std::string("\r\n");
        os.folders.insert(folder);
        os.probes[folder] = {PathProbe::State::NotReady, "The device is not ready."};
    }
    // The clock drifts off the pauses a little, so that the waits logged are
    // rounded both ways, then comes back to give up on the dot.
    const std::map<unsigned long long, unsigned long long> drift = {{5000, 5500}, {10500, 10499}, {15499, 15000}};
    os.onSleep = [&] {
        EXPECT_EQ(os.devices.count("C:"), 1u) << "a present folder is made before any wait";
        os.now = drift.count(os.now) ? drift.at(os.now) : os.now;
        os.probes.erase(os.now == 5500 ? "L:\\late" : os.now == 10499 ? "M:\\later" : "");
    };
    RunCompanion(os);
    EXPECT_FALSE(os.devices.count("V:"));
    EXPECT_EQ(os.now, kLateGiveUpMs);
    EXPECT_EQ(LogLines(), (Rows{"started for C:\\Tools\\kordat, 4 saved drives", "C: made, standing for C:\\windows",
                                "L: made, standing for L:\\late, after waiting 6 s for its drive",
                                "M: made, standing for M:\\later, after waiting 10 s for its drive",
                                "V: not made: V:\\never was still not there after 120 s (The device is not ready.)"}));

    // Korvane's own start makes what it can at once and waits for nothing.
    os.devices.clear();
    os.probes["L:\\late"] = {PathProbe::State::NotReady, "The device is not ready."};
    os.now = 0;
    RestoreAtStartup(os);
    EXPECT_EQ(os.devices.size(), 2u);
    EXPECT_EQ(os.now, 0u);
    os.devices.clear();
    os.locksElsewhere.insert(kRestoreLock); // a companion's pass under way
    RestoreAtStartup(os);
    EXPECT_TRUE(os.devices.empty());
}

TEST(CompanionLog, KeepsTheNewestWholeLinesUnderTheLimit) {
    const std::pair<std::size_t, std::string> kept[] = {
        {12, "aa\r\nbb\r\ncc\r\n"}, {11, "bb\r\ncc\r\n"}, {8, "bb\r\ncc\r\n"}, {7, "cc\r\n"}};
    for (const auto& [limit, text] : kept)
        EXPECT_EQ(KeepNewestLines("aa\r\nbb\r\ncc\r\n", limit), text);
    EXPECT_EQ(KeepNewestLines("aaaaaaaa", 4), "");
    // A log grown past twice the limit by something else starts afresh.
    FakeOs os;
    CompanionLog log(os);
    for (const std::size_t size : {kLogLimitBytes, 2 * kLogLimitBytes}) {
        os.files[kLog] = std::string(size, 'x') + "\r\nold\r\n";
        log.Add("new");
        log.Flush();
        EXPECT_EQ(os.files[kLog],
                  (size == kLogLimitBytes ? "old\r\n" : "") + std::string("2026-12-06 08:00:00  new\r\n"));
    }
}

TEST_F(SavedTest, StartUpBringsBackWhatItCanBeforeTheScanAndKeepsEverySave) {
    os.files["C:\\windows\\system32\\subst.exe"] = os.files[kOurs] = "MZ";
    os.folders = {"C:\\", "C:\\windows", "C:\\back"};
    os.Subst("X:", "C:\\windows");
    Record('X') = "C:\\windows\r\n";
    Record('B') = "C:\\back\r\n";
    Record('Y') = "C:\\gone\r\n";
    const auto records = os.files;
    EXPECT_TRUE(CheckStartupFiles(os));
    DriveModel model;
    model.Take(PrepareDrives(os));
    EXPECT_TRUE(os.messages.empty());
    EXPECT_EQ(model.UsedDrives(), (Rows{"B:", "X:"}));
    EXPECT_EQ(model.FreeDrives().size(), 24u);
    EXPECT_EQ(model.SavedEntries(), (Rows{"B:", "X:", "Y: (not present)"}));
    EXPECT_EQ(os.files, records);
    EXPECT_EQ(Run("HKCU"), kOurs) << "registered for the user: nothing here is protected";
}

// The label belongs to the letter: Korvane takes away only a label it wrote,
// and only while it is still that text; the user's clearing takes any.
TEST_F(SavedTest, LabelsAreAnyShortTextAndGoOnlyWhileStillTheOnesWritten) {
    const std::string photo = "\xF0\x9F\x93\xB7", ef = "\xD0\xA4"; // two UTF-16 units, one
    std::string photos16, efs32;
    for (int i = 0; i < 32; ++i) {
        efs32 += ef;
        photos16 += i < 16 ? photo : "";
    }
    Rows refusals;
    for (const std::string& typed :
         Rows{"Tab\there", "Two\nlines", "Del\x7f", "C1\xC2\x85", "Line\xE2\x80\xA8", std::string(33, 'x'),
              photos16 + photo, "  " + std::string(32, 'x') + "  ", photos16, efs32, "   "})
        refusals.push_back(LabelRefusal(LabelText(typed)).value_or("taken").substr(0, 14));
    EXPECT_EQ(refusals, (Rows{"it holds a con", "it holds a con", "it holds a con", "it holds a con", "it holds a con",
                              "it is longer t", "it is longer t", "taken", "taken", "taken", "taken"}));

    const std::string label = "HKCU\\Software\\Classes\\Applications\\Explorer.exe\\Drives\\P\\DefaultLabel\\";
    const std::string note = "HKCU\\Software\\Korvane\\Labels\\P";
    EXPECT_EQ(SetDriveLabel(os, "P:", " Photos ", LabelScope::User), std::nullopt);
    EXPECT_EQ(os.registry, (Texts{{label, "Photos"}, {note, "Photos"}}));
    EXPECT_EQ(DriveLabel(os, "P:", LabelScope::User), "Photos");
    EXPECT_EQ(ForgetDriveLabel(os, "P:", LabelScope::User), std::nullopt);
    EXPECT_EQ(os.registry, Texts{});
    SetDriveLabel(os, "P:", "Photos", LabelScope::User);
    os.registry[label] = "Pictures"; // renamed since, by someone else
    ForgetDriveLabel(os, "P:", LabelScope::User);
    ForgetDriveLabel(os, "P:", LabelScope::User);
    EXPECT_EQ(os.registry, (Texts{{label, "Pictures"}}));
    EXPECT_EQ(SetDriveLabel(os, "P:", "  ", LabelScope::User), std::nullopt);
    EXPECT_EQ(os.registry, Texts{});
    os.refusedValues.insert(note); // a label that could not be noted would stay for ever
    EXPECT_EQ(SetDriveLabel(os, "P:", "Photos", LabelScope::User), "Access is denied.");
    EXPECT_EQ(os.registry, Texts{});
    EXPECT_EQ(os.renamed.size(), 4u) << "set, taken away, set again, cleared";
}

// korctl: the exit code, standard output and standard error of a command line.
std::string Korctl(FakeOs& os, std::vector<std::string> args) {
    const CliResult result = RunCommandLine(os, args, "1.2.3");
    return std::to_string(result.exitCode) + "|" + result.out + "|" + result.err;
}

TEST_F(SavedTest, CommandLineMakesSavesListsAndRemovesAsTheWindowDoes) {
    os.folders.insert({"C:\\Data", "C:\\My Data", "C:\\MYDATA~1"});
    os.shortNames["C:\\My Data"] = "C:\\MYDATA~1";
    // A short name typed is made and saved as the folder it names now.
    EXPECT_EQ(Korctl(os, {"create", "x:", "C:\\MYDATA~1", "--save"}), "0|X: created for C:\\MYDATA~1 and saved\n|");
    EXPECT_EQ(os.runs.back() + "|" + Record('X'), "X: \"C:\\My Data\"|C:\\My Data\r\n")
        << "through subst.exe, as the window does";
    EXPECT_EQ(Korctl(os, {"create", "R:", "C:\\"}), "0|R: created for C:\\\n|");
    os.folders.insert("\\\\nas\\share");
    EXPECT_EQ(Korctl(os, {"create", "S:", "\\\\nas\\share"}), "0|S: created for \\\\nas\\share\n|");
    os.devices = {{"R:", "\\??\\C:\\"}, {"X:", "\\??\\C:\\Data"}, {"Y:", "\\??\\C:\\My \"Files\"\x1f"}};
    Record('K') = "L:\\Photos\r\n";
    EXPECT_EQ(Korctl(os, {"label", "k:", "Фото"}), "0|K: is labelled Фото\n|");
    EXPECT_EQ(Korctl(os, {"list"}), "0|R:  C:\\\nX:  C:\\Data  [saved]\nY:  C:\\My \"Files\"\x1f\nK:  L:\\Photos  "
                                    "[saved, not present]  label: Фото\n|");
    EXPECT_EQ(
        Korctl(os, {"list", "--json"}),
        "0|[\n  {\"drive\": \"R:\", \"folder\": \"C:\\\\\", \"saved\": false, \"present\": true, \"label\": null},"
        "\n  {\"drive\": \"X:\", \"folder\": \"C:\\\\Data\", \"saved\": true, \"present\": true, \"label\": null},"
        "\n  {\"drive\": \"Y:\", \"folder\": \"C:\\\\My \\\"Files\\\"\\u001f\", \"saved\": false, \"present\": true, "
        "\"label\": null},"
        "\n  {\"drive\": \"K:\", \"folder\": \"L:\\\\Photos\", \"saved\": true, \"present\": false, \"label\": "
        "\"Фото\"}\n]\n|");
    const Rows outputs = {Korctl(os, {"save", "R:"}),          Korctl(os, {"save", "R:"}),
                          Korctl(os, {"label", "R:", "Root"}), Korctl(os, {"label", "X:", "Data"}),
                          Korctl(os, {"forget", "R:"}),        Korctl(os, {"remove", "X:"}),
                          Korctl(os, {"remove", "R:"}),        Korctl(os, {"label", "K:", "--clear"}),
                          Korctl(os, {"remove", "Y:"})};
    EXPECT_EQ(outputs,
              (Rows{"0|R: saved\n|", "0|R: is saved already\n|", "0|R: is labelled Root\n|", "0|X: is labelled Data\n|",
                    "0|the save of R: is forgotten\n|", "0|X: removed and its save forgotten\n|", "0|R: removed\n|",
                    "0|K: has no label now\n|", "0|Y: removed\n|"}));
    EXPECT_TRUE(os.devices.empty() && !os.files.count("C:\\Tools\\kordat\\X.ini") && os.registry.empty())
        << "the labels went with the saves";
    // Letters in use count as brought back.
    Record('L') = "C:\\Data\r\n";
    os.Subst("K:", "C:\\Elsewhere");
    EXPECT_EQ(Korctl(os, {"restore"}), "0|K: left alone: the letter is in use\nL: made, standing for C:\\Data\n|");
    os.devices.clear();
    EXPECT_EQ(Korctl(os, {"restore"}), "1|K: not made: L:\\Photos does not exist\nL: made, standing for C:\\Data\n|"
                                       "korctl: not every saved drive could be brought back\n");
}

TEST_F(SavedTest, CommandLineRefusesWhatItCannotDoWithOneClearLine) {
    os.folders.insert("C:\\Data");
    os.Subst("Y:", "C:\\Data");
    os.onRun = [](const ProgramCall&) { return ProgramRun{ProgramRun::End::Exited, 1, "Access denied\r\n", {}}; };
    const std::pair<Rows, std::string> refused[] = {
        {{"create", "Y:", "C:\\Data"}, "Y: is already in use"},
        {{"create", "Z:", "C:\\Missing"}, "there is no folder C:\\Missing"},
        {{"create", "Z:", "Data"}, "give the folder as a full path, such as C:\\Data, not Data"},
        {{"create", "Z:", "C:\\Data"}, "Z: could not be created: subst.exe answered \"Access denied\""},
        {{"remove", "Z:"}, "Z: is not a virtual drive"},
        {{"remove", "Y:"}, "Y: could not be removed: subst.exe answered \"Access denied\""},
        {{"forget", "Y:"}, "Y: is not saved"},
        {{"label", "Y:", "Data"},
         "Y: is not saved; save it first (korctl save Y:), as only a saved drive keeps a label"},
        {{"label", "Y:"}, "give the drive and the label, as in: korctl label X: \"Photos\" (or --clear)"},
        {{"save", "YY"}, "not a drive letter: YY (give it as X:)"},
        {{"list", "--all"}, "unknown option --all; see korctl --help"},
        {{"mount", "Y:"}, "unknown command mount; see korctl --help"},
        {{"remove"}, "wrong arguments for remove; see korctl --help"},
        {{}, "no command given; see korctl --help"}};
    for (const auto& [args, why] : refused)
        EXPECT_EQ(Korctl(os, args), "1||korctl: " + why + "\n");
    os.folders.erase("C:\\Tools\\kordat");
    EXPECT_EQ(Korctl(os, {"save", "Y:"}),
              "1||korctl: Y: could not be saved: The system cannot find the path specified.\n");
    EXPECT_EQ(Korctl(os, {"--version"}), "0|korctl 1.2.3\n|");
    EXPECT_EQ(Korctl(os, {"list", "--help"}).rfind("0|Usage: korctl COMMAND", 0), 0u);
}

} // namespace
} // namespace kv::test
