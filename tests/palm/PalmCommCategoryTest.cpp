#include "PalmExTestUtil.h"

#include <gtest/gtest.h>

using extest::Bytes;
using extest::FieldFile;

namespace {

Bytes& Entry(Bytes& b, uint32_t index, uint32_t id, const std::string& name, const std::string& file = "x",
             uint32_t dirty = 0)
{
    return b.U32(index).U32(id).U32(dirty).Counted(name).Counted(file);
}

struct Recorder : PmCategoryEvents {
    std::vector<Step> failed;
    std::vector<std::string> names;
    void Failed(Step step, const PmCategory*) override { failed.push_back(step); }
    void NameRead(const char* name) override { names.push_back(name); }
};

}  // namespace

TEST(PmCategoryTest, EmptyBlockLoadsUnfiledAndSavesEightBytes)
{
    FieldFile f(Bytes().U32(131).U32(0).Str());
    ASSERT_TRUE(f.OpenRead());
    ASSERT_TRUE(f.LoadCategoryBlock(nullptr));
    PmCategoryMgr* mgr = f.CategoryMgr();
    ASSERT_NE(mgr, nullptr);
    EXPECT_EQ(mgr->Count(), 1u);
    EXPECT_FALSE(mgr->IsModified());
    ASSERT_NE(mgr->GetByIndex(0), nullptr);
    EXPECT_STREQ(mgr->GetByIndex(0)->GetName(), "Unfiled");
    EXPECT_EQ(mgr->GetByIndex(0)->GetId(), 0);
    f.Close();

    ASSERT_TRUE(f.OpenWrite());
    bool full = true;
    ASSERT_TRUE(f.SaveCategoryBlock(nullptr, &full));
    EXPECT_FALSE(full);
    EXPECT_EQ(f.Written(), Bytes().List({0x83, 0, 0, 0, 0, 0, 0, 0}).Str());

    FieldFile none;
    ASSERT_TRUE(none.OpenWrite());
    ASSERT_TRUE(none.SaveCategoryBlock(nullptr));
    EXPECT_EQ(none.Written(), Bytes().U32(128).U32(0).Str());
}

TEST(PmCategoryTest, EntriesAreCutForTheTableAndWrittenAsRead)
{
    Bytes b;
    b.U32(140).U32(3);
    Entry(b, 5, 9, "Home/Work", "stored-name", 1);
    Entry(b, 2, 3, "A twenty char name!!", "y");
    Entry(b, 3, 4, "Business", "Business");
    FieldFile f(b.Str());
    ASSERT_TRUE(f.OpenRead());
    Recorder rec;
    ASSERT_TRUE(f.LoadCategoryBlock(&rec));
    EXPECT_TRUE(rec.failed.empty());
    ASSERT_EQ(rec.names.size(), 3u);
    EXPECT_EQ(rec.names[1], "A twenty char name!!");
    PmCategoryMgr* mgr = f.CategoryMgr();
    EXPECT_EQ(mgr->Count(), 4u);
    PmCategory* home = mgr->FindById(9);
    ASSERT_NE(home, nullptr);
    EXPECT_STREQ(home->GetFileName(), "Home_Work");
    EXPECT_TRUE(home->IsDirty());
    EXPECT_STREQ(mgr->GetByIndex(2)->GetName(), "A twenty char n");
    EXPECT_EQ(mgr->FindByName("BUSINESS"), mgr->GetByIndex(3));
    EXPECT_EQ(mgr->FindByName(""), nullptr);
    char name[16];
    ASSERT_TRUE(f.CategoryText(4, name));
    EXPECT_STREQ(name, "Business");
    strcpy(name, "keep");
    EXPECT_FALSE(f.CategoryText(77, name));
    EXPECT_STREQ(name, "keep");
    f.Close();

    ASSERT_TRUE(f.OpenWrite());
    bool full = false;
    ASSERT_TRUE(f.SaveCategoryBlock(nullptr, &full));
    EXPECT_TRUE(full);
    // In the order read, a dirty entry with dirty word 1, the names and file
    // names as stored.
    Bytes expected;
    expected.U32(140).U32(3);
    Entry(expected, 5, 9, "Home/Work", "stored-name", 1);
    Entry(expected, 2, 3, "A twenty char name!!", "y");
    Entry(expected, 3, 4, "Business", "Business");
    EXPECT_EQ(f.Written(), expected.Str());

    // A table whose entries no longer match the order read is written in
    // slot order.
    PmCategory extra(7, 12, "Extra");
    ASSERT_TRUE(mgr->Add(&extra));
    ASSERT_TRUE(f.OpenWrite());
    ASSERT_TRUE(f.SaveCategoryBlock(nullptr, &full));
    Bytes slotOrder;
    slotOrder.U32(140).U32(4);
    Entry(slotOrder, 2, 3, "A twenty char name!!", "y");
    Entry(slotOrder, 3, 4, "Business", "Business");
    Entry(slotOrder, 5, 9, "Home/Work", "stored-name", 1);
    Entry(slotOrder, 7, 12, "Extra", "Extra");
    EXPECT_EQ(f.Written(), slotOrder.Str());
}

TEST(PmCategoryTest, EntriesOutsideTheTableAreRefused)
{
    struct Case {
        const char* what;
        std::string block;
        PmCategoryEvents::Step step;
    };
    auto block = [](std::initializer_list<std::pair<uint32_t, uint32_t>> entries) {
        Bytes b;
        b.U32(130).U32(uint32_t(entries.size()));
        for (auto [index, id] : entries)
            Entry(b, index, id, "c");
        return b.Str();
    };
    std::vector<Case> cases = {
        {"duplicate id", block({{1, 5}, {2, 5}}), PmCategoryEvents::Add},
        {"id 0", block({{1, 0}}), PmCategoryEvents::Add},
        {"index 0", block({{0, 5}}), PmCategoryEvents::BadIndex},
        {"index 16", block({{16, 5}}), PmCategoryEvents::BadIndex},
        {"repeated index", block({{4, 5}, {4, 6}}), PmCategoryEvents::RepeatedIndex},
        {"truncated", block({{1, 5}}).substr(0, 18), PmCategoryEvents::Dirty},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FieldFile f(c.block);
        ASSERT_TRUE(f.OpenRead());
        Recorder rec;
        EXPECT_FALSE(f.LoadCategoryBlock(&rec));
        ASSERT_EQ(rec.failed.size(), 1u);
        EXPECT_EQ(rec.failed[0], c.step);
    }
}

TEST(PmCategoryTest, AddPlacesAndNumbersNewCategories)
{
    PmCategoryMgr mgr;
    EXPECT_EQ(mgr.NewId(), -1);  // no "Unfiled" yet
    PmCategory unfiled(0, 0, "Unfiled");
    ASSERT_TRUE(mgr.Add(&unfiled));
    PmCategory five(-1, 5, "Five");
    ASSERT_TRUE(mgr.Add(&five));
    EXPECT_EQ(mgr.GetByIndex(1)->GetId(), 5);
    EXPECT_TRUE(mgr.GetByIndex(1)->IsDirty());
    PmCategory fresh(-1, -1, "New");
    ASSERT_TRUE(mgr.Add(&fresh));
    EXPECT_EQ(mgr.GetByIndex(2)->GetId(), 6);
    PmCategory taken(2, 40, "Taken");
    EXPECT_FALSE(mgr.Add(&taken));
    for (int i = 3; i < 16; ++i) {
        PmCategory c(-1, -1, "n");
        ASSERT_TRUE(mgr.Add(&c)) << i;
    }
    EXPECT_EQ(mgr.Count(), 16u);
    EXPECT_EQ(mgr.NewId(), -1);
    PmCategory more(-1, 99, "More");
    EXPECT_FALSE(mgr.Add(&more));
    int seen = 0;
    for (PmCategory* c = mgr.First(); c; c = mgr.Next())
        ++seen;
    EXPECT_EQ(seen, 16);

    char buf[8];
    uint32_t cap = sizeof buf;
    PmCategory named(1, 1, "Family");
    ASSERT_TRUE(named.CopyName(buf, &cap));
    EXPECT_EQ(cap, 6u);
    EXPECT_STREQ(buf, "Family");
    cap = 3;
    EXPECT_FALSE(named.CopyName(buf, &cap));
    EXPECT_EQ(buf[0], 0);
    PmCategory a(1, 1, "Family"), b2(1, 1, "family");
    EXPECT_TRUE(named.Equals(a));
    EXPECT_FALSE(named.Equals(b2));
}
