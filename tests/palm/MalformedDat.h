// Malformed .dat files for the tests and the hostile-input benchmark: the
// four applications of both layouts behind one interface, a reader of where
// a file's counts lie, and a seeded generator of damaged files.
//
// The reader is built from the layout tables alone, like ClassicLayout.h:
// it finds Fields Per Row, Fields Count and Total Fields so that a test can
// change them, and shares no code with the utilities under test.
#pragma once

#include "misc/CxDebugUtil.h"
#include "palm/PalmAddrInfo.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmTodoInfo.h"
#include "palmfixture/Generator.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

namespace malformed {

enum App { kContacts = 0, kCalendar = 1, kTasks = 2, kMemos = 3 };
constexpr App kApps[] = {kContacts, kCalendar, kTasks, kMemos};

/// Installed versions that make the facades choose each layout.
constexpr uint32_t kClassicVersion = 40001;
constexpr uint32_t kExVersion = 40104;

inline const char* Word(App app)
{
    static const char* const words[] = {"Contacts", "Calendar", "Tasks", "Memos"};
    return words[app];
}
/// The file below the user's data folder (both layouts use the same names).
inline const char* RelPath(App app)
{
    static const char* const paths[] = {"address\\address.dat", "datebook\\datebook.dat", "todo\\todo.dat",
                                        "memopad\\memopad.dat"};
    return paths[app];
}
/// Fields of a record: 4.1.x 73, 27, 25, 14; classic 30, 15, 10, 6.
inline uint32_t RecordFields(bool ex, App app)
{
    static const uint32_t exFields[] = {73, 27, 25, 14};
    static const uint32_t classicFields[] = {30, 15, 10, 6};
    return ex ? exFields[app] : classicFields[app];
}
/// What the closing line of a failed load of the utility says before the path.
inline std::string FailedLoadLine(bool ex, App app)
{
    if (ex)
        return app == kContacts ? std::string("Can not load Palm Desktop Contacts: ")
                                : std::string("Load Palm Desktop ") + Word(app) + " failed: ";
    static const char* const lines[] = {"Can not load Palm Desktop Contacts: ",
                                        "Failed to load Palm Desktop datebook: ",
                                        "Load Palm Desktop todo list failed: ", "Load Palm Desktop memopad failed: "};
    return lines[app];
}

// ---- where the counts lie --------------------------------------------------

/// Offsets and values of a file's counts.
struct Shape {
    size_t fieldsPerRowAt = 0;  ///< 32-bit
    size_t fieldsCountAt = 0;   ///< 16-bit, the Field Types follow
    size_t totalFieldsAt = 0;   ///< 32-bit, the records follow
    uint32_t fieldsPerRow = 0;
    uint16_t fieldsCount = 0;
    uint32_t totalFields = 0;
    size_t RecordsAt() const { return totalFieldsAt + 4; }
};

class ShapeReader {
public:
    explicit ShapeReader(const std::string& b) : m_b(b) {}
    bool Skip(size_t n)
    {
        if (m_b.size() - m_pos < n)
            return false;
        m_pos += n;
        return true;
    }
    bool U16(uint16_t* v)
    {
        if (m_b.size() - m_pos < 2)
            return false;
        *v = uint16_t(uint8_t(m_b[m_pos]) | uint8_t(m_b[m_pos + 1]) << 8);
        m_pos += 2;
        return true;
    }
    bool U32(uint32_t* v)
    {
        uint16_t lo, hi;
        if (!U16(&lo) || !U16(&hi))
            return false;
        *v = uint32_t(lo) | uint32_t(hi) << 16;
        return true;
    }
    bool Counted()
    {
        if (m_pos >= m_b.size())
            return false;
        uint32_t n = uint8_t(m_b[m_pos++]);
        if (n == 0xFF) {
            uint16_t w;
            if (!U16(&w))
                return false;
            n = w;
        }
        return Skip(n);
    }
    size_t Pos() const { return m_pos; }

private:
    const std::string& m_b;
    size_t m_pos = 0;
};

/// Finds the counts of a file of the layout (4.1.x when `ex`).
inline bool ReadShape(const std::string& bytes, bool ex, App app, Shape* s)
{
    ShapeReader r(bytes);
    if (ex) {
        // Magic, version word, reserved 1, file name, reserved 2.
        if (!r.Skip(24 + 4 + 24) || !r.Counted() || !r.Skip(app == kContacts ? 11 : 43))
            return false;
        if (app == kContacts) {
            for (int i = 0; i < 9; ++i)
                if (!r.Counted() || !r.Skip(4))
                    return false;
            if (!r.Skip(42))
                return false;
        }
    } else if (!r.Skip(4) || !r.Counted() || !r.Counted()) {  // version tag, file name, header text
        return false;
    }
    uint32_t count;
    if (!r.Skip(4) || !r.U32(&count))
        return false;
    for (uint32_t i = 0; i < count; ++i)
        if (!r.Skip(12) || !r.Counted() || !r.Counted())
            return false;
    if (!r.Skip(4))  // Resource ID
        return false;
    s->fieldsPerRowAt = r.Pos();
    if (!r.U32(&s->fieldsPerRow) || !r.Skip(12))
        return false;
    s->fieldsCountAt = r.Pos();
    if (!r.U16(&s->fieldsCount) || !r.Skip(2 * size_t(s->fieldsCount)))
        return false;
    s->totalFieldsAt = r.Pos();
    return r.U32(&s->totalFields);
}

inline void PutU16At(std::string& b, size_t at, uint16_t v)
{
    b[at] = char(v & 0xFF);
    b[at + 1] = char(v >> 8);
}
inline void PutU32At(std::string& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xFF);
}

// ---- the utilities and facades behind one interface -------------------------

/// One utility of either layout.
class Loader {
public:
    virtual ~Loader() = default;
    virtual bool Load(const std::string& path) = 0;
    /// Saves to the file that was loaded.
    virtual bool Save() = 0;
    /// The records held, hidden ones included.
    virtual uint32_t Rows() = 0;
};

template <typename Util>
class ExLoader : public Loader {
public:
    bool Load(const std::string& path) override { return m_Util.LoadFile(path.c_str()); }
    bool Save() override { return m_Util.Save(); }
    uint32_t Rows() override { return m_Util.DataMgr()->Count(); }
    Util m_Util;
};

template <typename Util>
class ClassicLoader : public Loader {
public:
    bool Load(const std::string& path) override
    {
        m_Path = path;
        return m_Util.LoadFile(path.c_str());
    }
    bool Save() override { return m_Util.Save(m_Path.c_str()); }
    uint32_t Rows() override { return m_Util.GetDataMgr()->RowCount(); }
    Util m_Util;
    std::string m_Path;
};

template <typename ExUtil, typename ClassicUtil>
std::unique_ptr<Loader> LoaderOf(bool ex)
{
    if (ex)
        return std::make_unique<ExLoader<ExUtil>>();
    return std::make_unique<ClassicLoader<ClassicUtil>>();
}

inline std::unique_ptr<Loader> MakeLoader(bool ex, App app)
{
    switch (app) {
    case kContacts: return LoaderOf<PmAddrExUtil, PmAddrUtil>(ex);
    case kCalendar: return LoaderOf<PmDateExUtil, PmDateUtil>(ex);
    case kTasks: return LoaderOf<PmTodoExUtil, PmTodoUtil>(ex);
    default: return LoaderOf<PmMemoExUtil, PmMemoUtil>(ex);
    }
}

/// One facade, with the generation chosen by the installed version.
class Facade {
public:
    virtual ~Facade() = default;
    virtual bool LoadByUser(int32_t user) = 0;
    virtual int32_t LoadedGeneration() = 0;
    virtual uint32_t Count() = 0;
    virtual bool Save() = 0;
};

template <typename Info>
class FacadeOf : public Facade {
public:
    explicit FacadeOf(uint32_t version) : m_Info(version) {}
    bool LoadByUser(int32_t user) override { return m_Info.LoadByUser(user); }
    int32_t LoadedGeneration() override { return m_Info.LoadedGeneration(); }
    uint32_t Count() override { return m_Info.GetCommMgr()->Count(); }
    bool Save() override { return m_Info.Save(); }
    Info m_Info;
};

inline std::unique_ptr<Facade> MakeFacade(App app, uint32_t version)
{
    switch (app) {
    case kContacts: return std::unique_ptr<Facade>(new FacadeOf<PmAddrInfo>(version));
    case kCalendar: return std::unique_ptr<Facade>(new FacadeOf<PmDateInfo>(version));
    case kTasks: return std::unique_ptr<Facade>(new FacadeOf<PmTodoInfo>(version));
    default: return std::unique_ptr<Facade>(new FacadeOf<PmMemoInfo>(version));
    }
}

// ---- damaged files ----------------------------------------------------------

/// xorshift32: the same files on every machine.
struct Rng {
    uint32_t s;
    uint32_t Next()
    {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
};

enum Damage {
    kCut,            // the file ends early
    kTotalNotWhole,  // Total Fields plus a part of a row
    kTotalMore,      // Total Fields plus whole rows the file does not hold
    kTotalHuge,      // Total Fields near 2^32
    kFieldsPerRow,   // a Fields Per Row no record of the file can have
    kFieldsCount,    // a Fields Count the records cannot honour
    kFlipAnywhere,   // 1 to 3 bytes changed anywhere (may still load)
    kFlipRecords,    // 1 byte changed among the records (may still load)
    kDamageKinds
};

inline const char* const kDamageNames[] = {"cut",          "total not whole", "total more",     "total huge",
                                    "fields per row", "fields count",  "flip anywhere", "flip records"};

/// The sample damaged as `damage` says; *mustFail tells whether a loader
/// has to refuse the result.
inline std::string Damaged(const std::string& sample, const Shape& s, bool ex, App app, Damage damage, Rng& rng,
                    bool* mustFail)
{
    std::string b = sample;
    uint32_t fields = RecordFields(ex, app);
    *mustFail = true;
    switch (damage) {
    case kCut:
        b.resize(rng.Below(uint32_t(b.size())));
        break;
    case kTotalNotWhole:
        PutU32At(b, s.totalFieldsAt, s.totalFields + 1 + rng.Below(s.fieldsPerRow - 1));
        break;
    case kTotalMore:
        PutU32At(b, s.totalFieldsAt, s.totalFields + s.fieldsPerRow * (1 + rng.Below(5000)));
        break;
    case kTotalHuge:
        PutU32At(b, s.totalFieldsAt, rng.Below(2) ? 0xFFFFFFFFu : 0xFFFFFFFFu / s.fieldsPerRow * s.fieldsPerRow);
        break;
    case kFieldsPerRow: {
        // 4.1.x: anything but Fields Count. Classic: no row at all, a row
        // without the status, or one wider than the record.
        const uint32_t exValues[] = {0,
                                     1,
                                     2,
                                     s.fieldsPerRow - 1,
                                     s.fieldsPerRow + 1,
                                     3 + rng.Below(s.fieldsPerRow - 3),
                                     0x10000u + rng.Below(0x10000u),
                                     0xFFFFFFFFu};
        const uint32_t classicValues[] = {0,
                                          1,
                                          fields + 1,
                                          fields + 1 + rng.Below(1000),
                                          0x10000u + rng.Below(0x10000u),
                                          0xFFFFFFFFu};
        uint32_t v = ex ? exValues[rng.Below(8)] : classicValues[rng.Below(6)];
        if (ex && v == s.fieldsPerRow)
            v = 0;
        PutU32At(b, s.fieldsPerRowAt, v);
        break;
    }
    case kFieldsCount: {
        // The Field Types stay as stored: only the count changes.
        const uint16_t exValues[] = {0, uint16_t(s.fieldsCount - 1), uint16_t(s.fieldsCount + 1),
                                     uint16_t(1 + rng.Below(s.fieldsCount - 1)), 0xFFFF};
        const uint16_t classicValues[] = {0, uint16_t(fields + 1), uint16_t(fields + 1 + rng.Below(100)), 0xFFFF};
        PutU16At(b, s.fieldsCountAt, ex ? exValues[rng.Below(5)] : classicValues[rng.Below(4)]);
        break;
    }
    case kFlipAnywhere: {
        *mustFail = false;
        uint32_t n = 1 + rng.Below(3);
        for (uint32_t i = 0; i < n; ++i)
            b[rng.Below(uint32_t(b.size()))] ^= char(1 + rng.Below(255));
        break;
    }
    case kFlipRecords:
    default: {
        *mustFail = false;
        size_t at = s.RecordsAt() + rng.Below(uint32_t(b.size() - s.RecordsAt()));
        b[at] ^= char(1 + rng.Below(255));
        break;
    }
    }
    return b;
}

}  // namespace malformed
