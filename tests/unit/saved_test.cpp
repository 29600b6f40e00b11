#include <gtest/gtest.h>

#include "app/startup.h"
#include "fakes/fake_controls.h"
#include "fakes/fake_os.h"
#include "saved/autostart.h"
#include "saved/companion_log.h"
#include "saved/record_reader.h"
#include "saved/records.h"
#include "saved/restore.h"
#include "saved/saved_list.h"

namespace kv::test {
namespace {

using Rows = std::vector<std::string>;
const std::string kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::string kLog = "C:\\AppData\\Korvane\\korstart.log";

struct SavedTest : ::testing::Test {
    FakeOs os;
    FakeListView lsv;
    FakeComboBox lst;
    std::string& Record(char letter) { return os.files["C:\\Tools\\kordat\\" + std::string(1, letter) + ".ini"]; }
    std::map<std::string, std::string>& Run(const char* root) { return os.registry[root + kRun]; }
    Rows LogLines()
    {
        Rows lines;
        const std::string& log = os.files[kLog];
        for (std::size_t at = 0, end; (end = log.find("\r\n", at)) != std::string::npos; at = end + 2)
            lines.push_back(log.substr(at + 21, end - at - 21)); // past the time stamp
        return lines;
    }
};

TEST_F(SavedTest, WritesOneLineWithTheFolderAndKeepsItWhenThereIsNothingToWrite)
{
    EXPECT_EQ(WriteSavedDrive(os, "X:", std::string("C:\\DATA")), std::nullopt);
    EXPECT_EQ(Record('X'), "C:\\DATA\r\n");
    EXPECT_EQ(WriteSavedDrive(os, "X:", std::nullopt), "the folder behind it could not be read");
    EXPECT_EQ(Record('X'), "C:\\DATA\r\n");
    WriteSavedDrive(os, "D:", std::string("D:"));
    EXPECT_EQ(Record('D'), "D:\\\r\n") << "a bare drive becomes its root";
    WriteSavedDrive(os, "E:", std::string("E:\\\0junk", 8));
    EXPECT_EQ(Record('E'), "E:\\\r\n");
    // A name the code page cannot hold goes as UTF-8 behind a byte order mark.
    const std::string folder = "C:\\\xD0\x9F\xD0\xB0\xD0\xBF\xD0\xBA\xD0\xB0 \xE6\x96\x87";
    WriteSavedDrive(os, "U:", folder);
    EXPECT_EQ(Record('U'), "\xEF\xBB\xBF" + folder + "\r\n");
    EXPECT_EQ(ReadRecord(Record('U'), nullptr), folder);
    os.folders.erase("C:\\Tools\\kordat");
    EXPECT_EQ(WriteSavedDrive(os, "Y:", std::string("C:\\DATA")), "The system cannot find the path specified.");
}

TEST(RecordReader, TakesOnlyAFullFolderPathOnOneLine)
{
    const AnsiDecoder fromAnsi = [](const std::string& bytes) { return bytes + " (ANSI)"; };
    const std::pair<std::string, std::string> taken[] = {
        {"C:\\\xE9\r\n", "C:\\\xE9 (ANSI)"}, {"C:\\\x80", "C:\\\x80 (ANSI)"}, {"C:\\\x7F", "C:\\\x7F"},
        {"D:\\\r\n", "D:\\"}, {"c:\\x y\n", "c:\\x y"}, {"A:\\a", "A:\\a"}, {"Z:\\z", "Z:\\z"},
        {"C:\\" + std::string(kMaxRecordBytes - 5, 'a') + "\r\n", "C:\\" + std::string(kMaxRecordBytes - 5, 'a')}};
    for (const auto& [bytes, folder] : taken)
        EXPECT_EQ(ReadRecord(bytes, fromAnsi), folder) << bytes;
    const std::string refused[] = {"", "\n", "\r\n", "data\r\n", "C:data\r\n", "\\\\server\\share\r\n",
                                   "C:\\a\r\nC:\\b\r\n", "C:\\a\" /D\r\n", "C:\\a \r\n", "C:\\a\tb", "C:\\a:stream",
                                   std::string("C:\\a\0b", 6), "[:\\a", "C:\\" + std::string(kMaxRecordBytes, 'a')};
    for (const std::string& bytes : refused)
        EXPECT_EQ(ReadRecord(bytes, fromAnsi), std::nullopt) << bytes;

    // UTF-8 at the edges of each form: the smallest and largest of each
    // length pass; overlong forms, surrogates, stray or missing continuation
    // bytes, anything past U+10FFFF and control characters do not.
    const std::string bom = "\xEF\xBB\xBF" "C:\\";
    for (const char* name : {"\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                             "\xEF\xBF\xBD", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"})
        EXPECT_EQ(ReadRecord(bom + name + "\r\n", fromAnsi), std::string("C:\\") + name) << name;
    for (const char* name : {"\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
                             "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xC3\x28",
                             "\xE6\x96", "\x1F"})
        EXPECT_EQ(ReadRecord(bom + name + "\r\n", fromAnsi), std::nullopt) << name;
}

TEST_F(SavedTest, ListsEverySaveMarkingThoseWhoseDriveIsNotThere)
{
    for (char letter : std::string("DXZ"))
        Record(letter) = "C:\\f\r\n";
    lsv.rows = {" D: ", "K:", "z:"};
    const auto records = os.files;
    LoadSavedDrives(os, lsv, lst);
    EXPECT_EQ(lst.rows, (Rows{"D:", "X: (not present)", "Z: (not present)"})) << "trimmed rows match, lower case does not";
    EXPECT_EQ(os.files, records) << "no record goes";
    EXPECT_EQ(FindSavedEntry(lst, "X:"), 1);
    EXPECT_EQ(FindSavedEntry(lst, "K:"), kNoSelection);
}

TEST_F(SavedTest, RegistersForEveryoneOnlyACompanionThatNoUserCanReplace)
{
    const std::string command = "C:\\Tools\\korstart.exe";
    os.files[command] = "MZ";
    os.folders.insert("C:\\Startup");
    os.protectedPaths = {"C:\\Tools", command};
    Run("HKCU\\")["Korvane"] = command;
    RegisterAutoStart(os);
    EXPECT_EQ(Run("HKLM\\"), (std::map<std::string, std::string>{{"Korvane", command}}));
    EXPECT_TRUE(Run("HKCU\\").empty()) << "a second companion at logon would race the first";
    EXPECT_FALSE(os.files.count("C:\\Startup\\korstart.exe")) << "nor a copy in the Startup folder";
    EXPECT_EQ(os.registry["HKCU\\Software\\Korvane"]["ProgramFolder"], "C:\\Tools");

    // A standard user cannot write the machine's keys, and need not.
    os.refusedKeys.insert("HKLM\\" + kRun);
    RegisterAutoStart(os);
    EXPECT_TRUE(Run("HKCU\\").empty());
    Run("HKLM\\").clear();
    RegisterAutoStart(os);
    EXPECT_EQ(os.files["C:\\Startup\\korstart.exe"], "MZ");
    EXPECT_TRUE(Run("HKCU\\").empty());
    os.commonStartup.reset();
    RegisterAutoStart(os);
    EXPECT_EQ(Run("HKCU\\")["Korvane"], command) << "nothing for everyone could be made";

    // Where any user may write, the entry is this user's alone, and an
    // elevated start takes back one made for everyone.
    os.refusedKeys.clear();
    Run("HKCU\\").clear();
    os.protectedPaths = {"C:\\Tools"};
    Run("HKLM\\")["Korvane"] = command;
    RegisterAutoStart(os);
    EXPECT_TRUE(Run("HKLM\\").empty());
    EXPECT_EQ(Run("HKCU\\")["Korvane"], command);
    Run("HKLM\\")["Korvane"] = "C:\\Other\\korstart.exe";
    RegisterAutoStart(os);
    EXPECT_EQ(Run("HKLM\\")["Korvane"], "C:\\Other\\korstart.exe") << "another copy's entry is not ours";
    os.programFolder = "C:\\Program Files\\Korvane";
    RegisterAutoStart(os);
    EXPECT_EQ(Run("HKCU\\")["Korvane"], "\"C:\\Program Files\\Korvane\\korstart.exe\"");
}

TEST_F(SavedTest, AnElevatedStartSharesTheDataFolderOfAProtectedCopyOnly)
{
    for (const bool elevated : {false, true}) {
        for (const bool isProtected : {false, true}) {
            os.folders.erase("C:\\Tools\\kordat");
            os.sharedFolders.clear();
            os.elevated = elevated;
            os.protectedPaths = {"C:\\Tools"};
            if (isProtected)
                os.protectedPaths.insert("C:\\Tools\\korstart.exe");
            CreateDataFolder(os);
            EXPECT_EQ(os.sharedFolders.count("C:\\Tools\\kordat") == 1, elevated && isProtected);
            EXPECT_TRUE(os.folders.count("C:\\Tools\\kordat"));
        }
    }
}

TEST_F(SavedTest, CompanionMakesWhatItCanAtOnceAndTouchesNoRecord)
{
    os.folders.insert("C:\\Work Space");
    os.shortNames["C:\\Work Space"] = "C:\\WORKSP~1";
    Record('W') = "C:\\Work Space\r\n";
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
    EXPECT_EQ(os.devices["W:"], "\\??\\C:\\WORKSP~1");
    EXPECT_EQ(os.devices["A:"], "\\??\\N:\\slow") << "a folder that does not answer is kept, as it stands";
    EXPECT_EQ(os.devices["T:"], "\\??\\C:\\windows");
    EXPECT_TRUE(os.runs.empty()) << "no process a drive at logon";
    EXPECT_EQ(os.now, 0u) << "nothing to wait for";
    EXPECT_EQ(LogLines(), (Rows{"started for C:\\Tools\\kordat, 4 saved drives",
                                "E: record refused: it names a folder that is not a full path from a drive letter",
                                "O: record refused: it cannot be read, or it is larger than 4096 bytes",
                                "U: record refused: it names a folder that is on a network path, and only folders "
                                "on a drive letter come back at logon",
                                "A: made, standing for N:\\slow", "G: not made: C:\\gone does not exist",
                                "T: left alone: the letter is in use", "W: made, standing for C:\\Work Space"}));
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
    os.registry["HKCU\\Software\\Korvane"]["ProgramFolder"] = "C:\\Elsewhere";
    RunCompanion(os);
    EXPECT_EQ(LogLines(), Rows{"no saved drives: no data folder beside C:\\Startup or where Korvane last ran"});
    os.registry["HKCU\\Software\\Korvane"]["ProgramFolder"] = "C:\\Tools";
    RunCompanion(os);
    EXPECT_TRUE(os.devices.count("W:"));
}

TEST_F(SavedTest, CompanionWaitsForADriveThatComesLateThenGivesUp)
{
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
    EXPECT_EQ(os.devices["L:"], "\\??\\L:\\late");
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

TEST(CompanionLog, KeepsTheNewestWholeLinesUnderTheLimit)
{
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
        EXPECT_EQ(os.files[kLog], (size == kLogLimitBytes ? "old\r\n" : "") + std::string("2026-12-06 08:00:00  new\r\n"));
    }
}

TEST_F(SavedTest, StartUpBringsBackWhatItCanBeforeTheScanAndKeepsEverySave)
{
    os.files["C:\\windows\\system32\\subst.exe"] = "MZ";
    os.files["C:\\Tools\\korstart.exe"] = "MZ";
    os.Subst("X:", "C:\\windows");
    os.folders.insert("C:\\back");
    Record('X') = "C:\\windows\r\n";
    Record('B') = "C:\\back\r\n";
    Record('Y') = "C:\\gone\r\n";
    const auto records = os.files;
    FakeComboBox cmb;
    EXPECT_TRUE(RunStartup(os, lsv, cmb, lst));
    EXPECT_TRUE(os.messages.empty());
    EXPECT_EQ(lsv.rows, (Rows{"B:", "X:"}));
    EXPECT_EQ(cmb.rows.size(), 24u);
    EXPECT_EQ(lst.rows, (Rows{"B:", "X:", "Y: (not present)"}));
    EXPECT_EQ(os.files, records);
    EXPECT_EQ(Run("HKCU\\")["Korvane"], "C:\\Tools\\korstart.exe") << "registered for the user: nothing here is protected";
}

} // namespace
} // namespace kv::test
