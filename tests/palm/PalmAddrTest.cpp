#include "ClassicLayout.h"
#include "ClassicLayoutEnv.h"

#include "palm/PalmAddr.h"

#include <gtest/gtest.h>

using namespace classic;

namespace {

class PalmAddrTest : public ClassicTest {
protected:
    // A contacts file as the desktop writes it: the file name is the file's
    // own path, prefix words are 1, dirty words 0 and category file names
    // the safe forms of the names, so that a save changes nothing.
    File Contacts(const std::string& path)
    {
        File f = NewFile(kContactsTag);
        f.fileName = path;
        f.header = "Birthday\nSpouse\nNickname\nWeb\n";
        f.nextId = 131;
        f.categories = {{1, 1, 0, "Business", "Business"}, {2, 5, 0, "Home/Work", "Home_Work"}};
        return f;
    }
    ContactRow Row(uint32_t id)
    {
        ContactRow c;
        c.id = id;
        c.placement = id * 10;
        c.last = "Dvorak" + std::to_string(id);
        c.first = "Anna";
        c.title = "Engineer";
        c.company = "Northwind";
        for (int i = 0; i < 5; ++i) {
            c.labels[i] = uint32_t(7 - i);
            c.phones[i] = "555-010" + std::to_string(i);
        }
        c.street = "1 Main St";
        c.city = "Springfield";
        c.state = "IL";
        c.zip = "62701";
        c.country = "USA";
        c.note = "note " + std::to_string(id);
        c.isPrivate = id % 2;
        c.category = 1;
        for (int i = 0; i < 4; ++i)
            c.custom[i] = "custom" + std::to_string(i);
        c.primary = 2;
        return c;
    }
};

// Every field of the written rows arrives in its place, and the save writes
// the same fields back with the tags of the record table.
TEST_F(PalmAddrTest, IndependentWriterAndReaderAgreeFieldByField)
{
    std::string path = PathOf("address.dat");
    File f = Contacts(path);
    for (uint32_t id = 1; id <= 3; ++id)
        f.rows.push_back(ContactFields(Row(id)));
    f.rows[2][24] = Int(5);  // Home/Work
    Put(path, Write(f));

    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    PmAddrDataMgr* mgr = util.GetDataMgr();
    ASSERT_EQ(mgr->Count(), 3u);  // Total Fields 90, Fields Per Row 30
    int id = 1;
    for (PmAddrRecord* r = mgr->First(); r; r = mgr->Next(), ++id) {
        ContactRow c = Row(uint32_t(id));
        EXPECT_EQ(r->RecordID, id);
        EXPECT_EQ(r->Placement, id * 10);
        EXPECT_EQ(r->LastName, c.last);
        EXPECT_EQ(r->FirstName, "Anna");
        EXPECT_EQ(r->JobTitle, "Engineer");
        EXPECT_EQ(r->Company, "Northwind");
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(r->PhoneLabel[i], 7 - i);
            EXPECT_EQ(r->Phone[i], c.phones[i]);
        }
        EXPECT_EQ(r->Street, "1 Main St");
        EXPECT_EQ(r->City, "Springfield");
        EXPECT_EQ(r->State, "IL");
        EXPECT_EQ(r->ZipCode, "62701");
        EXPECT_EQ(r->Country, "USA");
        EXPECT_EQ(r->Note, c.note);
        EXPECT_EQ(r->Private, id % 2);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(r->Custom[i], c.custom[i]);
        EXPECT_EQ(r->PrimaryContact, 2);
        EXPECT_STREQ(r->szCategory, id == 3 ? "Home/Work" : "Business");
    }
    EXPECT_TRUE(Logged("Based on calculation, there are 3 records in total."));
    EXPECT_TRUE(Logged("3 record(s) are loaded in total."));

    mgr->GetAt(1)->Status = 0x84;  // as the facade deletes
    ASSERT_TRUE(util.Save(path.c_str()));
    File back;
    size_t trailing = 1;
    ASSERT_TRUE(Read(Get(path), &back, &trailing));
    EXPECT_EQ(trailing, 0u);
    ASSERT_EQ(back.rows.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        std::vector<Field> want = f.rows[i];
        if (i == 1)
            want[1].value = 0x84;
        for (size_t k = 0; k < 30; ++k) {
            SCOPED_TRACE("row " + std::to_string(i) + " field " + std::to_string(k));
            EXPECT_EQ(back.rows[i][k].tag, want[k].tag);
            EXPECT_EQ(back.rows[i][k].value, want[k].value);
            EXPECT_EQ(back.rows[i][k].text, want[k].text);
        }
    }
}

// Loading and saving without changes gives the same bytes: text prefix
// words, category dirty words, a long category name and its file name, all
// as stored.
TEST_F(PalmAddrTest, UnchangedSaveReproducesTheFile)
{
    std::string path = PathOf("address.dat");
    File f = Contacts(path);
    // A name longer than the table keeps and a file name of another form
    // are written back as stored.
    f.categories.push_back({3, 7, 0, "Twenty characters!!!", "legacy.cat"});
    for (uint32_t id = 1; id <= 4; ++id)
        f.rows.push_back(ContactFields(Row(id)));
    f.rows[3][24] = Int(7);
    std::string clean = Write(f);
    f.categories[1].dirty = 1;
    f.rows[0][3].prefix = 0x12345678;
    f.rows[3][22].prefix = 0;
    std::string original = Write(f);
    Put(path, original);
    EXPECT_NE(original, clean);

    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    EXPECT_STREQ(util.GetDataMgr()->GetAt(3)->szCategory, "Twenty characte");
    ASSERT_TRUE(util.Save(path.c_str()));
    EXPECT_EQ(Get(path), original);
    EXPECT_TRUE(Logged("Palm Desktop address book database saved successfully."));
    EXPECT_EQ(FilesWith(".bak"), 1);

    // A second save of the same run keeps the first backup.
    ASSERT_TRUE(util.Save(path.c_str()));
    EXPECT_EQ(FilesWith(".bak"), 1);
    EXPECT_EQ(FilesWith("tmp"), 0);
}

TEST_F(PalmAddrTest, SixCustomLabelsUseFourAndKeepAllSix)
{
    std::string path = PathOf("address.dat");
    File f = Contacts(path);
    f.header = "One\nTwo\nThree\nFour\nFive\nSix\n";
    f.rows.push_back(ContactFields(Row(1)));
    Put(path, Write(f));
    std::string original = Get(path);

    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    EXPECT_TRUE(Logged("For Palm Desktop ealier than v4.1.2, the max custom label is 4. Break now."));
    EXPECT_STREQ(util.CustomLabels(), "One\nTwo\nThree\nFour\n");
    EXPECT_EQ(util.CustomLabel(0), "One");
    EXPECT_EQ(util.CustomLabel(3), "Four");
    EXPECT_EQ(util.CustomLabel(4), "");
    // The category block was read from its place after the whole text.
    ASSERT_EQ(util.GetDataMgr()->Count(), 1u);
    EXPECT_STREQ(util.GetDataMgr()->First()->szCategory, "Business");
    ASSERT_NE(util.Categories(), nullptr);
    EXPECT_EQ(util.Categories()->Count(), 3u);

    ASSERT_TRUE(util.Save(path.c_str()));
    EXPECT_EQ(Get(path), original);
    File back;
    ASSERT_TRUE(Read(Get(path), &back));
    EXPECT_EQ(back.header, "One\nTwo\nThree\nFour\nFive\nSix\n");
}

TEST_F(PalmAddrTest, FewerThanFourLabelsLogNoBreak)
{
    std::string path = PathOf("address.dat");
    File f = Contacts(path);
    f.header = "One\nTwo\n";
    Put(path, Write(f));
    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    EXPECT_FALSE(Logged("max custom label is 4"));
    EXPECT_EQ(util.CustomLabel(1), "Two");
    EXPECT_EQ(util.CustomLabel(2), "");
}

// Only "Unfiled": the block is the next id and a count of 0. The file also
// names another folder inside; the save goes to the file that was loaded and
// keeps the name stored inside.
TEST_F(PalmAddrTest, OnlyUnfiledAndForeignFileName)
{
    std::string path = PathOf("address.dat");
    File f = Contacts("C:\\Elsewhere\\address.dat");
    f.categories.clear();
    f.rows.push_back(ContactFields(Row(1)));
    f.rows[0][24] = Int(0);
    Put(path, Write(f));

    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    EXPECT_EQ(util.LoadedPath(), path);
    EXPECT_STREQ(util.GetDataMgr()->First()->szCategory, "Unfiled");
    ASSERT_TRUE(util.Save(util.LoadedPath().c_str()));

    std::string saved = Get(path);
    File back;
    ASSERT_TRUE(Read(saved, &back));
    EXPECT_EQ(back.fileName, "C:\\Elsewhere\\address.dat");
    EXPECT_TRUE(back.categories.empty());
    // version, file name, labels, then exactly 131 and 0.
    size_t at = 4 + 1 + back.fileName.size() + 1 + f.header.size();
    ASSERT_GT(saved.size(), at + 12);
    EXPECT_EQ(saved.substr(at, 8), std::string("\x83\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(saved.substr(at + 8, 4), std::string("\x4a\0\0\0", 4));  // Resource ID follows
}

TEST_F(PalmAddrTest, LaterGenerationFileRefusedAtVersion)
{
    std::string path = PathOf("address.dat");
    std::string bytes("\xBE\xBA\xFE\xCA\x0F", 5);
    bytes += "PalmSG Database00RV";
    bytes += std::string("\x00\x02\x42\x41", 4);
    bytes += std::string(40, '\0');
    Put(path, bytes);
    PmAddrUtil util;
    EXPECT_FALSE(util.LoadFile(path.c_str()));
    EXPECT_TRUE(Logged("Failed to check Palm Desktop address book file version."));
    EXPECT_TRUE(Logged("Can not load Palm Desktop Contacts: " + path));
    EXPECT_EQ(Get(path), bytes);
}

TEST_F(PalmAddrTest, MissingFileAndEmptyPath)
{
    PmAddrUtil util;
    std::string path = PathOf("none.dat");
    EXPECT_FALSE(util.LoadFile(path.c_str()));
    EXPECT_TRUE(Logged("Failed to open Palm Desktop address book file: " + path));
    EXPECT_FALSE(util.Save(""));
    // After a failed load nothing is saved, whatever the path.
    EXPECT_FALSE(util.Save(path.c_str()));
    EXPECT_TRUE(Logged("The last load of Palm Desktop Contacts failed; nothing is saved."));
    EXPECT_FALSE(Logged("Failed to open Palm Desktop address book database file."));
    // A utility that never loaded saves only to a file that exists.
    PmAddrUtil fresh;
    EXPECT_FALSE(fresh.Save(path.c_str()));
    EXPECT_TRUE(Logged("Failed to open Palm Desktop address book database file."));
}

// Rows that cannot be read in full fail the load, so a save can never drop
// them; so do schemas whose rows the record cannot hold.
TEST_F(PalmAddrTest, IncompleteFilesAreRefused)
{
    std::string path = PathOf("address.dat");
    struct Case {
        const char* what;
        void (*edit)(File&);
        const char* message;
    } cases[] = {
        {"announced row missing", [](File& f) { f.explicitTotal = true; f.totalFields = 60; },
         "Failed to load Palm Desktop address book records."},
        {"fields left over", [](File& f) { f.explicitTotal = true; f.totalFields = 31; },
         "Total fields 31 is not a whole number of rows of 30 fields."},
        {"fields per row 0", [](File& f) { f.fieldsPerRow = 0; f.explicitTotal = true; f.totalFields = 30; },
         "Unsupported fields per row: 0"},
        {"fields per row 31", [](File& f) { f.fieldsPerRow = 31; f.explicitTotal = true; f.totalFields = 31; },
         "Unsupported fields per row: 31"},
        {"fields count 31", [](File& f) { f.types.push_back(1); }, "Unsupported field count: 31"},
        {"text where an integer belongs", [](File& f) { f.rows[0][2] = Text("x"); },
         "Failed to load Palm Desktop address book records."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        File f = Contacts(path);
        f.rows.push_back(ContactFields(Row(1)));
        c.edit(f);
        Put(path, Write(f));
        ClearLog();
        PmAddrUtil util;
        EXPECT_FALSE(util.LoadFile(path.c_str()));
        EXPECT_TRUE(Logged(c.message)) << Log();
        EXPECT_TRUE(Logged("Can not load Palm Desktop Contacts: " + path));
    }

    // A file cut anywhere inside fails to load.
    File f = Contacts(path);
    f.rows.push_back(ContactFields(Row(1)));
    std::string whole = Write(f);
    for (size_t cut : {size_t(3), size_t(40), whole.size() / 2, whole.size() - 1}) {
        SCOPED_TRACE(cut);
        Put(path, whole.substr(0, cut));
        PmAddrUtil util;
        EXPECT_FALSE(util.LoadFile(path.c_str()));
    }
}

// A row cut short names the offset where reading stopped: after the tag of a
// cut integer, after the length of a cut text.
TEST_F(PalmAddrTest, CutRowNamesWhereReadingStopped)
{
    std::string path = PathOf("address.dat");
    File f = Contacts(path);
    ContactRow last = Row(2);
    last.custom[3] = std::string(300, 'c');
    f.rows = {ContactFields(Row(1)), ContactFields(last)};
    std::string whole = Write(f);
    // The row ends with Custom 4 (tag, prefix, 0xFF and a 16-bit length, the
    // text) and the integer Primary Contact (tag, value).
    size_t customText = whole.size() - 8 - 300;
    struct {
        size_t cut;
        size_t stop;
    } cases[] = {{whole.size() - 1, whole.size() - 4}, {customText + 100, customText}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cut);
        Put(path, whole.substr(0, c.cut));
        ClearLog();
        PmAddrUtil util;
        EXPECT_FALSE(util.LoadFile(path.c_str()));
        EXPECT_TRUE(Logged("Failed to read address book record 2 of 2, file position: " + std::to_string(c.stop) +
                           "."))
            << Log();
    }
}

// A row narrower than the record leaves the other fields empty; no value of
// the row before is carried into it.
TEST_F(PalmAddrTest, ShortRowsStartEmpty)
{
    std::string path = PathOf("address.dat");
    File f = Contacts(path);
    f.fieldsPerRow = 25;
    std::vector<Field> a = ContactFields(Row(1));
    std::vector<Field> b = ContactFields(Row(2));
    b[24] = Int(77);  // no such category
    a.resize(25);
    b.resize(25);
    f.rows = {a, b};
    Put(path, Write(f));
    std::string original = Get(path);

    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    ASSERT_EQ(util.GetDataMgr()->Count(), 2u);
    PmAddrRecord* second = util.GetDataMgr()->GetAt(1);
    EXPECT_STREQ(second->szCategory, "");
    EXPECT_EQ(second->Custom[0], "");
    EXPECT_EQ(second->PrimaryContact, 0);
    ASSERT_TRUE(util.Save(path.c_str()));
    EXPECT_EQ(Get(path), original);
}

TEST_F(PalmAddrTest, LongTextsAreKeptWhole)
{
    std::string path = PathOf("address.dat");
    File f = Contacts(path);
    ContactRow c = Row(1);
    c.note = std::string(9000, 'n');
    c.last = std::string(300, 'L');
    c.custom[3] = std::string("a\0b", 3);
    f.rows.push_back(ContactFields(c));
    Put(path, Write(f));
    std::string original = Get(path);

    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    PmAddrRecord* r = util.GetDataMgr()->First();
    EXPECT_EQ(r->Note.size(), 9000u);
    EXPECT_EQ(PmFieldCut(r->Note, PmAddrRecord::kCapacity[22]).size(), 8191u);
    EXPECT_EQ(PmFieldCut(r->LastName, PmAddrRecord::kCapacity[3]), std::string(31, 'L'));
    EXPECT_EQ(PmFieldCut(r->Custom[3], PmAddrRecord::kCapacity[28]), "a");
    ASSERT_TRUE(util.Save(path.c_str()));
    EXPECT_EQ(Get(path), original);

    // The longest text a counted string holds goes back whole; one byte more
    // fails the save at its field and leaves the file as it was.
    r->Note = std::string(65535, 'x');
    r->Custom[0] = std::string(5000, 'y');
    ASSERT_TRUE(util.Save(path.c_str()));
    std::string longest = Get(path);
    PmAddrUtil again;
    ASSERT_TRUE(again.LoadFile(path.c_str()));
    EXPECT_EQ(again.GetDataMgr()->First()->Note, std::string(65535, 'x'));
    EXPECT_EQ(again.GetDataMgr()->First()->Custom[0], std::string(5000, 'y'));
    r->Note += 'x';
    ClearLog();
    EXPECT_FALSE(util.Save(path.c_str()));
    EXPECT_TRUE(Logged("Failed to save record field (22).")) << Log();
    EXPECT_EQ(Get(path), longest);
}

// A save that fails at any step leaves the original file byte for byte.
TEST_F(PalmAddrTest, FailedSaveLeavesTheOriginal)
{
    std::string path = PathOf("address.dat");
    File f = Contacts(path);
    for (uint32_t id = 1; id <= 20; ++id)
        f.rows.push_back(ContactFields(Row(id)));
    Put(path, Write(f));
    std::string original = Get(path);

    PmAddrUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    util.GetDataMgr()->First()->Status = 0x84;

    plat::FileFaults noTemp;
    noTemp.failTempCreate = true;
    plat::FileFaults halfWay;
    halfWay.failWriteAfter = int64_t(original.size() / 2);
    for (const plat::FileFaults& faults : {noTemp, halfWay}) {
        plat::SetFileFaults(faults);
        ClearLog();
        EXPECT_FALSE(util.Save(path.c_str()));
        plat::ClearFileFaults();
        EXPECT_EQ(Get(path), original);
        EXPECT_TRUE(Logged("Failed to replace Palm Desktop address book file")) << Log();
        EXPECT_FALSE(Logged("Palm Desktop address book database saved successfully."));
        EXPECT_EQ(FilesWith("tmp"), 0);
    }

    // While another program holds the file, neither load nor save gets in.
    plat::ExclusiveFile holder;
    ASSERT_TRUE(holder.Open(path, plat::Access::ReadWrite, false));
    EXPECT_FALSE(util.Save(path.c_str()));
    PmAddrUtil other;
    EXPECT_FALSE(other.LoadFile(path.c_str()));
    holder.Close();
    EXPECT_EQ(Get(path), original);

    ASSERT_TRUE(util.Save(path.c_str()));
    EXPECT_EQ(Get(path).size(), original.size());
    PmAddrUtil again;
    ASSERT_TRUE(again.LoadFile(path.c_str()));
    EXPECT_EQ(again.GetDataMgr()->First()->Status, 0x84);
}

TEST_F(PalmAddrTest, UnknownUserFailsWithItsMessage)
{
    PmAddrUtil util;
    EXPECT_FALSE(util.LoadUserFile(123456));
    EXPECT_TRUE(Logged("Failed to get Palm Desktop data path by user, User ID=123456"));
}

}  // namespace
