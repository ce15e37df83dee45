// For the tests of malformed .dat files: the four applications of both
// layouts behind one interface, sample files written by the fixture
// generator, and a reader of where a file's counts lie.
//
// The reader is built from the layout tables alone, like ClassicLayout.h:
// it finds Fields Per Row, Fields Count and Total Fields so that a test can
// change them, and shares no code with the utilities under test.
#pragma once

#include "PalmInfoTestEnv.h"

#include "misc/CxDebugUtil.h"
#include "palm/PalmAddrInfo.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmTodoInfo.h"
#include "palmfixture/Generator.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <gtest/gtest.h>

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

// ---- an installation with sample files of both layouts ----------------------

class DatTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ClearFileFaults();
        // The generator writes each layout's four files at the same paths;
        // their bytes are kept as the samples.
        for (int layout = 0; layout < 2; ++layout) {
            palmfix::GenOptions opt;
            opt.records = 6;
            opt.duplicates = 2;
            opt.seed = 7;
            std::string error;
            ASSERT_TRUE(palmfix::GenerateUserData(m_Env.UserFolder(), layout ? kExVersion : kClassicVersion, opt,
                                                  palmfix::kGenAll, &error))
                << error;
            for (App app : kApps) {
                m_Sample[layout][app] = Get(app);
                Shape s;
                ASSERT_TRUE(ReadShape(m_Sample[layout][app], layout == 1, app, &s)) << Word(app);
                ASSERT_EQ(s.fieldsPerRow, RecordFields(layout == 1, app));
                ASSERT_GT(s.totalFields, 2 * s.fieldsPerRow);
            }
        }
        m_Env.ClearLog();
    }
    void TearDown() override { plat::ClearFileFaults(); }

    /// The Windows path of an application's file.
    std::string PathOf(App app) const { return m_Env.UserFile(RelPath(app)); }
    void Put(App app, const std::string& bytes) const
    {
        std::ofstream(plat::ToHostPath(PathOf(app)), std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string Get(App app) const { return infotest::ReadBytes(PathOf(app)); }
    const std::string& Sample(bool ex, App app) const { return m_Sample[ex ? 1 : 0][app]; }
    Shape ShapeOf(bool ex, App app) const
    {
        Shape s;
        ReadShape(Sample(ex, app), ex, app, &s);
        return s;
    }
    int32_t User() const { return int32_t(m_Env.UserId()); }
    bool Logged(const std::string& text) const { return m_Env.LogHas(text); }
    int LoggedCount(const std::string& text) const
    {
        std::string log = m_Env.Log();
        int n = 0;
        for (size_t p = log.find(text); p != std::string::npos; p = log.find(text, p + 1))
            ++n;
        return n;
    }

    infotest::PalmInstall m_Env{4, 1, 4};
    std::string m_Sample[2][4];
};

}  // namespace malformed
