#include "palm/CommMgr.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

TEST(FixedText, CutsToCapacityMinusOne)
{
    FixedText<8> t{};
    t.Set("abcdefghijkl");
    EXPECT_STREQ(t.c_str(), "abcdefg");
    EXPECT_EQ(t.Length(), 7u);
    t.Set("xy");
    EXPECT_STREQ(t.c_str(), "xy");
    EXPECT_EQ(t.Length(), 2u);
    t.Set(std::string_view("ab\0cd", 5));
    EXPECT_STREQ(t.c_str(), "ab");
    t.Set(nullptr);
    EXPECT_TRUE(t.Empty());
    // A string handed over is cut the same way.
    t.Set(std::string("abcdefghijkl"));
    EXPECT_STREQ(t.c_str(), "abcdefg");
    t.Set(std::string("ab\0cd", 5));
    EXPECT_EQ(t.View(), "ab");
    t.Set(std::string(5000, 'x'));
    EXPECT_EQ(t.Length(), 7u);
}

TEST(CommRecord, ValueInitialisationZeroFills)
{
    CommNote n{};
    EXPECT_TRUE(n.Subject.Empty());
    EXPECT_EQ(n.Trailer.NativeCopy, nullptr);
    EXPECT_EQ(n.Trailer.MarkFlags, 0u);
}

TEST(CommMgr, EmptyManager)
{
    CommAddrMgr mgr;
    CommAddr other{};
    EXPECT_EQ(mgr.First(), nullptr);
    EXPECT_EQ(mgr.Next(), nullptr);
    EXPECT_EQ(mgr.Count(), 0u);
    EXPECT_EQ(mgr.IndexOf(&other), -1);
    EXPECT_FALSE(mgr.SetCurrent(&other));
    EXPECT_EQ(mgr.Add(nullptr), nullptr);
    EXPECT_EQ(mgr.Count(), 0u);
}

TEST(CommMgr, AddStoresDeepCopyWithOwnNativeCopy)
{
    CommTaskMgr mgr;
    CommTask tmpl{};
    tmpl.Description.Set("Call back");
    tmpl.Trailer.ID = 42;
    char native[5] = {1, 2, 3, 4, 5};
    tmpl.Trailer.NativeCopy = native;
    tmpl.Trailer.NativeCopySize = sizeof native;

    CommTask* stored = mgr.Add(tmpl);
    ASSERT_NE(stored, nullptr);
    EXPECT_NE(stored, &tmpl);
    EXPECT_STREQ(stored->Description.c_str(), "Call back");
    EXPECT_EQ(stored->Trailer.ID, 42);
    ASSERT_NE(stored->Trailer.NativeCopy, nullptr);
    EXPECT_NE(stored->Trailer.NativeCopy, static_cast<void*>(native));
    EXPECT_EQ(stored->Trailer.NativeCopySize, 5);
    EXPECT_EQ(std::memcmp(stored->Trailer.NativeCopy, native, sizeof native), 0);

    // The template's block and the stored block are independent.
    native[0] = 99;
    tmpl.Description.Set("changed");
    EXPECT_EQ(static_cast<char*>(stored->Trailer.NativeCopy)[0], 1);
    EXPECT_STREQ(stored->Description.c_str(), "Call back");
}

TEST(CommMgr, NativePointerWithoutSizeIsNotCopied)
{
    CommNoteMgr mgr;
    CommNote tmpl{};
    char native[4] = {};
    tmpl.Trailer.NativeCopy = native;
    tmpl.Trailer.NativeCopySize = 0;
    CommNote* stored = mgr.Add(tmpl);
    ASSERT_NE(stored, nullptr);
    // Not a copy of the caller's pointer either, or Clear would free it.
    EXPECT_EQ(stored->Trailer.NativeCopy, nullptr);
    mgr.Clear();
    EXPECT_EQ(mgr.Count(), 0u);
}

TEST(CommMgr, CursorWalkAndSetCurrent)
{
    CommDateMgr mgr;
    CommDate* recs[4];
    for (int i = 0; i < 4; ++i) {
        CommDate d{};
        d.AllDayEvent = i;
        recs[i] = mgr.Add(d);
        ASSERT_NE(recs[i], nullptr);
    }
    EXPECT_EQ(mgr.Count(), 4u);
    // Add leaves the cursor on the new record.
    EXPECT_EQ(mgr.Next(), nullptr);
    EXPECT_EQ(mgr.First(), recs[0]);
    // RecordAt reads without moving the cursor.
    EXPECT_EQ(mgr.RecordAt(3), recs[3]);
    EXPECT_EQ(mgr.RecordAt(4), nullptr);
    EXPECT_EQ(mgr.GetAt(4), nullptr);
    EXPECT_EQ(mgr.Next(), recs[1]);
    EXPECT_TRUE(mgr.SetCurrent(recs[2]));
    EXPECT_EQ(mgr.Next(), recs[3]);
    EXPECT_EQ(mgr.Next(), nullptr);
    EXPECT_EQ(mgr.Next(), nullptr);
    EXPECT_EQ(mgr.GetAt(1), recs[1]);
    EXPECT_EQ(mgr.Next(), recs[2]);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(mgr.IndexOf(recs[i]), i);
    CommDate outsider{};
    EXPECT_FALSE(mgr.SetCurrent(&outsider));
    EXPECT_EQ(mgr.Next(), recs[3]);
}

TEST(CommMgr, ClearRestartsPositions)
{
    CommAddrMgr mgr;
    CommAddr a{};
    char block[16] = "native";
    a.Trailer.NativeCopy = block;
    a.Trailer.NativeCopySize = sizeof block;
    for (int i = 0; i < 3; ++i)
        mgr.Add(a);
    mgr.Clear();
    EXPECT_EQ(mgr.Count(), 0u);
    EXPECT_EQ(mgr.First(), nullptr);
    a.FirstName.Set("Ada");
    CommAddr* again = mgr.Add(a);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(mgr.IndexOf(again), 0);
    EXPECT_EQ(mgr.First(), again);
    EXPECT_STREQ(static_cast<char*>(again->Trailer.NativeCopy), "native");
}
