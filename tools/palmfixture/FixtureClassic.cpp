#include "palmfixture/FixtureClassic.h"

#include "palmfixture/PalmFixture.h"
#include "platform/WinPath.h"

namespace palmfix {
namespace {

template <typename Util, typename Rec>
bool WriteWith(const std::string& winPath, const ClassicContent<Rec>& content, std::string* error, bool reversed)
{
    std::string scratch;
    if (!error)
        error = &scratch;
    Util util;
    util.SetHeaderText(content.header);
    for (const ClassicCategory& cat : content.categories) {
        if (!util.AddCategory(cat.id, cat.name.c_str())) {
            *error = "cannot add category " + cat.name;
            return false;
        }
    }
    DressLikePalmDesktop(util, util.CategoryMgr(), winPath, reversed);
    for (const Rec& rec : content.records) {
        if (!util.GetDataMgr()->Add(rec)) {
            *error = "out of memory";
            return false;
        }
    }
    bool existed = plat::HostExists(plat::ToHostPath(winPath));
    if (!PmClassicUtil::CreateEmptyFile(winPath.c_str())) {
        *error = "cannot create " + winPath;
        return false;
    }
    if (!util.Save(winPath.c_str())) {
        *error = "cannot save " + winPath;
        return false;
    }
    DropBackupsOfNewFile(winPath, existed);
    return true;
}

// A small deterministic generator, so that the same seed gives the same files.
struct Rng {
    uint32_t s;
    uint32_t Next()
    {
        s = s * 1664525u + 1013904223u;
        return s >> 8;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

const char* const kFirst[] = {"Anna", "Boris", "Clara", "Dmitri", "Elena", "Farid", "Greta", "Hugo"};
const char* const kLast[] = {"Albrecht", "Bianchi", "Castro", "Dvorak", "Eriksen", "Fontaine", "Gruber", "Hale"};
const char* const kWords[] = {"review", "call", "budget", "lunch", "plan", "report", "visit", "order"};

std::vector<ClassicCategory> SampleCategories()
{
    return {{1, "Business"}, {2, "Personal"}};
}

// Records come in groups of three where the second repeats the first (with
// an id of its own). `fill(rec, i)` gives record i its contents.
template <typename Rec, typename Fill>
void AddSampleRecords(std::vector<Rec>* records, uint32_t count, Fill fill)
{
    for (uint32_t i = 0; i < count; ++i) {
        if (i % 3 == 1) {
            Rec copy = records->back();
            copy.RecordID = int32_t(i + 1);
            records->push_back(copy);
            continue;
        }
        Rec r;
        r.RecordID = int32_t(i + 1);
        r.Placement = int32_t(i);
        fill(r, i);
        records->push_back(r);
    }
}

}  // namespace

bool WriteClassicAddress(const std::string& winPath, const ClassicContent<PmAddrRecord>& c, std::string* error)
{
    return WriteWith<PmAddrUtil>(winPath, c, error, false);
}
bool WriteClassicDate(const std::string& winPath, const ClassicContent<PmDateRecord>& c, std::string* error)
{
    return WriteWith<PmDateUtil>(winPath, c, error, true);
}
bool WriteClassicTodo(const std::string& winPath, const ClassicContent<PmTodoRecord>& c, std::string* error)
{
    return WriteWith<PmTodoUtil>(winPath, c, error, false);
}
bool WriteClassicMemo(const std::string& winPath, const ClassicContent<PmMemoRecord>& c, std::string* error)
{
    return WriteWith<PmMemoUtil>(winPath, c, error, true);
}

ClassicContent<PmAddrRecord> SampleClassicAddress(uint32_t count, uint32_t seed)
{
    ClassicContent<PmAddrRecord> c;
    c.categories = SampleCategories();
    c.header = "Birthday\nSpouse\nNickname\nWeb\n";
    Rng rng{seed};
    AddSampleRecords(&c.records, count, [&](PmAddrRecord& r, uint32_t i) {
        r.FirstName = kFirst[rng.Below(8)];
        r.LastName = kLast[rng.Below(8)] + std::to_string(i);
        r.Company = i % 4 == 0 ? "Northwind Traders" : "";
        for (int k = 0; k < 5; ++k)
            r.PhoneLabel[k] = k;
        r.Phone[0] = "555-" + std::to_string(1000 + rng.Below(9000));
        r.City = "Springfield";
        r.Note = i % 5 == 0 ? "met at the fair" : "";
        r.Category = int32_t(rng.Below(3));
        r.Custom[0] = i % 7 == 0 ? "1970-01-01" : "";
    });
    return c;
}

ClassicContent<PmDateRecord> SampleClassicDate(uint32_t count, uint32_t seed)
{
    ClassicContent<PmDateRecord> c;
    c.categories = SampleCategories();
    Rng rng{seed};
    const int32_t base = 1262304000;  // 2010-01-01 00:00:00 UTC
    AddSampleRecords(&c.records, count, [&](PmDateRecord& r, uint32_t i) {
        r.StartTime = base + int32_t(rng.Below(3650)) * 86400 + 9 * 3600;
        r.EndTime = r.StartTime + 3600;
        r.Description = std::string(kWords[rng.Below(8)]) + " " + std::to_string(i);
        r.Category = int32_t(rng.Below(3));
        r.AlarmSet = i % 4 == 0;
        r.AlarmAdvance = 10;
        PmRepeat& rep = r.Repeat;
        rep.Class = int32_t(i % 7);
        if (rep.Class != 0) {
            rep.Interval = 1 + int32_t(rng.Below(3));
            rep.EndDate = r.StartTime + 365 * 86400;
            rep.DayIndex = int32_t(rng.Below(7));
            rep.DaysMask = rep.Class == 2 ? 0x2A : 0;
            rep.WeekIndex = rep.Class == 3 ? int32_t(rng.Below(5)) : 0;
            rep.DayNumber = rep.Class == 4 || rep.Class == 5 ? 1 + int32_t(rng.Below(28)) : 0;
            rep.Month = rep.Class == 5 ? int32_t(rng.Below(12)) : 0;
            if (i % 5 == 0)
                rep.Exceptions = {uint32_t(r.StartTime + 7 * 86400), uint32_t(r.StartTime + 14 * 86400)};
        }
        if (i % 10 == 9)
            r.EndTime = -1;  // hidden from the facades, kept in the file
    });
    return c;
}

ClassicContent<PmTodoRecord> SampleClassicTodo(uint32_t count, uint32_t seed)
{
    ClassicContent<PmTodoRecord> c;
    c.categories = SampleCategories();
    Rng rng{seed};
    AddSampleRecords(&c.records, count, [&](PmTodoRecord& r, uint32_t i) {
        r.Description = std::string(kWords[rng.Below(8)]) + " task " + std::to_string(i);
        r.DueDate = i % 2 ? 1262304000 + int32_t(rng.Below(3650)) * 86400 : 0;
        r.Completed = i % 6 == 0;
        r.Priority = 1 + int32_t(rng.Below(5));
        r.Category = int32_t(rng.Below(3));
        r.Note = i % 4 == 0 ? "see the minutes" : "";
        if (i % 10 == 9)
            r.Status = i % 20 == 9 ? 0x84 : 0x80;  // deleted or archived, not yet synchronised
    });
    return c;
}

ClassicContent<PmMemoRecord> SampleClassicMemo(uint32_t count, uint32_t seed)
{
    ClassicContent<PmMemoRecord> c;
    c.categories = SampleCategories();
    Rng rng{seed};
    AddSampleRecords(&c.records, count, [&](PmMemoRecord& r, uint32_t i) {
        r.Memo = std::string("Memo ") + std::to_string(i) + "\n" + kWords[rng.Below(8)] + " " + kWords[rng.Below(8)];
        r.Category = int32_t(rng.Below(3));
        if (i % 10 == 9)
            r.Status = 0x04;
    });
    return c;
}

bool WriteClassicUser(const std::string& userFolder, uint32_t count, uint32_t seed, std::string* error)
{
    std::string scratch;
    if (!error)
        error = &scratch;
    for (const char* sub : {"address", "datebook", "todo", "memopad"}) {
        if (!MakeDirs(plat::ToHostPath(userFolder + sub))) {
            *error = "cannot make the folder " + userFolder + sub;
            return false;
        }
    }
    return WriteClassicAddress(userFolder + "address\\address.dat", SampleClassicAddress(count, seed), error) &&
           WriteClassicDate(userFolder + "datebook\\datebook.dat", SampleClassicDate(count, seed), error) &&
           WriteClassicTodo(userFolder + "todo\\todo.dat", SampleClassicTodo(count, seed), error) &&
           WriteClassicMemo(userFolder + "memopad\\memopad.dat", SampleClassicMemo(count, seed), error);
}

}  // namespace palmfix
