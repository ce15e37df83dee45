#include "app/Apputil.h"
#include "app/ApputilReference.h"

#include "IndependentRule.h"

#include "ScopedOption.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

template <typename R>
std::vector<int> Positions(CommMgr<R>& mgr, CxList<R>& dups)
{
    std::vector<int> out;
    for (R* r = dups.First(); r; r = dups.Next())
        out.push_back(mgr.IndexOf(r));
    return out;
}

template <typename R>
std::vector<uint32_t> Flags(CommMgr<R>& mgr)
{
    std::vector<uint32_t> out;
    for (R* r = mgr.First(); r; r = mgr.Next())
        out.push_back(r->Trailer.MarkFlags);
    return out;
}

CommAddr Contact(const char* first, const char* last, const char* email = "")
{
    CommAddr a{};
    a.FirstName.Set(first);
    a.LastName.Set(last);
    a.Email.Set(email);
    return a;
}

using V = std::vector<int>;

}  // namespace

TEST(TextsEqual, CaseFoldingTouchesOnlyAsciiLetters)
{
    EXPECT_TRUE(TextsEqual("Smith", "Smith", true));
    EXPECT_FALSE(TextsEqual("Smith", "SMITH", true));
    EXPECT_TRUE(TextsEqual("Smith", "sMITH", false));
    EXPECT_TRUE(TextsEqual("", "", true));
    EXPECT_TRUE(TextsEqual(nullptr, "", false));
    EXPECT_FALSE(TextsEqual("Smith", "Smit", false));
    // 0xE9 and 0xC9 are a letter and its capital in the ANSI code page: not folded.
    EXPECT_FALSE(TextsEqual("Ren\xE9", "REN\xC9", false));
    EXPECT_TRUE(TextsEqual("Ren\xE9", "REN\xE9", false));
    // Bytes next to the letter ranges stay apart: '@' / '`', '[' / '{'.
    EXPECT_FALSE(TextsEqual("@[", "`{", false));
    EXPECT_FALSE(TextsEqual("\xE1", "\xC1", false));

    testenv::ScopedOption option;
    TheOption().CaseSensitive = false;
    EXPECT_TRUE(TextsEqual("abc", "ABC"));
    TheOption().CaseSensitive = true;
    EXPECT_FALSE(TextsEqual("abc", "ABC"));
}

TEST(Detect, MissingArgumentsDoNothing)
{
    CommAddrMgr mgr;
    CxList<CommAddr> dups;
    AppOption opt = DefaultOption();
    EXPECT_FALSE(DetectAddrDups(nullptr, &dups, opt));
    EXPECT_FALSE(DetectAddrDups(&mgr, nullptr, opt));
    EXPECT_FALSE(DetectNoteDups(nullptr, nullptr, opt));
}

TEST(Detect, GroupsListAllButLastInOrderOfFirstMember)
{
    AppOption opt = DefaultOption();
    CommAddrMgr mgr;
    CxList<CommAddr> dups;

    mgr.Add(Contact("Ann", "Lee"));
    mgr.Add(Contact("Ann", "Lee"));
    ASSERT_TRUE(DetectAddrDups(&mgr, &dups, opt));
    EXPECT_EQ(Positions(mgr, dups), (V{0}));
    EXPECT_EQ(Flags(mgr), (std::vector<uint32_t>{1, 0}));

    mgr.Add(Contact("Ann", "Lee"));
    DetectAddrDups(&mgr, &dups, opt);
    EXPECT_EQ(Positions(mgr, dups), (V{0, 1}));

    // A, B, C, D, E with A, C, E alike and B, D alike.
    mgr.Clear();
    for (const char* last : {"A", "B", "A", "B", "A"})
        mgr.Add(Contact("x", last));
    DetectAddrDups(&mgr, &dups, opt);
    EXPECT_EQ(Positions(mgr, dups), (V{0, 2, 1}));
    EXPECT_EQ(Flags(mgr), (std::vector<uint32_t>{1, 1, 1, 0, 0}));
}

TEST(Detect, CaseSettingDecidesLastNames)
{
    AppOption opt = DefaultOption();
    CommAddrMgr mgr;
    CxList<CommAddr> dups;
    mgr.Add(Contact("Ann", "McLean"));
    mgr.Add(Contact("Ann", "MCLEAN"));
    opt.CaseSensitive = true;
    DetectAddrDups(&mgr, &dups, opt);
    EXPECT_EQ(dups.Count(), 0u);
    opt.CaseSensitive = false;
    DetectAddrDups(&mgr, &dups, opt);
    EXPECT_EQ(Positions(mgr, dups), (V{0}));

    mgr.Clear();
    mgr.Add(Contact("Ann", "\xE9tienne"));
    mgr.Add(Contact("Ann", "\xC9tienne"));
    DetectAddrDups(&mgr, &dups, opt);
    EXPECT_EQ(dups.Count(), 0u);
}

TEST(Detect, DefaultContactRuleAndAllSettingsOff)
{
    AppOption opt = DefaultOption();
    CommAddrMgr mgr;
    CxList<CommAddr> dups;
    CommAddr a = Contact("Ann", "Lee");
    a.WorkPhone.Set("555-1");
    CommAddr b = Contact("Ann", "Lee");
    b.WorkPhone.Set("555-2");
    mgr.Add(a);
    mgr.Add(b);
    mgr.Add(Contact("Bob", "Ray", "bob@x"));
    mgr.Add(Contact("Bob", "Ray", "BOB@x"));
    opt.CaseSensitive = true;
    DetectAddrDups(&mgr, &dups, opt);
    // Equal names without e-mail match; the work phone is not in the default rule.
    EXPECT_EQ(Positions(mgr, dups), (V{0}));

    AppOption off = opt;
    off.AddrFirstName = off.AddrMiddleName = off.AddrLastName = off.AddrEmail = false;
    DetectAddrDups(&mgr, &dups, off);
    EXPECT_EQ(Positions(mgr, dups), (V{0, 1, 2}));
}

TEST(Detect, EmptyAndSingleManagersAndStaleList)
{
    AppOption opt = DefaultOption();
    CommNoteMgr mgr;
    CxList<CommNote> dups;
    CommNote stale{};
    dups.Add(&stale);
    EXPECT_TRUE(DetectNoteDups(&mgr, &dups, opt));
    EXPECT_EQ(dups.Count(), 0u);

    CommNote n{};
    n.Trailer.MarkFlags = kCommMarkDuplicate | kCommMarkSelected;
    mgr.Add(n);
    DetectNoteDups(&mgr, &dups, opt);
    EXPECT_EQ(dups.Count(), 0u);
    // Bit 0 is recomputed, bit 1 belongs to the review page.
    EXPECT_EQ(mgr.First()->Trailer.MarkFlags, uint32_t(kCommMarkSelected));
}

TEST(Detect, CalendarTimesIgnoreMillisecondsAndDayOfWeek)
{
    AppOption opt = DefaultOption();
    CommDateMgr mgr;
    CxList<CommDate> dups;
    CommDate d{};
    d.Description.Set("Dentist");
    d.StartTime = {2024, 3, 2, 12, 9, 30, 0, 0};
    d.EndTime = {2024, 3, 2, 12, 10, 0, 0, 0};
    mgr.Add(d);
    d.StartTime.milliseconds = 999;
    d.StartTime.dayOfWeek = 5;
    mgr.Add(d);
    d.StartTime.second = 31;
    mgr.Add(d);
    DetectDateDups(&mgr, &dups, opt);
    EXPECT_EQ(Positions(mgr, dups), (V{0}));

    // The repeat pattern only counts when its setting is on.
    mgr.Clear();
    d.Repeat.RepeatType = 2;
    mgr.Add(d);
    d.Repeat.RepeatType = 1;
    mgr.Add(d);
    DetectDateDups(&mgr, &dups, opt);
    EXPECT_EQ(dups.Count(), 1u);
    opt.DateRepeat = true;
    DetectDateDups(&mgr, &dups, opt);
    EXPECT_EQ(dups.Count(), 0u);
}

TEST(Detect, TasksWithoutDueDateMatchWhateverValueMarksIt)
{
    AppOption opt = DefaultOption();
    CommTaskMgr mgr;
    CxList<CommTask> dups;
    CommTask t{};
    t.Description.Set("Renew passport");
    t.DueDate = CommTask::kNoDueDate;
    mgr.Add(t);
    t.DueDate = 0xFFFFFFFFu;
    mgr.Add(t);
    t.DueDate = CommTask::kNoDueDate - 1;  // a real date
    mgr.Add(t);
    DetectTaskDups(&mgr, &dups, opt);
    EXPECT_EQ(Positions(mgr, dups), (V{0}));
}

TEST(Detect, UsesTheProcessOptionsWhenNoneArePassed)
{
    testenv::ScopedOption option(DefaultOption());
    TheOption().MemoDesc = false;
    CommNoteMgr mgr;
    CxList<CommNote> dups;
    CommNote n{};
    n.Subject.Set("one");
    mgr.Add(n);
    n.Subject.Set("two");
    mgr.Add(n);
    EXPECT_TRUE(DetectNoteDups(&mgr, &dups));
    EXPECT_EQ(dups.Count(), 1u);
    TheOption().MemoDesc = true;
    DetectNoteDups(&mgr, &dups);
    EXPECT_EQ(dups.Count(), 0u);
}

// ---------------------------------------------------------------------------
// The engine against the pairwise pass on random managers.

namespace {

class RandomData {
public:
    explicit RandomData(uint32_t seed) : m_rng(seed) {}

    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool Coin(int percent = 50) { return Int(0, 99) < percent; }

    /// Texts of a tiny alphabet so that groups form: case variants, letters
    /// outside ASCII, texts longer than the field (cut alike) and, rarely, a
    /// field written to the brim without a terminator.
    template <size_t N>
    void Text(FixedText<N>& f)
    {
        static const char* const kWords[] = {"", "a", "A", "b", "ab", "AB", "aB", "\xE9", "\xC9", "a b",
                                             "nz", "Nz", "NZ", "@[", "`{"};
        constexpr int kWordCount = int(sizeof kWords / sizeof kWords[0]);
        int pick = Int(0, kWordCount + 2);
        if (pick < kWordCount) {
            f.Set(kWords[pick]);
        } else if (pick < kWordCount + 2) {
            std::string longText(N + 3, 'q');
            longText[N + 1] = pick == kWordCount ? 'x' : 'Y';  // differs only past the capacity
            if (Coin(30))
                longText[0] = 'Q';
            f.Set(longText);
        } else {
            f.Set(std::string(N - 1, Coin() ? 'z' : 'Z'));  // full to its capacity
        }
    }

    void Time(CxSystemTime& t)
    {
        t.year = uint16_t(2020 + Int(0, 1));
        t.month = uint16_t(Int(1, 2));
        t.day = 1;
        t.hour = uint16_t(Int(0, 1));
        t.minute = 0;
        t.second = uint16_t(Int(0, 1));
        t.milliseconds = uint16_t(Int(0, 999));
        t.dayOfWeek = uint16_t(Int(0, 6));
    }

    void Repeat(CommRepeat& r)
    {
        r.RepeatType = Int(0, 2);
        r.HasEndDate = uint8_t(Int(0, 1));
        if (Coin(20))
            Time(r.RepeatStart);
        Time(r.RepeatEnd);
        r.Interval = Int(0, 1);
        r.DayMask = Int(0, 1);
        r.DayOfMonth = Int(0, 1);
        r.MonthOfYear = Int(0, 1);
        r.Instance = Int(0, 1);
    }

    void Fill(CommAddr& a)
    {
        for (auto* f : {&a.FirstName, &a.MiddleName, &a.LastName, &a.Title})
            if (Coin(70)) Text(*f);
        for (auto* f : {&a.HomePhone, &a.WorkPhone, &a.MobilePhone, &a.WorkFax})
            if (Coin(50)) Text(*f);
        for (auto* f : {&a.Email, &a.Company})
            if (Coin(50)) Text(*f);
        for (CommAddress* ad : {&a.WorkAddr, &a.HomeAddr}) {
            if (Coin(60)) {
                Text(ad->Street);
                Text(ad->City);
                Text(ad->State);
                Text(ad->Postal);
                Text(ad->Country);
            }
        }
        if (Coin(40))
            Text(a.Note);
    }

    void Fill(CommDate& d)
    {
        Text(d.Description);
        d.AllDayEvent = Int(0, 1);
        Time(d.StartTime);
        Time(d.EndTime);
        if (Coin(40)) Text(d.Note);
        if (Coin(40)) Text(d.Location);
        Repeat(d.Repeat);
    }

    void Fill(CommTask& t)
    {
        static const uint32_t kDue[] = {0, 86400, CommTask::kNoDueDate - 1, CommTask::kNoDueDate,
                                        CommTask::kNoDueDate + 1, 0xFFFFFFFFu};
        Text(t.Description);
        t.Priority = Int(0, 2);
        t.DueDate = kDue[Int(0, 5)];
        if (Coin(40)) Text(t.Note);
    }

    void Fill(CommNote& n)
    {
        Text(n.Subject);
        if (Coin(50)) Text(n.Note);
    }

    /// A rule with each setting on or off at random; now and then all off or all on.
    AppOption Rule()
    {
        AppOption o = DefaultOption();
        int mode = Int(0, 9);
        auto pick = [&]() { return mode == 0 ? false : (mode == 1 ? true : Coin()); };
        for (bool* b : {&o.AddrFirstName, &o.AddrMiddleName, &o.AddrLastName, &o.AddrEmail, &o.AddrBusiPhone,
                        &o.AddrHomePhone, &o.AddrBusiAddr, &o.AddrHomeAddr, &o.AddrNotes, &o.AddrMobilePhone,
                        &o.AddrCompany, &o.AddrTitle, &o.AddrFax, &o.DateDesc, &o.DateStartTime, &o.DateEndTime,
                        &o.DateAllDayEvent, &o.DateRepeat, &o.DateNotes, &o.DateLocation, &o.TodoDesc,
                        &o.TodoPriority, &o.TodoDueDate, &o.TodoNotes, &o.MemoDesc, &o.MemoNotes})
            *b = pick();
        o.CaseSensitive = Coin();
        return o;
    }

private:
    std::mt19937 m_rng;
};

template <typename Mgr, typename Engine, typename Reference>
void CompareOnRandomManagers(uint32_t seed, int trials, Engine engine, Reference ref)
{
    using R = typename Mgr::Record;
    RandomData rnd(seed);
    size_t listed = 0, total = 0;
    for (int trial = 0; trial < trials; ++trial) {
        Mgr mgr;
        int n = rnd.Int(0, 3) == 0 ? rnd.Int(0, 3) : rnd.Int(4, 40);
        std::vector<uint32_t> initial;
        for (int i = 0; i < n; ++i) {
            R r{};
            rnd.Fill(r);
            r.Trailer.MarkFlags = uint32_t(rnd.Int(0, 3));
            initial.push_back(r.Trailer.MarkFlags);
            mgr.Add(r);
        }
        AppOption opt = rnd.Rule();

        CxList<R> dups;
        ASSERT_TRUE(engine(&mgr, &dups, opt));
        std::vector<int> got = Positions(mgr, dups);
        std::vector<uint32_t> gotFlags = Flags(mgr);
        // The cursor is left where the pairwise pass leaves it: on the last record.
        mgr.First();
        for (int i = 0; i < n; ++i) {
            R* r = mgr.GetAt(uint32_t(i));
            r->Trailer.MarkFlags = initial[size_t(i)];
        }
        ASSERT_TRUE(engine(&mgr, &dups, opt));
        EXPECT_EQ(mgr.Next(), nullptr);

        int i = 0;
        for (R* r = mgr.First(); r; r = mgr.Next())
            r->Trailer.MarkFlags = initial[size_t(i++)];
        CxList<R> refDups;
        ASSERT_TRUE(ref(&mgr, &refDups, opt));
        std::vector<int> want = Positions(mgr, refDups);
        std::vector<uint32_t> wantFlags = Flags(mgr);

        ASSERT_EQ(got, want) << "seed " << seed << " trial " << trial;
        ASSERT_EQ(gotFlags, wantFlags) << "seed " << seed << " trial " << trial;
        for (size_t k = 0; k < initial.size(); ++k)
            ASSERT_EQ(gotFlags[k] & kCommMarkSelected, initial[k] & kCommMarkSelected);
        listed += got.size();
        total += size_t(n);
    }
    // The data must produce groups, or the comparison proves little.
    EXPECT_GT(listed, total / 10);
    EXPECT_LT(listed, total);
}

}  // namespace

namespace {

/// The independent pass (IndependentRule.h) in the engine's shape: bit 0 of
/// every record set or cleared, the listed records in the list.
template <typename R>
bool IndependentDetect(CommMgr<R>* mgr, CxList<R>* dups, const AppOption& opt)
{
    std::vector<R*> recs;
    for (R* r = mgr->First(); r; r = mgr->Next())
        recs.push_back(r);
    std::vector<bool> marked;
    std::vector<int> listed = independent::Detect(std::vector<const R*>(recs.begin(), recs.end()), opt, &marked);
    dups->Clear(false);
    for (size_t i = 0; i < recs.size(); ++i)
        recs[i]->Trailer.MarkFlags = marked[i] ? (recs[i]->Trailer.MarkFlags | kCommMarkDuplicate)
                                               : (recs[i]->Trailer.MarkFlags & ~uint32_t(kCommMarkDuplicate));
    for (int i : listed)
        dups->Add(recs[size_t(i)]);
    return true;
}

}  // namespace

// The engine against the rules and the pass written independently of it.
TEST(DetectReference, ContactsAgreeOnRandomManagers)
{
    CompareOnRandomManagers<CommAddrMgr>(
        1, 4000, [](CommAddrMgr* m, CxList<CommAddr>* d, const AppOption& o) { return DetectAddrDups(m, d, o); },
        IndependentDetect<CommAddr>);
}

TEST(DetectReference, CalendarAgreesOnRandomManagers)
{
    CompareOnRandomManagers<CommDateMgr>(
        2, 4000, [](CommDateMgr* m, CxList<CommDate>* d, const AppOption& o) { return DetectDateDups(m, d, o); },
        IndependentDetect<CommDate>);
}

TEST(DetectReference, TasksAgreeOnRandomManagers)
{
    CompareOnRandomManagers<CommTaskMgr>(
        3, 4000, [](CommTaskMgr* m, CxList<CommTask>* d, const AppOption& o) { return DetectTaskDups(m, d, o); },
        IndependentDetect<CommTask>);
}

TEST(DetectReference, NotesAgreeOnRandomManagers)
{
    CompareOnRandomManagers<CommNoteMgr>(
        4, 4000, [](CommNoteMgr* m, CxList<CommNote>* d, const AppOption& o) { return DetectNoteDups(m, d, o); },
        IndependentDetect<CommNote>);
}

// The program's own fallback pass (used when the grouping has no memory)
// against the same independent pass.
TEST(DetectReference, FallbackPassAgreesOnRandomManagers)
{
    CompareOnRandomManagers<CommAddrMgr>(
        1, 1000,
        [](CommAddrMgr* m, CxList<CommAddr>* d, const AppOption& o) { return reference::DetectAddrDups(m, d, o); },
        IndependentDetect<CommAddr>);
    CompareOnRandomManagers<CommDateMgr>(
        2, 1000,
        [](CommDateMgr* m, CxList<CommDate>* d, const AppOption& o) { return reference::DetectDateDups(m, d, o); },
        IndependentDetect<CommDate>);
}

// Each listed record's keeper, from the engine and from the fallback pass:
// the same record, one that matches the listed record, is not listed itself
// and comes after it; the groups lie together in the list.
TEST(DetectReference, KeepersAgreeAndStayUnlisted)
{
    RandomData rnd(7);
    size_t checked = 0;
    for (int trial = 0; trial < 1000; ++trial) {
        CommAddrMgr mgr;
        int n = rnd.Int(4, 40);
        for (int i = 0; i < n; ++i) {
            CommAddr r{};
            rnd.Fill(r);
            mgr.Add(r);
        }
        AppOption opt = rnd.Rule();
        CxList<CommAddr> dups, refDups;
        std::vector<const void*> keepers, refKeepers;
        ASSERT_TRUE(DetectAddrDups(&mgr, &dups, opt, &keepers));
        std::map<const void*, uint32_t> position;
        for (uint32_t i = 0; i < mgr.Count(); ++i)
            position[mgr.RecordAt(i)] = i;
        ASSERT_TRUE(reference::DetectPairwise(
            &mgr, &refDups, [&](const CommAddr& a, const CommAddr& b) { return AddrRecordsMatch(a, b, opt); },
            &refKeepers));
        ASSERT_EQ(keepers, refKeepers) << "trial " << trial;
        ASSERT_EQ(keepers.size(), size_t(dups.Count()));
        std::vector<const void*> seen;
        size_t k = 0;
        for (CommAddr* r = dups.First(); r; r = dups.Next(), ++k) {
            auto* keeper = static_cast<const CommAddr*>(keepers[k]);
            ASSERT_TRUE(AddrRecordsMatch(*r, *keeper, opt));
            ASSERT_FALSE(keeper->Trailer.MarkFlags & kCommMarkDuplicate);
            ASSERT_GT(position[keeper], position[r]);
            if (k == 0 || keepers[k - 1] != keeper) {
                ASSERT_EQ(std::count(seen.begin(), seen.end(), keeper), 0) << "a group split in the list";
                seen.push_back(keeper);
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 1000u);
}
