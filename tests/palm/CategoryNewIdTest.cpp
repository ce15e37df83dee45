// Stored categories whose id is -1 get a new id when they are loaded. The
// new id counts only the slots before the first empty one, so it may be an
// id that a later slot holds, or lie past the largest id there is: such an
// entry is refused, which fails the load, rather than giving two categories
// one id (the save would write a file that no load takes) or overflowing.
#include "palm/PalmAddr.h"
#include "palm/PalmComm.h"

#include "palmfixture/FixtureClassic.h"

#include "PalmExTestUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

void Fill(PmCategoryMgr& mgr, std::initializer_list<std::pair<int32_t, int32_t>> indexAndId)
{
    for (const auto& [index, id] : indexAndId) {
        PmCategory c(index, id, index ? "Named" : "Unfiled");
        EXPECT_TRUE(mgr.Add(&c)) << index;
    }
}

}  // namespace

TEST(CategoryNewId, NewIdHeldByALaterSlotIsRefused)
{
    // Slots 0 to 2 are taken, slot 3 is empty, slot 14 holds id 3.
    PmCategoryMgr mgr;
    Fill(mgr, {{0, 0}, {1, 1}, {2, 2}, {14, 3}});
    EXPECT_EQ(mgr.NewId(), 3);
    PmCategory fresh(4, -1, "Fresh");
    EXPECT_FALSE(mgr.Add(&fresh));
    EXPECT_EQ(mgr.Count(), 4u);
    EXPECT_EQ(mgr.GetByIndex(4), nullptr);

    // A new id that no slot holds is given as before.
    PmCategoryMgr free;
    Fill(free, {{0, 0}, {1, 5}, {14, 3}});
    PmCategory other(4, -1, "Other");
    ASSERT_TRUE(free.Add(&other));
    EXPECT_EQ(free.GetByIndex(4)->GetId(), 6);
}

TEST(CategoryNewId, NoIdPastTheLargest)
{
    PmCategoryMgr mgr;
    Fill(mgr, {{0, 0}, {1, INT_MAX}});
    EXPECT_EQ(mgr.NewId(), -1);
    PmCategory fresh(2, -1, "Fresh");
    EXPECT_FALSE(mgr.Add(&fresh));
}

TEST(CategoryNewId, ClassicFileThatWouldSaveTwoCategoriesOfOneIdDoesNotLoad)
{
    palmfix::ClassicContent<PmAddrRecord> content = palmfix::SampleClassicAddress(3);
    content.categories = {{1, "Business"}, {2, "Personal"}, {3, "Travel"}, {4, "Club"}};
    extest::TempDir dir;
    std::string path = dir.File("address.dat");
    ASSERT_TRUE(palmfix::WriteClassicAddress(path, content));
    std::string bytes = extest::ReadFile(path);
    {
        PmAddrUtil util;
        ASSERT_TRUE(util.LoadFile(path.c_str()));
    }

    // "Travel" moves to slot 14 (slot 3 is left empty) and "Club" is stored
    // with id -1: its new id would be 3, the id of "Travel".
    auto entry = [](uint32_t index, uint32_t id, const std::string& name) {
        // Categories added to a new table are dirty.
        return extest::Bytes().U32(index).U32(id).U32(1).Counted(name).Str();
    };
    size_t travel = bytes.find(entry(3, 3, "Travel"));
    size_t club = bytes.find(entry(4, 4, "Club"));
    ASSERT_NE(travel, std::string::npos);
    ASSERT_NE(club, std::string::npos);
    bytes.replace(travel, 4, extest::Bytes().U32(14).Str());
    bytes.replace(club + 4, 4, extest::Bytes().U32(uint32_t(-1)).Str());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    PmAddrUtil util;
    EXPECT_FALSE(util.LoadFile(path.c_str()));
}
