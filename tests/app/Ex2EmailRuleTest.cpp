// A 6.x contact keeps its e-mail addresses in the columns "Work E-mail" and
// "E-mail 1" to "E-mail 3", not in a phone slot: the contacts rule compares
// the first address found there, so that two people of one name with their
// own addresses are not taken for duplicates. Checked on databases written by
// palmfixture and on Jet files of an independent writer.
#include "app/Apputil.h"
#include "palm/PalmAddrInfo.h"
#include "palm/PalmInfoTestEnv.h"
#include "palmfixture/FixtureEx2.h"
#include "palmfixture/FixtureJet.h"
#include "palmfixture/PalmFixture.h"
#include "platform/WinPath.h"

#include "JetTestData.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using infotest::PalmInstall;

namespace {

PmAddrEx2Record Contact(int32_t id, const char* first, const char* last)
{
    PmAddrEx2Record r{};
    r.RecordID = id;
    r.Placement = id;
    r.Category = 1;
    r.FirstName.Set(first);
    r.LastName.Set(last);
    return r;
}

PmAddrEx2Record WithMail(PmAddrEx2Record r, const char* work, const char* one, const char* two, const char* three)
{
    r.WorkEmail.Set(work);
    r.Email1.Set(one);
    r.Email2.Set(two);
    r.Email3.Set(three);
    return r;
}

int32_t RecordIdOf(const CommAddr* a)
{
    return static_cast<const PmAddrSource*>(a->Trailer.NativeCopy)->Ex2->RecordID;
}

/// The record ids of the contacts the default rule lists as duplicates (the
/// rows of one contact stored twice have the same id).
std::multiset<int32_t> DuplicateIds(PmAddrInfo& info)
{
    CxList<CommAddr> dups;
    EXPECT_TRUE(DetectAddrDups(info.GetCommMgr(), &dups, DefaultOption()));
    std::multiset<int32_t> ids;
    for (CommAddr* a = dups.First(); a; a = dups.Next())
        ids.insert(RecordIdOf(a));
    dups.Clear(false);
    return ids;
}

std::map<int32_t, std::string> EmailsById(PmAddrInfo& info)
{
    std::map<int32_t, std::string> out;
    for (CommAddr* a = info.GetCommMgr()->First(); a; a = info.GetCommMgr()->Next())
        out[RecordIdOf(a)] = std::string(a->Email.View());
    return out;
}

}  // namespace

// Which address a contact compares, and what follows for the rule: the first
// filled column in the order Work E-mail, E-mail 1, 2, 3; a filled phone slot
// labelled E-mail before any column; an empty one counts for nothing.
TEST(Ex2EmailRule, FirstFilledAddressColumnDecides)
{
    PalmInstall env(6, 0, 0);
    PmAddrEx2Record dee = WithMail(Contact(7, "Dee", "Ray"), "dee@column.example", "", "", "");
    dee.HomePhone.Set("dee@slot.example");
    dee.PhoneLabel4 = PmAddrInfo::kLabelEmail;
    PmAddrEx2Record eve = WithMail(Contact(9, "Eve", "Po"), "", "", "", "eve@three.example");
    eve.WorkPhone.Set("");
    eve.PhoneLabel1 = PmAddrInfo::kLabelEmail;
    const std::string longMail(100, 'm');
    infotest::WriteEx2With(
        palmfix::WriteAddressMdb, env, kPmDbAddr, {{1, "Business"}},
        std::vector<PmAddrEx2Record>{
            // Homonyms with their own addresses.
            WithMail(Contact(1, "Ann", "Lee"), "ann@work.example", "", "", ""),
            WithMail(Contact(2, "Ann", "Lee"), "", "ann.lee@home.example", "", ""),
            // The same address, in the same column.
            WithMail(Contact(3, "Bob", "Hart"), "", "", "bob@two.example", ""),
            WithMail(Contact(4, "Bob", "Hart"), "", "", "bob@two.example", ""),
            // The same first address in different columns; the later columns differ.
            WithMail(Contact(5, "Cy", "Dunn"), "cy@a.example", "cy@b.example", "", ""),
            WithMail(Contact(6, "Cy", "Dunn"), "", "cy@a.example", "cy@c.example", ""),
            dee, WithMail(Contact(8, "Dee", "Ray"), "dee@slot.example", "", "", ""),
            eve, WithMail(Contact(10, "Eve", "Po"), "", "", "", "eve@other.example"),
            // No address at all: names alone decide, as before.
            Contact(11, "Flo", "Vale"), Contact(12, "Flo", "Vale"),
            WithMail(Contact(13, "Gus", "Long"), "", "", "", longMail.c_str()),
        });

    PmAddrInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId()))) << env.Log();
    std::map<int32_t, std::string> mail = EmailsById(info);
    ASSERT_EQ(mail.size(), 13u);
    EXPECT_EQ(mail[1], "ann@work.example");
    EXPECT_EQ(mail[2], "ann.lee@home.example");
    EXPECT_EQ(mail[3], "bob@two.example");
    EXPECT_EQ(mail[5], "cy@a.example");
    EXPECT_EQ(mail[6], "cy@a.example");
    EXPECT_EQ(mail[7], "dee@slot.example");
    EXPECT_EQ(mail[9], "eve@three.example");
    EXPECT_EQ(mail[11], "");
    EXPECT_EQ(mail[13], std::string(63, 'm'));  // cut to the common field as a slot's text is

    // Each group lists all members but its last.
    EXPECT_EQ(DuplicateIds(info), (std::multiset<int32_t>{3, 5, 7, 11}));
}

namespace {

std::string Cell(const jettest::Table& t, const std::vector<std::string>& row, const char* column)
{
    for (size_t c = 0; c < t.columns.size(); ++c)
        if (t.columns[c] == column)
            return row[c] == "\\N" ? std::string() : row[c];
    ADD_FAILURE() << "no column " << column;
    return std::string();
}

}  // namespace

// The contacts of a Jet file: every live row's address, worked out here from
// what the writer reads back, is the one compared, and the number of
// duplicates is that of the rows alike in names and address. The file holds
// homonyms with different addresses, which names alone would pair.
TEST(Ex2EmailRule, JetContactsCompareTheirAddressColumns)
{
    PalmInstall env(6, 0, 0);
    std::string error;
    ASSERT_TRUE(palmfix::CopyJetDatabases(jettest::DataFolder(),
                                          palmfix::UserHostFolder(env.Inst(), env.Inst().users[0]), &error))
        << error;
    PmAddrInfo info(60000);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId()))) << env.Log();

    const jettest::Table table = jettest::Expected("Address", "Main");
    const char* const kSlots[] = {"Work Phone", "Work Fax", "Work Mobile", "Home Phone",
                                  "Home Fax",   "Home Mobile", "Other Phone"};
    const char* const kMailColumns[] = {"Work E-mail", "E-mail 1", "E-mail 2", "E-mail 3"};
    std::vector<std::string> expectedMail;
    std::map<std::tuple<std::string, std::string, std::string>, std::set<std::string>> mailsOfName;
    std::map<std::tuple<std::string, std::string, std::string, std::string>, int> alike;
    for (const auto& row : table.rows) {
        const std::string status = Cell(table, row, "Status");
        if (!PmIsLiveStatus(status.empty() ? 0u : uint32_t(std::stoll(status))))
            continue;
        std::string mail;
        for (int s = 0; s < 7; ++s) {
            const std::string label = Cell(table, row, ("Phone Label" + std::to_string(s + 1)).c_str());
            const std::string text = Cell(table, row, kSlots[s]);
            if (label == "4" && !text.empty())
                mail = text;
        }
        for (const char* column : kMailColumns)
            if (mail.empty())
                mail = Cell(table, row, column);
        expectedMail.push_back(mail);
        const std::string first = Cell(table, row, "First Name"), middle = Cell(table, row, "Middle Name"),
                          last = Cell(table, row, "Last Name");
        mailsOfName[{first, middle, last}].insert(mail);
        ++alike[{first, middle, last, mail}];
    }
    size_t homonymsApart = 0;
    for (const auto& [name, mails] : mailsOfName)
        homonymsApart += mails.size() > 1 ? 1 : 0;
    ASSERT_GT(homonymsApart, 0u) << "the file no longer holds homonyms with different addresses";
    size_t expectedDups = 0;
    for (const auto& [key, count] : alike)
        expectedDups += size_t(count - 1);

    ASSERT_EQ(info.GetCommMgr()->Count(), expectedMail.size());
    size_t r = 0;
    for (CommAddr* a = info.GetCommMgr()->First(); a; a = info.GetCommMgr()->Next(), ++r)
        EXPECT_EQ(std::string(a->Email.View()), expectedMail[r]) << "row " << r;
    EXPECT_EQ(DuplicateIds(info).size(), expectedDups);
}

// Two people with one address in "E-mail 1" and different names stay apart;
// the same person twice is found.
TEST(Ex2EmailRule, JetContactsWithOneSharedAddress)
{
    PalmInstall env(6, 0, 0);
    std::string error;
    const std::string userFolder = palmfix::UserHostFolder(env.Inst(), env.Inst().users[0]);
    ASSERT_TRUE(palmfix::CopyJetDatabases(jettest::DataFolder(), userFolder, &error)) << error;
    ASSERT_TRUE(jettest::CopyFixture("odd/AddressCyrillic.mdb",
                                     plat::ToHostPath(palmfix::Ex2DatabasePath(env.UserFolder(), kPmDbAddr))));
    PmAddrInfo info(60000);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId()))) << env.Log();
    std::map<int32_t, std::string> mail = EmailsById(info);
    EXPECT_EQ(mail, (std::map<int32_t, std::string>{
                        {1, "ivan@example.org"}, {2, "ivan@example.org"}, {3, "anna@example.org"}, {4, "anna@example.org"}}));
    EXPECT_EQ(DuplicateIds(info), (std::multiset<int32_t>{3}));
}
