// The duplicate engine.
//
// The match rule of every kind is an equivalence: each criterion is an
// equality of texts under one folding, of numbers, or of calendar times in
// six of their eight parts. So instead of comparing every pair, each record
// gets a hash of exactly the values its enabled criteria compare (texts
// folded when not case-sensitive, times without day of week and
// milliseconds), records are grouped through a hash table, and within a
// bucket a record joins the first group whose first record matches it under
// the pairwise rule itself. Hash collisions therefore never merge groups, and
// the result is the one of the pairwise pass, in about linear time.
#include "app/Apputil.h"
#include "app/ApputilReference.h"

#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr uint64_t kOnes = 0x0101010101010101ull;

/// a-z to A-Z in each byte of a word; every other byte value is kept.
inline uint64_t FoldWord(uint64_t w)
{
    uint64_t low7 = w & (0x7F * kOnes);
    uint64_t atLeastA = low7 + (0x80 - 'a') * kOnes;     // bit 7 set where low7 >= 'a'
    uint64_t aboveZ = low7 + (0x80 - 'z' - 1) * kOnes;   // bit 7 set where low7 > 'z'
    uint64_t lower = atLeastA & ~aboveZ & ~w & (0x80 * kOnes);
    return w ^ (lower >> 2);  // clear 0x20 of the lower-case letters
}

inline char FoldByte(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 32) : c;
}

/// Hash of the values a rule compares. Equal values under the rule always
/// give equal hashes; unequal values may collide, which only costs a compare.
class KeyHash {
public:
    explicit KeyHash(bool caseSensitive) : m_cs(caseSensitive) {}

    void Text(std::string_view t)
    {
        const char* p = t.data();
        size_t n = t.size();
        while (n >= 8) {
            uint64_t w;
            std::memcpy(&w, p, 8);
            Word(m_cs ? w : FoldWord(w));
            p += 8;
            n -= 8;
        }
        if (n) {
            uint64_t w = 0;
            std::memcpy(&w, p, n);
            Word(m_cs ? w : FoldWord(w));
        }
        Word(t.size());
    }
    template <size_t N>
    void Text(const FixedText<N>& t) { Text(t.View()); }

    void Number(uint64_t v) { Word(v); }

    void Time(const CxSystemTime& t)
    {
        Word(uint64_t(t.year) | uint64_t(t.month) << 16 | uint64_t(t.day) << 32 | uint64_t(t.hour) << 48);
        Word(uint64_t(t.minute) | uint64_t(t.second) << 16);
    }

    uint64_t Value() const
    {
        uint64_t h = m_h;
        h ^= h >> 33;
        h *= 0xff51afd7ed558ccdull;
        h ^= h >> 33;
        h *= 0xc4ceb9fe1a85ec53ull;
        h ^= h >> 33;
        return h;
    }

private:
    void Word(uint64_t w)
    {
        m_h = (m_h ^ w) * 0x9E3779B97F4A7C15ull;
        m_h ^= m_h >> 29;
    }

    uint64_t m_h = 0x243F6A8885A308D3ull;
    bool m_cs;
};

// Calendar times are the same for the rule when the six parts agree.
bool SameTime(const CxSystemTime& a, const CxSystemTime& b)
{
    return CxCompareDateTime(&a, &b) == 0;
}

bool SameRepeat(const CommRepeat& a, const CommRepeat& b)
{
    return a.RepeatType == b.RepeatType && a.HasEndDate == b.HasEndDate && SameTime(a.RepeatStart, b.RepeatStart) &&
           SameTime(a.RepeatEnd, b.RepeatEnd) && a.Interval == b.Interval && a.DayMask == b.DayMask &&
           a.DayOfMonth == b.DayOfMonth && a.MonthOfYear == b.MonthOfYear && a.Instance == b.Instance;
}

void HashRepeat(KeyHash& h, const CommRepeat& r)
{
    h.Number(uint32_t(r.RepeatType));
    h.Number(r.HasEndDate);
    h.Time(r.RepeatStart);
    h.Time(r.RepeatEnd);
    h.Number(uint32_t(r.Interval));
    h.Number(uint32_t(r.DayMask));
    h.Number(uint32_t(r.DayOfMonth));
    h.Number(uint32_t(r.MonthOfYear));
    h.Number(uint32_t(r.Instance));
}

// Every due date at or above the "no due date" value means the same thing
// (stored files use more than one such value), so they compare as one.
uint32_t DueKey(uint32_t due)
{
    return due >= CommTask::kNoDueDate ? CommTask::kNoDueDate : due;
}

template <size_t N>
bool Eq(const FixedText<N>& a, const FixedText<N>& b, bool cs)
{
    return TextsEqual(a.View(), b.View(), cs);
}

bool SameAddress(const CommAddress& a, const CommAddress& b, bool cs)
{
    return Eq(a.Country, b.Country, cs) && Eq(a.State, b.State, cs) && Eq(a.City, b.City, cs) &&
           Eq(a.Street, b.Street, cs) && Eq(a.Postal, b.Postal, cs);
}

void HashAddress(KeyHash& h, const CommAddress& a)
{
    h.Text(a.Country);
    h.Text(a.State);
    h.Text(a.City);
    h.Text(a.Street);
    h.Text(a.Postal);
}

uint64_t HashOf(const CommAddr& r, const AppOption& o)
{
    KeyHash h(o.CaseSensitive);
    if (o.AddrFirstName) h.Text(r.FirstName);
    if (o.AddrMiddleName) h.Text(r.MiddleName);
    if (o.AddrLastName) h.Text(r.LastName);
    if (o.AddrEmail) h.Text(r.Email);
    if (o.AddrBusiPhone) h.Text(r.WorkPhone);
    if (o.AddrHomePhone) h.Text(r.HomePhone);
    if (o.AddrBusiAddr) HashAddress(h, r.WorkAddr);
    if (o.AddrHomeAddr) HashAddress(h, r.HomeAddr);
    if (o.AddrNotes) h.Text(r.Note);
    if (o.AddrMobilePhone) h.Text(r.MobilePhone);
    if (o.AddrCompany) h.Text(r.Company);
    if (o.AddrTitle) h.Text(r.Title);
    if (o.AddrFax) h.Text(r.WorkFax);
    return h.Value();
}

uint64_t HashOf(const CommDate& r, const AppOption& o)
{
    KeyHash h(o.CaseSensitive);
    if (o.DateDesc) h.Text(r.Description);
    if (o.DateStartTime) h.Time(r.StartTime);
    if (o.DateEndTime) h.Time(r.EndTime);
    if (o.DateAllDayEvent) h.Number(uint32_t(r.AllDayEvent));
    if (o.DateNotes) h.Text(r.Note);
    if (o.DateRepeat) HashRepeat(h, r.Repeat);
    if (o.DateLocation) h.Text(r.Location);
    return h.Value();
}

uint64_t HashOf(const CommTask& r, const AppOption& o)
{
    KeyHash h(o.CaseSensitive);
    if (o.TodoDesc) h.Text(r.Description);
    if (o.TodoPriority) h.Number(uint32_t(r.Priority));
    if (o.TodoDueDate) h.Number(DueKey(r.DueDate));
    if (o.TodoNotes) h.Text(r.Note);
    return h.Value();
}

uint64_t HashOf(const CommNote& r, const AppOption& o)
{
    KeyHash h(o.CaseSensitive);
    if (o.MemoDesc) h.Text(r.Subject);
    if (o.MemoNotes) h.Text(r.Note);
    return h.Value();
}

// A plain load, not a prefetch instruction: some processors drop prefetches
// that miss the TLB, which is what every record ahead does.
inline void Touch(const void* p)
{
    (void)*static_cast<const volatile char*>(p);
}

void Prefetch(const CommAddr& r, const AppOption& o)
{
    Touch(&r.Trailer);
    if (o.AddrFirstName || o.AddrMiddleName || o.AddrLastName) Touch(&r.FirstName);
    if (o.AddrMiddleName) Touch(&r.MiddleName);
    if (o.AddrEmail) Touch(&r.Email);
    if (o.AddrBusiPhone || o.AddrHomePhone || o.AddrMobilePhone || o.AddrFax) Touch(&r.HomePhone);
    if (o.AddrBusiPhone || o.AddrMobilePhone || o.AddrFax) Touch(&r.WorkFax);
    if (o.AddrBusiAddr) Touch(&r.WorkAddr);
    if (o.AddrHomeAddr) Touch(&r.HomeAddr);
    if (o.AddrNotes) Touch(&r.Note);
    if (o.AddrCompany) Touch(&r.Company);
    if (o.AddrTitle) Touch(&r.Title);
}

void Prefetch(const CommDate& r, const AppOption& o)
{
    Touch(&r.Trailer);
    Touch(&r.Description);
    if (o.DateStartTime || o.DateEndTime || o.DateAllDayEvent) Touch(&r.AllDayEvent);
    if (o.DateNotes) Touch(&r.Note);
    if (o.DateRepeat || o.DateLocation) Touch(&r.Repeat);
    if (o.DateLocation) Touch(&r.Location);
}

void Prefetch(const CommTask& r, const AppOption& o)
{
    Touch(&r.Trailer);
    if (o.TodoDesc) Touch(&r.Description);
    if (o.TodoNotes) Touch(&r.Note);
    if (o.TodoPriority || o.TodoDueDate) Touch(&r.Priority);
}

void Prefetch(const CommNote& r, const AppOption& o)
{
    Touch(&r.Trailer);
    if (o.MemoDesc) Touch(&r.Subject);
    if (o.MemoNotes) Touch(&r.Note);
}

inline bool Matches(const CommAddr& a, const CommAddr& b, const AppOption& o) { return AddrRecordsMatch(a, b, o); }
inline bool Matches(const CommDate& a, const CommDate& b, const AppOption& o) { return DateRecordsMatch(a, b, o); }
inline bool Matches(const CommTask& a, const CommTask& b, const AppOption& o) { return TaskRecordsMatch(a, b, o); }
inline bool Matches(const CommNote& a, const CommNote& b, const AppOption& o) { return NoteRecordsMatch(a, b, o); }

template <typename R>
void DetectGrouped(CommMgr<R>* mgr, CxList<R>* dups, const AppOption& opt, std::vector<const void*>* keepers)
{
    dups->Clear(false);
    if (keepers)
        keepers->clear();

    // Clear bit 0 and hash every record. Records are large, so each one lies
    // on pages of its own and this is bound by memory latency; touching the
    // lines of a record a few places ahead overlaps the misses.
    const size_t n = mgr->Count();
    std::vector<R*> recs(n);
    std::vector<uint64_t> hashes(n);
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < n && i < kAhead; ++i)
        Prefetch(*mgr->RecordAt(uint32_t(i)), opt);
    for (size_t i = 0; i < n; ++i) {
        if (i + kAhead < n)
            Prefetch(*mgr->RecordAt(uint32_t(i + kAhead)), opt);
        R* r = mgr->RecordAt(uint32_t(i));
        r->Trailer.MarkFlags &= ~uint32_t(kCommMarkDuplicate);
        recs[i] = r;
        hashes[i] = HashOf(*r, opt);
    }
    // Leave the cursor where the pairwise pass leaves it: on the last record.
    if (n == 0)
        mgr->First();
    else
        mgr->GetAt(uint32_t(n - 1));
    if (n < 2)
        return;

    // Open addressing; a slot holds a group number. Groups are numbered in
    // the order of their first records.
    size_t cap = 16;
    while (cap < 2 * n)
        cap <<= 1;
    const size_t mask = cap - 1;
    constexpr uint32_t kEmpty = UINT32_MAX;
    std::vector<uint32_t> slots(cap, kEmpty);
    std::vector<uint32_t> groupFirst;  // record index of each group's first record
    std::vector<uint32_t> groupOf(n);
    for (size_t i = 0; i < n; ++i) {
        const uint64_t h = hashes[i];
        size_t pos = size_t(h) & mask;
        uint32_t group = kEmpty;
        while (slots[pos] != kEmpty) {
            uint32_t g = slots[pos];
            uint32_t first = groupFirst[g];
            if (hashes[first] == h && Matches(*recs[first], *recs[i], opt)) {
                group = g;
                break;
            }
            pos = (pos + 1) & mask;
        }
        if (group == kEmpty) {
            group = uint32_t(groupFirst.size());
            groupFirst.push_back(uint32_t(i));
            slots[pos] = group;
        }
        groupOf[i] = group;
    }

    // Records in group order, each group in manager order; list every member
    // but the last.
    const size_t groups = groupFirst.size();
    if (groups == n)
        return;
    std::vector<uint32_t> start(groups + 1, 0);
    for (size_t i = 0; i < n; ++i)
        ++start[groupOf[i] + 1];
    for (size_t g = 0; g < groups; ++g)
        start[g + 1] += start[g];
    std::vector<uint32_t> fill(start.begin(), start.end() - 1);
    std::vector<uint32_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[fill[groupOf[i]]++] = uint32_t(i);
    for (size_t g = 0; g < groups; ++g) {
        const R* keeper = recs[order[start[g + 1] - 1]];
        for (uint32_t k = start[g]; k + 1 < start[g + 1]; ++k) {
            R* r = recs[order[k]];
            r->Trailer.MarkFlags |= kCommMarkDuplicate;
            dups->Add(r);
            if (keepers)
                keepers->push_back(keeper);
        }
    }
}

template <typename R>
bool Detect(CommMgr<R>* mgr, CxList<R>* dups, const AppOption& opt, std::vector<const void*>* keepers = nullptr)
{
    if (!mgr || !dups)
        return false;
    try {
        DetectGrouped(mgr, dups, opt, keepers);
    } catch (const std::bad_alloc&) {
        // The grouping needs a few arrays of the manager's size. Without
        // them, the pairwise pass gives the same list in quadratic time and
        // needs no memory of its own (the keepers, one pointer a duplicate,
        // are left out when even they cannot be had).
        try {
            reference::DetectPairwise(mgr, dups, [&](const R& a, const R& b) { return Matches(a, b, opt); },
                                      keepers);
        } catch (const std::bad_alloc&) {
            if (keepers)
                keepers->clear();
            reference::DetectPairwise(mgr, dups, [&](const R& a, const R& b) { return Matches(a, b, opt); });
        }
    }
    return true;
}

}  // namespace

bool TextsEqual(std::string_view a, std::string_view b, bool caseSensitive)
{
    if (a.size() != b.size())
        return false;
    if (caseSensitive)
        return std::memcmp(a.data(), b.data(), a.size()) == 0;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldByte(a[i]) != FoldByte(b[i]))
            return false;
    return true;
}

bool TextsEqual(const char* a, const char* b, bool caseSensitive)
{
    return TextsEqual(std::string_view(a ? a : ""), std::string_view(b ? b : ""), caseSensitive);
}

bool TextsEqual(const char* a, const char* b)
{
    return TextsEqual(a, b, TheOption().CaseSensitive);
}

bool AddrRecordsMatch(const CommAddr& a, const CommAddr& b, const AppOption& o)
{
    const bool cs = o.CaseSensitive;
    if (o.AddrFirstName && !Eq(a.FirstName, b.FirstName, cs)) return false;
    if (o.AddrMiddleName && !Eq(a.MiddleName, b.MiddleName, cs)) return false;
    if (o.AddrLastName && !Eq(a.LastName, b.LastName, cs)) return false;
    if (o.AddrEmail && !Eq(a.Email, b.Email, cs)) return false;
    if (o.AddrBusiPhone && !Eq(a.WorkPhone, b.WorkPhone, cs)) return false;
    if (o.AddrHomePhone && !Eq(a.HomePhone, b.HomePhone, cs)) return false;
    if (o.AddrBusiAddr && !SameAddress(a.WorkAddr, b.WorkAddr, cs)) return false;
    if (o.AddrHomeAddr && !SameAddress(a.HomeAddr, b.HomeAddr, cs)) return false;
    if (o.AddrNotes && !Eq(a.Note, b.Note, cs)) return false;
    if (o.AddrMobilePhone && !Eq(a.MobilePhone, b.MobilePhone, cs)) return false;
    if (o.AddrCompany && !Eq(a.Company, b.Company, cs)) return false;
    if (o.AddrTitle && !Eq(a.Title, b.Title, cs)) return false;
    if (o.AddrFax && !Eq(a.WorkFax, b.WorkFax, cs)) return false;
    return true;
}

bool DateRecordsMatch(const CommDate& a, const CommDate& b, const AppOption& o)
{
    const bool cs = o.CaseSensitive;
    if (o.DateDesc && !Eq(a.Description, b.Description, cs)) return false;
    if (o.DateStartTime && !SameTime(a.StartTime, b.StartTime)) return false;
    if (o.DateEndTime && !SameTime(a.EndTime, b.EndTime)) return false;
    if (o.DateAllDayEvent && a.AllDayEvent != b.AllDayEvent) return false;
    if (o.DateNotes && !Eq(a.Note, b.Note, cs)) return false;
    if (o.DateRepeat && !SameRepeat(a.Repeat, b.Repeat)) return false;
    if (o.DateLocation && !Eq(a.Location, b.Location, cs)) return false;
    return true;
}

bool TaskRecordsMatch(const CommTask& a, const CommTask& b, const AppOption& o)
{
    const bool cs = o.CaseSensitive;
    if (o.TodoDesc && !Eq(a.Description, b.Description, cs)) return false;
    if (o.TodoPriority && a.Priority != b.Priority) return false;
    if (o.TodoDueDate && DueKey(a.DueDate) != DueKey(b.DueDate)) return false;
    if (o.TodoNotes && !Eq(a.Note, b.Note, cs)) return false;
    return true;
}

bool NoteRecordsMatch(const CommNote& a, const CommNote& b, const AppOption& o)
{
    const bool cs = o.CaseSensitive;
    if (o.MemoDesc && !Eq(a.Subject, b.Subject, cs)) return false;
    if (o.MemoNotes && !Eq(a.Note, b.Note, cs)) return false;
    return true;
}

bool DetectAddrDups(CommAddrMgr* mgr, CxList<CommAddr>* dups, const AppOption& opt) { return Detect(mgr, dups, opt); }
bool DetectDateDups(CommDateMgr* mgr, CxList<CommDate>* dups, const AppOption& opt) { return Detect(mgr, dups, opt); }
bool DetectTaskDups(CommTaskMgr* mgr, CxList<CommTask>* dups, const AppOption& opt) { return Detect(mgr, dups, opt); }
bool DetectNoteDups(CommNoteMgr* mgr, CxList<CommNote>* dups, const AppOption& opt) { return Detect(mgr, dups, opt); }

bool DetectAddrDups(CommAddrMgr* mgr, CxList<CommAddr>* dups, const AppOption& opt, std::vector<const void*>* keepers)
{
    return Detect(mgr, dups, opt, keepers);
}
bool DetectDateDups(CommDateMgr* mgr, CxList<CommDate>* dups, const AppOption& opt, std::vector<const void*>* keepers)
{
    return Detect(mgr, dups, opt, keepers);
}
bool DetectTaskDups(CommTaskMgr* mgr, CxList<CommTask>* dups, const AppOption& opt, std::vector<const void*>* keepers)
{
    return Detect(mgr, dups, opt, keepers);
}
bool DetectNoteDups(CommNoteMgr* mgr, CxList<CommNote>* dups, const AppOption& opt, std::vector<const void*>* keepers)
{
    return Detect(mgr, dups, opt, keepers);
}

bool DetectAddrDups(CommAddrMgr* mgr, CxList<CommAddr>* dups) { return Detect(mgr, dups, TheOption()); }
bool DetectDateDups(CommDateMgr* mgr, CxList<CommDate>* dups) { return Detect(mgr, dups, TheOption()); }
bool DetectTaskDups(CommTaskMgr* mgr, CxList<CommTask>* dups) { return Detect(mgr, dups, TheOption()); }
bool DetectNoteDups(CommNoteMgr* mgr, CxList<CommNote>* dups) { return Detect(mgr, dups, TheOption()); }
