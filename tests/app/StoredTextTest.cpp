// 6.x databases store Unicode: their records keep the stored texts (UTF-8),
// so that texts outside the ANSI code page stay apart through detection and
// deletion, while the cut to a field's capacity falls where the ANSI text's
// fell.
#include "app/Apputil.h"
#include "app/ApputilFacadeSet.h"
#include "palm/PalmInfoTestEnv.h"
#include "palm/PalmMemoInfo.h"
#include "palmfixture/FixtureEx2.h"
#include "platform/Codepage.h"

#include "ScopedState.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using infotest::PalmInstall;

namespace {

// UTF-8 of the names (written as escapes: the sources are kept in ASCII).
const std::string kIvan = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD";                       // Ivan
const std::string kPetrov = "\xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2";     // Petrov
const std::string kOleg = "\xD0\x9E\xD0\xBB\xD0\xB5\xD0\xB3";                       // Oleg
const std::string kIvanov = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2";     // Ivanov
const std::string kAnna = "\xD0\x90\xD0\xBD\xD0\xBD\xD0\xB0";                       // Anna
const std::string kWork = "\xD0\xA0\xD0\xB0\xD0\xB1\xD0\xBE\xD1\x82\xD0\xB0";       // "work"
const std::string kZhe = "\xD0\x96";                                                // one Cyrillic letter
const std::string kSmile = "\xF0\x9F\x98\x80";                                      // outside the BMP

std::string Repeat(const std::string& piece, size_t count)
{
    std::string out;
    for (size_t i = 0; i < count; ++i)
        out += piece;
    return out;
}

// A contact whose texts are the stored UTF-8 texts, the e-mail in its first
// phone slot.
PmAddrEx2Record Contact(int32_t id, const std::string& first, const std::string& last, const std::string& email)
{
    PmAddrEx2Record r{};
    r.RecordID = id;
    r.Placement = id;
    r.Category = 1;
    r.FirstName.SetStored(first);
    r.LastName.SetStored(last);
    r.WorkPhone.SetStored(email);
    r.PhoneLabel1 = PmAddrInfo::kLabelEmail;
    return r;
}

std::string WriteContacts(const PalmInstall& env, const std::vector<PmAddrEx2Record>& recs)
{
    return infotest::WriteEx2With(palmfix::WriteAddressMdb, env, kPmDbAddr, {{1, kWork}}, recs);
}

}  // namespace

// In an English locale every Cyrillic letter is '?' in the code page: two
// different people with the same e-mail had the same ANSI names and were
// listed as duplicates. The stored texts keep them apart; the same person
// twice is still found, and deleting that duplicate marks exactly its row.
TEST(StoredText, CyrillicContactsAreComparedAsStored)
{
    testenv::ScopedCodePage page(1252);
    plat::ResetBackups();
    PalmInstall env(6, 0, 0);
    const std::string path = WriteContacts(env, {Contact(1, kAnna, kIvanov, "anna@example.com"),
                                                 Contact(2, kIvan, kPetrov, "same@example.com"),
                                                 Contact(3, kOleg, kIvanov, "same@example.com"),
                                                 Contact(4, kAnna, kIvanov, "anna@example.com")});
    const auto before = palmfix::Ex2DumpTable(path, "Main");

    PmAddrInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(info.GetCommMgr()->Count(), 4u);
    CommAddr* ivan = info.GetCommMgr()->GetAt(1);
    EXPECT_EQ(ivan->FirstName.View(), kIvan);
    EXPECT_EQ(ivan->LastName.View(), kPetrov);
    EXPECT_EQ(ivan->Email.View(), "same@example.com");
    EXPECT_EQ(info.CategoryName(ivan), kWork);
    EXPECT_EQ(info.GetCommMgr()->GetAt(2)->FirstName.View(), kOleg);

    CxList<CommAddr> dups;
    ASSERT_TRUE(DetectAddrDups(info.GetCommMgr(), &dups, DefaultOption()));
    ASSERT_EQ(dups.Count(), 1u);
    CommAddr* dup = dups.First();
    EXPECT_EQ(dup, info.GetCommMgr()->GetAt(0));
    EXPECT_EQ(dup->FirstName.View(), kAnna);
    // Case-insensitive or not, the engine folds ASCII letters only: the
    // names outside ASCII stay as they are.
    AppOption caseSensitive = DefaultOption();
    caseSensitive.CaseSensitive = true;
    CxList<CommAddr> again;
    ASSERT_TRUE(DetectAddrDups(info.GetCommMgr(), &again, caseSensitive));
    EXPECT_EQ(again.Count(), 1u);
    again.Clear(false);

    ASSERT_TRUE(info.DeleteRecord(dup));
    ASSERT_TRUE(info.Save());
    dups.Clear(false);
    infotest::ExpectOnlyStatusChanged(before, palmfix::Ex2DumpTable(path, "Main"), 1);
}

// The facade set says which applications' texts are UTF-8: those loaded from
// a 6.x database.
TEST(StoredText, FacadeSetKnowsTheTextsOfEachApplication)
{
    PalmInstall env(6, 0, 0);
    WriteContacts(env, {Contact(1, kIvan, kPetrov, "")});
    PmFacadeSet set;
    ASSERT_TRUE(set.Build(int32_t(env.UserId()), kAppAddr));
    EXPECT_TRUE(set.TextsUtf8(kPmAppAddr));
    EXPECT_FALSE(set.TextsUtf8(kPmAppDate));  // not loaded
    EXPECT_FALSE(set.TextsUtf8(kPmAppCount));

    PalmInstall classic(4, 1, 4);
    PmFacadeSet dat;
    ASSERT_TRUE(dat.Build(int32_t(classic.UserId()), kAppAddr));
    EXPECT_FALSE(dat.TextsUtf8(kPmAppAddr));
}

// A record's text is cut where its ANSI form was cut, by the characters'
// ANSI bytes, and is never cut again by its UTF-8 bytes: a 40-letter
// Cyrillic first name keeps 31 letters in a common record's field of 32
// bytes in a single-byte code page (each letter one byte, '?' in 1252), 15 in
// a double-byte one; a character outside the BMP is one '?' and is never
// split.
TEST(StoredText, CapacityCutFallsWhereTheAnsiCutFell)
{
    struct Case {
        int codePage;
        std::string piece;
        size_t recordChars;  // kept in the 6.x record's field of 64 bytes
        size_t commChars;    // kept in the common record's field of 32 bytes
    };
    const Case cases[] = {
        {1252, kZhe, 40, 31}, {1251, kZhe, 40, 31}, {932, kZhe, 31, 15},
        {1251, kSmile, 40, 31},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codePage);
        testenv::ScopedCodePage page(c.codePage);
        PalmInstall env(6, 0, 0);
        WriteContacts(env, {Contact(1, Repeat(c.piece, 40), Repeat(c.piece, 70), "")});
        PmAddrInfo info;
        ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
        ASSERT_EQ(info.GetCommMgr()->Count(), 1u);
        const CommAddr* r = info.GetCommMgr()->GetAt(0);
        EXPECT_EQ(r->FirstName.View(), Repeat(c.piece, c.commChars));
        // The 70-letter last name: the 6.x field (64 bytes) keeps 63 letters
        // in a single-byte code page, then the common field 31.
        EXPECT_EQ(r->LastName.View(), Repeat(c.piece, c.commChars));
        const size_t ansiBytes = plat::WideToAnsi(plat::Utf8ToWide(r->FirstName.View())).size();
        EXPECT_EQ(ansiBytes, c.commChars * (c.codePage == 932 ? 2 : 1));

        PmAddrEx2Util util;
        ASSERT_TRUE(util.LoadByUser(env.UserId()));
        const PmAddrEx2Record* stored = util.DataMgr()->First();
        ASSERT_NE(stored, nullptr);
        EXPECT_EQ(stored->FirstName.View(), Repeat(c.piece, c.recordChars));
        EXPECT_EQ(stored->LastName.View(), Repeat(c.piece, c.codePage == 932 ? 31 : 63));
    }
}

// A note's subject (its first line) and text are cut the same way, and a
// category name too: Cyrillic in 1251 fills the field letter for letter.
TEST(StoredText, NoteAndCategoryCuts)
{
    testenv::ScopedCodePage page(1251);
    PalmInstall env(6, 0, 0);
    PmMemoEx2Record memo{};
    memo.RecordID = 1;
    memo.Category = 1;
    // Put together step by step: GCC 12 warns of a bound it derives wrongly
    // when a long temporary and a literal are added in one expression.
    std::string text = Repeat(kZhe, 300);
    text.append("\r\n").append(kIvan);
    memo.Note.SetStored(text);
    const std::string longName = Repeat(kZhe, 40);
    infotest::WriteEx2With(palmfix::WriteMemoPadMdb, env, kPmDbMemo, {{1, longName}}, std::vector{memo});

    PmMemoInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(info.GetCommMgr()->Count(), 1u);
    const CommNote* n = info.GetCommMgr()->GetAt(0);
    EXPECT_EQ(n->Subject.View(), Repeat(kZhe, 255));
    EXPECT_EQ(n->Note.View(), Repeat(kZhe, 300) + "\r\n" + kIvan);
    EXPECT_EQ(info.CategoryName(n), longName);

    PmMemoEx2Util util;
    ASSERT_TRUE(util.LoadByUser(env.UserId()));
    ASSERT_NE(util.DataMgr()->First(), nullptr);
    EXPECT_EQ(util.DataMgr()->First()->CategoryName.View(), Repeat(kZhe, 31));
}

// A record without its row key is found by its key columns: the statement
// names the Cyrillic names in UTF-8, and the deletion reaches that row only.
TEST(StoredText, KeyColumnLookupOfCyrillicNames)
{
    testenv::ScopedCodePage page(1252);
    plat::ResetBackups();
    PalmInstall env(6, 0, 0);
    const std::string path = WriteContacts(env, {Contact(5, kIvan, kPetrov, "a@example.com"),
                                                 Contact(5, kOleg, kIvanov, "a@example.com")});
    const auto before = palmfix::Ex2DumpTable(path, "Main");
    PmAddrEx2Util util;
    ASSERT_TRUE(util.LoadByUser(env.UserId()));
    PmAddrEx2Record* first = util.DataMgr()->First();
    ASSERT_NE(first, nullptr);
    first->RowKey.known = 0;
    first->Status = int32_t(kPmStatusDeleted);
    ASSERT_TRUE(util.WriteBackRecord(first));
    ASSERT_TRUE(util.Save());
    infotest::ExpectOnlyStatusChanged(before, palmfix::Ex2DumpTable(path, "Main"), 1);
}
