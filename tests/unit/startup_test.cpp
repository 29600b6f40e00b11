#include <gtest/gtest.h>

#include "app/startup.h"
#include "fakes/fake_controls.h"
#include "fakes/fake_os.h"

namespace kv::test {
namespace {

struct StartupTest : ::testing::Test {
    FakeOs os;
    FakeListView lsv;
    FakeComboBox cmb;
    FakeComboBox lst;
    void SetUp() override
    {
        os.files["C:\\windows\\system32\\subst.exe"] = "MZ";
        os.files["C:\\Tools\\korstart.exe"] = "MZ";
        os.folders.insert("C:\\Tools");
        os.Subst("X:", "C:\\windows");
    }
};

TEST_F(StartupTest, EndsWithAMessageWhenSubstIsMissing)
{
    os.files.erase("C:\\windows\\system32\\subst.exe");
    EXPECT_FALSE(RunStartup(os, lsv, cmb, lst));
    ASSERT_EQ(os.messages.size(), 1u);
    EXPECT_EQ(os.messages[0].text,
              "Cannot find needed subst.exe in directory,  \r\nC:\\windows\\system32\\subst.exe,\r\n"
              "without this file Korvane cannot function.  Korvane.");
    EXPECT_EQ(os.messages[0].style, MsgStyle::Critical);
    EXPECT_FALSE(os.folders.count("C:\\Tools\\kordat"));
    EXPECT_TRUE(lsv.rows.empty());
    EXPECT_TRUE(cmb.entries.empty());
}

TEST_F(StartupTest, WarnsAboutAMissingCompanionAndGoesOn)
{
    os.files.erase("C:\\Tools\\korstart.exe");
    EXPECT_TRUE(RunStartup(os, lsv, cmb, lst));
    ASSERT_EQ(os.messages.size(), 1u);
    EXPECT_EQ(os.messages[0].text,
              "Cannot find needed korstart.exe in directory,  C:\\Tools,\r\n"
              "without this file a user cannot start saves after rebooting.  You may need to reinstall Korvane.");
    EXPECT_TRUE(os.folders.count("C:\\Tools\\kordat"));
    EXPECT_EQ(lsv.rows, (std::vector<std::string>{"X:"}));
}

TEST_F(StartupTest, BringsBackWhatItCanBeforeTheScanAndKeepsEverySave)
{
    os.folders.insert("C:\\Tools\\kordat");
    os.folders.insert("C:\\back");
    os.files["C:\\Tools\\kordat\\X.ini"] = "C:\\windows\r\n";
    os.files["C:\\Tools\\kordat\\B.ini"] = "C:\\back\r\n";
    os.files["C:\\Tools\\kordat\\Y.ini"] = "C:\\gone\r\n";
    const auto records = os.files;
    EXPECT_TRUE(RunStartup(os, lsv, cmb, lst));
    EXPECT_TRUE(os.messages.empty());
    EXPECT_EQ(lsv.rows, (std::vector<std::string>{"B:", "X:"}));
    EXPECT_EQ(cmb.entries.size(), 24u);
    EXPECT_EQ(lst.entries, (std::vector<std::string>{"B:", "X:", "Y: (not present)"}));
    EXPECT_EQ(os.files, records);
}

} // namespace
} // namespace kv::test
