// The category name each facade gives a stored record, for the three data
// generations: looked up by the record's category id in the table its file
// or database holds, including the classic calendar and tasks files whose
// records carry nothing but the id.
#include "PalmInfoTestEnv.h"

#include "palm/PalmAddrInfo.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmTodoInfo.h"
#include "palmfixture/FixtureClassic.h"
#include "palmfixture/FixtureEx.h"
#include "palmfixture/FixtureEx2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using infotest::PalmInstall;

namespace {

// Every file of a test holds three records, whose category ids are these:
// one named in the table, "Unfiled" (0), and one in no table.
constexpr int32_t kNamed = 2;
constexpr int32_t kMissing = 9;
const int32_t kCategoryIds[3] = {kNamed, 0, kMissing};

/// Loads the user's data with a facade of kind Info and checks the name it
/// gives each stored record, in manager order. A record it does not hold (a
/// copy of a held one, none, or any after a Reset) has no name.
template <typename Info>
void ExpectNames(const PalmInstall& env, int32_t generation, const std::vector<std::string>& expected)
{
    Info info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(info.LoadedGeneration(), generation);
    auto* mgr = info.GetCommMgr();
    std::vector<std::string> names;
    for (uint32_t i = 0; i < mgr->Count(); ++i)
        names.push_back(info.CategoryName(mgr->GetAt(i)));
    EXPECT_EQ(names, expected);

    ASSERT_GT(mgr->Count(), 0u);
    auto held = mgr->GetAt(0);
    auto copy = *held;
    EXPECT_EQ(info.CategoryName(&copy), "");
    EXPECT_EQ(info.CategoryName(nullptr), "");
    info.Reset();
    EXPECT_EQ(info.CategoryName(held), "");
}

/// The four kinds of one generation.
void ExpectAllKinds(const PalmInstall& env, int32_t generation, const std::vector<std::string>& expected)
{
    ExpectNames<PmAddrInfo>(env, generation, expected);
    ExpectNames<PmDateInfo>(env, generation, expected);
    ExpectNames<PmTodoInfo>(env, generation, expected);
    ExpectNames<PmMemoInfo>(env, generation, expected);
}

}  // namespace

TEST(CategoryNameTest, ClassicRecordsOfEveryKind)
{
    PalmInstall env(4, 1, 0);
    // A name of the most characters the table keeps.
    const std::vector<palmfix::ClassicCategory> cats = {{1, "Business"}, {kNamed, "Fifteen chars!!"}};
    std::vector<PmAddrRecord> addrs(3);
    std::vector<PmDateRecord> dates(3);
    std::vector<PmTodoRecord> todos(3);
    std::vector<PmMemoRecord> memos(3);
    for (int i = 0; i < 3; ++i) {
        addrs[i].RecordID = dates[i].RecordID = todos[i].RecordID = memos[i].RecordID = i + 1;
        addrs[i].Category = dates[i].Category = todos[i].Category = memos[i].Category = kCategoryIds[i];
    }
    infotest::WriteClassicWith(palmfix::WriteClassicAddress, env.UserFile("address\\address.dat"), cats, addrs);
    infotest::WriteClassicWith(palmfix::WriteClassicDate, env.UserFile("datebook\\datebook.dat"), cats, dates);
    infotest::WriteClassicWith(palmfix::WriteClassicTodo, env.UserFile("todo\\todo.dat"), cats, todos);
    infotest::WriteClassicWith(palmfix::WriteClassicMemo, env.UserFile("memopad\\memopad.dat"), cats, memos);

    ExpectAllKinds(env, kPmGenClassic, {"Fifteen chars!!", "Unfiled", ""});
}

TEST(CategoryNameTest, ExRecordsOfEveryKind)
{
    PalmInstall env(4, 1, 2);
    std::vector<PmAddrExRecord> addrs(3);
    std::vector<PmDateExRecord> dates(3);
    std::vector<PmTodoExRecord> todos(3);
    std::vector<PmMemoExRecord> memos(3);
    for (int i = 0; i < 3; ++i) {
        addrs[i].RecordID = dates[i].RecordID = todos[i].RecordID = memos[i].RecordID = uint32_t(i + 1);
        addrs[i].Category = dates[i].Category = todos[i].Category = memos[i].Category = uint32_t(kCategoryIds[i]);
    }
    // The fixture's tables hold 1 "Business" and 2 "Perso\xE9" (an ANSI byte).
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("address\\address.dat"), addrs));
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("datebook\\datebook.dat"), dates));
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("todo\\todo.dat"), todos));
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("memopad\\memopad.dat"), memos));

    ExpectAllKinds(env, kPmGenEx, {"Perso\xE9", "Unfiled", ""});
}

TEST(CategoryNameTest, Ex2RecordsOfEveryKind)
{
    PalmInstall env(6, 0, 0);
    // A database keeps longer names than the 31 characters of a record's own
    // copy; the table's name is given whole. 6.x tables have no "Unfiled".
    const std::string longName = "Quarterly planning with the regional office";
    const std::vector<palmfix::Ex2Category> cats = {{1, "Business"}, {kNamed, longName}};
    std::vector<PmAddrEx2Record> addrs(3);
    std::vector<PmDateEx2Record> dates(3);
    std::vector<PmTodoEx2Record> todos(3);
    std::vector<PmMemoEx2Record> memos(3);
    for (int i = 0; i < 3; ++i) {
        addrs[i].RecordID = dates[i].RecordID = todos[i].RecordID = memos[i].RecordID = i + 1;
        addrs[i].Category = dates[i].Category = todos[i].Category = memos[i].Category = kCategoryIds[i];
    }
    infotest::WriteEx2With(palmfix::WriteAddressMdb, env, 1, cats, addrs);
    infotest::WriteEx2With(palmfix::WriteDateBookMdb, env, 2, cats, dates);
    infotest::WriteEx2With(palmfix::WriteTodolistMdb, env, 3, cats, todos);
    infotest::WriteEx2With(palmfix::WriteMemoPadMdb, env, 4, cats, memos);

    ExpectAllKinds(env, kPmGenEx2, {longName, "", ""});
}
