#include <gtest/gtest.h>

#include "cli/command_line.h"
#include "fakes/fake_os.h"

namespace kv::test {
namespace {

struct CommandLineTest : ::testing::Test {
    FakeOs os;
    void SetUp() override { os.folders.insert("C:\\Data"); }
    CliResult Run(std::vector<std::string> args) { return RunCommandLine(os, args, "1.2.3"); }
    std::string& Record(char letter) { return os.files["C:\\Tools\\kordat\\" + std::string(1, letter) + ".ini"]; }
};

// Every failure is one line on standard error and a non-zero exit.
void ExpectFailure(const CliResult& result, const std::string& line)
{
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "korctl: " + line + "\n");
}

TEST_F(CommandLineTest, MakesSavesListsAndRemovesAsTheWindowDoes)
{
    const CliResult created = Run({"create", "x:", "C:\\Data", "--save"});
    EXPECT_EQ(created.exitCode, 0);
    EXPECT_EQ(created.out, "X: created for C:\\Data and saved\n");
    EXPECT_EQ(os.runs.back(), "X: C:\\Data") << "through subst.exe, as the window does";
    EXPECT_EQ(Record('X'), "C:\\Data\r\n");

    os.Subst("Y:", "C:\\Other");
    Record('K') = "L:\\Photos\r\n";
    EXPECT_EQ(Run({"list"}).out, "X:  C:\\Data  [saved]\nY:  C:\\Other\nK:  L:\\Photos  [saved, not present]\n");
    EXPECT_EQ(Run({"list", "--json"}).out,
              "[\n  {\"drive\": \"X:\", \"folder\": \"C:\\\\Data\", \"saved\": true, \"present\": true},"
              "\n  {\"drive\": \"Y:\", \"folder\": \"C:\\\\Other\", \"saved\": false, \"present\": true},"
              "\n  {\"drive\": \"K:\", \"folder\": \"L:\\\\Photos\", \"saved\": true, \"present\": false}\n]\n");

    EXPECT_EQ(Run({"save", "Y:"}).out, "Y: saved\n");
    EXPECT_EQ(Run({"save", "Y:"}).out, "Y: is saved already\n");
    EXPECT_EQ(Run({"forget", "Y:"}).out, "the save of Y: is forgotten\n");
    EXPECT_TRUE(os.devices.count("Y:")) << "forgetting keeps the drive";
    EXPECT_EQ(Run({"remove", "X:"}).out, "X: removed and its save forgotten\n");
    EXPECT_FALSE(os.devices.count("X:") || os.files.count("C:\\Tools\\kordat\\X.ini"));

    os.devices.clear();
    const CliResult restored = Run({"restore"});
    EXPECT_EQ(restored.out, "K: not made: L:\\Photos does not exist\n");
    EXPECT_EQ(restored.err, "korctl: not every saved drive could be brought back\n");
    EXPECT_EQ(restored.exitCode, 1);
}

TEST_F(CommandLineTest, RefusesWhatItCannotDoWithOneClearLine)
{
    os.Subst("Y:", "C:\\Data");
    ExpectFailure(Run({"create", "Y:", "C:\\Data"}), "Y: is already in use");
    ExpectFailure(Run({"create", "Z:", "C:\\Missing"}), "there is no folder C:\\Missing");
    ExpectFailure(Run({"create", "Z:", "Data"}), "give the folder as a full path, such as C:\\Data, not Data");
    os.onRun = [](const ProgramCall&) { return ProgramRun{ProgramRun::End::Exited, 1, "Access denied\r\n", {}}; };
    ExpectFailure(Run({"create", "Z:", "C:\\Data"}), "Z: could not be created: subst.exe answered \"Access denied\"");
    ExpectFailure(Run({"remove", "Z:"}), "Z: is not a virtual drive");
    ExpectFailure(Run({"forget", "Y:"}), "Y: is not saved");
    os.folders.erase("C:\\Tools\\kordat");
    ExpectFailure(Run({"save", "Y:"}), "Y: could not be saved: The system cannot find the path specified.");
    ExpectFailure(Run({"save", "YY"}), "not a drive letter: YY (give it as X:)");
    ExpectFailure(Run({"list", "--all"}), "unknown option --all; see korctl --help");
    ExpectFailure(Run({"mount", "Y:"}), "unknown command mount; see korctl --help");
    ExpectFailure(Run({"remove"}), "wrong arguments for remove; see korctl --help");
    ExpectFailure(Run({}), "no command given; see korctl --help");
    EXPECT_EQ(Run({"--version"}).out, "korctl 1.2.3\n");
    EXPECT_EQ(Run({"list", "--help"}).out.rfind("Usage: korctl COMMAND", 0), 0u);
}

} // namespace
} // namespace kv::test
