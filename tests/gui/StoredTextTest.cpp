// The wizard on a 6.x installation whose contacts have Cyrillic names, in an
// English locale (code page 1252, where every Cyrillic letter is '?'): the
// review list and the deletion log show the names as stored, and only the
// same person twice is a duplicate.
#include "WizardTestEnv.h"

#include "ScopedState.h"

#include "palm/PalmAddrEx2.h"
#include "platform/File.h"

using namespace guitest;

namespace {

const std::string kIvan = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD";                    // Ivan
const std::string kPetrov = "\xD0\x9F\xD0\xB5\xD1\x82\xD1\x80\xD0\xBE\xD0\xB2";  // Petrov
const std::string kOleg = "\xD0\x9E\xD0\xBB\xD0\xB5\xD0\xB3";                    // Oleg
const std::string kIvanov = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xBE\xD0\xB2";  // Ivanov

PmAddrEx2Record Contact(int32_t id, const std::string& first, const std::string& last)
{
    PmAddrEx2Record r{};
    r.RecordID = id;
    r.Placement = id;
    r.Category = 1;
    r.FirstName.SetStored(first);
    r.LastName.SetStored(last);
    r.WorkPhone.SetStored("same@example.com");
    r.PhoneLabel1 = PmAddrInfo::kLabelEmail;
    return r;
}

}  // namespace

TEST(StoredText, ReviewAndDeletionLogShowCyrillicNames)
{
    testenv::ScopedCodePage page(1252);
    Wizard w(kEx2, 0, 0, false);
    const std::string file = palmfix::Ex2DatabasePath(w.Env().UserFolder(), kPmDbAddr);
    std::vector<PmAddrEx2Record> recs = {Contact(1, kIvan, kPetrov), Contact(2, kOleg, kIvanov),
                                         Contact(3, kIvan, kPetrov)};
    std::vector<const PmAddrEx2Record*> ptrs = {&recs[0], &recs[1], &recs[2]};
    std::string error;
    ASSERT_TRUE(palmfix::WriteAddressMdb(file, {{1, "Business"}}, ptrs, &error)) << error;
    std::filesystem::create_directories(w.SettingsFile().substr(0, w.SettingsFile().rfind('/')));
    palmfix::WriteFile(w.SettingsFile(), "[DCOption]\r\nAppFlag=1\r\n");

    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    // Ivan and Oleg share an e-mail and the length of their names, not the names.
    EXPECT_EQ(w.Tabs()->tabText(0), "Contacts (1 Dup)");
    TRecordListModel* model = w.Model(0);
    ASSERT_EQ(model->Count(), 2);  // Ivan, and Oleg kept in his place
    EXPECT_TRUE(model->TextsUtf8());
    EXPECT_EQ(model->CellText(0, 0), QString::fromUtf8(kIvan.c_str()));
    EXPECT_EQ(model->CellText(0, 1), QString::fromUtf8(kPetrov.c_str()));
    EXPECT_EQ(model->data(model->index(0, 0)).toString(), QString::fromUtf8(kIvan.c_str()));

    DataSnapshot before = TakeSnapshot(w, kAppAddr);
    w.Click("btnNext");
    ASSERT_TRUE(w.WaitDeletion());
    QStringList lines = w.LogLines();
    int first = int(lines.indexOf("Deleting contact item ..."));
    ASSERT_GE(first, 0);
    EXPECT_EQ(lines.mid(first, 3), QStringList({"Deleting contact item ...",
                                                "\tFirst Name: " + QString::fromUtf8(kIvan.c_str()),
                                                "\tLast Name: " + QString::fromUtf8(kPetrov.c_str())}));
    EXPECT_TRUE(lines.contains("\t1 duplicate contact items deleted."));
    ASSERT_NO_FATAL_FAILURE(ExpectOnlyDeleted(w, before, 0, {0}));
}
