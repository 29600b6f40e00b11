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
    EXPECT_EQ(os.registry["HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"]["Korvane"],
              "C:\\Tools\\korstart.exe")
        << "registered for the user: nothing here is protected";
}

} // namespace
} // namespace kv::test
