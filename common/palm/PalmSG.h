// The "PalmSG Database" container of the Palm Desktop 4.1.x .dat files,
// shared by the contacts, calendar, tasks and memos utilities: the header
// parts, the category and schema blocks, the records section, and the
// load and save sequences with their log lines.
//
// Layout (little-endian, no gaps): magic block (24), version word (4),
// reserved 1 (24), database file name (counted string), reserved 2 (11 or
// 43), custom labels (contacts only), category block, schema block, Total
// Fields (4) and the records, each its fields in index order.
#pragma once

#include "misc/CxDebugUtil.h"
#include "misc/CxList.h"
#include "palm/PalmComm.h"

#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

/// A text field of a 4.1.x record. What the program shows is the view: the
/// stored text cut to the field's capacity and at a zero byte. When the
/// stored text was longer than that (or held a zero byte), it is kept whole
/// as well and a save writes it back unchanged; Set replaces both.
class PmExText {
public:
    PmExText() = default;
    PmExText(const PmExText& other) : m_View(other.m_View)
    {
        if (other.m_Whole)
            m_Whole = std::make_unique<std::string>(*other.m_Whole);
    }
    PmExText(PmExText&&) noexcept = default;
    PmExText& operator=(const PmExText& other)
    {
        if (this != &other) {
            m_View = other.m_View;
            m_Whole = other.m_Whole ? std::make_unique<std::string>(*other.m_Whole) : nullptr;
        }
        return *this;
    }
    PmExText& operator=(PmExText&&) noexcept = default;

    const char* c_str() const { return m_View.c_str(); }
    size_t size() const { return m_View.size(); }
    bool empty() const { return m_View.empty(); }
    bool operator==(const char* text) const { return m_View == (text ? text : ""); }

    /// A new text, written as it is by the next save.
    void Set(const char* text)
    {
        m_View.assign(text ? text : "");
        m_Whole.reset();
    }
    /// The stored text as read; the view keeps at most maxChars characters.
    void Load(const char* stored, size_t length, size_t maxChars);
    /// True when the view is not the whole stored text.
    bool IsCut() const { return m_Whole != nullptr; }
    /// What a save writes.
    const std::string& Stored() const { return m_Whole ? *m_Whole : m_View; }

private:
    std::string m_View;
    std::unique_ptr<std::string> m_Whole;  ///< only when the view differs from the stored text
};

/// An empty block with a tag.
inline PmBlock PmTaggedBlock(uint32_t tag)
{
    PmBlock b;
    b.Tag = tag;
    return b;
}

/// Fields 0 to 12, common to the four record kinds, and the name of the
/// record's category (looked up at load, not stored).
struct PmExRecord {
    uint32_t RecordID = 0;
    uint32_t IntField1 = 0;
    uint32_t Status = 0;        ///< 0x84: deleted through the facades
    uint32_t IntField3 = 0;
    uint32_t Placement = 0;
    uint32_t Category = 0;      ///< category id
    uint32_t Private = 0;       ///< nonzero = private
    /// Tags 0x40 to 0x43, kept verbatim; a new record's are empty blocks
    /// with those tags.
    PmBlock Block[4] = {PmTaggedBlock(0x40), PmTaggedBlock(0x41), PmTaggedBlock(0x42), PmTaggedBlock(0x43)};
    PmExText TextField11;       ///< at most 31 characters shown
    PmExText TextField12;
    char CategoryName[16] = {};
};

/// The records of one utility: heap copies in a CxList.
template <class Rec>
class PmExDataMgr {
public:
    PmExDataMgr() : m_pRecs(new CxList<Rec>()) {}
    PmExDataMgr(const PmExDataMgr&) = delete;
    PmExDataMgr& operator=(const PmExDataMgr&) = delete;
    virtual ~PmExDataMgr()
    {
        if (m_pRecs)
            m_pRecs->Clear(true);
        delete m_pRecs;
    }

    /// Stores a copy of the record (its block data duplicated).
    bool Add(const Rec* rec)
    {
        CX_ASSERT(m_pRecs);
        if (!rec)
            return false;
        Rec* copy = nullptr;
        try {
            copy = new Rec(*rec);
        } catch (...) {
            return false;
        }
        return Keep(copy);
    }
    /// Stores the record by moving it.
    bool AddMove(Rec&& rec)
    {
        CX_ASSERT(m_pRecs);
        Rec* stored = new (std::nothrow) Rec(std::move(rec));
        return stored && Keep(stored);
    }
    /// Takes a heap record over (the loaders' way); frees it on failure.
    bool Adopt(Rec* rec)
    {
        CX_ASSERT(m_pRecs);
        return rec && Keep(rec);
    }
    void Clear()
    {
        CX_ASSERT(m_pRecs);
        m_pRecs->Clear(true);
    }
    Rec* First()
    {
        CX_ASSERT(m_pRecs);
        return m_pRecs->First();
    }
    Rec* Next()
    {
        CX_ASSERT(m_pRecs);
        return m_pRecs->Next();
    }
    Rec* GetAt(uint32_t position)
    {
        CX_ASSERT(m_pRecs);
        return m_pRecs->GetAt(position);
    }
    uint32_t Count() const
    {
        CX_ASSERT(m_pRecs);
        return m_pRecs->Count();
    }

protected:
    bool Keep(Rec* rec)
    {
        if (m_pRecs->Add(rec))
            return true;
        delete rec;
        return false;
    }

    CxList<Rec>* m_pRecs;
};

/// What tells the four 4.1.x files apart.
struct PmSGKind {
    const char* module;          ///< source module of the log lines
    const char* word;            ///< Contacts, Calendar, Tasks, Memos
    const char* folder;          ///< "address\" ...
    const char* fileName;        ///< "address.dat" ...
    uint32_t version;            ///< version word
    uint32_t reserved2Size;      ///< 11 or 43
    bool customLabels;           ///< contacts only
    uint32_t resourceId;         ///< default Resource ID
    uint16_t fieldCount;         ///< fields of the record kind: 73, 27, 25, 14
    const uint16_t* fieldTypes;  ///< default Field Types, fieldCount entries
    uint8_t reserved1Byte12;     ///< default reserved 1 byte 12
    bool logReserved1;           ///< shows reserved 1 while loading (not the calendar)
    bool memo;                   ///< checks its path first, no success line
};

/// Base of the four 4.1.x utilities: the shared load and save sequences.
/// A derived utility supplies its record fields and data manager.
///
/// Save goes to the file that was loaded, and writes that path as the
/// database file name; the name stored inside a file is only reported.
/// The new content replaces the file in one step (plat::ReplaceFileContents),
/// so a failed save leaves the file as it was. After a failed load no
/// record is kept and Save refuses to write.
///
/// A load refuses, before reading any record, a schema whose rows its
/// records cannot read and write back alike: Fields Per Row outside 3 (the
/// rows must reach Status) to the record kind's field count, a Fields Count
/// of 0 or one other than Fields Per Row, a Total Fields that is not a whole
/// number of rows, and a record count that the bytes left cannot hold. The
/// first record that cannot be read ends the load.
class PmSGUtil : public PmDBUtil {
public:
    static constexpr uint32_t kReserved1Size = 24;
    static constexpr uint32_t kReserved3Size = 42;
    static constexpr int kCustomLabels = 9;
    /// The index of Status in every record kind: a row must reach it, or a
    /// deletion could not be written.
    static constexpr uint32_t kStatusField = 2;

    /// The fewest bytes a stored field of that type tag takes (the record
    /// kind's default Field Types name each field's reader).
    static uint32_t MinFieldBytes(uint16_t type);

    ~PmSGUtil() override = default;

    /// Loads "<user data folder><application folder><file name>".
    bool LoadUserFile(uint32_t userID);
    bool LoadFile(const char* path);
    /// SaveAs to the file that was loaded (the held file name).
    bool Save();
    /// Writes the whole file to an existing path, which must open
    /// without sharing.
    bool SaveAs(const char* path);
    /// Writes a new file at path (created, or replaced when it exists) with
    /// the current content; for tools that build files.
    bool SaveNew(const char* path);

    /// The user's file path for this utility; false when the user data
    /// folder cannot be found. path holds 260 bytes.
    bool UserFilePath(uint32_t userID, char* path) const;
    /// The database file name stored in the last file loaded.
    const char* StoredFileName() const { return m_szStoredName; }

    // The header values, as loaded (or the defaults).
    const uint8_t* Reserved1() const { return m_Reserved1; }
    const std::string& CustomLabel(int i) const { return m_Labels[i]; }
    void SetCustomLabel(int i, const char* label)
    {
        m_Labels[i] = label ? label : "";
        MarkHeaderEdited();
    }
    /// The category table, created with "Unfiled" when there is none yet.
    PmCategoryMgr* EnsureCategoryMgr();
    const PmSGKind& Kind() const { return m_Kind; }

protected:
    explicit PmSGUtil(const PmSGKind& kind);

    /// The defaults of a file that was never loaded.
    virtual void Init();
    virtual void Release() = 0;
    virtual bool CheckMagic();
    virtual bool CheckVersion();
    virtual bool LoadDescription();
    virtual bool LoadCustomLabels();
    virtual bool LoadCategories();
    virtual bool LoadSchema();
    virtual bool LoadRecords();
    virtual bool SaveMagic();
    virtual bool SaveVersion();
    virtual bool SaveDescription(const char* path);
    virtual bool SaveCustomLabels();
    virtual bool SaveCategories();
    virtual bool SaveSchema();
    virtual bool SaveRecords();

    // What the derived utility supplies.
    virtual bool HasDataMgr() const = 0;
    virtual void ClearRecords() = 0;
    virtual uint32_t RecordCount() const = 0;
    /// Reads one record's fields (index below Fields Count) and adds it;
    /// *added tells whether it was stored.
    virtual bool ReadRecord(uint32_t fieldsCount, bool* added) = 0;
    /// SaveRecord of every record in order.
    virtual bool SaveAllRecords() = 0;
    /// Right after the save's open: the content made from the bytes read
    /// with the records' status words put in (PmDBUtil::PutStatusImage),
    /// when that applies; false when the save must write its content itself.
    virtual bool PutStatusRecords() = 0;

    // Field helpers of the derived utilities.
    bool ReadPrefixField(PmExRecord& rec, uint32_t index);
    bool WritePrefixField(const PmExRecord& rec, uint32_t index);
    bool ReadText(PmExText& text, size_t maxChars);
    bool WriteText(const PmExText& text);

    /// One log line from the utility's own module.
    void LogLine(int level, int line, const char* format, ...) __attribute__((format(printf, 4, 5)));

private:
    bool RunSave(const char* path, bool create);
    bool LoadSteps();
    bool SaveSteps(const char* path);

protected:
    const PmSGKind& m_Kind;
    uint32_t m_Version = 0;
    uint8_t m_Reserved1[kReserved1Size] = {};
    uint8_t m_Reserved2[43] = {};
    uint8_t m_Reserved3[kReserved3Size] = {};
    std::string m_Labels[kCustomLabels];
    char m_szStoredName[261] = {};
    bool m_LoadFailed = false;
};

/// The part of a 4.1.x utility that is the same for every record kind: the
/// data manager's life, reading a record field by field and writing the
/// records. Derived supplies the field layout as
///     bool ReadField(Rec& r, uint32_t index);
///     bool WriteField(const Rec& r, uint32_t index);
/// (index below Fields Count on read, below Fields Per Row on write, which a
/// load makes sure are one number; an index beyond the record's fields reads
/// and writes nothing and succeeds). The
/// calls are static so the per-field loop stays free of virtual dispatch.
template <class Derived, class Rec, class Mgr>
class PmSGRecordUtil : public PmSGUtil {
public:
    ~PmSGRecordUtil() override { Release(); }

    Mgr* DataMgr() { return m_pDataMgr; }

    /// Writes one record (fields below Fields Per Row).
    virtual bool SaveRecord(const Rec* rec)
    {
        if (!rec)
            return false;
        Derived& self = static_cast<Derived&>(*this);
        for (uint32_t i = 0; i < m_Schema.FieldsPerRow; ++i)
            if (!self.WriteField(*rec, i))
                return false;
        return true;
    }

protected:
    explicit PmSGRecordUtil(const PmSGKind& kind) : PmSGUtil(kind) { m_pDataMgr = new Mgr(); }

    void Init() override
    {
        PmSGUtil::Init();
        Release();
        m_pDataMgr = new Mgr();
    }
    void Release() override
    {
        delete m_pDataMgr;
        m_pDataMgr = nullptr;
    }
    bool HasDataMgr() const override { return m_pDataMgr != nullptr; }
    void ClearRecords() override { m_pDataMgr->Clear(); }
    uint32_t RecordCount() const override { return m_pDataMgr->Count(); }

    bool ReadRecord(uint32_t fieldsCount, bool* added) override
    {
        // Out of memory for one record: the record is skipped, the load goes on.
        std::unique_ptr<Rec> rec(new (std::nothrow) Rec());
        if (!rec) {
            *added = false;
            return true;
        }
        Derived& self = static_cast<Derived&>(*this);
        Rec& r = *rec;
        size_t start = InputPos();
        for (uint32_t i = 0; i < fieldsCount; ++i)
            if (!self.ReadField(r, i))
                return false;
        Rec* kept = rec.release();
        *added = m_pDataMgr->Adopt(kept);
        if (*added)
            NoteImageRow(kept, start, kStatusField, kept->Status);
        return true;
    }

    bool SaveAllRecords() override
    {
        std::vector<ImageRow> rows;
        rows.reserve(m_pDataMgr->Count());
        for (Rec* r = m_pDataMgr->First(); r; r = m_pDataMgr->Next()) {
            size_t begin = OutputSize();
            if (!SaveRecord(r))
                return false;
            rows.push_back(ImageRow{r, begin, OutputSize()});
        }
        // The records as written are laid over the rows as read.
        FinishRows(rows, m_Schema.FieldTypes);
        return true;
    }

    bool PutStatusRecords() override
    {
        std::vector<StatusRow> rows;
        try {
            rows.reserve(m_pDataMgr->Count());
        } catch (...) {
            return false;
        }
        for (Rec* r = m_pDataMgr->First(); r; r = m_pDataMgr->Next())
            rows.push_back(StatusRow{r, r->Status});
        return PutStatusImage(rows);
    }

    Mgr* m_pDataMgr = nullptr;
};

/// A record utility whose records carry a repeat field (calendar, tasks):
/// Rec has a PmRepeat member named Repeat.
template <class Derived, class Rec, class Mgr>
class PmSGRepeatUtil : public PmSGRecordUtil<Derived, Rec, Mgr> {
public:
    /// The repeat field of a record.
    virtual bool ReadRepeat(Rec* rec) { return rec && this->ReadRepeatField(&rec->Repeat); }
    virtual bool WriteRepeat(const Rec* rec) { return rec && this->WriteRepeatField(rec->Repeat); }

protected:
    using PmSGRecordUtil<Derived, Rec, Mgr>::PmSGRecordUtil;
};

