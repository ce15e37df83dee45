// A save whose holder changed nothing but status words writes the bytes read
// with those words put in, without writing the rows again. A text changed
// against that promise is therefore not written (which tells the two saves
// apart); a load ends the promise, and a change of the category table is
// written whatever the promise. Through the facades, deletions saved in two
// steps leave the file differing from the original in those status words only.
#include "PalmInfoTestEnv.h"

#include "palm/PalmMemo.h"
#include "palm/PalmMemoEx.h"
#include "palm/PalmMemoInfo.h"
#include "palmfixture/Generator.h"

#include <gtest/gtest.h>

#include <string>

using infotest::PalmInstall;

namespace {

const char kMemos[] = "memopad\\memopad.dat";
const char kNewCategory[] = "Status test";

PmMemoRecord* FirstMemo(PmMemoUtil& u) { return u.GetDataMgr()->GetAt(0); }
PmMemoExRecord* FirstMemo(PmMemoExUtil& u) { return u.DataMgr()->GetAt(0); }
void EditText(PmMemoRecord& r) { r.Memo = "edited against the promise"; }
void EditText(PmMemoExRecord& r) { r.Note.Set("edited against the promise"); }
bool SaveTo(PmMemoUtil& u, const std::string& path) { return u.Save(path.c_str()); }
bool SaveTo(PmMemoExUtil& u, const std::string&) { return u.Save(); }
bool AddCategory(PmMemoUtil& u) { return u.AddCategory(77, kNewCategory); }
bool AddCategory(PmMemoExUtil& u)
{
    PmCategory cat;
    cat.SetId(77);
    cat.SetName(kNewCategory);
    return u.EnsureCategoryMgr()->Add(&cat);
}

template <typename Util>
void CheckGeneration(uint16_t build, uint32_t version)
{
    PalmInstall env(4, 1, build);
    palmfix::GenOptions opt;
    opt.records = 6;
    opt.duplicates = 1;
    opt.seed = 5;
    std::string error;
    ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), version, opt, palmfix::kGenMemo, &error)) << error;
    std::string path = env.UserFile(kMemos);
    const std::string original = infotest::ReadBytes(path);

    {
        Util util;
        ASSERT_TRUE(util.LoadFile(path.c_str()));
        util.SetOnlyStatusChanges(true);
        FirstMemo(util)->Status = 0x84;
        EditText(*FirstMemo(util));
        ASSERT_TRUE(SaveTo(util, path));
        ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 1));
    }
    {
        // The promise was the last load's: this one writes its rows.
        Util util;
        ASSERT_TRUE(util.LoadFile(path.c_str()));
        util.SetOnlyStatusChanges(true);
        ASSERT_TRUE(util.LoadFile(path.c_str()));
        EditText(*FirstMemo(util));
        ASSERT_TRUE(SaveTo(util, path));
        EXPECT_NE(infotest::ReadBytes(path).find("edited against the promise"), std::string::npos);
    }
    Util util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    util.SetOnlyStatusChanges(true);
    ASSERT_TRUE(AddCategory(util));
    ASSERT_TRUE(SaveTo(util, path));
    Util again;
    ASSERT_TRUE(again.LoadFile(path.c_str()));
    ASSERT_NE(again.CategoryMgr(), nullptr);
    EXPECT_NE(again.CategoryMgr()->FindByName(kNewCategory), nullptr);
}

}  // namespace

TEST(StatusSave, RowsAreWrittenAgainOnlyWithoutThePromise)
{
    {
        SCOPED_TRACE("classic");
        CheckGeneration<PmMemoUtil>(0, 40100);
    }
    {
        SCOPED_TRACE("4.1.x");
        CheckGeneration<PmMemoExUtil>(4, 40104);
    }
}

TEST(StatusSave, DeletionsSavedInTwoStepsThroughTheFacade)
{
    for (uint16_t build : {0, 4}) {
        SCOPED_TRACE(build ? "4.1.x" : "classic");
        PalmInstall env(4, 1, build);
        palmfix::GenOptions opt;
        opt.records = 6;
        opt.duplicates = 1;
        opt.seed = 7;
        std::string error;
        ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), build ? 40104 : 40100, opt, palmfix::kGenMemo,
                                              &error))
            << error;
        std::string path = env.UserFile(kMemos);
        const std::string original = infotest::ReadBytes(path);
        int32_t user = int32_t(env.UserId());

        PmMemoInfo info;
        ASSERT_TRUE(info.LoadByUser(user));
        uint32_t count = info.GetCommMgr()->Count();
        ASSERT_GE(count, 3u);
        CommNote* first = info.GetCommMgr()->GetAt(0);
        CommNote* last = info.GetCommMgr()->GetAt(count - 1);
        ASSERT_TRUE(info.DeleteRecord(first));
        ASSERT_TRUE(info.Save());
        ASSERT_TRUE(info.DeleteRecord(last));
        ASSERT_TRUE(info.Save());
        ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 2));

        PmMemoInfo again;
        ASSERT_TRUE(again.LoadByUser(user));
        EXPECT_EQ(again.GetCommMgr()->Count(), count - 2);
    }
}
