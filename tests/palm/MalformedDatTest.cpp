// Files whose counts do not describe what they hold: each is refused at load
// with the reason, nothing read from it can be saved, and a bad record ends
// the reading with one line.
#include "ClassicLayout.h"
#include "MalformedDatEnv.h"
#include "PalmExTestUtil.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

using namespace malformed;

namespace {

const std::vector<uint16_t> kMemoTypes = {1, 1, 1, 1, 1, 1, 6, 0x40, 0x41, 0x42, 0x43, 5, 5, 5};

/// A hand-made 4.1.x memo file at `path` with the given schema and records.
extest::SGParts MemoParts(const std::string& path, uint32_t fieldsPerRow, std::vector<uint16_t> types,
                          uint32_t totalFields, const std::string& records)
{
    extest::SGParts p;
    p.version = 0x4D500200;
    p.reserved1 = extest::Reserved1For(fieldsPerRow ? totalFields / fieldsPerRow : 0);
    p.storedName = path;
    p.resourceId = 64;
    p.fieldsPerRow = fieldsPerRow;
    p.types = std::move(types);
    p.totalFields = totalFields;
    p.records = records;
    return p;
}

/// The sample with its Field Types cut to `count` entries and Fields Count set to it.
std::string WithTypes(const std::string& sample, const Shape& s, uint16_t count)
{
    std::string b = sample;
    b.erase(s.fieldsCountAt + 2 + 2 * size_t(count), 2 * size_t(s.fieldsCount - count));
    PutU16At(b, s.fieldsCountAt, count);
    return b;
}

}  // namespace

// Records of a 4.1.x file are read over Fields Count fields and written over
// Fields Per Row: unless the two are equal, a save writes something else
// than was read (or what it writes cannot be read back).
TEST_F(DatTest, ExFieldsCountMustEqualFieldsPerRow)
{
    // Fields Count 14, Fields Per Row 13: the records load with their notes,
    // and a save would write them without.
    {
        Shape s = ShapeOf(true, kMemos);
        std::string b = Sample(true, kMemos);
        PutU32At(b, s.fieldsPerRowAt, 13);
        PutU32At(b, s.totalFieldsAt, s.totalFields / 14 * 13);
        Put(kMemos, b);
        m_Env.ClearLog();
        PmMemoExUtil util;
        EXPECT_FALSE(util.LoadFile(PathOf(kMemos).c_str()));
        EXPECT_TRUE(Logged("Fields count 14 does not match fields per row 13 (a Memos record is read and written "
                           "over the same fields)."))
            << m_Env.Log();
        EXPECT_TRUE(Logged("Load Palm Desktop Memos failed: " + PathOf(kMemos)));
        EXPECT_EQ(util.DataMgr()->Count(), 0u);
        EXPECT_FALSE(util.Save());
        EXPECT_EQ(Get(kMemos), b);
    }
    // Fields Count 13, Fields Per Row 14 over records of 13 fields: they load,
    // and a save would add a note to each that the next load cannot place.
    {
        std::string path = PathOf(kMemos);
        std::vector<uint16_t> types(kMemoTypes.begin(), kMemoTypes.end() - 1);
        std::string b = extest::SGFile(
            MemoParts(path, 14, types, 28, extest::Prefix(1, 0, 0) + extest::Prefix(2, 0, 0)));
        Put(kMemos, b);
        m_Env.ClearLog();
        PmMemoExUtil util;
        EXPECT_FALSE(util.LoadFile(path.c_str()));
        EXPECT_TRUE(Logged("Fields count 13 does not match fields per row 14")) << m_Env.Log();
        EXPECT_FALSE(util.Save());
        EXPECT_EQ(Get(kMemos), b);
    }
    // Fields Count 0: every announced record would be an empty one that the
    // file does not hold.
    {
        std::string path = PathOf(kMemos);
        std::string b = extest::SGFile(MemoParts(path, 14, {}, 1400, ""));
        Put(kMemos, b);
        m_Env.ClearLog();
        PmMemoExUtil util;
        EXPECT_FALSE(util.LoadFile(path.c_str()));
        EXPECT_TRUE(Logged("Unsupported fields count: 0 (a Memos record has 1 to 14 fields).")) << m_Env.Log();
        EXPECT_EQ(util.DataMgr()->Count(), 0u);
    }
    // Every application, one field type fewer and none at all.
    for (App app : kApps) {
        SCOPED_TRACE(Word(app));
        Shape s = ShapeOf(true, app);
        for (uint16_t count : {uint16_t(s.fieldsCount - 1), uint16_t(0)}) {
            Put(app, WithTypes(Sample(true, app), s, count));
            m_Env.ClearLog();
            std::unique_ptr<Loader> util = MakeLoader(true, app);
            EXPECT_FALSE(util->Load(PathOf(app)));
            EXPECT_EQ(util->Rows(), 0u);
            if (count)
                EXPECT_TRUE(Logged("Fields count " + std::to_string(count) + " does not match fields per row " +
                                   std::to_string(s.fieldsPerRow) + " (a " + Word(app) + " record"))
                    << m_Env.Log();
            else
                EXPECT_TRUE(Logged("Unsupported fields count: 0 (a " + std::string(Word(app)) + " record has 1 to "))
                    << m_Env.Log();
            EXPECT_TRUE(Logged(FailedLoadLine(true, app) + PathOf(app)));
        }
    }
}

// A row that stops before the Status field holds no status: the facades
// would show every record as live, and a deletion would be reported but
// never written. Rows up to the Status field and beyond are kept whole.
TEST_F(DatTest, RowsWithoutTheStatusFieldAreRefused)
{
    std::string path = PathOf(kMemos);
    // 4.1.x: Status is field 3 (index 2).
    std::string two = extest::Bytes().Int(1).Int(7).Int(2).Int(8).Str();
    std::string b = extest::SGFile(MemoParts(path, 2, {1, 1}, 4, two));
    Put(kMemos, b);
    PmMemoExUtil ex;
    EXPECT_FALSE(ex.LoadFile(path.c_str()));
    EXPECT_TRUE(Logged("Unsupported fields per row: 2 (a Memos record needs at least 3 fields to hold its status)."))
        << m_Env.Log();
    std::string three = extest::Bytes().Int(1).Int(7).Int(0).Int(2).Int(8).Int(0).Str();
    b = extest::SGFile(MemoParts(path, 3, {1, 1, 1}, 6, three));
    Put(kMemos, b);
    ASSERT_TRUE(ex.LoadFile(path.c_str()));
    ASSERT_EQ(ex.DataMgr()->Count(), 2u);
    ASSERT_TRUE(ex.Save());
    EXPECT_EQ(Get(kMemos), b);

    // Classic: Status is field 2 (index 1). Through the facade, whose
    // deletion of such a memo would have changed nothing in the file.
    classic::File f = classic::NewFile(classic::kMemosTag);
    f.fieldsPerRow = 1;
    f.types = {1};
    f.rows = {{classic::Int(1)}, {classic::Int(2)}};
    Put(kMemos, classic::Write(f));
    m_Env.ClearLog();
    auto info = MakeFacade(kMemos, kClassicVersion);
    info->LoadByUser(User());
    EXPECT_EQ(info->LoadedGeneration(), 0);
    EXPECT_EQ(info->Count(), 0u);
    EXPECT_TRUE(Logged("Unsupported fields per row: 1 (a Memos row needs at least 2 fields to hold its status)."))
        << m_Env.Log();
    EXPECT_TRUE(Logged("Load Palm Desktop memopad failed: " + path));
    f.fieldsPerRow = 2;
    f.types = {1, 1};
    f.rows = {{classic::Int(1), classic::Int(0)}, {classic::Int(2), classic::Int(0)}};
    Put(kMemos, classic::Write(f));
    ASSERT_TRUE(info->LoadByUser(User()));
    EXPECT_EQ(info->Count(), 2u);
}

// A classic row is read and written over Fields Per Row, whatever Fields
// Count says, so only a Fields Count of 0 (no field at all) is refused.
TEST_F(DatTest, ClassicFieldsCountZeroIsRefused)
{
    for (App app : kApps) {
        SCOPED_TRACE(Word(app));
        Shape s = ShapeOf(false, app);
        std::string b = WithTypes(Sample(false, app), s, 0);
        Put(app, b);
        m_Env.ClearLog();
        std::unique_ptr<Loader> util = MakeLoader(false, app);
        EXPECT_FALSE(util->Load(PathOf(app)));
        EXPECT_TRUE(Logged("Unsupported field count: 0 (a " + std::string(Word(app)) + " schema lists 1 to " +
                           std::to_string(s.fieldsPerRow) + " field types)."))
            << m_Env.Log();
        EXPECT_TRUE(Logged(FailedLoadLine(false, app) + PathOf(app)));
        EXPECT_EQ(util->Rows(), 0u);
        EXPECT_FALSE(util->Save());
        EXPECT_EQ(Get(app), b);

        // Fewer types than fields per row: kept as they are.
        b = WithTypes(Sample(false, app), s, 2);
        Put(app, b);
        ASSERT_TRUE(util->Load(PathOf(app)));
        ASSERT_TRUE(util->Save());
        EXPECT_EQ(Get(app), b);
    }
}

// Total Fields must be a whole number of rows: surplus fields would be
// neither records nor written back.
TEST_F(DatTest, ExSurplusFieldsAreRefused)
{
    for (App app : kApps) {
        SCOPED_TRACE(Word(app));
        Shape s = ShapeOf(true, app);
        std::string b = Sample(true, app) + extest::Bytes().Int(1).Int(2).Str();
        PutU32At(b, s.totalFieldsAt, s.totalFields + 2);
        Put(app, b);
        m_Env.ClearLog();
        std::unique_ptr<Loader> util = MakeLoader(true, app);
        EXPECT_FALSE(util->Load(PathOf(app)));
        char line[160];
        std::snprintf(line, sizeof line, "Total fields %u is not a whole number of %s records of %u fields.",
                      s.totalFields + 2, Word(app), s.fieldsPerRow);
        EXPECT_TRUE(Logged(line)) << m_Env.Log();
        EXPECT_TRUE(Logged(FailedLoadLine(true, app) + PathOf(app)));
        EXPECT_EQ(util->Rows(), 0u);
        EXPECT_FALSE(util->Save());
        EXPECT_EQ(Get(app), b);
    }
}

// A record count that cannot fit in the bytes left is refused before any
// record is read or made.
TEST_F(DatTest, AnnouncedRecordsMustFitTheFile)
{
    for (bool ex : {true, false}) {
        for (App app : kApps) {
            SCOPED_TRACE(std::string(Word(app)) + (ex ? " 4.1.x" : " classic"));
            Shape s = ShapeOf(ex, app);
            std::string b = Sample(ex, app);
            PutU32At(b, s.totalFieldsAt, s.fieldsPerRow * 3000);
            Put(app, b);
            m_Env.ClearLog();
            CxLogCapture errors;
            std::unique_ptr<Loader> util = MakeLoader(ex, app);
            EXPECT_FALSE(util->Load(PathOf(app)));
            std::string announce = "Total fields " + std::to_string(s.fieldsPerRow * 3000) + " announce 3000 " +
                                   Word(app) + (ex ? " records" : " rows") + " of at least ";
            EXPECT_TRUE(Logged(announce)) << m_Env.Log();
            EXPECT_FALSE(Logged("Error reading"));
            EXPECT_LE(errors.Messages().size(), 4u) << errors.Text();
            EXPECT_EQ(util->Rows(), 0u);
        }
    }
}

// After a failed record the 4.1.x loaders stop, with one line.
TEST_F(DatTest, ExLoadStopsAtTheFirstBadRecord)
{
    for (App app : kApps) {
        SCOPED_TRACE(Word(app));
        Shape s = ShapeOf(true, app);
        std::string b = Sample(true, app);
        PutU32At(b, s.RecordsAt(), 5);  // the first record's Record ID tagged as a text
        Put(app, b);
        m_Env.ClearLog();
        std::unique_ptr<Loader> util = MakeLoader(true, app);
        EXPECT_FALSE(util->Load(PathOf(app)));
        EXPECT_EQ(LoggedCount(std::string("Error reading Palm Desktop ") + Word(app) + ", current file position: "), 1)
            << m_Env.Log();
        EXPECT_TRUE(Logged(std::string("Failed to load ") + Word(app) + " records."));
        EXPECT_EQ(util->Rows(), 0u);
    }
    // A calendar of no records that announces many: refused before reading.
    Shape s = ShapeOf(true, kCalendar);
    std::string b = Sample(true, kCalendar).substr(0, s.RecordsAt());
    PutU32At(b, s.totalFieldsAt, 27 * 100000);
    Put(kCalendar, b);
    m_Env.ClearLog();
    CxLogCapture errors;
    PmDateExUtil util;
    EXPECT_FALSE(util.LoadFile(PathOf(kCalendar).c_str()));
    EXPECT_EQ(LoggedCount("Error reading Palm Desktop Calendar"), 0);
    EXPECT_LE(errors.Messages().size(), 4u) << errors.Text();
}

// A classic utility whose load failed holds no rows and saves nothing, as
// the 4.1.x ones; a load that succeeds later makes it save again.
TEST_F(DatTest, ClassicSaveIsRefusedAfterAFailedLoad)
{
    for (App app : kApps) {
        SCOPED_TRACE(Word(app));
        std::unique_ptr<Loader> util = MakeLoader(false, app);
        Put(app, Sample(false, app));
        ASSERT_TRUE(util->Load(PathOf(app)));
        // Cut inside the last row: the rows before it are read, then the load fails.
        std::string cut = Sample(false, app).substr(0, Sample(false, app).size() - 3);
        Put(app, cut);
        m_Env.ClearLog();
        EXPECT_FALSE(util->Load(PathOf(app)));
        EXPECT_EQ(util->Rows(), 0u);
        EXPECT_FALSE(util->Save());
        EXPECT_TRUE(Logged(std::string("The last load of Palm Desktop ") + Word(app) + " failed; nothing is saved."))
            << m_Env.Log();
        EXPECT_EQ(Get(app), cut);

        Put(app, Sample(false, app));
        ASSERT_TRUE(util->Load(PathOf(app)));
        EXPECT_TRUE(util->Save());
        EXPECT_EQ(Get(app), Sample(false, app));
    }
}

// Total Fields 0xFFFFFFFF over no Field Types used to make one empty record
// per 14 fields, 306 million of them, until memory ran out. Run in a child
// with its address space bounded.
TEST(MalformedDatDeathTest, HugeCountOverNoFieldsEndsCleanly)
{
    extest::TempDir dir;
    std::string path = dir.File("memopad.dat");
    extest::WriteFile(path, extest::SGFile(MemoParts(path, 14, {}, 0xFFFFFFFFu, "")));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            long pages = 0;
            if (FILE* f = std::fopen("/proc/self/statm", "r")) {
                if (std::fscanf(f, "%ld", &pages) != 1)
                    pages = 0;
                std::fclose(f);
            }
            rlimit limit;
            limit.rlim_cur = limit.rlim_max = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
            setrlimit(RLIMIT_AS, &limit);
            PmMemoExUtil util;
            bool loaded = util.LoadFile(path.c_str());
            std::exit(loaded ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}
