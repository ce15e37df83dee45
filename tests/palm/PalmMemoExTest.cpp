#include "PalmExTestUtil.h"
#include "palm/PalmMemoEx.h"
#include "platform/File.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace extest;

namespace {

const std::vector<uint16_t> kMemoTypes = {1, 1, 1, 1, 1, 1, 6, 0x40, 0x41, 0x42, 0x43, 5, 5, 5};

std::string Categories()
{
    return Bytes()
        .U32(131).U32(2)
        .U32(1).U32(1).U32(0).Counted("Business").Counted("Business")
        .U32(2).U32(5).U32(0).Counted("Home/Work").Counted("Home_Work")
        .Str();
}

std::string Memo(uint32_t id, const std::string& note, uint32_t status = 0, uint32_t category = 1)
{
    return Prefix(id, status, category) + Bytes().Text(note).Str();
}

SGParts MemoParts(const std::string& path, const std::vector<std::string>& memos)
{
    SGParts p;
    p.version = 0x4D500200;
    p.reserved1 = Reserved1For(uint32_t(memos.size()));
    p.storedName = path;
    p.categories = Categories();
    p.resourceId = 64;
    p.fieldsPerRow = 14;
    p.types = kMemoTypes;
    p.totalFields = uint32_t(memos.size() * 14);
    for (const std::string& m : memos)
        p.records += m;
    return p;
}

class MemoFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ClearFileFaults();
        m_path = m_dir.File("memopad.dat");
    }
    void TearDown() override { plat::ClearFileFaults(); }

    std::string Write(const SGParts& p, const std::string& tail = std::string())
    {
        std::string content = SGFile(p);
        WriteFile(m_path, content + tail);
        return content;
    }

    TempDir m_dir;
    LogCapture m_log;
    std::string m_path;
};

}  // namespace

TEST_F(MemoFile, LoadAndSaveReproduceTheFile)
{
    std::string longNote(9000, 'n');
    longNote[8191] = 'X';
    std::string original =
        Write(MemoParts(m_path, {Memo(1, "first"), Memo(2, "", 0, 5), Memo(3, longNote, 0, 9)}), "stale tail bytes");
    PmMemoExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmMemoExDataMgr* mgr = util.DataMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    PmMemoExRecord* r = mgr->First();
    EXPECT_EQ(r->RecordID, 1u);
    EXPECT_STREQ(r->Note.c_str(), "first");
    EXPECT_STREQ(r->CategoryName, "Business");
    EXPECT_EQ(r->Block[1].Length, 6u);
    r = mgr->Next();
    EXPECT_STREQ(r->CategoryName, "Home/Work");
    r = mgr->Next();
    EXPECT_EQ(r->Note.size(), 8191u);  // what the facades see
    EXPECT_TRUE(r->Note.IsCut());
    EXPECT_STREQ(r->CategoryName, "");  // unknown id

    ASSERT_TRUE(util.Save());
    std::string saved = ReadFile(m_path);
    // The long note is written back whole, the bytes after the records too.
    EXPECT_EQ(saved, original + "stale tail bytes");
    EXPECT_TRUE(m_log.Has("Save Palm Desktop Memos database successfully."));
    EXPECT_TRUE(m_log.Has("Saving category [Home/Work]"));
    EXPECT_TRUE(m_log.Has("Palm Desktop Memos categories are saved successfully."));
    EXPECT_FALSE(m_log.Has("Palm Desktop Memos information is loaded successfully."));
    // The original was kept as its .bak beside it.
    int baks = 0;
    for (const auto& e : std::filesystem::directory_iterator(m_dir.Path()))
        if (e.path().extension() == ".bak")
            ++baks;
    EXPECT_EQ(baks, 1);
}

// A save of the loaded file keeps what a file written afresh would have
// otherwise: prefix word 7, field 6 tagged 6, reserved bytes, categories out
// of slot order with a dirty word and an unsafe file name.
TEST_F(MemoFile, SaveKeepsWhatAFreshFileWouldNormalise)
{
    SGParts p = MemoParts(m_path, {Memo(1, "a")});
    p.reserved1 = std::string(24, '\x33');
    // Written afresh, prefix word 7 becomes 1, field 6 keeps the schema's tag
    // 6, the categories their order, stored names and dirty words (1 for any
    // nonzero).
    p.records = Bytes().Int(1).Int(0).Int(0).Int(0).Int(0).Int(0).Int(1, 6).Raw(Blocks())
                    .Text("", 7).Text("").Text("a", 7).Str();
    // Categories out of slot order, a dirty word and an unsafe file name.
    p.categories = Bytes().U32(131).U32(2)
                       .U32(3).U32(4).U32(1).Counted("Zeta").Counted("whatever")
                       .U32(2).U32(5).U32(0).Counted("A.B").Counted("A.B")
                       .Str();
    std::string original = Write(p);
    PmMemoExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    ASSERT_TRUE(util.Save());
    EXPECT_EQ(ReadFile(m_path), original);

    // What the same content gives when it is written afresh.
    ASSERT_TRUE(util.SaveNew(m_dir.File("fresh.dat").c_str()));
    SGParts q = MemoParts(m_dir.File("fresh.dat"), {Prefix(1, 0, 0).substr(0, 0)});
    q.reserved1 = std::string(24, '\x33');
    q.reserved1[12] = 1;
    q.reserved1[13] = 16;
    q.records = Bytes().Int(1).Int(0).Int(0).Int(0).Int(0).Int(0).Int(1, 6).Raw(Blocks())
                    .Text("").Text("").Text("a").Str();
    q.totalFields = 14;
    q.categories = Bytes().U32(131).U32(2)
                       .U32(3).U32(4).U32(1).Counted("Zeta").Counted("whatever")
                       .U32(2).U32(5).U32(0).Counted("A.B").Counted("A.B")
                       .Str();
    EXPECT_EQ(ReadFile(m_dir.File("fresh.dat")), SGFile(q));
}

TEST_F(MemoFile, ReservedCountBytesAndDeletedStatus)
{
    std::vector<std::string> memos;
    for (uint32_t i = 0; i < 300; ++i)
        memos.push_back(Memo(i + 1, "memo " + std::to_string(i)));
    SGParts p = MemoParts(m_path, memos);
    p.reserved1 = std::string(24, '\0');
    Write(p);
    PmMemoExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    ASSERT_EQ(util.DataMgr()->Count(), 300u);
    util.DataMgr()->GetAt(41)->Status = 0x84;
    ASSERT_TRUE(util.Save());
    // The count bytes stay as read: a deletion changes no count.
    std::string saved = ReadFile(m_path);
    EXPECT_EQ(uint8_t(saved[28 + 12]), 0x00);
    EXPECT_EQ(uint8_t(saved[28 + 13]), 0x00);
    // A file written afresh gets them from its number of records.
    ASSERT_TRUE(util.SaveNew(m_dir.File("fresh.dat").c_str()));
    std::string fresh = ReadFile(m_dir.File("fresh.dat"));
    EXPECT_EQ(uint8_t(fresh[28 + 12]), 0x2C);
    EXPECT_EQ(uint8_t(fresh[28 + 13]), 0x11);

    PmMemoExUtil again;
    ASSERT_TRUE(again.LoadFile(m_path.c_str()));
    ASSERT_EQ(again.DataMgr()->Count(), 300u);
    EXPECT_EQ(again.DataMgr()->GetAt(41)->Status, 0x84u);
    EXPECT_EQ(again.DataMgr()->GetAt(41)->RecordID, 42u);
    EXPECT_EQ(again.DataMgr()->GetAt(40)->Status, 0u);

    // No records: 0x00 and 0x10; Total Fields 0 loads as no records.
    Write(MemoParts(m_path, {}));
    PmMemoExUtil empty;
    ASSERT_TRUE(empty.LoadFile(m_path.c_str()));
    EXPECT_EQ(empty.DataMgr()->Count(), 0u);
    ASSERT_TRUE(empty.Save());
    saved = ReadFile(m_path);
    EXPECT_EQ(uint8_t(saved[28 + 12]), 0x00);
    EXPECT_EQ(uint8_t(saved[28 + 13]), 0x10);
    EXPECT_EQ(saved, SGFile(MemoParts(m_path, {})));
}

TEST_F(MemoFile, SaveGoesToTheLoadedFileNotTheStoredName)
{
    std::string other = m_dir.File("other.dat");
    WriteFile(other, "someone else's file");
    SGParts p = MemoParts(other, {Memo(1, "x")});
    Write(p);
    PmMemoExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_EQ(std::string(util.StoredFileName()), other);
    ASSERT_TRUE(util.Save());
    EXPECT_EQ(ReadFile(other), "someone else's file");
    // The name stored inside stays as read.
    EXPECT_EQ(ReadFile(m_path), SGFile(p));
}

TEST_F(MemoFile, FailedSavesLeaveTheOriginal)
{
    std::string original = Write(MemoParts(m_path, {Memo(1, "keep me"), Memo(2, "and me")}));
    PmMemoExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    util.DataMgr()->First()->Status = 0x84;

    plat::FileFaults temp;
    temp.failTempCreate = true;
    plat::SetFileFaults(temp);
    EXPECT_FALSE(util.Save());
    EXPECT_EQ(ReadFile(m_path), original);
    EXPECT_TRUE(m_log.Has("Failed to save Palm Desktop Memos database."));
    EXPECT_TRUE(m_log.Has("The file was not changed: " + m_path));

    plat::FileFaults half;
    half.failWriteAfter = 100;
    plat::SetFileFaults(half);
    m_log.Clear();
    EXPECT_FALSE(util.Save());
    EXPECT_EQ(ReadFile(m_path), original);
    EXPECT_TRUE(m_log.Has("The file was not changed: " + m_path));
    plat::ClearFileFaults();

    // A folder where nothing can be created.
    if (geteuid() != 0) {
        chmod(m_dir.Path().c_str(), 0555);
        EXPECT_FALSE(util.Save());
        chmod(m_dir.Path().c_str(), 0755);
        EXPECT_EQ(ReadFile(m_path), original);
    }

    // A file held by another program cannot be saved, nor loaded.
    {
        plat::ExclusiveFile holder;
        ASSERT_TRUE(holder.Open(m_path, plat::Access::ReadWrite, false));
        m_log.Clear();
        EXPECT_FALSE(util.Save());
        EXPECT_TRUE(m_log.Has("Failed to open file: " + m_path));
        PmMemoExUtil other;
        EXPECT_FALSE(other.LoadFile(m_path.c_str()));
        EXPECT_TRUE(m_log.Has("Load Palm Desktop Memos failed: " + m_path));
    }
    EXPECT_EQ(ReadFile(m_path), original);

    // A file that was removed meanwhile is not created again by Save.
    std::filesystem::remove(m_path);
    EXPECT_FALSE(util.Save());
    EXPECT_FALSE(std::filesystem::exists(m_path));

    ASSERT_TRUE(util.SaveNew(m_path.c_str()));
    PmMemoExUtil back;
    ASSERT_TRUE(back.LoadFile(m_path.c_str()));
    EXPECT_EQ(back.DataMgr()->First()->Status, 0x84u);
}

TEST_F(MemoFile, EmptyPathIsRefusedFirst)
{
    PmMemoExUtil util;
    EXPECT_FALSE(util.LoadFile(""));
    EXPECT_FALSE(util.LoadFile(nullptr));
    EXPECT_EQ(m_log.CountOf("Invalid Palm Desktop Notes database file name."), 2);
    EXPECT_FALSE(m_log.Has("Loading Palm Desktop Memos"));
}

TEST_F(MemoFile, ABadRecordEndsTheLoadAndNothingIsKept)
{
    std::string bad = Bytes().Int(2, 5).Str() + Memo(2, "x").substr(8);
    Write(MemoParts(m_path, {Memo(1, "ok"), bad, Memo(3, "later"), Memo(4, "later")}));
    PmMemoExUtil util;
    EXPECT_FALSE(util.LoadFile(m_path.c_str()));
    // The records after it are not where the count says: one line, no more.
    EXPECT_EQ(m_log.CountOf("Error reading Palm Desktop Memos, current file position: "), 1);
    EXPECT_TRUE(m_log.Has("Failed to load Memos records."));
    EXPECT_TRUE(m_log.Has("Load Palm Desktop Memos failed: " + m_path));
    EXPECT_EQ(util.DataMgr()->Count(), 0u);
    // A save after a failed load would drop what could not be read.
    std::string before = ReadFile(m_path);
    EXPECT_FALSE(util.Save());
    EXPECT_FALSE(util.SaveAs(m_path.c_str()));
    EXPECT_EQ(ReadFile(m_path), before);
}

TEST_F(MemoFile, MalformedHeadersAreRefusedWithTheirMessage)
{
    struct Case {
        const char* what;
        std::string content;
        std::string message;
    };
    auto parts = [&] { return MemoParts(m_path, {Memo(1, "a"), Memo(2, "b")}); };
    std::string good = SGFile(parts());
    std::vector<Case> cases;
    {
        SGParts p = parts();
        p.fieldsPerRow = 0;
        cases.push_back({"fields per row 0", SGFile(p), "Unsupported fields per row: 0"});
        p.fieldsPerRow = 15;
        cases.push_back({"fields per row 15", SGFile(p), "Unsupported fields per row: 15"});
    }
    {
        SGParts p = parts();
        p.types.push_back(5);
        cases.push_back({"fields count 15", SGFile(p), "Unsupported fields count: 15"});
    }
    auto withCategory = [&](uint32_t index, uint32_t id, uint32_t index2, uint32_t id2) {
        SGParts p = parts();
        p.categories = Bytes().U32(131).U32(2)
                           .U32(index).U32(id).U32(0).Counted("One").Counted("One")
                           .U32(index2).U32(id2).U32(0).Counted("Two").Counted("Two")
                           .Str();
        return SGFile(p);
    };
    cases.push_back({"index 0", withCategory(1, 1, 0, 2), "Invalid category index 0"});
    cases.push_back({"index 16", withCategory(1, 1, 16, 2), "Invalid category index 16"});
    cases.push_back({"repeated index", withCategory(3, 1, 3, 2), "Category index 3 is used twice."});
    cases.push_back({"repeated id", withCategory(1, 7, 2, 7), "Category ID 7 is used twice."});
    cases.push_back({"truncated records", good.substr(0, good.size() - 3),
                     "Error reading Palm Desktop Memos, current file position: "});
    cases.push_back({"truncated schema", good.substr(0, 52 + 1 + m_path.size() + 43 + Categories().size() + 10), "Failed to read Record ID Position."});
    cases.push_back({"truncated reserved 2", good.substr(0, 60 + m_path.size()), "Failed to read reserved 2 field."});
    {
        std::string wrong = good;
        wrong[24] = 0x01;
        cases.push_back({"version", wrong, "Incorrect database version:1297089025"});
        std::string magic = good;
        magic.replace(5, 6, "Other!");
        cases.push_back({"magic", magic, "Incorrect database magic code: Other! Database00RV"});
        std::string prefix = good;
        prefix[0] = 0;  // the first five bytes are not examined
        cases.push_back({"prefix", prefix, ""});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(m_path, c.content);
        m_log.Clear();
        PmMemoExUtil util;
        bool loaded = util.LoadFile(m_path.c_str());
        if (c.message.empty()) {
            EXPECT_TRUE(loaded);
            continue;
        }
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(m_log.Has(c.message)) << m_log.Text();
        EXPECT_TRUE(m_log.Has("Load Palm Desktop Memos failed: " + m_path));
        EXPECT_EQ(util.DataMgr()->Count(), 0u);
    }
}

TEST(MemoDataMgr, CopiesKeepWholeTextsAndBlockData)
{
    PmMemoExRecord r;
    std::string stored(9000, 'w');
    r.Note.Load(stored.data(), stored.size(), PmDBUtil::kMaxTextField);
    r.Block[2].Form = 5;
    r.Block[2].Length = 5;
    r.Block[2].Data = {1, 2, 3, 4, 5};
    PmMemoExDataMgr mgr;
    ASSERT_TRUE(mgr.Add(&r));
    r.Note.Set("changed");
    r.Block[2].Data[0] = 9;
    PmMemoExRecord* copy = mgr.First();
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->Note.IsCut());
    EXPECT_EQ(copy->Note.size(), 8191u);
    EXPECT_EQ(copy->Note.Stored(), stored);
    EXPECT_EQ(copy->Block[2].Data[0], 1);
    PmMemoExRecord assigned;
    assigned = *copy;
    EXPECT_EQ(assigned.Note.Stored(), stored);
    EXPECT_FALSE(r.Note.IsCut());
    EXPECT_EQ(r.Note.Stored(), "changed");
}
