#include "PalmInfoTestEnv.h"

#include "app/Apputil.h"
#include "palm/PalmAddrInfo.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmTodoInfo.h"
#include "palmfixture/Generator.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using infotest::PalmInstall;

namespace {

bool HasHighByte(std::string_view s)
{
    for (char c : s)
        if (uint8_t(c) >= 0x80)
            return true;
    return false;
}

struct Loaded {
    uint32_t addr = 0, date = 0, todo = 0, memo = 0;
    uint32_t addrDups = 0, dateDups = 0, todoDups = 0, memoDups = 0;
};

/// Loads the user's four applications through the facades and detects with
/// the default rule; `check` sees the facades before they go.
template <typename Check>
Loaded LoadAll(const PalmInstall& env, uint32_t version, Check check)
{
    Loaded out;
    AppOption opt = DefaultOption();
    PmAddrInfo addr(version);
    PmDateInfo date(version);
    PmTodoInfo todo(version);
    PmMemoInfo memo(version);
    int32_t user = int32_t(env.UserId());
    EXPECT_TRUE(addr.LoadByUser(user));
    EXPECT_TRUE(date.LoadByUser(user));
    EXPECT_TRUE(todo.LoadByUser(user));
    EXPECT_TRUE(memo.LoadByUser(user));
    CxList<CommAddr> a;
    CxList<CommDate> d;
    CxList<CommTask> t;
    CxList<CommNote> n;
    DetectAddrDups(addr.GetCommMgr(), &a, opt);
    DetectDateDups(date.GetCommMgr(), &d, opt);
    DetectTaskDups(todo.GetCommMgr(), &t, opt);
    DetectNoteDups(memo.GetCommMgr(), &n, opt);
    out = {addr.GetCommMgr()->Count(), date.GetCommMgr()->Count(), todo.GetCommMgr()->Count(),
           memo.GetCommMgr()->Count(), a.Count(), d.Count(), t.Count(), n.Count()};
    check(addr, date, todo, memo);
    a.Clear(false);
    d.Clear(false);
    t.Clear(false);
    n.Clear(false);
    return out;
}

void ExpectCounts(const Loaded& l, uint32_t records, uint32_t dups)
{
    EXPECT_EQ(l.addr, records);
    EXPECT_EQ(l.date, records);
    EXPECT_EQ(l.todo, records);
    EXPECT_EQ(l.memo, records);
    EXPECT_EQ(l.addrDups, dups);
    EXPECT_EQ(l.dateDups, dups);
    EXPECT_EQ(l.todoDups, dups);
    EXPECT_EQ(l.memoDups, dups);
}

}  // namespace

TEST(GeneratorTest, RecordsAreDeterministicAndHoldWhatRealDataHolds)
{
    palmfix::GenOptions opt{60, 9, 5};
    auto contacts = palmfix::GenerateContacts(opt);
    auto again = palmfix::GenerateContacts(opt);
    ASSERT_EQ(contacts.size(), 66u);  // 60 live, 6 hidden
    int hidden = 0, copies = 0;
    std::set<int32_t> statuses;
    for (size_t i = 0; i < contacts.size(); ++i) {
        EXPECT_EQ(contacts[i].last, again[i].last);
        EXPECT_EQ(contacts[i].note, again[i].note);
        EXPECT_EQ(contacts[i].id, int32_t(i + 1));
        bool isHidden = (contacts[i].status & 0x84) != 0;
        hidden += isHidden;
        statuses.insert(contacts[i].status);
        if (!isHidden && contacts[i].copyOf >= 0) {
            ++copies;
            // A copy comes after its original and equals it.
            EXPECT_LT(contacts[i].copyOf, int32_t(i));
            EXPECT_EQ(contacts[i].first, contacts[size_t(contacts[i].copyOf)].first);
            EXPECT_EQ(contacts[i].phone[2], contacts[size_t(contacts[i].copyOf)].phone[2]);
        }
    }
    EXPECT_EQ(hidden, 6);
    EXPECT_EQ(copies, 9);
    EXPECT_TRUE(statuses.count(0x04) && statuses.count(0x80));
    EXPECT_NE(palmfix::GenerateContacts({60, 9, 6})[3].note + palmfix::GenerateContacts({60, 9, 6})[5].last,
              contacts[3].note + contacts[5].last);

    auto events = palmfix::GenerateEvents(opt);
    std::set<int32_t> kinds;
    bool longNote = false, multiLine = false, apostrophe = false, ansi = false, empty = false;
    for (const auto& e : events) {
        kinds.insert(e.kind);
        longNote = longNote || e.note.size() > 2000;
        multiLine = multiLine || e.note.find("\r\n") != std::string::npos;
        apostrophe = apostrophe || e.location.find('\'') != std::string::npos;
        ansi = ansi || HasHighByte(e.description) || HasHighByte(e.location);
        empty = empty || e.location.empty();
    }
    EXPECT_EQ(kinds, (std::set<int32_t>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(longNote && multiLine && apostrophe && ansi && empty);
    std::set<int32_t> cats;
    for (const auto& m : palmfix::GenerateMemos(opt))
        cats.insert(m.category);
    EXPECT_GE(cats.size(), 3u);
    EXPECT_TRUE(palmfix::GenerateMemos({0, 5, 1}).empty());
    // No more copies than there are records to copy.
    EXPECT_EQ(palmfix::GenerateTasks({3, 10, 1}).size(), 4u);
}

TEST(GeneratorTest, ClassicUserLoadsWithTheDuplicatesAsked)
{
    PalmInstall env(4, 1, 0);
    std::string error;
    ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), 40100, {40, 8, 3}, palmfix::kGenAll, &error)) << error;
    bool sawPager = false;
    Loaded l = LoadAll(env, 40100, [&](PmAddrInfo& addr, PmDateInfo& date, PmTodoInfo&, PmMemoInfo& memo) {
        EXPECT_EQ(addr.LoadedGeneration(), 1);
        EXPECT_EQ(date.LoadedGeneration(), 1);
        for (PmAddrSource* s = addr.FirstSource(); s; s = addr.NextSource())
            for (int i = 0; i < 5; ++i)
                sawPager = sawPager || (s->Classic->PhoneLabel[i] == 6 && !s->Classic->Phone[i].empty());
        std::set<int32_t> types;
        CommDateMgr* dm = date.GetCommMgr();
        for (CommDate* d = dm->First(); d; d = dm->Next())
            types.insert(d->Repeat.RepeatType);
        EXPECT_EQ(types, (std::set<int32_t>{0, 1, 2, 3, 4, 6}));
        bool longMemo = false;
        CommNoteMgr* nm = memo.GetCommMgr();
        for (CommNote* n = nm->First(); n; n = nm->Next())
            longMemo = longMemo || n->Note.Length() > 8000;
        EXPECT_TRUE(longMemo);
    });
    ExpectCounts(l, 40, 8);
    EXPECT_TRUE(sawPager);
}

TEST(GeneratorTest, Ex2UserLoadsWithTheDuplicatesAsked)
{
    PalmInstall env(6, 0, 0);
    std::string error;
    ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), 60000, {40, 8, 3}, palmfix::kGenAll, &error)) << error;
    Loaded l = LoadAll(env, 60000, [&](PmAddrInfo& addr, PmDateInfo&, PmTodoInfo& todo, PmMemoInfo&) {
        EXPECT_EQ(addr.LoadedGeneration(), 3);
        CommTask* first = todo.GetCommMgr()->First();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->Trailer.SourceType, 16);
    });
    ExpectCounts(l, 40, 8);
}

TEST(GeneratorTest, ExUserLoadsWithTheDuplicatesAsked)
{
    PalmInstall env(4, 1, 4);
    std::string error;
    ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), 40104, {40, 8, 3}, palmfix::kGenAll, &error)) << error;
    Loaded l = LoadAll(env, 40104, [&](PmAddrInfo& addr, PmDateInfo& date, PmTodoInfo& todo, PmMemoInfo& memo) {
        EXPECT_EQ(addr.LoadedGeneration(), 2);
        EXPECT_EQ(date.LoadedGeneration(), 2);
        EXPECT_EQ(memo.LoadedGeneration(), 2);
        CommTask* first = todo.GetCommMgr()->First();
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->Trailer.SourceType, 2);
        std::set<int32_t> types;
        CommDateMgr* dm = date.GetCommMgr();
        for (CommDate* d = dm->First(); d; d = dm->Next())
            types.insert(d->Repeat.RepeatType);
        EXPECT_EQ(types, (std::set<int32_t>{0, 1, 2, 3, 4, 6}));
        bool home = false;
        CommAddrMgr* am = addr.GetCommMgr();
        for (CommAddr* a = am->First(); a; a = am->Next())
            home = home || !a->HomeAddr.Street.Empty();
        EXPECT_TRUE(home);
    });
    ExpectCounts(l, 40, 8);
}

TEST(GeneratorTest, NoGenerationMeansNoFile)
{
    PalmInstall env(3, 0, 0);
    std::string error;
    ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), 30000, {10, 2, 1}, palmfix::kGenAll, &error)) << error;
    // Contacts and notes have no generation below 3.5; calendar and tasks
    // read such versions as classic.
    EXPECT_FALSE(plat::HostExists(plat::ToHostPath(env.UserFile("address\\address.dat"))));
    EXPECT_FALSE(plat::HostExists(plat::ToHostPath(env.UserFile("memopad\\memopad.dat"))));
    EXPECT_TRUE(plat::HostExists(plat::ToHostPath(env.UserFile("datebook\\datebook.dat"))));
    EXPECT_TRUE(plat::HostExists(plat::ToHostPath(env.UserFile("todo\\todo.dat"))));
    EXPECT_EQ(palmfix::GenGeneration(palmfix::kGenDate, 40102), 2);
    EXPECT_EQ(palmfix::GenGeneration(palmfix::kGenMemo, 30499), 0);
    const uint16_t v[4] = {4, 1, 2, 9};
    EXPECT_EQ(palmfix::GenVersionNumber(v), 40102u);
}
