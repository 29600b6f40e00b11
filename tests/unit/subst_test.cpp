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
        return os.launches.empty() ? "" : os.launches.back().params;
    }
};

TEST_F(CreateDriveTest, MovesTheLetterAndReportsTheNewDrive)
{
    os.shortNames["C:\\Program Files\\Data"] = "C:\\PROGRA~1\\DATA";
    EXPECT_EQ(CreateFrom("C:\\Program Files\\Data"), "X: C:\\PROGRA~1\\DATA");
    EXPECT_EQ(os.launches[0].file, "subst.exe");
    EXPECT_EQ(os.launches[0].show, kShowHidden);
    EXPECT_EQ(lsv.rows, (std::vector<std::string>{"X:"}));
    EXPECT_EQ(cmb.entries, (std::vector<std::string>{"W:", "Y:"}));
    EXPECT_EQ(cmb.editText, "Avaliable Drives:");
    EXPECT_EQ(cmb.selected, kNoSelection);
    ASSERT_EQ(os.messages.size(), 1u);
    EXPECT_EQ(os.messages[0].text, "Virtual drive X: created.");
    EXPECT_EQ(os.messages[0].style, MsgStyle::Information);
}

TEST_F(CreateDriveTest, AlwaysHandsSubstTheWholeFolderAsOneArgument)
{
    os.folders.insert("D:\\");
    EXPECT_EQ(CreateFrom("D:\\"), "X: D:\\");

    os.folders.insert("C:\\No Short Form");
    os.shortNames["C:\\No Short Form"] = "C:\\No Short Form";
    cmb.Select("Y:");
    EXPECT_EQ(CreateFrom("C:\\No Short Form"), "Y: \"C:\\No Short Form\"");

    os.shortNames["C:\\a"] = "C:\\A~1LONGER"; // a short form longer than the path
    cmb.Select("W:");
    EXPECT_EQ(CreateFrom("C:\\a"), "W: C:\\A~1LONGER");
}

TEST_F(CreateDriveTest, FallsBackToTheFullPathAndReportsWhenSubstCannotStart)
{
    os.failingLaunches = 1;
    CreateFrom("C:\\windows");
    ASSERT_EQ(os.launches.size(), 2u);
    EXPECT_EQ(os.launches[1].file, "C:\\windows\\system32\\subst.exe");
    EXPECT_EQ(os.launches[1].params, "X: C:\\windows");
    EXPECT_EQ(lsv.rows.size(), 1u);

    os.failingLaunches = 2;
    cmb.Select("Y:");
    CreateFrom("C:\\windows");
    EXPECT_EQ(lsv.rows, (std::vector<std::string>{"X:"})) << "nothing was made, nothing moves";
    EXPECT_EQ(cmb.entries, (std::vector<std::string>{"W:", "Y:"}));
    EXPECT_EQ(os.messages.back().style, MsgStyle::Critical);
    EXPECT_EQ(os.messages.back().text,
              "Virtual drive Y: could not be created: the system program subst.exe could not be started.");
}

TEST(Subst, PresenceAndDeletion)
{
    FakeOs os;
    EXPECT_FALSE(SubstPresent(os));
    EXPECT_EQ(SubstPath, "C:\\windows\\system32\\subst.exe");
    os.files[SubstPath] = "MZ";
    EXPECT_TRUE(SubstPresent(os));

    EXPECT_TRUE(DeleteDrive(os, "X:"));
    EXPECT_EQ(os.launches.back().params, "X: /D");
    EXPECT_EQ(os.launches.back().show, kShowHidden);
    os.failingLaunches = 2;
    EXPECT_FALSE(DeleteDrive(os, "X:"));
}

} // namespace
} // namespace kv::test
