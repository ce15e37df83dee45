#include "PalmExTestUtil.h"
#include "palm/PalmDateEx.h"

#include <gtest/gtest.h>

using namespace extest;

namespace {

const std::vector<uint16_t> kDateTypes = {1, 1, 1, 1, 1, 1, 6, 0x40, 0x41, 0x42, 0x43, 5, 5, 3,
                                          3, 5, 1, 5, 6, 6, 1, 1, 8, 5, 1, 5, 5};

std::string Header(uint16_t exceptions = 0)
{
    Bytes b;
    b.U32(8).U16(exceptions);
    for (uint16_t i = 0; i < exceptions; ++i)
        b.U32(1200000000 + i * 86400);
    return b.Str();
}

std::string Named(const std::string& name, uint32_t cls, uint32_t interval, uint32_t end, uint32_t word4,
                  uint16_t exceptions = 0)
{
    return Bytes().Raw(Header(exceptions)).U16(0xFFFF).U16(1).U16(uint16_t(name.size())).Raw(name)
        .U32(cls).U32(interval).U32(end).U32(word4).Str();
}

std::string Weekly()
{
    return Bytes().Raw(Named("CWeekly", 2, 2, 1300000000, 0)).U32(3).U8(0x2A).Str();
}

std::string MonthlyByDate(uint16_t exceptions = 0)
{
    return Bytes().Raw(Named("CDateOfMonth", 4, 1, 1400000000, 0, exceptions)).U32(15).Str();
}

std::string Event(uint32_t id, const std::string& repeat, const std::string& note = "note",
                  uint32_t status = 0)
{
    return Bytes()
        .Raw(Prefix(id, status, 0))
        .Int(1110877500, 3).Int(1110881100, 3)
        .Text("Summary " + std::to_string(id)).Int(16)
        .Text(note)
        .Int(0, 6).Int(1, 6).Int(15).Int(0)
        .Raw(repeat)
        .Text("Room 4").Int(24).Text("t25").Text("")
        .Str();
}

SGParts DateParts(const std::string& path, const std::vector<std::string>& events)
{
    SGParts p;
    p.version = 0x44420200;
    p.reserved1 = Reserved1For(uint32_t(events.size()));
    p.storedName = path;
    p.resourceId = 54;
    p.fieldsPerRow = 27;
    p.types = kDateTypes;
    p.totalFields = uint32_t(events.size() * 27);
    for (const std::string& e : events)
        p.records += e;
    return p;
}

class DateFile : public ::testing::Test {
protected:
    TempDir m_dir;
    LogCapture m_log;
    std::string m_path = m_dir.File("datebook.dat");
};

}  // namespace

TEST_F(DateFile, RepeatForms)
{
    EXPECT_EQ(RepeatNone(), Bytes().List({8, 0, 0, 0, 0, 0, 0, 0}).Str());
    EXPECT_EQ(MonthlyByDate().size(), 44u);
    std::string verbatim = Bytes().Raw(Named("CFuture", 9, 1, 2, 3, 1)).Str();
    std::string classZero = Named("CDayName", 0, 1, 2, 3);
    std::string longNote(9000, 'z');
    std::vector<std::string> events = {
        Event(1, RepeatNone()),
        Event(2, Weekly()),
        Event(3, MonthlyByDate(3)),
        Event(4, Bytes().Raw(Named("CDayName", 1, 3, 0, 7)).U32(2).Str()),
        Event(5, Bytes().Raw(Named("CDayOfMonth", 3, 1, 0, 0)).U32(4).U32(2).Str()),
        Event(6, Bytes().Raw(Named("CDateOfYear", 5, 1, 0, 0)).U32(25).U32(11).Str()),
        Event(7, Named("CDayOfYear", 6, 1, 0, 0)),
        Event(8, verbatim),
        Event(9, classZero, longNote),
    };
    std::string original = SGFile(DateParts(m_path, events));
    WriteFile(m_path, original);
    PmDateExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_FALSE(m_log.Has("Reserved 1 Field:"));
    EXPECT_TRUE(m_log.Has("Palm Desktop Calendar information is loaded successfully."));
    PmDateExDataMgr* mgr = util.DataMgr();
    ASSERT_EQ(mgr->Count(), 9u);
    PmDateExRecord* r = mgr->First();
    EXPECT_EQ(r->Repeat.Class, 0u);
    EXPECT_EQ(r->StartTime, 1110877500u);
    EXPECT_EQ(r->Alarm, 1u);
    EXPECT_EQ(r->AlarmAdvance, 15u);
    EXPECT_STREQ(r->Location.c_str(), "Room 4");
    r = mgr->Next();
    EXPECT_EQ(r->Repeat.Class, 2u);
    EXPECT_EQ(r->Repeat.Interval, 2u);
    EXPECT_EQ(r->Repeat.EndDate, 1300000000u);
    EXPECT_EQ(r->Repeat.DayIndex, 3u);
    EXPECT_EQ(r->Repeat.DaysMask, 0x2A);
    r = mgr->Next();
    EXPECT_EQ(r->Repeat.DayNumber, 15u);
    EXPECT_EQ(r->Repeat.Exceptions.size(), 3u);
    r = mgr->Next();
    EXPECT_EQ(r->Repeat.DayIndex, 2u);
    r = mgr->Next();
    EXPECT_EQ(r->Repeat.WeekIndex, 2u);
    r = mgr->Next();
    EXPECT_EQ(r->Repeat.Month, 11u);
    EXPECT_EQ(r->Repeat.DayNumber, 25u);
    mgr->Next();
    r = mgr->Next();
    EXPECT_EQ(r->Repeat.Class, 9u);
    r = mgr->Next();
    EXPECT_EQ(r->Note.size(), 8191u);

    // Exception dates, a class without a name, a stored class 0 and a long
    // note all come back as they were.
    ASSERT_TRUE(util.Save());
    EXPECT_EQ(ReadFile(m_path), original);
}

TEST_F(DateFile, RepeatsAreSavedAsRead)
{
    // A marker other than 0xFFFF (no class header) and a class name far
    // longer than any class has are both written back as they were.
    std::string bare = Bytes().Raw(Header()).U16(0x8001).U32(2).U32(2).U32(1300000000).U32(0).U32(3).U8(0x2A).Str();
    std::string longName = Bytes().Raw(Header()).U16(0xFFFF).U16(1).U16(300).Raw(std::string(300, 'C'))
                               .U32(4).U32(1).U32(0).U32(0).U32(17).Str();
    std::string original = SGFile(DateParts(m_path, {Event(1, bare), Event(2, longName)}));
    WriteFile(m_path, original);
    PmDateExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_EQ(util.DataMgr()->First()->Repeat.DaysMask, 0x2A);
    EXPECT_EQ(util.DataMgr()->Next()->Repeat.DayNumber, 17u);
    ASSERT_TRUE(util.Save());
    EXPECT_EQ(ReadFile(m_path), original);
}

TEST_F(DateFile, BadRepeatsFailTheLoad)
{
    // A class name longer than the bytes left.
    std::string cut = Bytes().Raw(Header()).U16(0xFFFF).U16(1).U16(60000).Raw("CWeekly").Str();
    WriteFile(m_path, SGFile(DateParts(m_path, {Event(1, RepeatNone()), Event(2, cut), Event(3, RepeatNone())})));
    PmDateExUtil util;
    EXPECT_FALSE(util.LoadFile(m_path.c_str()));
    // The failed record ends the load with one line.
    EXPECT_EQ(m_log.CountOf("Error reading Palm Desktop Calendar, current file position: "), 1);
    EXPECT_TRUE(m_log.Has("Load Palm Desktop Calendar failed: " + m_path));
    EXPECT_EQ(util.DataMgr()->Count(), 0u);

    std::string schema2 = Bytes().Raw(Header()).U16(0xFFFF).U16(2).U16(0).U32(0).U32(0).U32(0).U32(0).Str();
    WriteFile(m_path, SGFile(DateParts(m_path, {Event(1, schema2)})));
    m_log.Clear();
    EXPECT_FALSE(util.LoadFile(m_path.c_str()));
    EXPECT_EQ(m_log.CountOf("Error reading Palm Desktop Calendar"), 1);
}

TEST_F(DateFile, DeletedEventAndDefaults)
{
    PmDateExUtil fresh;
    EXPECT_EQ(fresh.Schema().ResourceID, 54u);
    EXPECT_EQ(fresh.Schema().FieldTypes, kDateTypes);
    EXPECT_EQ(fresh.Reserved1()[12], 0);

    WriteFile(m_path, SGFile(DateParts(m_path, {Event(1, RepeatNone()), Event(2, Weekly())})));
    PmDateExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    util.DataMgr()->GetAt(1)->Status = 0x84;
    ASSERT_TRUE(util.Save());
    EXPECT_EQ(ReadFile(m_path),
              SGFile(DateParts(m_path, {Event(1, RepeatNone()), Event(2, Weekly(), "note", 0x84)})));
}
