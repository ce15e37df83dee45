#include "PalmInfoTestEnv.h"

#include "palm/PalmAddrInfo.h"
#include "palmfixture/FixtureClassic.h"
#include "palmfixture/FixtureEx2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using infotest::PalmInstall;

namespace {

PmAddrRecord ClassicContact(int32_t id, const std::string& first, const std::string& last, int32_t status = 0)
{
    PmAddrRecord r;
    r.RecordID = id;
    r.Status = status;
    r.Placement = id;
    r.FirstName = first;
    r.LastName = last;
    r.Category = 1;
    for (int i = 0; i < 5; ++i)
        r.PhoneLabel[i] = i;
    return r;
}

PmAddrEx2Record Ex2Contact(int32_t id, const std::string& first, const std::string& last, int32_t status = 0)
{
    PmAddrEx2Record r{};
    r.RecordID = id;
    r.Status = status;
    r.Placement = id;
    r.Category = 1;
    r.FirstName.Set(first.c_str());
    r.LastName.Set(last.c_str());
    r.CategoryName.Set("Business");
    return r;
}

std::string WriteClassic(const PalmInstall& env, const std::vector<PmAddrRecord>& recs)
{
    return infotest::WriteClassicWith(palmfix::WriteClassicAddress, env.UserFile("address\\address.dat"),
                                      {{1, "Business"}, {2, "Perso\xE9"}}, recs, "Birthday\nSpouse\nPet\nCar\n");
}

std::string WriteEx2(const PalmInstall& env, const std::vector<PmAddrEx2Record>& recs)
{
    return infotest::WriteEx2With(palmfix::WriteAddressMdb, env, 1, {{1, "Business"}}, recs);
}

}  // namespace

TEST(PalmAddrInfoTest, GenerationIsKeptForEveryFacade)
{
    PalmInstall env;
    PmAddrInfo ex(40102);
    EXPECT_EQ(PmAddrInfo::ChosenGeneration(), 2);
    PmAddrInfo classic(40101);
    EXPECT_EQ(PmAddrInfo::ChosenGeneration(), 1);
    PmAddrInfo oldest(30500);
    EXPECT_EQ(PmAddrInfo::ChosenGeneration(), 1);
    PmAddrInfo six(0xFFFFFFFFu);
    EXPECT_EQ(PmAddrInfo::ChosenGeneration(), 3);

    PmAddrInfo none(30499);
    EXPECT_EQ(PmAddrInfo::ChosenGeneration(), 0);
    env.ClearLog();
    // The choice is class-wide: the facade made first now has none either.
    EXPECT_FALSE(ex.LoadByUser(int32_t(env.UserId())));
    EXPECT_EQ(ex.LoadedGeneration(), 255);
    EXPECT_TRUE(env.LogHas("Unknown Palm Desktop version\r\n"));
    EXPECT_FALSE(ex.Save());
}

TEST(PalmAddrInfoTest, ClassicContactConversion)
{
    PalmInstall env(4, 1, 0);
    PmAddrRecord a = ClassicContact(1, "Zoë", "O'Hara");
    a.Phone[0] = "555-0100";
    a.PhoneLabel[0] = PmAddrInfo::kLabelWork;
    a.Phone[1] = "555-0199";
    a.PhoneLabel[1] = PmAddrInfo::kLabelPager;
    a.Phone[2] = "555-0102";
    a.PhoneLabel[2] = PmAddrInfo::kLabelWork;
    a.Phone[3] = "555-0303";
    a.PhoneLabel[3] = PmAddrInfo::kLabelOther;
    a.Phone[4] = "555-0505";
    a.PhoneLabel[4] = PmAddrInfo::kLabelMain;
    a.Company = std::string(100, 'C');
    a.JobTitle = "Engineer";
    a.Street = "1 Rue de l'\xC9glise";
    a.City = "Montr\xE9" "al";
    a.State = "QC";
    a.ZipCode = "H2X";
    a.Country = "Canada";
    a.Note = "line one\r\nline two";
    for (int i = 0; i < 4; ++i)
        a.Custom[i] = "custom " + std::to_string(i + 1);
    PmAddrRecord b = ClassicContact(2, "Kept", "Hidden", 0x04);
    PmAddrRecord c = ClassicContact(3, "", "");
    c.Phone[0] = "";
    c.PhoneLabel[0] = PmAddrInfo::kLabelHome;
    c.Phone[1] = "home";
    c.PhoneLabel[1] = PmAddrInfo::kLabelHome;
    c.Phone[2] = "fax";
    c.PhoneLabel[2] = PmAddrInfo::kLabelFax;
    c.Phone[3] = "a@b.example";
    c.PhoneLabel[3] = PmAddrInfo::kLabelEmail;
    c.Phone[4] = "mobile";
    c.PhoneLabel[4] = PmAddrInfo::kLabelMobile;
    c.Category = 2;
    WriteClassic(env, {a, b, c});

    PmAddrInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(info.GetCommMgr()->Count(), 2u);
    CommAddr* r = info.GetCommMgr()->GetAt(0);
    EXPECT_STREQ(r->FirstName.c_str(), "Zoë");
    EXPECT_STREQ(r->LastName.c_str(), "O'Hara");
    // Work, Pager, Work: the later work number wins, the pager has no field.
    EXPECT_STREQ(r->WorkPhone.c_str(), "555-0102");
    EXPECT_STREQ(r->PrimaryPhone.c_str(), "555-0303");
    EXPECT_STREQ(r->OtherPhone.c_str(), "555-0505");
    EXPECT_STREQ(r->HomePhone.c_str(), "");
    EXPECT_STREQ(r->MobilePhone.c_str(), "");
    EXPECT_EQ(r->Company.View(), std::string(63, 'C'));
    EXPECT_STREQ(r->Title.c_str(), "Engineer");
    EXPECT_STREQ(r->WorkAddr.Street.c_str(), "1 Rue de l'\xC9glise");
    EXPECT_STREQ(r->WorkAddr.City.c_str(), "Montr\xE9" "al");
    EXPECT_STREQ(r->WorkAddr.Postal.c_str(), "H2X");
    EXPECT_STREQ(r->WorkAddr.Country.c_str(), "Canada");
    EXPECT_TRUE(r->HomeAddr.Street.Empty());
    EXPECT_TRUE(r->OtherAddr.City.Empty());
    EXPECT_STREQ(r->Note.c_str(), "line one\r\nline two");
    EXPECT_STREQ(r->Custom[3].c_str(), "custom 4");
    EXPECT_TRUE(r->Custom[4].Empty());
    EXPECT_STREQ(r->Category.c_str(), "Business");
    EXPECT_EQ(r->Trailer.SourceType, 1);
    EXPECT_EQ(r->Trailer.ID, 0);
    auto* native = static_cast<PmAddrSource*>(r->Trailer.NativeCopy);
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(native->Generation, 1);
    EXPECT_EQ(native->Classic->Company.size(), 100u);

    CommAddr* s = info.GetCommMgr()->GetAt(1);
    EXPECT_STREQ(s->HomePhone.c_str(), "home");
    EXPECT_STREQ(s->WorkFax.c_str(), "fax");
    EXPECT_STREQ(s->Email.c_str(), "a@b.example");
    EXPECT_STREQ(s->MobilePhone.c_str(), "mobile");
    EXPECT_STREQ(s->Category.c_str(), "Perso\xE9");
}

TEST(PalmAddrInfoTest, Ex2ContactConversion)
{
    PalmInstall env(6, 0, 0);
    PmAddrEx2Record a = Ex2Contact(7, "Ada", "Byrne");
    a.MiddleName.Set("Maria");
    a.Prefix.Set("Dr.");
    a.Suffix.Set("Jr.");
    a.NickName.Set("Addy");
    a.EnglishName.Set("Ada Byrne");
    a.WorkStreet.Set("Work St");
    a.WorkCity.Set("Workton");
    a.HomeStreet.Set("Home St");
    a.HomeZip.Set("12345");
    a.OtherStreet.Set("Other St");
    a.OtherCountry.Set("\xC3\x89ire");  // 6.x texts are UTF-8
    // Slots labelled 0, 0, 2, 9, 1, 7, 7.
    a.WorkPhone.Set("w1");
    a.WorkFax.Set("w2");
    a.WorkMobile.Set("fax");
    a.HomePhone.Set("unknown");
    a.HomeFax.Set("home");
    a.HomeMobile.Set("m1");
    a.OtherPhone.Set("m2");
    a.PhoneLabel1 = 0;
    a.PhoneLabel2 = 0;
    a.PhoneLabel3 = 2;
    a.PhoneLabel4 = 9;
    a.PhoneLabel5 = 1;
    a.PhoneLabel6 = 7;
    a.PhoneLabel7 = 7;
    PmEx2Text<256>* customs[] = {&a.Custom1, &a.Custom2, &a.Custom3, &a.Custom4, &a.Custom5,
                                 &a.Custom6, &a.Custom7, &a.Custom8, &a.Custom9, &a.Custom10};
    for (int i = 0; i < 10; ++i)
        customs[i]->Set("c" + std::to_string(i + 1));
    a.Custom11.Set("not shown");
    a.Company.Set(std::string(100, 'x').c_str());
    a.JobTitle.Set("CTO");
    a.Chat1.Set("ada@chat");
    a.Chat2.Set("ada2@chat");
    a.AssistantName.Set("Bob");
    a.AssistantPhone.Set("555-0111");
    a.Note.Set("note");
    WriteEx2(env, {a, Ex2Contact(8, "Gone", "Away", 0x80)});

    PmAddrInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(info.GetCommMgr()->Count(), 1u);
    CommAddr* r = info.GetCommMgr()->GetAt(0);
    EXPECT_STREQ(r->MiddleName.c_str(), "Maria");
    EXPECT_STREQ(r->Prefix.c_str(), "Dr.");
    EXPECT_STREQ(r->Suffix.c_str(), "Jr.");
    EXPECT_STREQ(r->NickName.c_str(), "Addy");
    EXPECT_STREQ(r->DisplayName.c_str(), "Ada Byrne");
    EXPECT_STREQ(r->WorkAddr.Street.c_str(), "Work St");
    EXPECT_STREQ(r->WorkAddr.City.c_str(), "Workton");
    EXPECT_STREQ(r->HomeAddr.Street.c_str(), "Home St");
    EXPECT_STREQ(r->HomeAddr.Postal.c_str(), "12345");
    EXPECT_STREQ(r->OtherAddr.Street.c_str(), "Other St");
    EXPECT_STREQ(r->OtherAddr.Country.c_str(), "\xC3\x89ire");
    EXPECT_STREQ(r->WorkPhone.c_str(), "w2");
    EXPECT_STREQ(r->WorkFax.c_str(), "fax");
    EXPECT_STREQ(r->HomePhone.c_str(), "home");
    EXPECT_STREQ(r->MobilePhone.c_str(), "m2");
    EXPECT_STREQ(r->PrimaryPhone.c_str(), "");
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(r->Custom[i].View(), "c" + std::to_string(i + 1));
    EXPECT_EQ(r->Company.View(), std::string(63, 'x'));
    EXPECT_STREQ(r->Title.c_str(), "CTO");
    EXPECT_STREQ(r->IM1.c_str(), "ada@chat");
    EXPECT_STREQ(r->IM2.c_str(), "ada2@chat");
    EXPECT_STREQ(r->AssistantName.c_str(), "Bob");
    EXPECT_STREQ(r->AssistantPhone.c_str(), "555-0111");
    EXPECT_STREQ(r->Category.c_str(), "Business");
    EXPECT_EQ(static_cast<PmAddrSource*>(r->Trailer.NativeCopy)->Generation, 3);
}

TEST(PalmAddrInfoTest, LabelTextsAndFieldTexts)
{
    const char* names[] = {"Work Phone", "Home Phone", "Fax",   "Other Phone",
                           "E-mail",     "Main Phone", "Pager", "Mobile Phone"};
    for (int i = 0; i < 8; ++i)
        EXPECT_STREQ(PmAddrInfo::PhoneLabelText(i), names[i]);
    EXPECT_STREQ(PmAddrInfo::PhoneLabelText(9), "Work Phone");
    EXPECT_STREQ(PmAddrInfo::PhoneLabelText(-1), "Work Phone");
    PmAddrSource six{};
    six.Generation = 3;
    EXPECT_STREQ(PmAddrInfo::FieldText(&six, 43), "N/A");
    EXPECT_STREQ(PmAddrInfo::FieldText(&six, 42), "N/A");
    EXPECT_STREQ(PmAddrInfo::FieldText(nullptr, 34), "N/A");
}

TEST(PalmAddrInfoTest, FailedLoadGivesFalse)
{
    PalmInstall env(4, 1, 0);
    // A 6.x database where the classic file is expected.
    std::string error;
    ASSERT_TRUE(palmfix::WriteAddressMdb(env.UserFile("address\\address.dat"), {}, {}, &error)) << error;
    PmAddrInfo info;
    env.ClearLog();
    EXPECT_FALSE(info.LoadByUser(int32_t(env.UserId())));
    EXPECT_EQ(info.GetCommMgr()->Count(), 0u);
    EXPECT_TRUE(env.LogHas("Could not open Palm Desktop Contacts database by User: " +
                           std::to_string(env.UserId())));
    EXPECT_FALSE(info.Save());
    CommAddr none{};
    EXPECT_FALSE(info.DeleteRecord(&none));
}

TEST(PalmAddrInfoTest, ClassicDeletionRoundTrip)
{
    PalmInstall env(4, 1, 0);
    std::string path = WriteClassic(env, {ClassicContact(1, "Ann", "Lee"), ClassicContact(2, "Ann", "Lee"),
                                          ClassicContact(3, "Bo", "Ek"), ClassicContact(4, "Ann", "Lee")});
    std::string original = infotest::ReadBytes(path);
    PmAddrInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommAddrMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 4u);
    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(0)));
    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(1)));
    EXPECT_EQ(static_cast<PmAddrSource*>(mgr->GetAt(0)->Trailer.NativeCopy)->Status, 0x84u);
    EXPECT_EQ(infotest::ReadBytes(path), original);
    ASSERT_TRUE(info.Save());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 2));

    PmAddrInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 2u);
    EXPECT_STREQ(again.GetCommMgr()->GetAt(0)->FirstName.c_str(), "Bo");
    EXPECT_STREQ(again.GetCommMgr()->GetAt(1)->FirstName.c_str(), "Ann");
    EXPECT_EQ(static_cast<PmAddrSource*>(again.GetCommMgr()->GetAt(1)->Trailer.NativeCopy)->Classic->RecordID, 4);
}

TEST(PalmAddrInfoTest, Ex2DeletionRoundTrip)
{
    PalmInstall env(6, 0, 0);
    std::string path = WriteEx2(env, {Ex2Contact(1, "Ann", "O'Neil"), Ex2Contact(2, "Ann", "O'Neil"),
                                      Ex2Contact(3, "Ann", "O'Neil")});
    auto before = palmfix::Ex2DumpTable(path, "Main");
    PmAddrInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommAddrMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    EXPECT_TRUE(info.DeleteRecord(mgr->GetAt(0)));
    EXPECT_TRUE(info.DeleteRecord(mgr->GetAt(1)));
    // The rows change together, when Save commits them.
    EXPECT_EQ(palmfix::Ex2DumpTable(path, "Main"), before);
    ASSERT_TRUE(info.Save());
    auto after = palmfix::Ex2DumpTable(path, "Main");
    ASSERT_EQ(after.size(), 3u);
    infotest::ExpectOnlyStatusChanged(before, after, 2);
    PmAddrInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 1u);
    EXPECT_EQ(static_cast<PmAddrSource*>(again.GetCommMgr()->GetAt(0)->Trailer.NativeCopy)->Ex2->RecordID, 3);
}

namespace {

PmAddrExRecord ExContact(uint32_t id, const char* first, const char* last, uint32_t status = 0)
{
    PmAddrExRecord r;
    r.RecordID = id;
    r.Status = status;
    r.Placement = id;
    r.Category = 2;
    r.FirstName.Set(first);
    r.LastName.Set(last);
    return r;
}

}  // namespace

TEST(PalmAddrInfoTest, ExContactsWithThreeAddressesAndTheirDeletion)
{
    PalmInstall env(4, 1, 2);
    PmAddrExRecord a = ExContact(1, "S\xF8ren", "O'Hara");
    a.WorkStreet.Set("1 Work Way");
    a.WorkCity.Set("Aarhus");
    a.HomeStreet.Set("2 Home Rd");
    a.HomeZip.Set("8000");
    a.OtherStreet.Set("3 Other Ave");
    a.OtherCountry.Set("Danmark");
    const uint32_t labels[7] = {0, 6, 0, 3, 5, 4, 9};
    const char* phones[7] = {"w1", "pager", "w2", "other", "main", "s@o.example", "unknown"};
    for (int i = 0; i < 7; ++i) {
        a.PhoneLabel[i] = labels[i];
        a.Phone[i].Set(phones[i]);
    }
    for (int i = 0; i < 9; ++i)
        a.Custom[i].Set(("c" + std::to_string(i + 1)).c_str());
    a.Company.Set(std::string(100, 'k').c_str());
    a.JobTitle.Set("Chef");
    a.Note.Set("Line 1\r\nLine 2");
    std::string path = env.UserFile("address\\address.dat");
    ASSERT_TRUE(infotest::WriteEx(
        path, {a, ExContact(2, "S\xF8ren", "O'Hara"), ExContact(3, "Hidden", "One", 0x80),
               ExContact(4, "S\xF8ren", "O'Hara")}));
    std::string original = infotest::ReadBytes(path);

    PmAddrInfo info;
    ASSERT_EQ(PmAddrInfo::ChosenGeneration(), 2);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommAddrMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    CommAddr* r = mgr->GetAt(0);
    EXPECT_STREQ(r->FirstName.c_str(), "S\xF8ren");
    EXPECT_STREQ(r->WorkAddr.Street.c_str(), "1 Work Way");
    EXPECT_STREQ(r->WorkAddr.City.c_str(), "Aarhus");
    EXPECT_STREQ(r->HomeAddr.Street.c_str(), "2 Home Rd");
    EXPECT_STREQ(r->HomeAddr.Postal.c_str(), "8000");
    EXPECT_STREQ(r->OtherAddr.Street.c_str(), "3 Other Ave");
    EXPECT_STREQ(r->OtherAddr.Country.c_str(), "Danmark");
    EXPECT_STREQ(r->WorkPhone.c_str(), "w2");
    EXPECT_STREQ(r->PrimaryPhone.c_str(), "other");
    EXPECT_STREQ(r->OtherPhone.c_str(), "main");
    EXPECT_STREQ(r->Email.c_str(), "s@o.example");
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(r->Custom[i].View(), "c" + std::to_string(i + 1));
    EXPECT_TRUE(r->Custom[9].Empty());
    EXPECT_EQ(r->Company.View(), std::string(63, 'k'));
    EXPECT_STREQ(r->Title.c_str(), "Chef");
    EXPECT_STREQ(r->Note.c_str(), "Line 1\r\nLine 2");
    EXPECT_STREQ(r->Category.c_str(), "Perso\xE9");
    EXPECT_TRUE(r->MiddleName.Empty());

    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(0)));
    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(1)));
    EXPECT_EQ(infotest::ReadBytes(path), original);
    ASSERT_TRUE(info.Save());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 2));
    PmAddrInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 1u);
    EXPECT_EQ(static_cast<PmAddrSource*>(again.GetCommMgr()->GetAt(0)->Trailer.NativeCopy)->Ex->RecordID, 4u);
}
