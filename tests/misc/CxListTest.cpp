#include "misc/CxList.h"

#include <gtest/gtest.h>

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
