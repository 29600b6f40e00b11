#include <gtest/gtest.h>

#include "startup/startup.h"
#include "command_line/command_line.h"
#include "fakes/fake_os.h"
#include "platform/file_security.h"
#include "saved/autostart.h"
#include "saved/companion_log.h"
#include "saved/labels.h"
#include "saved/record_reader.h"
#include "saved/records.h"
#include "saved/restore.h"
#include "saved/saved_list.h"
#include "saved/scopes.h"

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
        RegisterAutoStart(os);
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

// A logon entry for every user only for a companion that no user can
// replace, whose users then keep their saves in their own profiles; never
// two entries.
TEST_F(SavedTest, OnlyACompanionNoUserCanReplaceServesEveryone) {
    os.files[kOurs] = "MZ";
    os.folders.insert("C:\\Startup");
    os.elevated = true;
    os.protectedPaths = {kOurs};
    Run("HKCU") = kOurs;
    EXPECT_EQ(Registered(), kOurs + "||");
    CreateDataFolder(os);
    EXPECT_TRUE(os.folders.count("C:\\AppData\\Korvane")) << "the folder above is made first";
    EXPECT_EQ(WriteSavedDrive(os, "X:", std::string("C:\\windows")), std::nullopt);
    EXPECT_EQ(os.files["C:\\AppData\\Korvane\\kordat\\X.ini"], "C:\\windows\r\n");
    EXPECT_EQ(WriteSavedDrive(os, "E:", std::string("E:")), std::nullopt);
    EXPECT_EQ(os.files["C:\\AppData\\Korvane\\kordat\\E.ini"], "E:\\\r\n") << "a bare drive is saved as its root";
    // A standard user cannot write the machine's keys, and need not.
    os.refusedValues.insert("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\Korvane");
    EXPECT_EQ(Registered(), kOurs + "||");
    Run("HKLM") = "";
    EXPECT_EQ(Registered(), "||MZ");
    os.commonStartup.reset();
    EXPECT_EQ(Registered(), "|" + kOurs + "|MZ") << "nothing for everyone could be made";
    // No profile folder named: nothing is saved, and nowhere else.
    os.localAppData.reset();
    EXPECT_EQ(WriteSavedDrive(os, "Y:", std::string("C:\\windows")),
              "there is no folder for this user's saves: LOCALAPPDATA is not set");
    EXPECT_EQ(DeleteSavedDrive(os, "X:"), std::nullopt);
    EXPECT_EQ(os.files.size(), 4u);
    // Where any user may write, the entry and the saves stay beside the
    // program, and an elevated start takes back an entry of ours for everyone.
    os.refusedValues.clear();
    os.protectedPaths.clear();
    os.companionProtected = -1; // another process
    Run("HKLM") = kOurs;
    EXPECT_EQ(Registered(), "|" + kOurs + "|MZ");
    Run("HKLM") = "C:\\Other\\korstart.exe";
    EXPECT_EQ(Registered(), "C:\\Other\\korstart.exe|" + kOurs + "|MZ") << "another copy's entry is not ours";
    os.programFolder = "C:\\Program Files\\Korvane";
    EXPECT_EQ(Registered(), "C:\\Other\\korstart.exe|\"C:\\Program Files\\Korvane\\korstart.exe\"|MZ");
}

// Descriptors as Windows writes them, for korstart.exe in a folder that the
// installer locked in Program Files (x86), and the folders above it.
TEST(FileSecurity, OnlyAdministratorsMayChangeTheCompanionOrAnyFolderAboveIt) {
    using Chain = std::vector<std::optional<std::string>>;
    const std::string ti = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
    const std::string root = "O:" + ti + "G:" + ti +
                             "D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)"
                             "(A;;LC;;;AU)";
    const std::string programFiles = "O:" + ti + "G:" + ti + "D:PAI(A;;FA;;;" + ti + ")(A;CIIO;GA;;;" + ti +
                                     ")(A;;0x1301bf;;;SY)(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)"
                                     "(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;AC)"
                                     "(A;OICIIO;GXGR;;;AC)(A;;0x1200a9;;;S-1-15-2-2)(A;OICIIO;GXGR;;;S-1-15-2-2)";
    const std::string locked = "O:BAG:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
    const std::string file = "O:BAG:SYD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1200a9;;;BU)";
    const std::string usersAdd = "(A;CI;0x116;;;BU)"; // ProgramData's: Users may add files and folders
    const Chain installed = {file, locked, programFiles, root};
    const auto with = [&](std::size_t at, std::optional<std::string> sddl) {
        Chain chain = installed;
        chain[at] = std::move(sddl);
        return chain;
    };
    EXPECT_TRUE(OnlyAdministratorsCanChange(installed));
    EXPECT_TRUE(OnlyAdministratorsCanChange(with(2, programFiles + usersAdd))) << "adding above replaces nothing";
    EXPECT_TRUE(OnlyAdministratorsCanChange(with(1, "O:SYD:P(D;;SD;;;WD)"))) << "no allowing entry: no one may";
    const std::pair<Chain, const char*> unsafe[] = {
        {with(2, "O:BAG:SYD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;ID;0x1301bf;;;AU)(A;OICIIOID;SDGXGWGR;;;AU)"),
         "a folder made in C:\\ that users may rename"},
        {with(0, "O:S-1-5-21-1-2-3-1001D:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)"), "the companion owned by a user"},
        {with(1, locked + usersAdd), "users may put a DLL beside it"},
        {with(3, root + "(A;;0x40;;;AU)"), "users may take folders out of the root"},
        {with(1, "O:BAD:PAI(D;;FA;;;BU)(A;;FA;;;AU)"), "an entry after a deny entry"},
        {with(0, "O:BAD:PAI(A;;GW;;;BU)"), "generic write"},
        {with(0, "O:BAD:PAI(XA;;FA;;;WD;(Member_of {SID(BA)}))"), "a conditional entry"},
        {with(1, "O:BAD:PAI(A;;ZZ;;;BU)"), "rights not understood"},
        {with(1, "O:BAD:NO_ACCESS_CONTROL"), "no DACL"},
        {with(1, "O:BA"), "no DACL read"},
        {with(3, std::nullopt), "a descriptor that could not be read"},
        {{file}, "no folder"}};
    for (const auto& [chain, why] : unsafe)
        EXPECT_FALSE(OnlyAdministratorsCanChange(chain)) << why;
    EXPECT_EQ(PathAndFoldersAbove("C:\\Program Files (x86)\\Korvane\\korstart.exe"),
              (Rows{"C:\\Program Files (x86)\\Korvane\\korstart.exe", "C:\\Program Files (x86)\\Korvane",
                    "C:\\Program Files (x86)", "C:\\"}));
    EXPECT_EQ(PathAndFoldersAbove("c:\\\\korstart.exe"), (Rows{"c:\\korstart.exe", "c:\\"}));
    for (const char* outside : {"\\\\nas\\share\\korstart.exe", "UNC\\nas\\k.exe", "C:\\a\\..\\k.exe", "C:k.exe"})
        EXPECT_TRUE(PathAndFoldersAbove(outside).empty()) << outside;
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

    // One companion a logon: a second one ends at once. The logon task's,
    // run as administrator apart from the user, makes that session's letters.
    os.devices.erase("W:");
    os.locksElsewhere.insert(kCompanionLock);
    RunCompanion(os);
    EXPECT_FALSE(os.devices.count("W:"));
    os.elevatedApart = true;
    RunCompanion(os);
    EXPECT_TRUE(os.devices.count("W:"));
    os.devices.erase("W:");
    os.files.erase(kLog);
    os.elevatedApart = false;
    // The copy in the common Startup folder, which only administrators may
    // change, finds the user's own saves, and leaves the letters of the
    // user's network drives to them.
    os.locksElsewhere.clear();
    os.programFolder = "C:\\Startup";
    os.protectedPaths = {"C:\\Startup\\korstart.exe"};
    os.companionProtected = -1; // another process
    RunCompanion(os);
    EXPECT_EQ(LogLines(), Rows{"no saved drives: there is no data folder C:\\AppData\\Korvane\\kordat"});
    os.files.erase(kLog);
    os.folders.insert("C:\\AppData\\Korvane\\kordat");
    os.files["C:\\AppData\\Korvane\\kordat\\W.ini"] = os.files["C:\\AppData\\Korvane\\kordat\\H.ini"] = "C:\\windows";
    os.registry["HKCU\\Network\\H\\RemotePath"] = "\\\\nas\\home";
    RunCompanion(os);
    EXPECT_EQ(LogLines(), (Rows{"started for C:\\AppData\\Korvane\\kordat, 1 saved drives",
                                "H: left alone: the letter is the user's network drive \\\\nas\\home, which Windows "
                                "connects at logon",
                                "W: made, standing for C:\\windows"}));
    os.devices.erase("W:");
    os.lockedFiles.insert(kLog);
    RunCompanion(os);
    EXPECT_TRUE(os.devices.count("W:")) << "made though the log cannot be written";
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

// Lines are appended; past the limit the newest whole lines take the log's
// place in one step, and a step that fails leaves every line there.
TEST(CompanionLog, AppendsAndKeepsTheNewestWholeLinesUnderTheLimit) {
    const std::pair<std::size_t, std::string> kept[] = {
        {12, "aa\r\nbb\r\ncc\r\n"}, {11, "bb\r\ncc\r\n"}, {8, "bb\r\ncc\r\n"}, {7, "cc\r\n"}};
    for (const auto& [limit, text] : kept)
        EXPECT_EQ(KeepNewestLines("aa\r\nbb\r\ncc\r\n", limit), text);
    EXPECT_EQ(KeepNewestLines("aaaaaaaa", 4), "");
    FakeOs os;
    CompanionLog log(os);
    const auto flush = [&](const std::string& before) {
        os.files[kLog] = before;
        log.Add("new");
        log.Flush();
        return os.files[kLog];
    };
    const std::string line = "2026-12-06 08:00:00  new\r\n", full = std::string(kLogLimitBytes - line.size(), 'x');
    for (const std::string& before : Rows{"old\r\n", full + "\r\nold\r\n", full + full + full + "\r\nold\r\n"})
        EXPECT_EQ(flush(before), "old\r\n" + line);
    EXPECT_EQ(flush(full.substr(2) + "\r\n"), full.substr(2) + "\r\n" + line) << "just fits";
    os.lockedFiles = {kLog + ".new"};
    EXPECT_EQ(flush(full + "\r\n"), full + "\r\n" + line);
    os.lockedFiles = {kLog};
    EXPECT_EQ(flush("old\r\n"), "old\r\n");
    os.lockedFiles.clear();
    log.Flush();
    EXPECT_EQ(os.files[kLog], "old\r\n" + line) << "a line not written waits for the next flush";
    EXPECT_FALSE(os.files.count(kLog + ".new"));
}

TEST_F(SavedTest, StartUpBringsBackWhatItCanBeforeTheScanAndKeepsEverySave) {
    EXPECT_FALSE(CheckStartupFiles(os)) << "nothing to do without subst.exe";
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
    EXPECT_EQ(os.messages.size(), 1u) << "only that subst.exe is missing";
    EXPECT_EQ(model.UsedDrives(), (Rows{"B:", "X:"}));
    EXPECT_EQ(model.FreeDrives().size(), 24u);
    EXPECT_EQ(model.SavedEntries(), (Rows{"B:", "X:", "Y: (not present)"}));
    EXPECT_EQ(os.files, records);
    EXPECT_EQ(Run("HKCU"), kOurs) << "registered for the user: nothing here is protected";
    ReadDrives(os);
    EXPECT_EQ(os.protectionReads, 1) << "read once a process, not at every look at the records";
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
    os.folders = {"C:\\", "C:\\Data", "C:\\My Data", "C:\\MYDATA~1", "C:\\Tools"}; // unpacked, never started
    os.shortNames["C:\\My Data"] = "C:\\MYDATA~1";
    // A short name typed is made and saved as the folder it names now.
    EXPECT_EQ(Korctl(os, {"create", "x:", "C:\\MYDATA~1\\", "--save"}), "0|X: created for C:\\MYDATA~1 and saved\n|");
    EXPECT_EQ(os.runs.back() + "|" + Record('X'), "X: \"C:\\My Data\"|C:\\My Data\r\n")
        << "through subst.exe, as the window does";
    EXPECT_EQ(Korctl(os, {"create", "R:", "C:\\."}), "0|R: created for C:\\\n|");
    os.folders.insert("\\\\nas\\share");
    EXPECT_EQ(Korctl(os, {"create", "S:", "\\\\nas\\share\\.\\"}), "0|S: created for \\\\nas\\share\n|");
    os.devices = {{"R:", "\\??\\C:\\"}, {"X:", "\\??\\C:\\Data"}, {"Y:", "\\??\\C:\\My \"Files\"\x1f"}};
    Record('K') = "L:\\Photos\r\n";
    EXPECT_EQ(Korctl(os, {"label", "k:", "Фото"}), "0|K: is labelled Фото\n|");
    EXPECT_EQ(Korctl(os, {"list"}), "0|R:  C:\\\nX:  C:\\Data  [saved]\nY:  C:\\My \"Files\"\x1f\nK:  L:\\Photos  "
                                    "[saved, not present]  label: Фото\n|");
    EXPECT_EQ(
        Korctl(os, {"list", "--json"}),
        "0|[\n  {\"drive\": \"R:\", \"folder\": \"C:\\\\\", \"saved\": false, \"present\": true, \"scope\": null, "
        "\"label\": null},"
        "\n  {\"drive\": \"X:\", \"folder\": \"C:\\\\Data\", \"saved\": true, \"present\": true, \"scope\": \"mine\", "
        "\"label\": null},"
        "\n  {\"drive\": \"Y:\", \"folder\": \"C:\\\\My \\\"Files\\\"\\u001f\", \"saved\": false, \"present\": true, "
        "\"scope\": null, \"label\": null},"
        "\n  {\"drive\": \"K:\", \"folder\": \"L:\\\\Photos\", \"saved\": true, \"present\": false, \"scope\": "
        "\"mine\", \"label\": \"Фото\"}\n]\n|");
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

// A save for all users is a value of the system's DOS Devices key; the
// one-shot task stands in for the SYSTEM account, whose letters are every
// session's (the fake's device table).
TEST_F(SavedTest, SaveForAllUsersWritesTheStartupValueAndMakesItAtOnceOnlyFromAProtectedCopy) {
    const std::string key = std::string("HKLM\\") + kDosDevicesKey + "\\";
    os.devices = {{"C:", "\\Device\\HarddiskVolume1"},
                  {"D:", "\\Device\\CdRom0"},
                  {"N:", "\\Device\\LanmanRedirector\\;N:0\\nas\\share"},
                  {"S:", "\\??\\C:\\Data"}};
    os.folders.insert({"C:\\My Data", "C:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE", "C:\\Data", "N:\\x", "S:\\x"});
    os.elevated = true;
    EXPECT_EQ(Korctl(os, {"save", "x:", "C:\\My Data", "--all-users"}),
              "0|X: saved for all users, standing for C:\\My Data; it comes at the next restart (this copy of Korvane "
              "may be changed by others, so it is not run as SYSTEM to make it now)\n|");
    Korctl(os, {"save", "R:", "C:", "--all-users"});
    Korctl(os, {"save", "U:", "C:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE", "--all-users"});
    EXPECT_EQ(os.registry[key + "X:"] + "|" + os.registry[key + "R:"] + "|" + os.registry[key + "U:"],
              "\\??\\C:\\My Data|\\??\\C:\\|\\??\\C:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE");
    EXPECT_TRUE(os.tasks.empty() && os.taskRuns.empty());
    Record('K') = "C:\\Data\r\n";
    os.registry["HKCU\\Network\\M\\RemotePath"] = "\\\\nas\\home";
    os.refusedValues.insert(key + "V:");
    const std::pair<Rows, std::string> refused[] = {
        {{"save", "Q:", "N:\\x", "--all-users"}, "N:\\x is not a folder on a local disk"},
        {{"save", "Q:", "S:\\x", "--all-users"}, "S:\\x is not a folder on a local disk"},
        {{"save", "Q:", "\\\\nas\\share", "--all-users"}, "\\\\nas\\share is not a folder on a local disk"},
        {{"save", "Q:", "C:\\Missing", "--all-users"}, "there is no folder C:\\Missing"},
        {{"save", "K:", "C:\\Data", "--all-users"}, "it is one of your own saves; forget that first"},
        {{"save", "M:", "C:\\Data", "--all-users"}, "the letter is your network drive's, reconnected at every logon"},
        {{"save", "X:", "C:\\Data", "--all-users"}, "the letter is saved for all users already, as \\??\\C:\\My Data"},
        {{"save", "D:", "C:\\Data", "--all-users"}, "the letter is a device's"},
        {{"save", "V:", "C:\\Data", "--all-users"}, "Access is denied."}};
    for (const auto& [args, why] : refused)
        EXPECT_EQ(Korctl(os, args), "1||korctl: " + args[1] + " could not be saved for all users: " + why + "\n");
    EXPECT_EQ(Korctl(os, {"save", "X:", "C:\\My Data", "--all-users"}), "0|X: is saved for all users already\n|");
    // Its label is every user's.
    const std::string label =
        "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\X\\DefaultLabel\\";
    EXPECT_EQ(Korctl(os, {"label", "X:", "Box", "--all-users"}), "0|X: is labelled Box for all users\n|");
    EXPECT_EQ(Find(os.registry, label), "Box");
    EXPECT_EQ(
        Korctl(os, {"label", "X:", "Bag"}),
        "1||korctl: X: is not saved; it is saved for all users, so label it with --all-users, as administrator\n");
    EXPECT_EQ(Korctl(os, {"label", "S:", "Bag", "--all-users"}),
              "1||korctl: S: is not saved for all users; save it first (korctl save S: --all-users)\n");
    EXPECT_EQ(Korctl(os, {"list"}), "0|S:  C:\\Data\nK:  C:\\Data  [saved, not present]\nR:  C:\\  (all users, not "
                                    "present)\nU:  C:\\\xD0\xA4\xD0\xBE\xD1\x82\xD0\xBE  (all users, not present)\nX:  "
                                    "C:\\My Data  (all users, not present)  label: Box\n|");
    os.elevated = false;
    EXPECT_EQ(Korctl(os, {"label", "X:", "--clear", "--all-users"}),
              "1||korctl: the label of X: for all users was not set: that needs administrator rights; run korctl as "
              "administrator\n");
    EXPECT_EQ(Korctl(os, {"forget", "X:", "--all-users"}),
              "1||korctl: the save of X: for all users could not be forgotten: that needs administrator rights; run "
              "korctl as administrator\n");
    os.elevated = true;
    EXPECT_EQ(Korctl(os, {"forget", "X:", "--all-users"}),
              "0|the save of X: for all users is forgotten; the drive goes at the next restart\n|");
    EXPECT_FALSE(os.registry.count(label)) << "the label goes with the save";
    EXPECT_EQ(Korctl(os, {"forget", "X:", "--all-users"}), "1||korctl: X: is not saved for all users\n");

    // Installed where only administrators can change it: SYSTEM makes it now.
    os.protectedPaths = {"C:\\Tools", kOurs};
    os.companionProtected = -1; // another process, which reads it anew
    os.onTaskRun = [&](const std::string& task) {
        EXPECT_EQ(ApplyAllUsersDrive(os, task.substr(task.size() - 1) + ":"), 0);
    };
    EXPECT_EQ(Korctl(os, {"save", "Y:", "C:\\Data", "--all-users"}),
              "0|Y: saved for all users, standing for C:\\Data, for every user from now on\n|");
    EXPECT_EQ(os.devices["Y:"], "\\??\\C:\\Data");
    EXPECT_EQ(os.taskRuns, Rows{"Korvane all users Y"});
    EXPECT_TRUE(os.tasks.empty()) << "the one-shot task goes once it ran";
    EXPECT_EQ(Korctl(os, {"list", "--json"})
                      .find("{\"drive\": \"Y:\", \"folder\": \"C:\\\\Data\", \"saved\": true, "
                            "\"present\": true, \"scope\": \"all-users\", \"label\": null}") != std::string::npos,
              true);
    EXPECT_EQ(Korctl(os, {"forget", "Y:", "--all-users"}),
              "0|the save of Y: for all users is forgotten and the drive removed\n|");
    EXPECT_FALSE(os.devices.count("Y:"));
    os.devices["D:"] = "\\Device\\CdRom0";
    os.registry[key + "D:"] = "\\??\\C:\\Data";
    EXPECT_EQ(ApplyAllUsersDrive(os, "D:"), 2) << "a device keeps its letter";
    // A task that cannot run leaves the value, and says so.
    os.taskFaults["run"] = "Not implemented.";
    EXPECT_EQ(Korctl(os, {"save", "Z:", "C:\\Data", "--all-users"}),
              "1||korctl: Z: saved for all users, standing for C:\\Data; it comes at the next restart, but could not "
              "be made now: its task for the SYSTEM account did not run through: Not implemented.\n");
    EXPECT_EQ(os.registry[key + "Z:"], "\\??\\C:\\Data");
    EXPECT_TRUE(os.tasks.empty());
    EXPECT_EQ(AllUsersTaskXml("C:\\A&B\\korstart.exe", "Z:")
                      .find("<Command>C:\\A&amp;B\\korstart.exe</Command><Arguments>--all-users Z:</Arguments>") !=
                  std::string::npos,
              true);
    EXPECT_EQ(AllUsersDriveArgument(" --all-users z: "), "Z:");
    EXPECT_FALSE(AllUsersDriveArgument("--all-users Z:\\") || AllUsersDriveArgument("--all-users 1:") ||
                 AllUsersDriveArgument(""));
}

// Only where the account has a second session, and only for a companion no
// other user can replace: the task runs it with administrator rights.
TEST_F(SavedTest, ElevatedSwitchRegistersTheLogonTaskOnlyForASplitTokenAndAProtectedCompanion) {
    const std::string task = "Korvane elevated drives S-1-5-21-7";
    EXPECT_EQ(Korctl(os, {"elevated", "status"}),
              "0|drives for programs run as administrator are not available: your account has no separate session "
              "for programs run as administrator, so they see your drives already or are another account's\n|");
    os.splitToken = true;
    EXPECT_EQ(Korctl(os, {"elevated", "on"}),
              "1||korctl: drives for programs run as administrator are not available: this copy of Korvane may be "
              "changed by others, and only an installed copy may run with administrator rights\n");
    os.protectedPaths = {"C:\\Tools", kOurs};
    os.companionProtected = -1; // another process, which reads it anew
    EXPECT_EQ(Korctl(os, {"elevated", "on"}),
              "1||korctl: drives for programs run as administrator could not be switched on: that needs "
              "administrator rights; run korctl as administrator\n");
    os.elevated = true;
    os.taskFaults["register"] = "Access is denied.";
    EXPECT_EQ(Korctl(os, {"elevated", "on"}),
              "1||korctl: drives for programs run as administrator could not be "
              "switched on: the logon task could not be registered: Access is denied.\n");
    EXPECT_TRUE(os.tasks.empty());
    os.taskFaults = {{"run", "Not implemented."}};
    EXPECT_EQ(Korctl(os, {"elevated", "on"}), "1||korctl: drives for programs run as administrator are on from your "
                                              "next logon, but could not be made now: Not implemented.\n");
    EXPECT_EQ(Korctl(os, {"elevated", "status"}), "0|drives for programs run as administrator are on\n|");
    const std::string xml = os.tasks[task];
    for (const char* part :
         {"as the user: ", "<LogonTrigger><Enabled>true</Enabled><UserId>S-1-5-21-7</UserId></LogonTrigger>",
          "<UserId>S-1-5-21-7</UserId><LogonType>InteractiveToken</LogonType><RunLevel>HighestAvailable</RunLevel>",
          "<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>",
          "<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>",
          "<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>", "(A;;FRFX;;;S-1-5-21-7)",
          "<Command>C:\\Tools\\korstart.exe</Command>"})
        EXPECT_NE(xml.find(part), std::string::npos) << part;
    // A save reaches programs run as administrator at once, or says why not.
    os.Subst("R:", "C:\\Data");
    EXPECT_EQ(Korctl(os, {"save", "R:"}), "1|R: saved\n|korctl: R: is saved, but programs run as administrator get it "
                                          "only from your next logon: Not implemented.\n");
    EXPECT_EQ(os.files["C:\\AppData\\Korvane\\kordat\\R.ini"], "C:\\Data\r\n") << "the user's own, installed";
    os.taskFaults.clear();
    EXPECT_EQ(Korctl(os, {"forget", "R:"}), "0|the save of R: is forgotten\n|");
    EXPECT_EQ(Korctl(os, {"save", "R:"}), "0|R: saved\n|");
    EXPECT_EQ(os.taskRuns, Rows{task});
    os.taskFaults = {{"delete", "Access is denied."}};
    EXPECT_EQ(Korctl(os, {"elevated", "off"}),
              "1||korctl: drives for programs run as administrator could not be switched off: Access is denied.\n");
    os.taskFaults.clear();
    EXPECT_EQ(Korctl(os, {"elevated", "off"}),
              "0|drives for programs run as administrator are off; those made already stay until you log off\n|");
    EXPECT_EQ(Korctl(os, {"elevated", "status"}), "0|drives for programs run as administrator are off\n|");
    EXPECT_EQ(Korctl(os, {"elevated", "maybe"}), "1||korctl: wrong arguments for elevated; see korctl --help\n");
}

TEST_F(SavedTest, CommandLineRefusesWhatItCannotDoWithOneClearLine) {
    os.folders.insert("C:\\Data");
    os.Subst("Y:", "C:\\Data");
    os.onRun = [](const ProgramCall&) { return ProgramRun{ProgramRun::End::Exited, 1, "Access denied\r\n", {}}; };
    const std::pair<Rows, std::string> refused[] = {
        {{"create", "Y:", "C:\\Data"}, "Y: is already in use"},
        {{"create", "Z:", "C:\\Missing"}, "there is no folder C:\\Missing"},
        {{"create", "Z:", "Data"}, "give the folder as a full path, such as C:\\Data, not Data"},
        {{"create", "Z:", "C:\\Data\" --save"},
         "the folder C:\\Data\" --save holds a quote: a backslash before a closing quote, as in \"%~dp0\", takes "
         "the quote into the folder; write \"%~dp0.\" instead"},
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
    EXPECT_EQ(os.runs, (Rows{"Z: C:\\Data", "Y: /D"})) << "a folder holding a quote never reaches subst.exe";
    // A create reported as failed leaves no drive behind: subst.exe may make
    // the letter on another folder, or the save may fail once it is made.
    std::string madeOn;
    bool removable = true;
    os.onRun = [&](const ProgramCall& call) {
        const std::string drive = call.arguments.substr(0, 2), folder = call.arguments.substr(3);
        if (folder != "/D")
            os.devices[drive] = "\\??\\" + (madeOn.empty() ? folder : madeOn);
        else if (removable)
            os.devices.erase(drive);
        return ProgramRun{ProgramRun::End::Exited, folder == "/D" && !removable, "Access denied\r\n", {}};
    };
    os.lockedFiles.insert("C:\\Tools\\kordat\\Z.ini");
    const std::string denied = "subst.exe answered \"Access denied\"",
                      elsewhere = "could not be created: Z: does not stand for C:\\Data after subst.exe ran";
    const std::tuple<std::string, bool, std::string> left[] = {
        {"C:\\Tools", true, elsewhere},
        {"C:\\Tools", false, elsewhere + "; subst.exe made Z: all the same, and it could not be removed: " + denied},
        {"", true, "could not be saved, so it was removed again: Access is denied."},
        {"", false,
         "was created for C:\\Data but not saved, and it stays, as it could not be removed (" + denied +
             "); the save failed: Access is denied."}};
    for (const auto& [on, canGo, why] : left) {
        std::tie(madeOn, removable) = std::tie(on, canGo);
        os.devices.erase("Z:");
        EXPECT_EQ(Korctl(os, {"create", "Z:", "C:\\Data", "--save"}), "1||korctl: Z: " + why + "\n");
        EXPECT_EQ(os.devices.count("Z:"), canGo ? 0u : 1u) << why;
    }
    EXPECT_EQ(Korctl(os, {"save", "Z:"}), "1||korctl: Z: could not be saved: Access is denied.\n");
    EXPECT_EQ(Korctl(os, {"list", "--utf8"}), Korctl(os, {"list"}));
    const CliResult json = RunCommandLine(os, {"list", "--json"}, ""),
                    utf8 = RunCommandLine(os, {"save", "--utf8"}, "");
    EXPECT_TRUE(json.outUtf8 && !json.errUtf8 && utf8.outUtf8 && utf8.errUtf8) << "JSON is UTF-8, all text with --utf8";
    EXPECT_EQ(Korctl(os, {"--version"}), "0|korctl 1.2.3\n|");
    EXPECT_EQ(Korctl(os, {"list", "--help"}).rfind("0|Usage: korctl COMMAND", 0), 0u);
}

} // namespace
} // namespace kv::test
