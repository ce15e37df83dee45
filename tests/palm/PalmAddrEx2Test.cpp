#include "palm/PalmAddrEx2.h"
#include "palm/PalmEnv.h"
#include "palmfixture/FixtureEx2.h"
#include "palmfixture/PalmFixture.h"
#include "platform/File.h"

#include "PalmEx2TestUtil.h"
#include "platform/TestDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using ex2test::LogCapture;
using ex2test::TempFolder;

std::unique_ptr<PmAddrEx2Record> Contact(int32_t id, const char* first, const char* last, int32_t category)
{
    auto c = std::make_unique<PmAddrEx2Record>();
    c->RecordID = id;
    c->Category = category;
    c->Placement = id;
    c->FirstName.Set(first);
    c->LastName.Set(last);
    c->Company.Set("Acme");
    c->Custom10.Set("ten");
    c->Note.Set("line one\r\nline two");
    c->Birthday = 1110877500;
    c->BirthdayAlarmSet = 1;
    return c;
}

class AddrDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ResetBackups();
        m_path = m_dir.Path() + "address/Address.mdb";
        auto a = Contact(10, "Ann", "O'Neil", 1);
        // Seven phone slots carrying the labels 0, 0, 2, 9, 1, 7, 7.
        const char* phones[7] = {"slot1", "slot2", "slot3", "slot4", "slot5", "slot6", "slot7"};
        PmEx2Text<128>* slots[7] = {&a->WorkPhone, &a->WorkFax,    &a->WorkMobile, &a->HomePhone,
                                    &a->HomeFax,   &a->HomeMobile, &a->OtherPhone};
        for (int i = 0; i < 7; ++i)
            slots[i]->Set(phones[i]);
        a->WorkMobile.Set("0123456789012345678901234567890123456789");
        int32_t labels[7] = {0, 0, 4, 9, 1, 7, 7};
        int32_t* labelFields[7] = {&a->PhoneLabel1, &a->PhoneLabel2, &a->PhoneLabel3, &a->PhoneLabel4,
                                   &a->PhoneLabel5, &a->PhoneLabel6, &a->PhoneLabel7};
        for (int i = 0; i < 7; ++i)
            *labelFields[i] = labels[i];
        m_contacts.push_back(std::move(a));
        m_contacts.push_back(Contact(11, "", "", 1));
        m_contacts.push_back(Contact(12, "Carl", "Smith", 5));
        m_contacts.push_back(Contact(13, "Dora", "Wrong", 2));
        std::vector<const PmAddrEx2Record*> records;
        for (auto& c : m_contacts)
            records.push_back(c.get());
        std::string error;
        ASSERT_TRUE(palmfix::WriteAddressMdb(m_path, {{1, "Friends", 0, 0}, {2, "Work", 0, 0}}, records, &error))
            << error;
        // Null names, and a text column holding binary data.
        ASSERT_TRUE(palmfix::Ex2Exec(m_path,
                                     "UPDATE Main SET [First Name] = NULL, [Last Name] = NULL WHERE [Record ID] = 11;"
                                     "UPDATE Main SET [Company] = x'00ff' WHERE [Record ID] = 13",
                                     &error))
            << error;
    }

    PmAddrEx2Record* Find(PmAddrEx2Util& util, int32_t id) { return ex2test::FindRecord(util.DataMgr(), id); }

    TempFolder m_dir;
    LogCapture m_log;
    std::string m_path;
    std::vector<std::unique_ptr<PmAddrEx2Record>> m_contacts;
};

TEST_F(AddrDatabase, LoadsEveryColumnAndSortsPhonesByLabel)
{
    PmAddrEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_TRUE(m_log.Has("Loading Palm Desktop Contacts:" + m_path));
    ASSERT_EQ(util.DataMgr()->Count(), 4u);
    PmAddrEx2Record* a = Find(util, 10);
    EXPECT_STREQ(a->LastName.c_str(), "O'Neil");
    EXPECT_STREQ(a->CategoryName.c_str(), "Friends");
    EXPECT_STREQ(a->Custom10.c_str(), "ten");
    EXPECT_STREQ(a->Note.c_str(), "line one\r\nline two");
    EXPECT_EQ(a->Birthday, 1110877500);
    EXPECT_EQ(a->BirthdayAlarmSet, 1);
    EXPECT_EQ(a->PhoneLabel4, 9);
    EXPECT_STREQ(a->Phone0.c_str(), "slot2");
    EXPECT_STREQ(a->Phone1.c_str(), "slot5");
    EXPECT_STREQ(a->Phone7.c_str(), "slot7");
    // Forty characters fit the 128-byte phone of label 4 whole.
    EXPECT_STREQ(a->Phone4.c_str(), "0123456789012345678901234567890123456789");
    EXPECT_STREQ(a->Phone2.c_str(), "");

    PmAddrEx2Record* copy = Find(util, 10);
    copy->PhoneLabel1 = 2;
    PmAddrEx2Util::SortPhonesByLabel(copy);
    EXPECT_STREQ(copy->Phone2.c_str(), "slot1");
    copy->PhoneLabel3 = 3;
    PmAddrEx2Util::SortPhonesByLabel(copy);
    EXPECT_STREQ(copy->Phone3.c_str(), "0123456789012345678901234567890");  // cut to 31

    EXPECT_STREQ(Find(util, 11)->FirstName.c_str(), "");
    // An ID without a category row leaves the name empty.
    EXPECT_STREQ(Find(util, 12)->CategoryName.c_str(), "");
    // A column of the wrong type leaves its field empty; the row is loaded.
    PmAddrEx2Record* d = Find(util, 13);
    EXPECT_STREQ(d->Company.c_str(), "");
    EXPECT_STREQ(d->FirstName.c_str(), "Dora");
    EXPECT_STREQ(d->CategoryName.c_str(), "Work");
}

TEST_F(AddrDatabase, DeletionsChangeOnlyTheStatus)
{
    const std::string original = ex2test::ReadBytes(m_path);
    const auto before = palmfix::Ex2DumpTable(m_path, "Main");
    PmAddrEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));

    PmAddrEx2Record* a = Find(util, 10);
    a->Status = 0x84;
    EXPECT_TRUE(util.WriteBackRecord(a));
    // A loaded contact names its row by where it was read from.
    EXPECT_TRUE(m_log.Has("Execute SQL Query: UPDATE Main SET [Status]=132 WHERE _rowid_ = 1"));
    // One that was not loaded is found by its key columns: empty names
    // match the Null ones.
    PmAddrEx2Record nulls = *Find(util, 11);
    nulls.RowKey = PmRowKey{};
    nulls.Status = 0x84;
    EXPECT_TRUE(util.WriteBackRecord(&nulls));
    EXPECT_TRUE(m_log.Has("UPDATE Main SET [Status]=132 WHERE [Record ID] = 11 AND ([First Name] = '' OR "
                          "[First Name] IS NULL) AND ([Last Name] = '' OR [Last Name] IS NULL)"));
    EXPECT_FALSE(m_log.Has("!!!")) << m_log.Text();

    EXPECT_TRUE(util.Save());
    auto after = palmfix::Ex2DumpTable(m_path, "Main");
    ex2test::ExpectOnlyStatusChanged(before, after, {0, 1});
    EXPECT_EQ(after[1][7], "null:");  // the Null names stay Null

    std::string backup;
    ASSERT_EQ(ex2test::CountBackups(m_path, &backup), 1);
    EXPECT_TRUE(ex2test::ReadBytes(backup) == original);
}

TEST_F(AddrDatabase, PlacementOrLabelChangesSendNothing)
{
    const std::string original = ex2test::ReadBytes(m_path);
    PmAddrEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmAddrEx2Record* c = Find(util, 12);
    c->Placement = 77;
    m_log.Clear();
    EXPECT_TRUE(util.WriteBackRecord(c));
    // A phone label is compared but never written.
    c->Placement = 12;
    c->PhoneLabel2 = 5;
    EXPECT_TRUE(util.WriteBackRecord(c));
    EXPECT_FALSE(m_log.Has("UPDATE"));
    EXPECT_TRUE(ex2test::ReadBytes(m_path) == original);

    // A changed key means the row is no longer the record's: nothing is written.
    c->LastName.Set("Smyth");
    c->Status = 0x84;
    EXPECT_FALSE(util.WriteBackRecord(c));
    EXPECT_TRUE(m_log.Has("The stored row of record 12 has changed since it was loaded (Last Name); nothing was "
                          "written."));
    PmAddrEx2Record notLoaded = *c;
    notLoaded.RowKey = PmRowKey{};
    EXPECT_FALSE(util.WriteBackRecord(&notLoaded));
    EXPECT_TRUE(m_log.Has("The stored row of record 12 was not found by its key columns; nothing was written."));
    EXPECT_FALSE(m_log.Has("INSERT"));
    EXPECT_TRUE(ex2test::ReadBytes(m_path) == original);
}

TEST_F(AddrDatabase, EmptyCategoryTableGivesEmptyNames)
{
    std::string error;
    ASSERT_TRUE(palmfix::Ex2Exec(m_path, "DELETE FROM Category", &error)) << error;
    PmAddrEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_EQ(util.CategoryMgr()->Count(), 0u);
    ASSERT_EQ(util.DataMgr()->Count(), 4u);
    for (PmAddrEx2Record* r = util.DataMgr()->First(); r; r = util.DataMgr()->Next())
        EXPECT_STREQ(r->CategoryName.c_str(), "");
}

TEST(AddrByUser, LoadsTheUsersDatabaseFromTheInstallation)
{
    LogCapture log;
    TempFolder prefix;
    ScopedEnv winePrefix("WINEPREFIX", prefix.Path().c_str());
    palmfix::Installation inst;
    inst.dir = prefix.Path() + "drive_c/Palm";
    inst.version[0] = 6;
    inst.version[1] = 2;
    inst.users = {"Smith"};
    inst.winePrefix = prefix.Path();
    std::string error;
    ASSERT_TRUE(palmfix::WriteInstallation(inst, &error)) << error;
    std::string folder = palmfix::UserWinFolder(inst, "Smith");
    auto c = Contact(1, "Zoe", "Young", 0);
    ASSERT_TRUE(palmfix::WriteAddressMdb(palmfix::Ex2DatabasePath(folder, kPmDbAddr), {}, {c.get()}, &error))
        << error;
    ASSERT_TRUE(LoadPalmLibraries(15));

    PmAddrEx2Util util;
    uint32_t id = palmfix::UserId("Smith");
    EXPECT_TRUE(util.LoadByUser(id));
    EXPECT_TRUE(log.Has("Start loading Palm Desktop Contacts by user ID: " + std::to_string(int(id))));
    EXPECT_TRUE(log.Has("Get user file successfully, try loading file:" + folder + "address\\Address.mdb"));
    ASSERT_EQ(util.DataMgr()->Count(), 1u);
    EXPECT_STREQ(util.DataMgr()->First()->FirstName.c_str(), "Zoe");

    util.DataMgr()->Clear();
    EXPECT_FALSE(util.LoadByUser(id + 1));
    EXPECT_TRUE(log.Has("Failed to get user database path by user ID."));
    UnloadPalmLibraries();
}

}  // namespace
