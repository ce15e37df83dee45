// A cleaned file differs from the original only in the status words of the
// deleted records. Hand-built files of the eight kinds carry everything a
// writer that rebuilds the file would change: text prefix words 0 and 7,
// integer tags as the schema lists them, categories out of slot order with
// dirty words and a 20-character name, a Windows file name inside, custom
// label words, and 37 bytes after the last record. Through the facades, a
// save without deletions reproduces such a file, and a save after two
// deletions changes two status words and nothing else.
#include "ClassicLayout.h"
#include "PalmExTestUtil.h"
#include "PalmInfoTestEnv.h"

#include "palm/PalmAddrInfo.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmTodoInfo.h"
#include "palmfixture/Generator.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

using infotest::PalmInstall;

namespace {

enum Kind { kContacts, kCalendar, kTasks, kMemos };

const char* const kRelPaths[] = {"address\\address.dat", "datebook\\datebook.dat", "todo\\todo.dat",
                                 "memopad\\memopad.dat"};
const std::string kTrailing = std::string("thirty-seven bytes after the records\x01", 37);

/// The text prefix word of field `i` of row `row`: 0 and 7 by turns.
uint32_t PrefixWord(uint32_t row, uint32_t i) { return (row + i) % 2 ? 0 : 7; }

// ---- classic ----------------------------------------------------------------

std::string ClassicFile(Kind kind, const std::string& windowsName)
{
    const uint32_t versions[] = {classic::kContactsTag, classic::kCalendarTag, classic::kTasksTag,
                                 classic::kMemosTag};
    // Where each kind keeps its category id.
    const uint32_t categoryField[] = {24, 10, 8, 5};
    classic::File f = classic::NewFile(versions[kind]);
    f.fileName = windowsName;
    f.header = kind == kContacts ? "Birthday\nSpouse\nHobby\nPet\n" : "";
    f.nextId = 133;
    // Out of slot order, dirty words set, a name longer than the table keeps.
    f.categories = {{5, 4, 1, "Twenty characters!!!", "Twenty c.cat"},
                    {1, 1, 0, "Business", "Business"},
                    {3, 2, 9, "Personal", "whatever.dat"}};
    for (uint32_t row = 0; row < 4; ++row) {
        std::vector<classic::Field> fields;
        for (uint32_t i = 0; i < f.types.size(); ++i) {
            uint16_t type = f.types[i];
            uint32_t value = i == 0 ? 100 + row : i == 1 ? 0 : i == categoryField[kind] ? row % 3 : 1000 * row + i;
            if (type == 5)
                fields.push_back(classic::Text("r" + std::to_string(row) + "f" + std::to_string(i), PrefixWord(row, i)));
            else if (type == 8)
                fields.push_back(classic::Rep(classic::Repeat{}));
            else
                fields.push_back(classic::Int(value, type));
        }
        f.rows.push_back(fields);
    }
    return classic::Write(f) + kTrailing;
}

// ---- 4.1.x ------------------------------------------------------------------

template <typename Util>
std::vector<uint16_t> DefaultTypes()
{
    return Util().Schema().FieldTypes;
}

std::vector<uint16_t> ExTypes(Kind kind)
{
    switch (kind) {
    case kContacts: return DefaultTypes<PmAddrExUtil>();
    case kCalendar: return DefaultTypes<PmDateExUtil>();
    case kTasks: return DefaultTypes<PmTodoExUtil>();
    default: return DefaultTypes<PmMemoExUtil>();
    }
}

std::string ExField(uint16_t type, uint32_t row, uint32_t i)
{
    extest::Bytes b;
    switch (type) {
    case 5: return b.Text("r" + std::to_string(row) + "f" + std::to_string(i), PrefixWord(row, i)).Str();
    case 8: return extest::RepeatNone();
    case 0x40: return b.U32(0x40).U32(0).Str();
    case 0x41: return b.U32(0x41).U32(6).List({1, 2, 3, 4, 5, 6}).Str();
    case 0x42: return b.U32(0x42).U32(2).U32(0x11223344).U32(0x55).U32(3).List({7, 8, 9}).Str();
    case 0x43: return b.U32(0x43).U32(0).Str();
    case 0x44: return b.U32(0x44).List({0x00, 0x00, 0x00, 0x40, 0x8C, 0xB5, 0xE2, 0x40}).Str();
    default: {
        uint32_t value = i == 0 ? 100 + row : i == 2 ? 0 : i == 5 ? row % 3 : 1000 * row + i;
        return b.Int(value, type).Str();
    }
    }
}

std::string ExFile(Kind kind, const std::string& windowsName)
{
    const uint32_t versions[] = {0x41420200, 0x44420200, 0x54440200, 0x4D500200};
    const uint32_t resources[] = {74, 54, 44, 64};
    extest::SGParts p;
    p.version = versions[kind];
    // Reserved bytes with a count that is not the number of records.
    p.reserved1 = std::string(24, '\x33');
    p.storedName = windowsName;
    if (kind == kContacts) {
        p.reserved2Size = 11;
        extest::Bytes labels;
        for (int i = 0; i < 9; ++i)
            labels.Counted("Label " + std::to_string(i + 1)).U32(0xDEADBEEF - uint32_t(i));
        labels.Fill(42, 0x2A);
        p.labels = labels.Str();
    }
    p.categories = extest::Bytes()
                       .U32(133).U32(3)
                       .U32(5).U32(4).U32(1).Counted("Twenty characters!!!").Counted("Twenty c.cat")
                       .U32(1).U32(1).U32(0).Counted("Business").Counted("Business")
                       .U32(3).U32(2).U32(9).Counted("Personal").Counted("whatever.dat")
                       .Str();
    p.resourceId = resources[kind];
    p.types = ExTypes(kind);
    p.fieldsPerRow = uint32_t(p.types.size());
    for (uint32_t row = 0; row < 4; ++row)
        for (uint32_t i = 0; i < p.types.size(); ++i)
            p.records += ExField(p.types[i], row, i);
    p.totalFields = 4 * p.fieldsPerRow;
    return extest::SGFile(p) + kTrailing;
}

// ---- through the facades ----------------------------------------------------

void Put(const std::string& winPath, const std::string& bytes)
{
    std::ofstream(plat::ToHostPath(winPath), std::ios::binary | std::ios::trunc) << bytes;
}

template <typename Info>
void SaveThroughFacade(const PalmInstall& env, const std::string& path, const std::string& original)
{
    int32_t user = int32_t(env.UserId());
    {
        // No deletion: the same bytes.
        Info info;
        ASSERT_TRUE(info.LoadByUser(user));
        ASSERT_EQ(info.GetCommMgr()->Count(), 4u);
        ASSERT_TRUE(info.Save());
        ASSERT_EQ(infotest::ReadBytes(path), original);
    }
    Info info;
    ASSERT_TRUE(info.LoadByUser(user));
    ASSERT_EQ(info.GetCommMgr()->Count(), 4u);
    auto* first = info.GetCommMgr()->GetAt(0);
    auto* third = info.GetCommMgr()->GetAt(2);
    ASSERT_TRUE(info.DeleteRecord(first));
    ASSERT_TRUE(info.DeleteRecord(third));
    ASSERT_TRUE(info.Save());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 2));

    Info again;
    ASSERT_TRUE(again.LoadByUser(user));
    EXPECT_EQ(again.GetCommMgr()->Count(), 2u);
}

void CheckKind(const PalmInstall& env, Kind kind, bool ex)
{
    SCOPED_TRACE(std::string(ex ? "4.1.x " : "classic ") + kRelPaths[kind]);
    std::string path = env.UserFile(kRelPaths[kind]);
    std::string windowsName = std::string("C:\\Program Files\\Palm\\OHaraT\\") + kRelPaths[kind];
    std::string original = ex ? ExFile(kind, windowsName) : ClassicFile(kind, windowsName);
    Put(path, original);
    switch (kind) {
    case kContacts: SaveThroughFacade<PmAddrInfo>(env, path, original); break;
    case kCalendar: SaveThroughFacade<PmDateInfo>(env, path, original); break;
    case kTasks: SaveThroughFacade<PmTodoInfo>(env, path, original); break;
    case kMemos: SaveThroughFacade<PmMemoInfo>(env, path, original); break;
    }
}

}  // namespace

TEST(FaithfulSave, ClassicFilesChangeOnlyInTheDeletedStatusWords)
{
    PalmInstall env(4, 1, 0);
    for (Kind kind : {kContacts, kCalendar, kTasks, kMemos})
        CheckKind(env, kind, false);
}

TEST(FaithfulSave, ExFilesChangeOnlyInTheDeletedStatusWords)
{
    PalmInstall env(4, 1, 4);
    for (Kind kind : {kContacts, kCalendar, kTasks, kMemos})
        CheckKind(env, kind, true);
}

namespace {

template <typename Info>
void DeleteTwoThroughFacade(const PalmInstall& env, const std::string& path)
{
    std::string original = infotest::ReadBytes(path);
    int32_t user = int32_t(env.UserId());
    {
        Info info;
        ASSERT_TRUE(info.LoadByUser(user));
        ASSERT_TRUE(info.Save());
        ASSERT_EQ(infotest::ReadBytes(path), original);
    }
    Info info;
    ASSERT_TRUE(info.LoadByUser(user));
    uint32_t count = info.GetCommMgr()->Count();
    ASSERT_GE(count, 3u);
    ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(0)));
    ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(count - 1)));
    ASSERT_TRUE(info.Save());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 2));
}

/// Counts of the text prefix words 0 and 1 in a file's bytes (a tag 5 word
/// followed by either).
std::pair<size_t, size_t> PrefixWords(const std::string& bytes)
{
    std::pair<size_t, size_t> n{0, 0};
    for (size_t at = bytes.find(std::string("\x05\0\0\0", 4)); at != std::string::npos && at + 8 <= bytes.size();
         at = bytes.find(std::string("\x05\0\0\0", 4), at + 1)) {
        std::string word = bytes.substr(at + 4, 4);
        n.first += word == std::string(4, '\0');
        n.second += word == std::string("\x01\0\0\0", 4);
    }
    return n;
}

}  // namespace

// The generated files look like Palm Desktop's own (a Windows path inside,
// text prefix words of both values) and are cleaned as byte-faithfully.
TEST(FaithfulSave, GeneratedFilesOfBothGenerations)
{
    for (uint16_t build : {0, 4}) {
        SCOPED_TRACE(build ? "4.1.x" : "classic");
        PalmInstall env(4, 1, build);
        palmfix::GenOptions opt;
        opt.records = 12;
        opt.duplicates = 3;
        opt.seed = 11;
        std::string error;
        ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), build ? 40104 : 40100, opt, palmfix::kGenAll, &error))
            << error;
        for (Kind kind : {kContacts, kCalendar, kTasks, kMemos}) {
            SCOPED_TRACE(kRelPaths[kind]);
            std::string path = env.UserFile(kRelPaths[kind]);
            std::string bytes = infotest::ReadBytes(path);
            EXPECT_NE(bytes.find(std::string("C:\\")), std::string::npos);
            std::pair<size_t, size_t> words = PrefixWords(bytes);
            EXPECT_GT(words.first, 0u);
            EXPECT_GT(words.second, 0u);
            switch (kind) {
            case kContacts: DeleteTwoThroughFacade<PmAddrInfo>(env, path); break;
            case kCalendar: DeleteTwoThroughFacade<PmDateInfo>(env, path); break;
            case kTasks: DeleteTwoThroughFacade<PmTodoInfo>(env, path); break;
            case kMemos: DeleteTwoThroughFacade<PmMemoInfo>(env, path); break;
            }
        }
    }
}
