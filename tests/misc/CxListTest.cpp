#include "misc/CxList.h"

#include <gtest/gtest.h>

#include <vector>

TEST(CxList, EmptyListAnswersNone)
{
    CxList<int> list;
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Next(), nullptr);
    EXPECT_EQ(list.Count(), 0u);
    int x = 0;
    EXPECT_EQ(list.IndexOf(&x), -1);
    EXPECT_EQ(list.GetAt(0), nullptr);
}

namespace {

// Counts destructions, to see what Clear frees.
struct Counted {
    static int destroyed;
    int value;
    explicit Counted(int v) : value(v) {}
    ~Counted() { ++destroyed; }
};
int Counted::destroyed = 0;

}  // namespace

TEST(CxList, CursorWalkStopsAtTheEndAndFirstStartsOver)
{
    int a = 1, b = 2, c = 3;
    CxList<int> list;
    EXPECT_FALSE(list.Add(nullptr));
    ASSERT_TRUE(list.Add(&a));
    ASSERT_TRUE(list.Add(&b));
    ASSERT_TRUE(list.Add(&c));
    EXPECT_EQ(list.Count(), 3u);
    // Add leaves the cursor on the new item.
    EXPECT_EQ(list.Next(), nullptr);

    std::vector<int> seen;
    for (int* p = list.First(); p; p = list.Next())
        seen.push_back(*p);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list.Next(), nullptr);
    EXPECT_EQ(list.Next(), nullptr);
    EXPECT_EQ(list.First(), &a);
    EXPECT_EQ(list.Next(), &b);
}

TEST(CxList, GetAtWalksBackwardAndForwardFromTheCursor)
{
    int v[5] = {10, 11, 12, 13, 14};
    CxList<int> list;
    for (int& x : v)
        list.Add(&x);
    EXPECT_EQ(list.GetAt(2), &v[2]);
    EXPECT_EQ(list.GetAt(0), &v[0]);
    EXPECT_EQ(list.Next(), &v[1]);  // the cursor moved to position 0
    EXPECT_EQ(list.GetAt(4), &v[4]);
    EXPECT_EQ(list.GetAt(3), &v[3]);
    EXPECT_EQ(list.GetAt(5), nullptr);
    EXPECT_EQ(list.Next(), &v[4]);  // a GetAt past the end left the cursor alone
    ASSERT_TRUE(list.SetCurrent(&v[1]));
    EXPECT_EQ(list.Next(), &v[2]);
}

TEST(CxList, DuplicatesTakeTwoPositionsAndSearchesFindTheFirst)
{
    int a = 1, b = 2, other = 3;
    CxList<int> list;
    list.Add(&a);
    list.Add(&b);
    list.Add(&a);
    EXPECT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.IndexOf(&a), 0);
    EXPECT_EQ(list.IndexOf(&b), 1);
    EXPECT_EQ(list.IndexOf(&other), -1);
    EXPECT_TRUE(list.Contains(&a));
    EXPECT_FALSE(list.Contains(&other));
    EXPECT_FALSE(list.Contains(nullptr));
    EXPECT_EQ(list.GetAt(2), &a);
    ASSERT_TRUE(list.SetCurrent(&a));
    EXPECT_EQ(list.Next(), &b);  // on position 0, not 2
    EXPECT_EQ(list.GetAt(1), &b);
    EXPECT_FALSE(list.SetCurrent(&other));
    EXPECT_EQ(list.Next(), &a);  // the cursor stayed on position 1
}

TEST(CxList, ClearFreesItemsOnlyWhenAskedAndPositionsRestart)
{
    Counted::destroyed = 0;
    Counted keep1(1), keep2(2);
    {
        CxList<Counted> list;
        list.Add(&keep1);
        list.Add(&keep2);
        list.Clear(false);
        EXPECT_EQ(Counted::destroyed, 0);
        EXPECT_EQ(list.Count(), 0u);
        EXPECT_EQ(list.First(), nullptr);

        list.Add(new Counted(3));
        list.Add(new Counted(4));
        list.Add(new Counted(5));
        list.Clear(true);
        EXPECT_EQ(Counted::destroyed, 3);
        EXPECT_EQ(list.Count(), 0u);

        Counted* fresh = new Counted(6);
        list.Add(fresh);
        EXPECT_EQ(list.IndexOf(fresh), 0);
        EXPECT_EQ(list.GetAt(0), fresh);
        list.Clear(true);
        EXPECT_EQ(Counted::destroyed, 4);
        list.Add(&keep1);
    }
    // Destroying a list frees no items.
    EXPECT_EQ(Counted::destroyed, 4);
}
