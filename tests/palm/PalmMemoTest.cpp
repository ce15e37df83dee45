#include "ClassicLayout.h"
#include "ClassicLayoutEnv.h"

#include "palm/PalmMemo.h"
#include "palm/PalmEnv.h"
#include "palmfixture/FixtureClassic.h"
#include "palmfixture/PalmFixture.h"
#include "platform/TestDir.h"

#include <cstdlib>

#include <gtest/gtest.h>

using namespace classic;

namespace {

class PalmMemoTest : public ClassicTest {
protected:
    File Memos(const std::string& path)
    {
        File f = NewFile(kMemosTag);
        f.fileName = path;
        f.header = "";
        f.categories = {{2, 2, 0, "Ideas", "Ideas"}};
        return f;
    }
    std::vector<Field> Memo(uint32_t id, uint32_t status, const std::string& text)
    {
        return {Int(id), Int(status), Int(id), Text(text), Int(0, 6), Int(2)};
    }
};

TEST_F(PalmMemoTest, LongMemoIsKeptWholeAndTheNextFieldsFollow)
{
    std::string path = PathOf("memopad.dat");
    File f = Memos(path);
    std::string longText(9000, 'm');
    longText[8500] = 'Z';
    f.rows = {Memo(1, 0, longText), Memo(2, 0, "short")};  // Total Fields 12
    Put(path, Write(f));
    std::string original = Get(path);

    PmMemoUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    PmMemoDataMgr* mgr = util.GetDataMgr();
    ASSERT_EQ(mgr->Count(), 2u);
    EXPECT_EQ(mgr->GetAt(0)->Memo, longText);
    EXPECT_EQ(PmFieldCut(mgr->GetAt(0)->Memo, PmMemoRecord::kMemoCapacity), longText.substr(0, 8191));
    EXPECT_EQ(mgr->GetAt(0)->Category, 2);
    EXPECT_STREQ(mgr->GetAt(0)->szCategory, "");
    EXPECT_EQ(mgr->GetAt(1)->Memo, "short");
    ASSERT_TRUE(util.Save(path.c_str()));
    EXPECT_EQ(Get(path), original);
}

TEST_F(PalmMemoTest, HiddenMemosAreWrittenBack)
{
    std::string path = PathOf("memopad.dat");
    File f = Memos(path);
    f.rows = {Memo(1, 0x84, "gone"), Memo(2, 0, "kept"), Memo(3, 0x04, "gone too"), Memo(4, 0x80, "archived")};
    f.rows[1][3].prefix = 0;
    std::string original = Write(f);
    Put(path, original);
    PmMemoUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    ASSERT_EQ(util.GetDataMgr()->Count(), 1u);
    EXPECT_EQ(util.GetDataMgr()->First()->Memo, "kept");
    ASSERT_TRUE(util.Save(path.c_str()));
    EXPECT_EQ(Get(path), original);
}

TEST_F(PalmMemoTest, MessagesOfFailedLoads)
{
    PmMemoUtil util;
    EXPECT_FALSE(util.LoadFile(""));
    EXPECT_TRUE(Logged("Invalid Palm Desktop memopad database file name."));
    EXPECT_FALSE(util.LoadUserFile(99));
    EXPECT_TRUE(Logged("Can not get Palm Desktop user data path. User ID=99"));

    std::string path = PathOf("memopad.dat");
    for (int variant = 0; variant < 4; ++variant) {
        File f = Memos(path);
        f.rows = {Memo(1, 0, "a"), Memo(2, 0, "b")};
        if (variant == 0) {
            f.explicitTotal = true;
            f.totalFields = 18;
        } else if (variant == 1) {
            f.fieldsPerRow = 7;
            f.explicitTotal = true;
            f.totalFields = 7;
        } else if (variant == 2) {
            f.rows[1][3] = Int(5);
        } else {
            f.explicitTotal = true;
            f.totalFields = 13;  // two memos and one field more
        }
        Put(path, Write(f));
        ClearLog();
        EXPECT_FALSE(util.LoadFile(path.c_str()));
        EXPECT_TRUE(Logged("Load Palm Desktop memopad failed: " + path));
    }
}

TEST_F(PalmMemoTest, FailedSaveLeavesTheOriginal)
{
    std::string path = PathOf("memopad.dat");
    File f = Memos(path);
    f.rows = {Memo(1, 0, std::string(20000, 'q')), Memo(2, 0, "b")};
    Put(path, Write(f));
    std::string original = Get(path);
    PmMemoUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    util.GetDataMgr()->First()->Status = 0x84;
    plat::FileFaults faults;
    faults.failWriteAfter = 10000;
    plat::SetFileFaults(faults);
    EXPECT_FALSE(util.Save(path.c_str()));
    plat::ClearFileFaults();
    EXPECT_EQ(Get(path), original);
    EXPECT_EQ(FilesWith("tmp"), 0);
}

// The fixture writes the four files of a user; each loads with its visible
// and hidden records and saves back unchanged.
TEST_F(PalmMemoTest, FixtureWritesAUsersFourFiles)
{
    std::string user = m_dir + "/Anna/";
    std::string error;
    ASSERT_TRUE(palmfix::WriteClassicUser(user, 40, 3, &error)) << error;

    PmAddrUtil addr;
    ASSERT_TRUE(addr.LoadFile((user + "address\\address.dat").c_str()));
    EXPECT_EQ(addr.GetDataMgr()->Count(), 40u);
    EXPECT_EQ(addr.CustomLabel(3), "Web");
    PmDateUtil date;
    ASSERT_TRUE(date.LoadFile((user + "datebook\\datebook.dat").c_str()));
    EXPECT_EQ(date.GetDataMgr()->RowCount(), 40u);
    EXPECT_EQ(date.GetDataMgr()->Count(), 36u);
    PmTodoUtil todo;
    ASSERT_TRUE(todo.LoadFile((user + "todo\\todo.dat").c_str()));
    EXPECT_EQ(todo.GetDataMgr()->Count(), 36u);
    PmMemoUtil memo;
    ASSERT_TRUE(memo.LoadFile((user + "memopad\\memopad.dat").c_str()));
    EXPECT_EQ(memo.GetDataMgr()->Count(), 36u);
    EXPECT_EQ(memo.GetDataMgr()->RowCount(), 40u);

    bool anyExceptions = false;
    for (PmDateRecord* r = date.GetDataMgr()->First(); r; r = date.GetDataMgr()->Next())
        anyExceptions = anyExceptions || !r->Repeat.Exceptions.empty();
    EXPECT_TRUE(anyExceptions);

    std::string before = Get(user + "datebook/datebook.dat");
    ASSERT_TRUE(date.Save(date.LoadedPath().c_str()));
    EXPECT_EQ(Get(user + "datebook/datebook.dat"), before);
}

}  // namespace

namespace {

// The four loaders find a user's files through the user library of an
// installation named in a Wine prefix's registry.
TEST_F(PalmMemoTest, LoadersFindTheUsersFiles)
{
    std::string prefix = m_dir + "/prefix";
    ScopedEnv winePrefix("WINEPREFIX", prefix.c_str());

    palmfix::Installation inst;
    inst.dir = prefix + "/drive_c/Palm";
    inst.users = {"Anna Lee"};
    inst.winePrefix = prefix;
    std::string error;
    ASSERT_TRUE(palmfix::WriteInstallation(inst, &error)) << error;
    ASSERT_TRUE(palmfix::WriteClassicUser(palmfix::UserHostFolder(inst, "Anna Lee"), 12, 5, &error)) << error;
    ASSERT_TRUE(LoadPalmLibraries(PM_LIB_USERDATA));

    int32_t id = int32_t(palmfix::UserId("Anna Lee"));
    PmAddrUtil addr;
    PmDateUtil date;
    PmTodoUtil todo;
    PmMemoUtil memo;
    EXPECT_TRUE(addr.LoadUserFile(id));
    EXPECT_TRUE(date.LoadUserFile(id));
    EXPECT_TRUE(todo.LoadUserFile(id));
    EXPECT_TRUE(memo.LoadUserFile(id));
    EXPECT_EQ(addr.GetDataMgr()->Count(), 12u);
    EXPECT_EQ(memo.GetDataMgr()->RowCount(), 12u);
    std::string folder = palmfix::UserWinFolder(inst, "Anna Lee");
    EXPECT_EQ(addr.LoadedPath(), folder + "address\\address.dat");
    EXPECT_EQ(memo.LoadedPath(), folder + "memopad\\memopad.dat");
    EXPECT_TRUE(Logged("Loading Palm Desktop address book file by user: User(" + std::to_string(id) + ") - File(" +
                       folder + "address\\address.dat)"));
    EXPECT_TRUE(memo.Save(memo.LoadedPath().c_str()));

    UnloadPalmLibraries();
}

}  // namespace
