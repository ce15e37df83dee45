#include "PalmExTestUtil.h"
#include "palm/PalmAddrEx.h"

#include <gtest/gtest.h>

using namespace extest;

namespace {

std::vector<uint16_t> AddrTypes()
{
    std::vector<uint16_t> t(73, 5);
    for (int i : {0, 1, 2, 3, 4, 5, 17, 42, 48, 54, 62, 63, 67, 68})
        t[i] = 1;
    for (int i = 26; i <= 32; ++i)
        t[i] = 1;
    t[6] = 6;
    t[7] = 0x40, t[8] = 0x41, t[9] = 0x42, t[10] = 0x43;
    t[65] = 0x44;
    t[66] = 6;
    return t;
}

bool IsInt(int i)
{
    return i == 17 || i == 42 || i == 48 || i == 54 || i == 62 || i == 63 || i == 67 || i == 68 ||
           (i >= 26 && i <= 32);
}

/// A contact as a save writes it; texts "<id>:<index>" unless overridden.
std::string Contact(uint32_t id, uint32_t status = 0, const std::string& firstName = std::string(),
                    uint32_t flag66Tag = 6)
{
    Bytes b;
    b.Raw(Prefix(id, status, 1));
    for (int i = 13; i < 73; ++i) {
        if (IsInt(i))
            b.Int(id * 1000 + i);
        else if (i == 65)
            b.U32(0x44).List({0x00, 0x00, 0x00, 0x40, 0x8C, 0xB5, 0xE2, 0x40});
        else if (i == 66)
            b.Int(5, flag66Tag);
        else if (i == 13 && !firstName.empty())
            b.Text(firstName);
        else
            b.Text(std::to_string(id) + ":" + std::to_string(i));
    }
    return b.Str();
}

std::string Labels(uint32_t word = 0)
{
    Bytes b;
    for (int i = 0; i < 9; ++i)
        b.Counted("Label " + std::to_string(i + 1)).U32(word);
    for (int i = 0; i < 42; ++i)
        b.U8(uint8_t(i + 1));
    return b.Str();
}

SGParts AddrParts(const std::string& path, const std::vector<std::string>& contacts)
{
    SGParts p;
    p.version = 0x41420200;
    p.reserved1 = Reserved1For(uint32_t(contacts.size()));
    p.storedName = path;
    p.reserved2Size = 11;
    p.labels = Labels();
    p.categories = Bytes().U32(130).U32(1).U32(1).U32(1).U32(0).Counted("Business").Counted("Business").Str();
    p.resourceId = 74;
    p.fieldsPerRow = 73;
    p.types = AddrTypes();
    p.totalFields = uint32_t(contacts.size() * 73);
    for (const std::string& c : contacts)
        p.records += c;
    return p;
}

class AddrFile : public ::testing::Test {
protected:
    TempDir m_dir;
    LogCapture m_log;
    std::string m_path = m_dir.File("address.dat");
};

}  // namespace

TEST_F(AddrFile, LoadAndSaveReproduceTheFile)
{
    std::string longName(40, 'L');
    std::string original = SGFile(AddrParts(m_path, {Contact(1), Contact(2, 0, longName), Contact(3, 0x84)}));
    WriteFile(m_path, original + "old bytes after the records");
    PmAddrExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_TRUE(m_log.Has("Palm Desktop Contacts information is loaded successfully."));
    EXPECT_TRUE(m_log.Has("Reserved 1 Field: 5a 5a"));
    EXPECT_TRUE(m_log.Has("Field (73) - 5"));
    EXPECT_EQ(util.CustomLabel(8), "Label 9");
    PmAddrExDataMgr* mgr = util.DataMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    PmAddrExRecord* r = mgr->First();
    EXPECT_STREQ(r->FirstName.c_str(), "1:13");
    EXPECT_STREQ(r->Company.c_str(), "1:16");
    EXPECT_EQ(r->PrimaryContact, 1017u);
    EXPECT_STREQ(r->Phone[6].c_str(), "1:25");
    EXPECT_EQ(r->PhoneLabel[2], 1028u);
    EXPECT_STREQ(r->Custom[8].c_str(), "1:41");
    EXPECT_STREQ(r->WorkStreet.c_str(), "1:43");
    EXPECT_STREQ(r->HomeCountry.c_str(), "1:53");
    EXPECT_STREQ(r->OtherZip.c_str(), "1:58");
    EXPECT_EQ(r->Chat2LabelID, 1063u);
    EXPECT_STREQ(r->HomePage.c_str(), "1:64");
    EXPECT_EQ(r->Birthday, 0x40E2B58C40000000ull);  // the 8 bytes as stored, little-endian
    EXPECT_EQ(r->FlagField66, 5u);
    EXPECT_STREQ(r->TextField72.c_str(), "1:72");
    EXPECT_STREQ(r->CategoryName, "Business");
    r = mgr->Next();
    EXPECT_EQ(r->FirstName.size(), 31u);
    EXPECT_EQ(mgr->Next()->Status, 0x84u);

    // Everything comes back as read, the bytes after the records included.
    ASSERT_TRUE(util.Save());
    EXPECT_EQ(ReadFile(m_path), original + "old bytes after the records");
}

// A field changed in memory is written with the tag it was read with; the
// label words and every other field stay as read.
TEST_F(AddrFile, EditedFieldKeepsLabelWordsAndTags)
{
    SGParts p = AddrParts(m_path, {Contact(1, 0, "", 1)});
    p.labels = Labels(0xDEADBEEF);
    WriteFile(m_path, SGFile(p));
    PmAddrExUtil util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    util.DataMgr()->First()->PhoneLabel[2] = 7;
    ASSERT_TRUE(util.Save());
    PmAddrExUtil back;
    ASSERT_TRUE(back.LoadFile(m_path.c_str()));
    EXPECT_EQ(back.DataMgr()->First()->PhoneLabel[2], 7u);
    std::string contact = Contact(1, 0, "", 1);
    // Phone Label3 is field 28.
    size_t at = contact.find(Bytes().Int(1028).Str());
    ASSERT_NE(at, std::string::npos);
    contact.replace(at, 8, Bytes().Int(7).Str());
    p.records = contact;
    EXPECT_EQ(ReadFile(m_path), SGFile(p));
}

// Fields beyond the last whole record would be neither a record nor written
// back by a save: such a file is refused.
TEST_F(AddrFile, SurplusFieldsAreRefused)
{
    SGParts p = AddrParts(m_path, {Contact(1), Contact(2)});
    p.totalFields = 150;
    p.records += Bytes().Int(1).Int(2).Int(3).Int(4).Str();
    std::string original = SGFile(p);
    WriteFile(m_path, original);
    PmAddrExUtil util;
    EXPECT_FALSE(util.LoadFile(m_path.c_str()));
    EXPECT_TRUE(m_log.Has("Calculated Record Count: 2"));
    EXPECT_TRUE(m_log.Has("Total fields 150 is not a whole number of Contacts records of 73 fields."));
    EXPECT_TRUE(m_log.Has("Can not load Palm Desktop Contacts: " + m_path));
    EXPECT_EQ(util.DataMgr()->Count(), 0u);
    EXPECT_FALSE(util.Save());
    EXPECT_EQ(ReadFile(m_path), original);
}

TEST_F(AddrFile, ABadRecordStopsTheLoad)
{
    std::string bad = Contact(2);
    bad.replace(0, 4, Bytes().U32(5).Str());
    WriteFile(m_path, SGFile(AddrParts(m_path, {Contact(1), bad, Contact(3)})));
    PmAddrExUtil util;
    EXPECT_FALSE(util.LoadFile(m_path.c_str()));
    EXPECT_EQ(m_log.CountOf("Error reading Palm Desktop Contacts, current file position: "), 1);
    EXPECT_TRUE(m_log.Has("Failed to load Contacts records."));
    EXPECT_TRUE(m_log.Has("Can not load Palm Desktop Contacts: " + m_path));
    EXPECT_EQ(util.DataMgr()->Count(), 0u);

    // A truncated custom labels block.
    std::string file = SGFile(AddrParts(m_path, {Contact(1)}));
    WriteFile(m_path, file.substr(0, 52 + 1 + m_path.size() + 11 + 20));
    m_log.Clear();
    EXPECT_FALSE(util.LoadFile(m_path.c_str()));
    EXPECT_TRUE(m_log.Has("Failed to load custom labels information."));
}

TEST_F(AddrFile, DefaultsOfANewFile)
{
    PmAddrExUtil util;
    EXPECT_EQ(util.Schema().ResourceID, 74u);
    EXPECT_EQ(util.Schema().FieldsPerRow, 73u);
    EXPECT_EQ(util.Schema().FieldsCount, 73u);
    EXPECT_EQ(util.Schema().FieldTypes, AddrTypes());
    EXPECT_EQ(util.Reserved1()[12], 1);
    EXPECT_EQ(util.Reserved1()[13], 16);
    PmAddrExRecord r;
    r.RecordID = 9;
    r.FirstName.Set("Ann");
    ASSERT_TRUE(util.DataMgr()->Add(&r));
    WriteFile(m_path, "");
    ASSERT_TRUE(util.SaveNew(m_path.c_str()));
    PmAddrExUtil back;
    ASSERT_TRUE(back.LoadFile(m_path.c_str()));
    ASSERT_EQ(back.DataMgr()->Count(), 1u);
    EXPECT_STREQ(back.DataMgr()->First()->FirstName.c_str(), "Ann");
    EXPECT_STREQ(back.DataMgr()->First()->CategoryName, "Unfiled");
}
