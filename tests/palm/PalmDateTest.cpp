#include "ClassicLayout.h"
#include "ClassicLayoutEnv.h"

#include "palm/PalmDate.h"

#include <gtest/gtest.h>

using namespace classic;

namespace {

class PalmDateTest : public ClassicTest {
protected:
    File Calendar(const std::string& path)
    {
        File f = NewFile(kCalendarTag);
        f.fileName = path;
        f.header = "datebook header";
        f.nextId = 130;
        f.categories = {{1, 1, 0, "Business", "Business"}};
        return f;
    }
    EventRow Row(uint32_t id, const Repeat& rep = Repeat())
    {
        EventRow e;
        e.id = id;
        e.placement = id;
        e.start = 1110877500 + id * 86400;
        e.end = e.start + 1800;
        e.endTag = 3;  // as a save writes it
        e.description = "meeting " + std::to_string(id);
        e.field6 = 0xABCD;
        e.note = "bring slides";
        e.untimed = 0;
        e.isPrivate = id % 2;
        e.category = 1;
        e.alarm = 1;
        e.advance = 15;
        e.unit = 0;
        e.repeat = rep;
        return e;
    }
};

// Every repeat class, exception dates, a weekly mask and the monthly-by-date
// item with its single payload word: what the writer stores is what the
// utility loads, and what it saves the reader finds again.
TEST_F(PalmDateTest, IndependentWriterAndReaderAgreeOnEveryRepeat)
{
    std::string path = PathOf("datebook.dat");
    File f = Calendar(path);
    std::vector<Repeat> reps = {
        Repeat(),
        NamedRepeat(1, 2, 1200000000, {3}),
        NamedRepeat(2, 1, 0, {1}, true, 0x2A),
        NamedRepeat(3, 1, 0, {4, 2}),
        NamedRepeat(4, 1, 1300000000, {15}),
        NamedRepeat(5, 1, 0, {24, 11}),
        NamedRepeat(6, 3, 0, {}),
    };
    reps[2].exceptions = {1111000000, 1112000000};
    for (uint32_t i = 0; i < reps.size(); ++i)
        f.rows.push_back(EventFields(Row(i + 1, reps[i])));
    Put(path, Write(f));
    std::string original = Get(path);

    PmDateUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    PmDateDataMgr* mgr = util.GetDataMgr();
    ASSERT_EQ(mgr->Count(), reps.size());
    uint32_t i = 0;
    for (PmDateRecord* r = mgr->First(); r; r = mgr->Next(), ++i) {
        SCOPED_TRACE(i);
        EventRow e = Row(i + 1, reps[i]);
        EXPECT_EQ(r->RecordID, int32_t(e.id));
        EXPECT_EQ(r->StartTime, int32_t(e.start));
        EXPECT_EQ(r->EndTime, int32_t(e.end));
        EXPECT_EQ(r->Description, e.description);
        EXPECT_EQ(r->IntField6, 0xABCD);
        EXPECT_EQ(r->Note, "bring slides");
        EXPECT_EQ(r->Private, int32_t(i + 1) % 2);
        EXPECT_EQ(r->Category, 1);
        EXPECT_EQ(r->AlarmSet, 1);
        EXPECT_EQ(r->AlarmAdvance, 15);
        EXPECT_EQ(r->Repeat.Class, int32_t(reps[i].cls));
        EXPECT_EQ(r->Repeat.Interval, int32_t(reps[i].interval));
        EXPECT_EQ(r->Repeat.EndDate, int32_t(reps[i].endDate));
    }
    EXPECT_EQ(mgr->GetAt(1)->Repeat.DayIndex, 3);
    EXPECT_EQ(mgr->GetAt(2)->Repeat.DayIndex, 1);
    EXPECT_EQ(mgr->GetAt(2)->Repeat.DaysMask, 0x2A);
    EXPECT_EQ(mgr->GetAt(2)->Repeat.Exceptions, (std::vector<uint32_t>{1111000000, 1112000000}));
    EXPECT_EQ(mgr->GetAt(3)->Repeat.DayIndex, 4);
    EXPECT_EQ(mgr->GetAt(3)->Repeat.WeekIndex, 2);
    EXPECT_EQ(mgr->GetAt(4)->Repeat.DayNumber, 15);
    EXPECT_EQ(mgr->GetAt(4)->Repeat.Month, 0);
    EXPECT_EQ(mgr->GetAt(5)->Repeat.DayNumber, 24);
    EXPECT_EQ(mgr->GetAt(5)->Repeat.Month, 11);
    // The item after the monthly-by-date one was read from the right place.
    EXPECT_EQ(mgr->GetAt(5)->Description, "meeting 6");

    ASSERT_TRUE(util.Save(path.c_str()));
    EXPECT_EQ(Get(path), original);
    File back;
    size_t trailing = 1;
    ASSERT_TRUE(Read(Get(path), &back, &trailing));
    EXPECT_EQ(trailing, 0u);
    ASSERT_EQ(back.rows.size(), reps.size());
    EXPECT_EQ(back.rows[2][14].repeat.className, "CWeekly");
    EXPECT_EQ(back.rows[2][14].repeat.mask, 0x2A);
    EXPECT_EQ(back.rows[4][14].repeat.payload, (std::vector<uint32_t>{15}));
}

TEST_F(PalmDateTest, NoRepeatFieldBytes)
{
    std::string path = PathOf("datebook.dat");
    File f = Calendar(path);
    f.rows.push_back(EventFields(Row(1)));
    Put(path, Write(f));
    PmDateUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    ASSERT_TRUE(util.Save(path.c_str()));
    std::string saved = Get(path);
    EXPECT_EQ(saved.substr(saved.size() - 8), std::string("\x08\0\0\0\0\0\0\0", 8));
}

// A new item with a repeat but no class tag read gets the named form.
TEST_F(PalmDateTest, NewRepeatIsWrittenWithItsClassName)
{
    std::string path = PathOf("datebook.dat");
    File f = Calendar(path);
    Put(path, Write(f));
    PmDateUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    PmDateRecord rec;
    rec.StartTime = 1110877500;
    rec.EndTime = 1110881100;
    rec.Repeat.Class = 2;
    rec.Repeat.Interval = 1;
    rec.Repeat.DayIndex = 1;
    rec.Repeat.DaysMask = 0x2A;
    ASSERT_TRUE(util.GetDataMgr()->Add(rec));
    ASSERT_TRUE(util.Save(path.c_str()));
    File back;
    ASSERT_TRUE(Read(Get(path), &back));
    ASSERT_EQ(back.rows.size(), 1u);
    const Repeat& r = back.rows[0][14].repeat;
    EXPECT_EQ(r.classTag, 0xFFFF);
    EXPECT_EQ(r.className, "CWeekly");
    EXPECT_EQ(r.payload, (std::vector<uint32_t>{1}));
    EXPECT_EQ(r.mask, 0x2A);

    // A new repeat of a class without a name has no form any reader could
    // follow: the save fails and the file stays as it was.
    std::string before = Get(path);
    rec.Repeat.Class = 9;
    ASSERT_TRUE(util.GetDataMgr()->Add(rec));
    EXPECT_FALSE(util.Save(path.c_str()));
    EXPECT_EQ(Get(path), before);
}

// Load and save without changes: the same bytes, EndTime's tag as the schema
// lists it, text prefixes and dirty words included. Items with a start or an
// end of -1 are hidden from the walk and written back in their places;
// repeats of unknown classes and unnamed class tags go back as read.
TEST_F(PalmDateTest, UnchangedSaveKeepsHiddenItemsAndOddRepeats)
{
    std::string path = PathOf("datebook.dat");
    File f = Calendar(path);
    Repeat odd = NamedRepeat(9, 1, 0, {});
    odd.className = "CFuture";
    Repeat unnamed = NamedRepeat(4, 2, 0, {7});
    unnamed.classTag = 0x8001;
    EventRow noEnd = Row(2);
    noEnd.end = 0xFFFFFFFF;
    EventRow noStart = Row(4);
    noStart.start = 0xFFFFFFFF;
    EventRow deleted = Row(5);
    deleted.status = 0x84;
    f.rows = {EventFields(Row(1, odd)), EventFields(noEnd), EventFields(Row(3, unnamed)), EventFields(noStart),
              EventFields(deleted)};
    std::string clean = Write(f);
    f.rows[0][4].tag = 1;  // EndTime as the schema lists it
    f.rows[2][4].tag = 1;
    f.rows[1][5].prefix = 0;
    f.categories[0].dirty = 9;
    std::string original = Write(f);
    Put(path, original);

    PmDateUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    PmDateDataMgr* mgr = util.GetDataMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    EXPECT_EQ(mgr->GetAt(0)->RecordID, 1);
    EXPECT_EQ(mgr->GetAt(1)->RecordID, 3);
    EXPECT_EQ(mgr->GetAt(2)->RecordID, 5);  // deleted items are the facade's to skip
    EXPECT_EQ(mgr->GetAt(2)->Status, 0x84);
    EXPECT_EQ(mgr->RowCount(), 5u);
    EXPECT_TRUE(mgr->IsHidden(1));
    EXPECT_TRUE(mgr->IsHidden(3));
    EXPECT_EQ(mgr->GetAt(0)->Repeat.Class, 9);

    ASSERT_TRUE(util.Save(path.c_str()));
    EXPECT_EQ(Get(path), original);
    EXPECT_NE(original, clean);
    File back;
    ASSERT_TRUE(Read(Get(path), &back));
    EXPECT_EQ(back.rows[0][4].tag, 1u);
    EXPECT_EQ(back.rows[1][4].value, 0xFFFFFFFFu);
    EXPECT_EQ(back.rows[3][3].value, 0xFFFFFFFFu);
}

TEST_F(PalmDateTest, SaveGoesToTheLoadedFileAndLogsNothing)
{
    std::string path = PathOf("datebook.dat");
    File f = Calendar("C:\\Palm\\Other\\datebook\\datebook.dat");
    f.rows.push_back(EventFields(Row(1)));
    Put(path, Write(f));
    PmDateUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    EXPECT_TRUE(Logged("Loading Palm Desktop datebook: " + path));
    EXPECT_EQ(util.HeaderText(), "datebook header");
    std::string before = Log();
    ASSERT_TRUE(util.Save(util.LoadedPath().c_str()));
    EXPECT_EQ(Log(), before);
    File back;
    ASSERT_TRUE(Read(Get(path), &back));
    EXPECT_EQ(back.fileName, "C:\\Palm\\Other\\datebook\\datebook.dat");
    EXPECT_EQ(back.header, "datebook header");
}

TEST_F(PalmDateTest, IncompleteFilesAreRefused)
{
    std::string path = PathOf("datebook.dat");
    struct Case {
        const char* what;
        void (*edit)(File&);
        const char* extra;
    } cases[] = {
        {"announced row missing", [](File& f) { f.explicitTotal = true; f.totalFields = 30; }, nullptr},
        {"repeat schema not 1", [](File& f) { f.rows[0][14].repeat.schema = 2; }, nullptr},
        {"field 14 not a repeat", [](File& f) { f.rows[0][14] = Int(0); }, nullptr},
        {"fields per row 16", [](File& f) { f.fieldsPerRow = 16; f.explicitTotal = true; f.totalFields = 16; },
         "Unsupported fields per row: 16"},
        {"fields count 16", [](File& f) { f.types.push_back(1); }, "Unsupported field count: 16"},
        {"another file's tag", [](File& f) { f.version = kTasksTag; }, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        File f = Calendar(path);
        f.rows.push_back(EventFields(Row(1, NamedRepeat(1, 1, 0, {2}))));
        c.edit(f);
        Put(path, Write(f));
        ClearLog();
        PmDateUtil util;
        EXPECT_FALSE(util.LoadFile(path.c_str()));
        EXPECT_TRUE(Logged("Failed to load Palm Desktop datebook: " + path));
        if (c.extra) {
            EXPECT_TRUE(Logged(c.extra));
        }
    }
    File f = Calendar(path);
    f.rows.push_back(EventFields(Row(1, NamedRepeat(2, 1, 0, {1}, true, 0x2A))));
    std::string whole = Write(f);
    Put(path, whole.substr(0, whole.size() - 1));  // the mask byte is missing
    PmDateUtil util;
    EXPECT_FALSE(util.LoadFile(path.c_str()));
}

TEST_F(PalmDateTest, FailedSaveLeavesTheOriginal)
{
    std::string path = PathOf("datebook.dat");
    File f = Calendar(path);
    for (uint32_t id = 1; id <= 10; ++id)
        f.rows.push_back(EventFields(Row(id, NamedRepeat(4, 1, 0, {id}))));
    Put(path, Write(f));
    std::string original = Get(path);
    PmDateUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    util.GetDataMgr()->First()->Status = 0x84;
    plat::FileFaults faults;
    faults.failWriteAfter = int64_t(original.size() / 2);
    plat::SetFileFaults(faults);
    EXPECT_FALSE(util.Save(path.c_str()));
    plat::ClearFileFaults();
    EXPECT_EQ(Get(path), original);
    faults = plat::FileFaults();
    faults.failTempCreate = true;
    plat::SetFileFaults(faults);
    EXPECT_FALSE(util.Save(path.c_str()));
    plat::ClearFileFaults();
    EXPECT_EQ(Get(path), original);
    EXPECT_EQ(FilesWith("tmp"), 0);
}

}  // namespace
