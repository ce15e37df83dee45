#include "palm/DmMain.h"
#include "palm/PalmCommEx2.h"
#include "palm/PalmDateEx2.h"
#include "palmfixture/FixtureEx2.h"
#include "platform/Codepage.h"

#include "PalmEx2TestUtil.h"
#include "ScopedState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>

namespace {

using ex2test::LogCapture;
using ex2test::TempFolder;

struct Values {
    explicit Values(int n) : v(new PmFieldValue[size_t(n)]()), n(n) {}
    ~Values()
    {
        for (int i = 0; i < n; ++i)
            ClearValue(&v[i]);
        delete[] v;
    }
    PmFieldValue* v;
    int n;
};

std::string Where(const char* column, const PmFieldValue& value, size_t size = 4096)
{
    std::string out(size, '\0');
    const char* columns[] = {column};
    EXPECT_TRUE(PmDataAccessor::BuildWhere(columns, 1, &value, out.data(), out.size()));
    return out.c_str();
}

TEST(PmDataAccessor, WhereAndLiterals)
{
    Values v(3);
    MakeIntValue(17, &v.v[0]);
    EXPECT_EQ(Where("Record ID", v.v[0]), "WHERE [Record ID] = 17");

    MakeTextValue("O'Brien", &v.v[1]);
    char literal[64];
    PmDataAccessor::ValueLiteral(&v.v[1], literal, sizeof literal);
    EXPECT_STREQ(literal, "'O''Brien'");
    MakeBoolValue(1, &v.v[2]);
    PmDataAccessor::ValueLiteral(&v.v[2], literal, sizeof literal);
    EXPECT_STREQ(literal, "1");

    const char* columns[] = {"Record ID", "Last Name"};
    char out[256];
    ASSERT_TRUE(PmDataAccessor::BuildWhere(columns, 2, v.v, out, sizeof out));
    EXPECT_STREQ(out, "WHERE [Record ID] = 17 AND [Last Name] = 'O''Brien'");
    // Cut to the output's size, terminated.
    ASSERT_TRUE(PmDataAccessor::BuildWhere(columns, 2, v.v, out, 10));
    EXPECT_STREQ(out, "WHERE [Re");
    EXPECT_FALSE(PmDataAccessor::BuildWhere(columns, 2, v.v, nullptr, 10));
    ASSERT_TRUE(PmDataAccessor::BuildWhere(columns, 0, v.v, out, sizeof out));
    EXPECT_STREQ(out, "");
}

TEST(PmDataAccessor, EmptyKeyTextAlsoMatchesNull)
{
    Values v(1);
    MakeTextValue("", &v.v[0]);
    EXPECT_EQ(v.v[0].vt, kPmVtBstr);
    EXPECT_EQ(v.v[0].bstrVal, nullptr);
    EXPECT_EQ(Where("First Name", v.v[0]), "WHERE ([First Name] = '' OR [First Name] IS NULL)");
}

TEST(PmDataAccessor, LongTextsCompareTheirFirst256Characters)
{
    Values v(3);
    std::string text300;
    for (int i = 0; i < 300; ++i)
        text300 += char('a' + i % 26);
    text300[10] = '\'';
    MakeTextValue(text300.c_str(), &v.v[0]);
    std::string head = text300.substr(0, 256);
    head.insert(10, "'");
    EXPECT_EQ(Where("Note", v.v[0]), "WHERE LEFT(Note, 256) = '" + head + "'");

    std::string text253(253, 'x');
    MakeTextValue(text253.c_str(), &v.v[1]);
    EXPECT_EQ(Where("Note", v.v[1]), "WHERE [Note] = '" + text253 + "'");

    // 254 characters make a literal of 256 with its apostrophes.
    std::string text254(254, 'y');
    MakeTextValue(text254.c_str(), &v.v[2]);
    EXPECT_EQ(Where("Note", v.v[2]), "WHERE LEFT(Note, 256) = '" + text254 + "'");
}

// The literals are UTF-8, as the statements are prepared: the texts of the
// records (UTF-8) go into the values and back unchanged, a literal cut to its
// buffer ends between characters, and the choice of LEFT counts characters,
// as it counted the ANSI literal's bytes.
TEST(PmDataAccessor, LiteralsOfTextsOutsideTheCodePage)
{
    testenv::ScopedCodePage page(1252);
    const std::string zhe = "\xD0\x96";  // a Cyrillic letter, '?' in 1252
    Values v(3);
    ASSERT_TRUE(MakeTextValue((zhe + "'" + zhe).c_str(), &v.v[0]));
    EXPECT_EQ(std::u16string(v.v[0].bstrVal), u"\u0416'\u0416");
    EXPECT_EQ(Where("First Name", v.v[0]), "WHERE [First Name] = '" + zhe + "''" + zhe + "'");

    ASSERT_TRUE(MakeTextValue((zhe + zhe + zhe).c_str(), &v.v[1]));
    char literal[8];
    PmDataAccessor::ValueLiteral(&v.v[1], literal, 7);  // room for 4 bytes: two letters
    EXPECT_EQ(std::string(literal), "'" + zhe + zhe + "'");
    PmDataAccessor::ValueLiteral(&v.v[1], literal, 6);  // room for 3 bytes: one letter, not one and a half
    EXPECT_EQ(std::string(literal), "'" + zhe + "'");

    // 200 letters are 400 bytes but 202 characters with the apostrophes.
    std::string letters;
    for (int i = 0; i < 200; ++i)
        letters += zhe;
    ASSERT_TRUE(MakeTextValue(letters.c_str(), &v.v[2]));
    EXPECT_EQ(Where("Note", v.v[2], 8192), "WHERE [Note] = '" + letters + "'");

    // A longer text is compared by its first 256 characters (512 bytes), the
    // LEFT literal cut between characters, not after 256 bytes.
    Values more(1);
    std::string head;
    for (int i = 0; i < 256; ++i)
        head += i == 100 ? std::string("'") : zhe;
    ASSERT_TRUE(MakeTextValue((head + zhe + zhe + "tail").c_str(), &more.v[0]));
    std::string doubled = head;
    doubled.insert(doubled.find('\''), "'");
    EXPECT_EQ(Where("Note", more.v[0], 8192), "WHERE LEFT(Note, 256) = '" + doubled + "'");
}

TEST(PmDataAccessor, StatementTexts)
{
    const char* cat[] = {"ID", "Name", "Status", "Color"};
    EXPECT_STREQ(PmDataAccessor::BuildSql("Category", nullptr, kPmSqlSelect, cat, nullptr, 4),
                 "SELECT [ID], [Name], [Status], [Color] FROM Category ");
    EXPECT_STREQ(PmDataAccessor::BuildSql("Category", nullptr, kPmSqlSelect, cat, nullptr, 0), "");
    EXPECT_STREQ(PmDataAccessor::BuildSql("Category", nullptr, kPmSqlSelect, nullptr, nullptr, 4), "");

    Values four(4);
    MakeIntValue(1, &four.v[0]);
    MakeTextValue("Work", &four.v[1]);
    MakeIntValue(0, &four.v[2]);
    MakeIntValue(3, &four.v[3]);
    EXPECT_STREQ(PmDataAccessor::BuildSql("Category", "WHERE x", kPmSqlInsert, cat, four.v, 4),
                 "INSERT INTO Category ([ID], [Name], [Status], [Color]) VALUES (1, 'Work', 0, 3)");

    const char* memo[] = {"Record ID", "Status", "Placement", "Private", "Category", "Note"};
    Values six(6);
    MakeIntValue(5, &six.v[0]);
    MakeIntValue(0, &six.v[1]);
    MakeIntValue(2, &six.v[2]);
    MakeBoolValue(1, &six.v[3]);
    MakeIntTextValue(3, &six.v[4]);
    MakeTextValue("It's", &six.v[5]);
    EXPECT_STREQ(PmDataAccessor::BuildSql("Main", nullptr, kPmSqlInsert, memo, six.v, 6),
                 "INSERT INTO Main ([Record ID], [Status], [Placement], [Private], [Category], [Note], [Blob]) "
                 "VALUES (5, 0, 2, 1, '3', 'It''s', 0x00000000)");

    const char* status[] = {"Status"};
    Values one(1);
    MakeIntValue(132, &one.v[0]);
    EXPECT_STREQ(PmDataAccessor::BuildSql("Main", "WHERE [Record ID] = 17", kPmSqlUpdate, status, one.v, 1),
                 "UPDATE Main SET [Status]=132 WHERE [Record ID] = 17");

    // An UPDATE literal is formed in 1024 bytes: a longer text is cut, but
    // never inside a doubled apostrophe.
    std::string longText(1021, 'z');
    longText += "'tail";
    Values text(1);
    MakeTextValue(longText.c_str(), &text.v[0]);
    const char* note[] = {"Note"};
    std::string update = PmDataAccessor::BuildSql("Main", nullptr, kPmSqlUpdate, note, text.v, 1);
    EXPECT_EQ(update, "UPDATE Main SET [Note]='" + std::string(1021, 'z') + "'");
}

TEST(PmDataAccessor, InsertOfAllContactColumnsNamesTheMediaColumns)
{
    const PmTableDef& table = PmAddrEx2Util::Table();
    PmColumnNames names(table);
    Values v(95);
    for (int i = 0; i < 95; ++i)
        MakeIntValue(i, &v.v[i]);
    std::string sql = PmDataAccessor::BuildSql("Main", nullptr, kPmSqlInsert, names.Names(), v.v, 95);
    EXPECT_EQ(sql.rfind("INSERT INTO Main ([Record ID], [Status], ", 0), 0u);
    EXPECT_NE(sql.find(", [Ringtone Sync counter], [Photo], [VoiceTag], [Ringtone], [Blob]) VALUES (0, 1, 2, "),
              std::string::npos);
    EXPECT_NE(sql.find(", 93, 94, 0x00000000, 0x00000000, 0x00000000, 0x00000000)"), std::string::npos);
    EXPECT_EQ(sql.back(), ')');

    // SQLite takes the statement as built: bracketed names with blanks and
    // the zero literals of the binary columns.
    TempFolder dir;
    std::string path = dir.Path() + "Address.mdb";
    std::string error;
    ASSERT_TRUE(palmfix::WriteAddressMdb(path, {}, {}, &error)) << error;
    TdmMain module;
    PmMDBAccessor accessor(&module, kPmDbAddr, path.c_str());
    plat::ResetBackups();
    EXPECT_TRUE(accessor.Execute(sql.c_str(), false));
    auto rows = palmfix::Ex2DumpTable(path, "Main");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][7], "text:7");
    EXPECT_EQ(rows[0][95], "int:0");
}

TEST(PmFieldValue, Readers)
{
    Values v(5);
    int32_t i = -1;
    uint8_t b = 9;
    char text[8];
    EXPECT_FALSE(ValueToInt(&v.v[0], &i));  // empty
    MakeTextValue("  42abc", &v.v[1]);
    EXPECT_TRUE(ValueToInt(&v.v[1], &i));
    EXPECT_EQ(i, 42);
    MakeTextValue("", &v.v[2]);
    EXPECT_TRUE(ValueToInt(&v.v[2], &i));
    EXPECT_EQ(i, 0);
    EXPECT_TRUE(ValueToText(&v.v[2], text, sizeof text));
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(ValueToBool(&v.v[1], &b));
    MakeIntValue(7, &v.v[3]);
    EXPECT_FALSE(ValueToBool(&v.v[3], &b));
    EXPECT_FALSE(ValueToText(&v.v[3], text, sizeof text));
    v.v[4].vt = kPmVtBool;
    v.v[4].boolVal = -1;
    EXPECT_TRUE(ValueToBool(&v.v[4], &b));
    EXPECT_EQ(b, 1);
    v.v[4].vt = kPmVtI2;
    v.v[4].iVal = -5;
    EXPECT_TRUE(ValueToInt(&v.v[4], &i));
    EXPECT_EQ(i, -5);
    ClearValue(&v.v[1]);  // the makers fill a fresh value
    MakeTextValue("abcdefghij", &v.v[1]);
    EXPECT_TRUE(ValueToText(&v.v[1], text, sizeof text));
    EXPECT_STREQ(text, "abcdefg");
    ClearValue(&v.v[1]);
    MakeIntTextValue(-12, &v.v[1]);
    EXPECT_TRUE(ValueToText(&v.v[1], text, sizeof text));
    EXPECT_STREQ(text, "-12");
}

// A 6.x record's text field holds the stored text (UTF-8), cut where a char
// array of its capacity cut the ANSI text: its ANSI form is that array's text,
// and it is a prefix of whole characters of the stored text, in a single-byte
// and a double-byte code page, for characters inside and outside the code
// page (a surrogate pair is one character, never split).
TEST(PmFieldValue, TextFieldsCutWhereArraysOfTheirCapacityCut)
{
    for (int codePage : {1252, 1251, 932}) {
        testenv::ScopedCodePage page(codePage);
        const std::u16string pieces[] = {u"a", u"\u00e9", u"\u65e5", u"\u0416", u"\U0001F600"};
        for (const std::u16string& piece : pieces) {
            for (size_t count = 0; count <= 40; ++count) {
                std::u16string wide;
                for (size_t i = 0; i < count; ++i)
                    wide += (i % 2 ? u"b" : piece);
                Values v(1);
                v.v[0].vt = kPmVtBstr;
                v.v[0].bstrVal = wide.empty() ? nullptr : new char16_t[wide.size() + 1];
                if (v.v[0].bstrVal)
                    std::memcpy(v.v[0].bstrVal, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
                char small[8];
                char large[32];
                PmEx2Text<8> smallField;
                PmEx2Text<32> largeField;
                ASSERT_TRUE(ValueToText(&v.v[0], small, sizeof small));
                ASSERT_TRUE(ValueToText(&v.v[0], large, sizeof large));
                ASSERT_TRUE(ValueToText(&v.v[0], &smallField));
                ASSERT_TRUE(ValueToText(&v.v[0], &largeField));
                const std::string whole = plat::WideToUtf8(wide);
                for (auto [field, array] : {std::pair{smallField.View(), std::string_view(small)},
                                            std::pair{largeField.View(), std::string_view(large)}}) {
                    std::u16string kept = plat::Utf8ToWide(field);
                    EXPECT_EQ(plat::WideToAnsi(kept), array) << codePage << " " << count;
                    EXPECT_EQ(whole.compare(0, field.size(), field), 0) << codePage << " " << count;
                    EXPECT_EQ(plat::WideToUtf8(kept), field) << "a character was split";
                    // The cut made the same for a UTF-8 text put into a field of that capacity.
                    const size_t capacity = array.data() == small ? sizeof small : sizeof large;
                    EXPECT_EQ(PmStoredCutUtf8(whole, capacity), field) << codePage << " " << count;
                }
            }
        }
    }
    // Not a text: the field is left as it was.
    Values v(1);
    MakeIntValue(5, &v.v[0]);
    PmEx2Text<8> field;
    field.Set("kept");
    EXPECT_FALSE(ValueToText(&v.v[0], &field));
    EXPECT_EQ(field.View(), "kept");
}

TEST(DbQuery, LeftIsCalledOutsideQuotesOnly)
{
    EXPECT_EQ(DbQuery::ForSqlite("SELECT [Note] FROM Main WHERE LEFT(Note, 256) = 'LEFT(x'"),
              "SELECT [Note] FROM Main WHERE \"LEFT\"(Note, 256) = 'LEFT(x'");
    EXPECT_EQ(DbQuery::ForSqlite("SELECT [LEFT(] FROM LEFTY WHERE a = 'it''s LEFT (' AND left (b, 2) = ''"),
              "SELECT [LEFT(] FROM LEFTY WHERE a = 'it''s LEFT (' AND \"left\" (b, 2) = ''");
    EXPECT_EQ(DbConnection::DataSourceOf("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"C:\\a b\\x.mdb\""),
              "C:\\a b\\x.mdb");
}

class AccessorOnFiles : public ::testing::Test {
protected:
    void SetUp() override { plat::ResetBackups(); }

    std::string WriteDateBook(const std::string& name, const char* summary)
    {
        auto rec = std::make_unique<PmDateEx2Record>();
        rec->RecordID = 1;
        rec->Summary.Set(summary);
        std::string path = m_dir.Path() + name;
        std::string error;
        EXPECT_TRUE(palmfix::WriteDateBookMdb(path, {{1, "Work", 0, 0}}, {rec.get()}, &error)) << error;
        return path;
    }

    TempFolder m_dir;
    LogCapture m_log;
    TdmMain m_module;
};

TEST_F(AccessorOnFiles, SelectAllNextBeforeSelectAllFirst)
{
    std::string path = WriteDateBook("a.mdb", "One");
    PmMDBAccessor accessor(&m_module, kPmDbDate, path.c_str());
    const char* cols[] = {"Summary"};
    PmFieldValue* row = nullptr;
    int32_t count = 1;
    EXPECT_STREQ(accessor.LastQuery(), "");
    EXPECT_FALSE(accessor.SelectAllNext("Main", cols, &row, &count));
    EXPECT_EQ(row, nullptr);

    ASSERT_TRUE(accessor.SelectAllFirst("Main", cols, &row, &count));
    EXPECT_STREQ(accessor.LastQuery(), "SELECT [Summary] FROM Main ");
    ASSERT_EQ(count, 1);
    char text[16];
    EXPECT_TRUE(ValueToText(&row[0], text, sizeof text));
    EXPECT_STREQ(text, "One");
    PmDataAccessor::FreeValues(row, count);
    row = nullptr;
    EXPECT_FALSE(accessor.SelectAllNext("Main", cols, &row, &count));
    EXPECT_FALSE(accessor.QueryNext("SELECT [Note] FROM Main ", &row, &count));
    EXPECT_TRUE(m_log.Has("This query is not same with former query. Ignore this query."));
    EXPECT_FALSE(accessor.QueryFirst("", &row, &count));
    EXPECT_TRUE(m_log.Has("Invalid query string found."));
}

TEST_F(AccessorOnFiles, SecondCalendarDatabaseClosesTheFirst)
{
    std::string first = WriteDateBook("first.mdb", "First");
    std::string second = WriteDateBook("second.mdb", "Second");
    PmMDBAccessor a(&m_module, kPmDbDate, first.c_str());
    EXPECT_TRUE(m_log.Has("Connection String: Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + first + "\""));
    EXPECT_EQ(m_module.connDate.DataSource(), first);
    PmMDBAccessor b(&m_module, kPmDbDate, second.c_str());
    EXPECT_TRUE(m_log.Has("The connection is already opened, close it now."));
    EXPECT_EQ(m_module.connDate.DataSource(), second);
    EXPECT_FALSE(m_module.connAddr.Connected());

    // One connection per kind: the first accessor now reads the second file.
    PmFieldValue* row = nullptr;
    int32_t count = 0;
    ASSERT_TRUE(a.QueryFirst("SELECT [Summary] FROM Main ", &row, &count));
    char text[16];
    ValueToText(&row[0], text, sizeof text);
    EXPECT_STREQ(text, "Second");
    PmDataAccessor::FreeValues(row, count);
}

TEST_F(AccessorOnFiles, FailuresAreLoggedWithTheDatabaseMessage)
{
    PmMDBAccessor missing(&m_module, kPmDbMemo, (m_dir.Path() + "none.mdb").c_str());
    EXPECT_TRUE(m_log.Has("The file doesn't exist. Abort."));
    EXPECT_FALSE(missing.Execute("SELECT 1", true));

    std::string jet = m_dir.Path() + "jet.mdb";
    {
        std::ofstream f(jet, std::ios::binary);
        const char head[] = {0, 1, 0, 0};
        f.write(head, 4);
        f << "Standard Jet DB" << std::string(200, '\0');
    }
    PmMDBAccessor j(&m_module, kPmDbMemo, jet.c_str());
    EXPECT_TRUE(m_log.Has("!!!"));
    EXPECT_TRUE(m_log.Has("Database Connection Error, Connection String=Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" +
                          jet + "\", Error=The file " + jet + " cannot be read as a Jet database: "));
    EXPECT_FALSE(m_module.connMemo.Connected());
    EXPECT_FALSE(j.Execute("UPDATE Main SET [Status]=132", false));
    EXPECT_TRUE(m_log.Has("Database Query Error, Query String=UPDATE Main SET [Status]=132, Error="));

    std::string junk = m_dir.Path() + "junk.mdb";
    std::ofstream(junk) << std::string(4096, 'j');
    PmMDBAccessor k(&m_module, kPmDbTodo, junk.c_str());
    EXPECT_TRUE(m_log.Has("Error=file is not a database"));
    EXPECT_EQ(ex2test::ReadBytes(junk), std::string(4096, 'j'));

    std::string good = WriteDateBook("good.mdb", "x");
    PmMDBAccessor g(&m_module, kPmDbDate, good.c_str());
    EXPECT_FALSE(g.Execute("SELECT [Nope] FROM Main ", true));
    EXPECT_TRUE(m_log.Has("Database Query Error, Query String=SELECT [Nope] FROM Main , Error=no such column: Nope"));
    EXPECT_FALSE(g.Execute("", true));
    PmMDBAccessor none(&m_module, 9, good.c_str());
    EXPECT_TRUE(m_log.Has("There is no valid database connection to open this file."));
    EXPECT_FALSE(none.Execute("SELECT 1", true));
}

TEST_F(AccessorOnFiles, RowsReadByStoredType)
{
    testenv::ScopedCodePage page(1252);
    std::string path = WriteDateBook("types.mdb", "x");
    std::string error;
    ASSERT_TRUE(palmfix::Ex2Exec(path,
                                 "UPDATE Main SET [Summary] = x'03', [Alarm Advance] = 2.5, [Note] = x'0102', [Location] = NULL, "
                                 "[Alarm] = 1, [Untimed] = 0, [Time Zone] = 'Zürich'",
                                 &error))
        << error;
    PmMDBAccessor accessor(&m_module, kPmDbDate, path.c_str());
    PmFieldValue* row = nullptr;
    int32_t count = 0;
    ASSERT_TRUE(accessor.QueryFirst(
        "SELECT [Summary], [Note], [Location], [Alarm], [Untimed], [Record ID], [Category], [Time Zone], "
        "[Alarm Advance] FROM Main ",
        &row, &count));
    ASSERT_EQ(count, 9);
    EXPECT_EQ(row[8].vt, kPmVtEmpty);
    EXPECT_EQ(row[0].vt, kPmVtEmpty);
    EXPECT_EQ(row[1].vt, kPmVtEmpty);
    EXPECT_EQ(row[2].vt, kPmVtEmpty);
    EXPECT_EQ(row[3].vt, kPmVtBool);
    EXPECT_NE(row[3].boolVal, 0);
    EXPECT_EQ(row[4].vt, kPmVtBool);
    EXPECT_EQ(row[4].boolVal, 0);
    EXPECT_EQ(row[5].vt, kPmVtI4);
    EXPECT_EQ(row[6].vt, kPmVtBstr);
    ASSERT_EQ(row[7].vt, kPmVtBstr);
    EXPECT_EQ(std::u16string(row[7].bstrVal), u"Zürich");
    char ansi[16];
    ASSERT_TRUE(ValueToText(&row[7], ansi, sizeof ansi));
    EXPECT_STREQ(ansi, "Z\xfcrich");  // code page 1252
    PmDataAccessor::FreeValues(row, count);
}

}  // namespace
