#include "PalmInfoTestEnv.h"

#include "palm/PalmMemoInfo.h"
#include "palmfixture/FixtureClassic.h"
#include "palmfixture/FixtureEx2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using infotest::PalmInstall;

namespace {

PmMemoRecord ClassicMemo(int32_t id, int32_t status, const std::string& text, int32_t isPrivate = 0)
{
    PmMemoRecord r;
    r.RecordID = id;
    r.Status = status;
    r.Placement = id;
    r.Memo = text;
    r.Private = isPrivate;
    r.Category = 0;
    return r;
}

PmMemoEx2Record Ex2Memo(int32_t id, int32_t status, const std::string& text, uint8_t isPrivate = 0)
{
    PmMemoEx2Record r{};
    r.RecordID = id;
    r.Status = status;
    r.Placement = id;
    r.Private = isPrivate;
    r.Category = 0;
    r.Note.Set(text.c_str());
    r.NoteLength = int32_t(text.size());
    return r;
}

std::string WriteClassicMemos(const PalmInstall& env, const std::vector<PmMemoRecord>& recs)
{
    return infotest::WriteClassicWith(palmfix::WriteClassicMemo, env.UserFile("memopad\\memopad.dat"),
                                      {{1, "Business"}}, recs);
}

std::string WriteEx2Memos(const PalmInstall& env, const std::vector<PmMemoEx2Record>& recs)
{
    return infotest::WriteEx2With(palmfix::WriteMemoPadMdb, env, 4, {{1, "Business"}}, recs);
}

std::vector<std::string> Subjects(PmMemoInfo& info)
{
    std::vector<std::string> out;
    CommNoteMgr* mgr = info.GetCommMgr();
    for (CommNote* n = mgr->First(); n; n = mgr->Next())
        out.emplace_back(n->Subject.c_str());
    return out;
}

}  // namespace

TEST(PalmMemoInfoTest, GenerationFollowsTheInstalledVersion)
{
    PalmInstall env;
    struct Case {
        uint32_t version;
        int32_t gen;
    } cases[] = {{40102, 2}, {59999, 2}, {40101, 1}, {30500, 1}, {30499, 0}, {0, 0},
                 {60000, 3}, {0xFFFFFFFFu, 3}};
    for (const Case& c : cases) {
        PmMemoInfo info(c.version);
        EXPECT_EQ(info.ChosenGeneration(), c.gen) << c.version;
        EXPECT_EQ(info.LoadedGeneration(), 0);
    }
    env.ClearLog();
    PmMemoInfo none(30499);
    EXPECT_FALSE(none.LoadByUser(int32_t(env.UserId())));
    EXPECT_EQ(none.LoadedGeneration(), 255);
    EXPECT_TRUE(env.LogHas("Unknown Palm Desktop version."));
    EXPECT_TRUE(env.LogHas("Palm Desktop Version: 30499"));
    EXPECT_FALSE(none.Save());
}

TEST(PalmMemoInfoTest, DefaultConstructionReadsPalmExe)
{
    PalmInstall classic(4, 1, 1);
    EXPECT_EQ(PmMemoInfo().ChosenGeneration(), 1);
}

TEST(PalmMemoInfoTest, ClassicMemosBecomeNotes)
{
    PalmInstall env(4, 1, 0);
    WriteClassicMemos(env, {ClassicMemo(11, 0, "Shopping\r\nmilk"), ClassicMemo(12, 0x04, "deleted"),
                            ClassicMemo(13, 0x80, "archived"), ClassicMemo(14, 0, "", 1),
                            ClassicMemo(15, 0x40, "lone\nfeed\rline", 1)});
    PmMemoInfo info;
    ASSERT_EQ(info.ChosenGeneration(), 1);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    EXPECT_EQ(info.LoadedGeneration(), 1);
    CommNoteMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);

    CommNote* shop = mgr->GetAt(0);
    EXPECT_STREQ(shop->Subject.c_str(), "Shopping");
    EXPECT_STREQ(shop->Note.c_str(), "Shopping\r\nmilk");
    EXPECT_EQ(shop->Trailer.SourceType, 1);
    EXPECT_EQ(shop->Trailer.ID, 11);
    EXPECT_EQ(shop->Private, 0);
    ASSERT_NE(shop->Trailer.NativeCopy, nullptr);
    EXPECT_EQ(shop->Trailer.NativeCopySize, int32_t(sizeof(PmMemoSource)));
    auto* native = static_cast<PmMemoSource*>(shop->Trailer.NativeCopy);
    EXPECT_EQ(native->Generation, 1);
    ASSERT_NE(native->Classic, nullptr);
    EXPECT_EQ(native->Classic->Memo, "Shopping\r\nmilk");

    EXPECT_STREQ(mgr->GetAt(1)->Subject.c_str(), "");
    EXPECT_STREQ(mgr->GetAt(1)->Note.c_str(), "");
    EXPECT_EQ(mgr->GetAt(1)->Private, 1);
    // Only a CR LF pair ends the subject; status bits other than 0x04 and
    // 0x80 leave a memo live.
    EXPECT_STREQ(mgr->GetAt(2)->Subject.c_str(), "lone\nfeed\rline");
    EXPECT_EQ(mgr->GetAt(2)->Trailer.Status, 0x40u);

    int sources = 0;
    for (PmMemoSource* s = info.FirstSource(); s; s = info.NextSource(), ++sources)
        EXPECT_EQ(s->CommRecord, mgr->GetAt(uint32_t(sources)));
    EXPECT_EQ(sources, 3);
}

TEST(PalmMemoInfoTest, LongTextsAreCutForTheNoteOnly)
{
    PalmInstall env(6, 0, 0);
    std::string first(300, 'a');
    std::string text = first + "\r\n" + std::string(29698, 'b');
    ASSERT_EQ(text.size(), 30000u);
    WriteEx2Memos(env, {Ex2Memo(1, 0, text, 1)});
    PmMemoInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(info.GetCommMgr()->Count(), 1u);
    CommNote* n = info.GetCommMgr()->GetAt(0);
    EXPECT_EQ(n->Note.View(), text.substr(0, 20479));
    EXPECT_EQ(n->Subject.View(), first.substr(0, 255));
    EXPECT_EQ(n->Private, 1);
    // The generation record keeps the whole text.
    auto* native = static_cast<PmMemoSource*>(n->Trailer.NativeCopy);
    ASSERT_NE(native->Ex2, nullptr);
    EXPECT_EQ(std::string(native->Ex2->Note.c_str()), text);
}

TEST(PalmMemoInfoTest, FailedLoadLeavesNothingAndStillSucceeds)
{
    PalmInstall env(4, 1, 0);
    // A 6.x database where the classic file is expected is not read as one,
    // and no other generation is tried.
    WriteEx2Memos(env, {Ex2Memo(1, 0, "six")});
    std::string error;
    ASSERT_TRUE(palmfix::WriteMemoPadMdb(env.UserFile("memopad\\memopad.dat"), {}, {}, &error)) << error;
    std::string before = infotest::ReadBytes(env.UserFile("memopad\\memopad.dat"));
    PmMemoInfo info;
    env.ClearLog();
    EXPECT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    EXPECT_EQ(info.GetCommMgr()->Count(), 0u);
    EXPECT_EQ(info.LoadedGeneration(), 0);
    EXPECT_TRUE(env.LogHas("Failed to load Palm Desktop Memo database by User: " +
                           std::to_string(env.UserId())));
    EXPECT_FALSE(info.Save());
    EXPECT_EQ(infotest::ReadBytes(env.UserFile("memopad\\memopad.dat")), before);

    PalmInstall six(6, 0, 0);
    WriteClassicMemos(six, {ClassicMemo(1, 0, "classic")});
    ASSERT_TRUE(palmfix::WriteClassicMemo(palmfix::Ex2DatabasePath(six.UserFolder(), 4), {}, &error)) << error;
    PmMemoInfo info6;
    EXPECT_TRUE(info6.LoadByUser(int32_t(six.UserId())));
    EXPECT_EQ(info6.GetCommMgr()->Count(), 0u);
}

TEST(PalmMemoInfoTest, ClassicDeletionReachesTheFileOnlyWithSave)
{
    PalmInstall env(4, 1, 0);
    std::string path = WriteClassicMemos(env, {ClassicMemo(1, 0, "Call O'Brien\r\nabout the café"),
                                               ClassicMemo(2, 0x80, "archived"), ClassicMemo(3, 0, "Call O'Brien\r\nabout the café"),
                                               ClassicMemo(4, 0, "Call O'Brien\r\nabout the café")});
    std::string original = infotest::ReadBytes(path);
    PmMemoInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommNoteMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    CommNote* first = mgr->GetAt(0);
    CommNote* second = mgr->GetAt(1);
    EXPECT_EQ(second->Trailer.ID, 3);
    ASSERT_TRUE(info.DeleteRecord(first));
    ASSERT_TRUE(info.DeleteRecord(second));
    EXPECT_EQ(static_cast<PmMemoSource*>(first->Trailer.NativeCopy)->Status, 0x84u);
    EXPECT_EQ(static_cast<PmMemoSource*>(first->Trailer.NativeCopy)->Classic->Status, 0x84);
    EXPECT_EQ(infotest::ReadBytes(path), original);

    CommNote stranger{};
    EXPECT_FALSE(info.DeleteRecord(&stranger));

    ASSERT_TRUE(info.Save());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 2));

    PmMemoInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 1u);
    EXPECT_EQ(again.GetCommMgr()->GetAt(0)->Trailer.ID, 4);
    PmMemoUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    int deleted = 0;
    for (uint32_t i = 0; i < util.GetDataMgr()->RowCount(); ++i)
        deleted += util.GetDataMgr()->Row(i)->Status == 0x84;
    EXPECT_EQ(deleted, 2);
}

TEST(PalmMemoInfoTest, Ex2DeletionUpdatesTheRowOnSave)
{
    PalmInstall env(6, 0, 0);
    std::string text = "Shopping\r\nmilk, O'Neil's bread";
    std::string path = WriteEx2Memos(env, {Ex2Memo(1, 0, text), Ex2Memo(2, 0, text), Ex2Memo(3, 0x04, "old"),
                                           Ex2Memo(4, 0, text)});
    auto before = palmfix::Ex2DumpTable(path, "Main");
    ASSERT_EQ(before.size(), 4u);
    PmMemoInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(Subjects(info), (std::vector<std::string>{"Shopping", "Shopping", "Shopping"}));
    CommNoteMgr* mgr = info.GetCommMgr();
    EXPECT_TRUE(info.DeleteRecord(mgr->GetAt(0)));
    EXPECT_TRUE(info.DeleteRecord(mgr->GetAt(1)));
    EXPECT_EQ(palmfix::Ex2DumpTable(path, "Main"), before);
    ASSERT_TRUE(info.Save());
    auto after = palmfix::Ex2DumpTable(path, "Main");
    ASSERT_EQ(after.size(), 4u);
    for (size_t row = 0; row < 4; ++row) {
        ASSERT_EQ(after[row].size(), before[row].size());
        for (size_t col = 0; col < after[row].size(); ++col) {
            if (col == 1 && (row == 0 || row == 1))
                EXPECT_NE(after[row][col].find("132"), std::string::npos) << after[row][col];
            else
                EXPECT_EQ(after[row][col], before[row][col]) << row << "," << col;
        }
    }

    PmMemoInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 1u);
    EXPECT_EQ(again.GetCommMgr()->GetAt(0)->Trailer.ID, 4);
}

TEST(PalmMemoInfoTest, Ex2DeletionReportsARowThatWasNotChanged)
{
    PalmInstall env(6, 0, 0);
    std::string path = WriteEx2Memos(env, {Ex2Memo(1, 0, "one"), Ex2Memo(2, 0, "two")});
    PmMemoInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(info.GetCommMgr()->Count(), 2u);
    // The database went away after the load: the row cannot be changed, and
    // the deletion says so.
    std::filesystem::remove(plat::ToHostPath(path));
    EXPECT_FALSE(info.DeleteRecord(info.GetCommMgr()->GetAt(1)));
}

namespace {

PmMemoExRecord ExMemo(uint32_t id, uint32_t status, const std::string& text, uint32_t isPrivate = 0)
{
    PmMemoExRecord r;
    r.RecordID = id;
    r.Status = status;
    r.Placement = id;
    r.Category = 1;
    r.Private = isPrivate;
    r.Note.Set(text.c_str());
    return r;
}

}  // namespace

TEST(PalmMemoInfoTest, ExMemosAndTheirDeletion)
{
    PalmInstall env(4, 1, 2);
    std::string path = env.UserFile("memopad\\memopad.dat");
    ASSERT_TRUE(infotest::WriteEx(
        path, {ExMemo(1, 0, "Shopping\r\nmilk", 1), ExMemo(2, 0x04, "Shopping\r\nmilk"),
               ExMemo(3, 0, "Shopping\r\nmilk"), ExMemo(4, 0, "Shopping\r\nmilk")}));
    std::string original = infotest::ReadBytes(path);
    PmMemoInfo info;
    ASSERT_EQ(info.ChosenGeneration(), 2);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    EXPECT_EQ(info.LoadedGeneration(), 2);
    CommNoteMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    EXPECT_STREQ(mgr->GetAt(0)->Subject.c_str(), "Shopping");
    EXPECT_STREQ(mgr->GetAt(0)->Note.c_str(), "Shopping\r\nmilk");
    EXPECT_EQ(mgr->GetAt(0)->Private, 1);
    EXPECT_EQ(mgr->GetAt(1)->Trailer.ID, 3);
    auto* native = static_cast<PmMemoSource*>(mgr->GetAt(0)->Trailer.NativeCopy);
    ASSERT_EQ(native->Generation, 2);
    EXPECT_STREQ(native->Ex->CategoryName, "Business");

    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(0)));
    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(1)));
    EXPECT_EQ(infotest::ReadBytes(path), original);
    ASSERT_TRUE(info.Save());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 2));
    PmMemoInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 1u);
    EXPECT_EQ(again.GetCommMgr()->GetAt(0)->Trailer.ID, 4);

    // A classic file where the 4.1.x file is expected is not read.
    PalmInstall other(4, 1, 2);
    WriteClassicMemos(other, {ClassicMemo(1, 0, "classic")});
    PmMemoInfo wrong;
    EXPECT_TRUE(wrong.LoadByUser(int32_t(other.UserId())));
    EXPECT_EQ(wrong.GetCommMgr()->Count(), 0u);
    EXPECT_EQ(wrong.LoadedGeneration(), 0);
}
