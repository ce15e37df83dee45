// The wizard on a 6.x installation whose four databases are Jet 4 files
// written by an independent Jet writer: the ticked rows, and only they, get
// Status 132; every other byte of each file stays as it was.
#include "WizardTestEnv.h"

#include "JetTestData.h"
#include "ScopedState.h"

#include "jet/JetFile.h"
#include "palmfixture/FixtureJet.h"

#include <map>

using namespace guitest;

namespace {

// Each row's Status as the reader sees it, by row key (-1 for Null).
std::map<jet::RowKey, int64_t> Statuses(const std::string& path)
{
    std::map<jet::RowKey, int64_t> out;
    jet::Database db;
    std::string error;
    EXPECT_TRUE(db.Open(path, &error)) << error;
    auto cursor = db.Walk("Main", {"Status"}, &error);
    EXPECT_TRUE(cursor) << error;
    while (cursor && cursor->Next(&error))
        out[cursor->Key()] = cursor->Row()[0].kind == jet::Kind::Null ? -1 : cursor->Row()[0].integer;
    return out;
}

// The rows whose Status changed went to 132, and the bytes that changed all
// lie in their Status (or its null mask byte). Returns how many changed.
size_t ExpectOnlyStatusOfDeletedRows(const std::string& path, const std::string& before,
                                     const std::map<jet::RowKey, int64_t>& statusBefore)
{
    const std::string after = jettest::ReadAll(path);
    EXPECT_EQ(after.size(), before.size());
    std::map<jet::RowKey, int64_t> statusAfter = Statuses(path);
    EXPECT_EQ(statusAfter.size(), statusBefore.size());
    std::set<uint64_t> allowed;
    jet::Database db;
    std::string error;
    EXPECT_TRUE(db.Open(path, &error)) << error;
    size_t changed = 0;
    for (const auto& [key, status] : statusAfter) {
        auto was = statusBefore.find(key);
        if (was == statusBefore.end() || was->second == status)
            continue;
        ++changed;
        EXPECT_EQ(status, 132);
        jet::IntSlot slot;
        EXPECT_TRUE(db.LocateInt32("Main", "Status", key, &slot, &error)) << error;
        for (uint64_t b = 0; b < 4; ++b)
            allowed.insert(slot.offset + b);
        allowed.insert(slot.nullByte);
    }
    for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
        if (before[i] != after[i]) {
            EXPECT_TRUE(allowed.count(i)) << path << ": byte " << i << " changed";
        }
    }
    return changed;
}

std::string UserHost(Wizard& w)
{
    return palmfix::UserHostFolder(w.Env().Inst(), w.Env().Inst().users[0]);
}

std::string LiveCountText(int app, size_t n)
{
    const char* const kSingular[] = {"Contact", "Calendar", "Task", "Note"};
    return std::to_string(n) + " " + kSingular[app] + " records in total";
}

}  // namespace

TEST(JetWizard, DeletesExactlyTheTickedRowsInPlace)
{
    Wizard w(kEx2, 0, 0, false);
    std::string error;
    ASSERT_TRUE(palmfix::CopyJetDatabases(jettest::DataFolder(), UserHost(w), &error)) << error;
    std::string files[4], bytes[4];
    std::map<jet::RowKey, int64_t> statuses[4];
    std::vector<uint32_t> loaderBefore[4];
    for (int app = 0; app < 4; ++app) {
        files[app] = plat::ToHostPath(AppFile(w.Env(), kPmGenEx2, app));
        bytes[app] = jettest::ReadAll(files[app]);
        ASSERT_FALSE(bytes[app].empty()) << files[app];
        statuses[app] = Statuses(files[app]);
        loaderBefore[app] = LoaderStatuses(kPmGenEx2, app, w.Env().UserId());
    }

    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    ASSERT_TRUE(w.Messages().Messages().empty()) << w.Messages().Messages()[0].Text.toStdString();
    SaveShot(m, "step1_jet");
    const char* const kCount[] = {"lblAddrCount", "lblDateCount", "lblTaskCount", "lblNoteCount"};
    size_t live[4];
    for (int app = 0; app < 4; ++app) {
        live[app] = 0;
        for (uint32_t s : loaderBefore[app])
            live[app] += PmIsLiveStatus(s) ? 1 : 0;
        EXPECT_EQ(w.Find<QLabel>(kCount[app])->text().toStdString(), LiveCountText(app, live[app]));
    }
    // The contacts hold exact duplicates: keep the first one listed.
    TRecordListModel* addr = w.Model(0);
    ASSERT_GT(addr->Count(), 1);
    addr->setData(addr->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
    size_t ticked[4];
    size_t total = 0;
    for (int app = 0; app < 4; ++app) {
        ticked[app] = TickedPositions(m->DataPage(), m->FacadeSet(), app).size();
        total += ticked[app];
    }
    ASSERT_GT(ticked[0], 0u);

    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 2);
    ASSERT_TRUE(w.WaitDeletion());
    SaveShot(m, "step2_jet");
    QStringList lines = w.LogLines();
    EXPECT_EQ(size_t(lines.count("Deletion succeeded.")), total);
    EXPECT_EQ(lines.count("Deletion failed."), 0);
    for (int app = 0; app < 4; ++app)
        EXPECT_EQ(ExpectOnlyStatusOfDeletedRows(files[app], bytes[app], statuses[app]), ticked[app]) << app;

    // Back to the first step and forward again: the deleted rows are gone.
    emit w.Find<QLabel>("lblBack")->linkActivated("#back");
    ASSERT_EQ(m->CurrentStep(), 0);
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    for (int app = 0; app < 4; ++app)
        EXPECT_EQ(w.Find<QLabel>(kCount[app])->text().toStdString(), LiveCountText(app, live[app] - ticked[app]));
    // The duplicate the user kept is listed again, with the record it duplicates.
    EXPECT_EQ(w.Model(0)->Count(), 2);
    EXPECT_TRUE(w.Model(0)->IsCopy(0));
    EXPECT_TRUE(w.Model(0)->IsKept(1));
}

// Two people with one e-mail address are different people however the
// locale shows their names; the true duplicate is listed, in its script.
TEST(JetWizard, CyrillicNamesAreComparedAsStored)
{
    // An English locale: Cyrillic has no place in its code page.
    testenv::ScopedCodePage page(1252);
    Wizard w(kEx2, 0, 0, false);
    std::string error;
    ASSERT_TRUE(palmfix::CopyJetDatabases(jettest::DataFolder(), UserHost(w), &error)) << error;
    const std::string contacts = plat::ToHostPath(AppFile(w.Env(), kPmGenEx2, 0));
    ASSERT_TRUE(jettest::CopyFixture("odd/AddressCyrillic.mdb", contacts));

    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    TRecordListModel* addr = w.Model(0);
    ASSERT_EQ(addr->Count(), 2);  // the duplicate and the record kept in its place
    ASSERT_TRUE(addr->IsKept(1));
    EXPECT_EQ(addr->data(addr->index(0, 0), Qt::DisplayRole).toString(), QString::fromUtf8("Анна"));
    EXPECT_EQ(addr->data(addr->index(1, 0), Qt::DisplayRole).toString(), QString::fromUtf8("Анна"));
    EXPECT_EQ(addr->data(addr->index(0, 1), Qt::DisplayRole).toString(), QString::fromUtf8("Смирнова"));
    SaveShot(m, "step1_jet_cyrillic");
}
