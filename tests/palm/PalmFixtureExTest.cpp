#include "PalmExTestUtil.h"
#include "palm/PalmEnv.h"
#include "palmfixture/FixtureEx.h"
#include "palmfixture/PalmFixture.h"
#include "platform/TestDir.h"

#include <gtest/gtest.h>

using namespace extest;

TEST(FixtureEx, UsersFilesLoadThroughTheUserId)
{
    LogCapture log;
    TempDir prefix;
    ScopedEnv winePrefix("WINEPREFIX", prefix.Path().c_str());
    palmfix::Installation inst;
    inst.dir = prefix.Path() + "drive_c/Palm";
    inst.version[0] = 4;
    inst.version[1] = 1;
    inst.version[2] = 4;
    inst.users = {"Jones"};
    inst.winePrefix = prefix.Path();
    std::string error;
    ASSERT_TRUE(palmfix::WriteInstallation(inst, &error)) << error;
    std::string folder = palmfix::UserWinFolder(inst, "Jones");
    std::vector<palmfix::ExCategory> cats = {{1, "Business"}, {2, "Personal"}};

    std::vector<PmAddrExRecord> contacts(3);
    std::vector<const PmAddrExRecord*> contactPtrs;
    for (size_t i = 0; i < contacts.size(); ++i) {
        contacts[i].RecordID = uint32_t(i + 1);
        contacts[i].Category = uint32_t(i % 3);
        contacts[i].FirstName.Set(("Name" + std::to_string(i)).c_str());
        contacts[i].PhoneLabel[0] = 7;
        contactPtrs.push_back(&contacts[i]);
    }
    ASSERT_TRUE(palmfix::WriteAddressDat(palmfix::ExFilePath(folder, 1), cats, contactPtrs, &error)) << error;

    PmDateExRecord event;
    event.RecordID = 10;
    event.Summary.Set("Weekly");
    event.Repeat.Class = 2;
    event.Repeat.Interval = 1;
    event.Repeat.DaysMask = 0x2A;
    event.Repeat.Exceptions = {1200000000, 1200604800};
    ASSERT_TRUE(palmfix::WriteDateBookDat(palmfix::ExFilePath(folder, 2), cats, {&event, &event}, &error)) << error;

    PmTodoExRecord task;
    task.Description.Set("Pay");
    task.Repeat.Class = 4;
    task.Repeat.DayNumber = 15;
    ASSERT_TRUE(palmfix::WriteToDoDat(palmfix::ExFilePath(folder, 3), {}, {&task}, &error)) << error;

    PmMemoExRecord memo;
    memo.Note.Set("hello");
    memo.Category = 2;
    ASSERT_TRUE(palmfix::WriteMemoPadDat(palmfix::ExFilePath(folder, 4), cats, {&memo}, &error)) << error;

    ASSERT_TRUE(LoadPalmLibraries(15));
    uint32_t id = palmfix::UserId("Jones");

    PmAddrExUtil addr;
    ASSERT_TRUE(addr.LoadUserFile(id));
    EXPECT_TRUE(log.Has("Get user file successfully, try loading file:" + folder + "address\\address.dat"));
    ASSERT_EQ(addr.DataMgr()->Count(), 3u);
    EXPECT_STREQ(addr.DataMgr()->GetAt(1)->CategoryName, "Business");
    EXPECT_STREQ(addr.DataMgr()->GetAt(2)->FirstName.c_str(), "Name2");
    EXPECT_EQ(addr.DataMgr()->GetAt(2)->PhoneLabel[0], 7u);
    EXPECT_EQ(addr.CategoryMgr()->NextId(), 128);
    addr.DataMgr()->GetAt(0)->Status = 0x84;
    ASSERT_TRUE(addr.Save());
    PmAddrExUtil again;
    ASSERT_TRUE(again.LoadUserFile(id));
    EXPECT_EQ(again.DataMgr()->First()->Status, 0x84u);

    PmDateExUtil date;
    ASSERT_TRUE(date.LoadUserFile(id));
    ASSERT_EQ(date.DataMgr()->Count(), 2u);
    EXPECT_EQ(date.DataMgr()->First()->Repeat.Exceptions, event.Repeat.Exceptions);
    EXPECT_EQ(date.DataMgr()->First()->Repeat.DaysMask, 0x2A);

    PmTodoExUtil todo;
    ASSERT_TRUE(todo.LoadUserFile(id));
    EXPECT_EQ(todo.DataMgr()->First()->Repeat.DayNumber, 15u);

    PmMemoExUtil memos;
    ASSERT_TRUE(memos.LoadUserFile(id));
    EXPECT_STREQ(memos.DataMgr()->First()->CategoryName, "Personal");

    EXPECT_FALSE(memos.LoadUserFile(id + 1));
    EXPECT_TRUE(log.Has("Failed to get user database path by user ID."));
    UnloadPalmLibraries();
}
