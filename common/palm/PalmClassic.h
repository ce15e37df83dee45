// The classic data files of Palm Desktop 4.1 and earlier: the layout the
// four files (address, datebook, todo, memopad) share.
//
// Each file is: version tag (32-bit), file name (counted string), one header
// text (counted string), category block, schema block, then Total Fields
// followed by the records, each as Fields Per Row typed fields.
// PmClassicUtil reads and writes the shared parts; each file's utility adds
// its record fields and its log texts.
//
// What a load reads is kept for the save: texts are held whole (the facades
// cut their own copies), records that the facades must not see are kept in
// their places, and a save writes back the bytes read but for what the
// records changed, through a temporary file and one rename, so a failed save
// leaves the original as it was.
#pragma once

#include "misc/CxDebugUtil.h"
#include "misc/CxList.h"
#include "palm/PalmComm.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

/// The longest text a record field delivers to its readers; longer stored
/// texts are still kept whole for writing back.
constexpr size_t kPmMaxFieldText = 8191;

/// A record text as a fixed-capacity field would hold it: at most
/// capacity - 1 characters and at most 8191, ending at the first zero byte.
std::string PmFieldCut(const std::string& text, size_t capacity);

/// The records of one loaded classic file, in file order. The walk (First,
/// Next, Count) sees only the records added with Add; records added with
/// AddHidden are the file's rows that the facades must not see (entries whose
/// deletion HotSync has yet to carry to the handheld, for example). Both kinds
/// are written back by a save, each in its place.
template <typename Rec>
class PmClassicDataMgr {
public:
    PmClassicDataMgr() = default;
    PmClassicDataMgr(const PmClassicDataMgr&) = delete;
    PmClassicDataMgr& operator=(const PmClassicDataMgr&) = delete;
    ~PmClassicDataMgr() { Clear(); }

    void Clear()
    {
        m_Recs.Clear(false);
        m_Rows.clear();
        m_Chunks.clear();
        m_Used = kChunk;
    }
    /// Stores a copy of a record that the facades see.
    bool Add(const Rec& rec) { return Store(rec, false); }
    /// Stores a copy of a record that is only written back.
    bool AddHidden(const Rec& rec) { return Store(rec, true); }

    /// For loaders: a new empty record owned by the manager, not yet part
    /// of the file's rows; Keep makes it one. None when out of memory.
    Rec* NewRecord()
    {
        if (m_Used == kChunk) {
            std::unique_ptr<Rec[]> chunk(new (std::nothrow) Rec[kChunk]);
            if (!chunk)
                return nullptr;
            m_Chunks.push_back(std::move(chunk));
            m_Used = 0;
        }
        return &m_Chunks.back()[m_Used++];
    }
    /// Appends a record from NewRecord to the rows, shown or hidden.
    bool Keep(Rec* rec, bool hidden)
    {
        if (!rec || (!hidden && !m_Recs.Add(rec)))
            return false;
        m_Rows.push_back(Entry{rec, hidden});
        return true;
    }

    Rec* First() { return m_Recs.First(); }
    Rec* Next() { return m_Recs.Next(); }
    Rec* GetAt(uint32_t i) { return m_Recs.GetAt(i); }
    uint32_t Count() const { return m_Recs.Count(); }

    /// Every row of the file, hidden ones included, in file order.
    uint32_t RowCount() const { return uint32_t(m_Rows.size()); }
    Rec* Row(uint32_t i) { return i < m_Rows.size() ? m_Rows[i].rec : nullptr; }
    bool IsHidden(uint32_t i) const { return i < m_Rows.size() && m_Rows[i].hidden; }

private:
    // Records live in chunks, so that a load of many records makes few
    // allocations; a record never moves once made.
    static constexpr uint32_t kChunk = 256;
    struct Entry {
        Rec* rec;
        bool hidden;
    };
    bool Store(const Rec& rec, bool hidden)
    {
        Rec* copy = NewRecord();
        if (!copy)
            return false;
        *copy = rec;
        return Keep(copy, hidden);
    }

    CxList<Rec> m_Recs;
    std::vector<Entry> m_Rows;
    std::vector<std::unique_ptr<Rec[]>> m_Chunks;
    uint32_t m_Used = kChunk;
};

/// The shared parts of the four classic files.
///
/// A load refuses a schema whose rows cannot be read and written back
/// alike: Fields Per Row outside 2 (the rows must reach Status) to the
/// record's field count, a Fields Count of 0 or above the record's field
/// count (the Field Types are only kept for the save, so a Fields Count
/// other than Fields Per Row is kept as it is), a Total Fields that is not a
/// whole number of rows, and a row count the bytes left cannot hold. After a
/// failed load no row is kept and a save is refused.
class PmClassicUtil : public PmDBUtil {
public:
    /// The index of Status in every classic record.
    static constexpr uint32_t kStatusField = 1;

    /// The path of the file that was last loaded (a save goes there).
    const std::string& LoadedPath() const { return m_LoadedPath; }
    /// The header text as read (contacts: the custom labels text).
    const std::string& HeaderText() const { return m_HeaderText; }
    /// The category table of the loaded file; none before a load.
    const PmCategoryMgr* Categories() const { return m_pCatMgr; }

    /// For writers of new files: the header text to save.
    void SetHeaderText(const std::string& text)
    {
        m_HeaderText = text;
        MarkHeaderEdited();
    }
    /// For writers of new files: adds a category to the table, which is made
    /// holding "Unfiled" when there is none yet.
    bool AddCategory(int32_t id, const char* name);
    /// Makes an empty file when none exists at `path`, so that a save of a
    /// new file can replace it. An existing file is left as it is.
    static bool CreateEmptyFile(const char* path);

protected:
    /// `types` are the record's fields, as the default schema lists them;
    /// `word` names the application in log lines (Contacts, Calendar...).
    PmClassicUtil(uint32_t versionTag, uint32_t resourceId, std::vector<uint16_t> types, const char* word);

    /// The steps of the category and schema blocks. A failing step returns
    /// the item that failed, so that a loader can name it in its own words.
    enum class CatItem { None, NextId, Count, Index, Id, Dirty, Name, FileName, Add };

    /// Builds "<user data folder><folder>\<file>"; false when the folder of
    /// the user cannot be had.
    static bool UserFilePath(int32_t userId, const char* folder, const char* file, std::string* path);

    bool ReadVersionTag();
    /// A counted string read whole (up to 65535 bytes).
    bool ReadCounted(std::string* text);
    bool WriteCounted(const std::string& text);
    /// A tag 5 field read whole; the prefix word is not kept.
    bool ReadWholeText(std::string* text);
    bool WriteWholeText(const std::string& text);
    bool ReadInt(int32_t* value);

    /// The category block (the field layer's, see PmDBUtil) into a new
    /// table that replaces m_pCatMgr; the item that failed, if any.
    CatItem ReadCategoryBlock();
    /// Category block from m_pCatMgr. `onSkip` (may be null) is told of every
    /// slot that is not written: empty (true) or "Unfiled" (false).
    CatItem WriteCategoryBlock(void (*onSkip)(bool empty), const PmCategory** failedCat);
    /// The item of a failed category block step (PmCategoryEvents::Step).
    static CatItem CatItemOf(bool failed, int step);

    /// The schema block (the field layer's, see PmDBUtil), `events` told of
    /// a failed read, then checked against a record of `fields` fields: a
    /// refused schema is logged at level 0 and the one held before is kept.
    bool LoadClassicSchema(uint32_t fields, PmSchemaEvents* events);
    /// Empty when a loaded schema can be read and written in full, otherwise
    /// why it is refused. `fields` is the record's number of fields.
    std::string CheckSchema(const PmSchema& schema, uint32_t fields) const;

    /// The steps of the files that log nothing but a refused schema.
    /// After the version tag: the file name (not kept) and the header text.
    bool ReadNameAndHeader();
    bool ReadQuietCategories();
    /// `fields` is the record's number of fields.
    bool ReadQuietSchema(uint32_t fields);
    /// The version tag, `path` as the file name and the header text.
    bool WriteNameAndHeader(const char* path);
    bool WriteQuietCategories();
    bool WriteQuietSchema();

    /// A status with bit 0x04 or 0x80: the row was deleted or archived and
    /// the change is still to be carried to the handheld.
    static bool IsPendingStatus(int32_t status) { return (status & 0x84) != 0; }

    /// The number of rows Total Fields announces; false, with a level 0
    /// line, when it is not a whole number of rows (the fields left over
    /// could be neither read as a record nor written back), or when the
    /// bytes left cannot hold that many rows at their smallest.
    bool RowsOf(uint32_t totalFields, uint32_t* rows) const;
    /// The fewest bytes a row of the loaded schema takes.
    uint64_t MinRowBytes() const;

    /// Ends a load: after a failure the rows read are dropped and saves are
    /// refused until a load succeeds; after a success `path` is the loaded one.
    void EndLoad(bool ok, const char* path);
    /// True, with a level 0 line and the save's reason, when the last load
    /// failed: nothing read from that file may replace it.
    bool SaveRefused();
    /// Drops every row held.
    virtual void DropRows() = 0;

    /// Starts a save: checks that the file can be opened without sharing and
    /// starts collecting the new content in memory. A file that cannot be
    /// opened gives the save its reason (held by another program, ...).
    bool BeginSave(const std::string& path);
    /// Replaces the file by the collected content (temporary file, backup,
    /// one rename), when it is still what the load read (see
    /// PmDBUtil::Commit). *error says what failed, SaveReason why.
    bool CommitSave(std::string* error);
    /// Drops a save that failed before its commit (its content could not be
    /// made); the file stays as it was.
    void AbortSave();
    /// Right after BeginSave: the save's content made from the bytes read
    /// with the rows' status words put in (PmDBUtil::PutStatusImage), when
    /// that applies; false when the save must write its content itself.
    virtual bool PutStatusRows() { return false; }

    /// Reads typed fields straight from the loaded bytes, for the row
    /// readers (a row has many small fields). Each read consumes what the
    /// field layer's would, a failing one included, and the file position
    /// follows when the reader goes.
    class FieldReader {
    public:
        explicit FieldReader(PmClassicUtil& util) : m_Util(util)
        {
            size_t left = 0;
            m_Begin = m_P = reinterpret_cast<const uint8_t*>(util.UnreadInput(&left));
            m_End = m_P + left;
        }
        ~FieldReader() { m_Util.SkipInput(size_t(m_P - m_Begin)); }
        FieldReader(const FieldReader&) = delete;
        FieldReader& operator=(const FieldReader&) = delete;

        /// Tag 1, 3 or 6, then the value.
        bool Int(int32_t* value)
        {
            uint32_t tag = 0;
            return U32(&tag) && (tag == PM_TAG_INT || tag == PM_TAG_DATE || tag == PM_TAG_BOOL) &&
                   U32(reinterpret_cast<uint32_t*>(value));
        }
        /// Tag 5, the prefix word (not kept) and the stored text whole.
        bool Text(std::string* text)
        {
            uint32_t tag = 0, prefix = 0;
            if (!U32(&tag) || tag != PM_TAG_TEXT || !U32(&prefix) || m_P == m_End)
                return false;
            uint32_t length = *m_P++;
            if (length == 0xFF) {
                if (m_End - m_P < 2)
                    return false;
                length = uint32_t(m_P[0]) | uint32_t(m_P[1]) << 8;
                m_P += 2;
            }
            if (size_t(m_End - m_P) < length)
                return false;
            // A new record's text is empty: appending skips the checks of
            // an assignment over a text that may overlap the source.
            if (text->empty())
                text->append(reinterpret_cast<const char*>(m_P), length);
            else
                text->assign(reinterpret_cast<const char*>(m_P), length);
            m_P += length;
            return true;
        }

    private:
        bool U32(uint32_t* v)
        {
            if (m_End - m_P < 4)
                return false;
            *v = uint32_t(m_P[0]) | uint32_t(m_P[1]) << 8 | uint32_t(m_P[2]) << 16 | uint32_t(m_P[3]) << 24;
            m_P += 4;
            return true;
        }

        PmClassicUtil& m_Util;
        const uint8_t* m_Begin;
        const uint8_t* m_P;
        const uint8_t* m_End;
    };

    /// Collects the typed fields of a row and hands them to the field layer
    /// in blocks, laid out as the field layer's own writes would lay them.
    class FieldWriter {
    public:
        explicit FieldWriter(PmClassicUtil& util) : m_Util(util) {}
        FieldWriter(const FieldWriter&) = delete;
        FieldWriter& operator=(const FieldWriter&) = delete;

        bool Int(uint32_t tag, uint32_t value)
        {
            if (!Room(8))
                return false;
            m_Util.MarkField(FieldKind::Int, m_Util.OutputSize() + m_N);
            Put32(tag);
            Put32(value);
            return true;
        }
        /// Tag 5, prefix word 1, the text as a counted string (an empty one
        /// is the single length byte 0); fails above 65535 bytes.
        bool Text(const std::string& text)
        {
            size_t n = text.size();
            if (n > 0xFFFF || !Room(11))
                return false;
            m_Util.MarkField(FieldKind::Text, m_Util.OutputSize() + m_N);
            Put32(PM_TAG_TEXT);
            Put32(1);
            if (n < 255) {
                m_Buf[m_N++] = char(n);
            } else {
                m_Buf[m_N++] = char(0xFF);
                m_Buf[m_N++] = char(n & 0xFF);
                m_Buf[m_N++] = char(n >> 8);
            }
            if (n > sizeof(m_Buf) - m_N)
                return Flush() && m_Util.WriteBytes(text.data(), uint32_t(n));
            std::memcpy(m_Buf + m_N, text.data(), n);
            m_N += n;
            return true;
        }
        /// Hands what is collected to the field layer.
        bool Flush()
        {
            bool ok = m_N == 0 || m_Util.WriteBytes(m_Buf, uint32_t(m_N));
            m_N = 0;
            return ok;
        }

    private:
        bool Room(size_t n) { return sizeof(m_Buf) - m_N >= n || Flush(); }
        void Put32(uint32_t v)
        {
            m_Buf[m_N++] = char(v);
            m_Buf[m_N++] = char(v >> 8);
            m_Buf[m_N++] = char(v >> 16);
            m_Buf[m_N++] = char(v >> 24);
        }

        PmClassicUtil& m_Util;
        char m_Buf[4096];
        size_t m_N = 0;
    };

    /// What the shared row loops report, for a file that logs them in its
    /// own words; every hook says nothing by default (the quiet files).
    struct RowLog {
        void TotalUnread() const {}
        /// The number of rows Total Fields gives, before it is checked.
        void Counted(uint32_t count) const {}
        /// Row i (0-based) of count could not be read, or had no memory.
        void RowUnread(uint32_t i, uint32_t count) const {}
        void RowNotKept(uint32_t i, uint32_t count) const {}
        void TotalUnwritten() const {}
        void RowUnwritten() const {}
    };

    /// Reads Total Fields and every row into `mgr` (emptied first).
    /// `readRow(Rec*)` reads one row; `hidden(const Rec&)` tells whether a
    /// row is kept out of the walk.
    template <typename Rec, typename ReadRow, typename Hidden, typename Log = RowLog>
    bool LoadRows(PmClassicDataMgr<Rec>& mgr, ReadRow readRow, Hidden hidden, const Log& log = Log())
    {
        mgr.Clear();
        m_RowBytes = 0;
        BeginImage();
        uint32_t total = 0;
        if (!ReadU32(&total)) {
            log.TotalUnread();
            return false;
        }
        uint32_t count = total / m_Schema.FieldsPerRow;
        log.Counted(count);
        if (!RowsOf(total, &count))
            return false;
        size_t left = 0, after = 0;
        UnreadInput(&left);
        for (uint32_t i = 0; i < count; ++i) {
            Rec* rec = mgr.NewRecord();
            size_t start = InputPos();
            if (!rec || !readRow(rec)) {
                log.RowUnread(i, count);
                return false;
            }
            if (!mgr.Keep(rec, hidden(*rec))) {
                log.RowNotKept(i, count);
                return false;
            }
            NoteImageRow(rec, start, kStatusField, uint32_t(rec->Status));
        }
        UnreadInput(&after);
        m_RowBytes = left - after;
        EndImageRows();
        return true;
    }

    /// Writes Total Fields and every row of `mgr`, hidden ones included, in
    /// file order; `writeRow(const Rec&)` writes one row.
    template <typename Rec, typename WriteRow, typename Log = RowLog>
    bool SaveRows(PmClassicDataMgr<Rec>& mgr, WriteRow writeRow, const Log& log = Log())
    {
        uint32_t n = mgr.RowCount();
        // The rows as loaded are about as long as the rows to write.
        ReserveOutput(4 + m_RowBytes);
        if (!WriteU32(n * m_Schema.FieldsPerRow)) {
            log.TotalUnwritten();
            return false;
        }
        std::vector<ImageRow> rows;
        rows.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            const Rec* rec = mgr.Row(i);
            size_t begin = OutputSize();
            if (!writeRow(*rec)) {
                log.RowUnwritten();
                return false;
            }
            rows.push_back(ImageRow{rec, begin, OutputSize()});
        }
        // The rows as written are laid over the rows as read.
        FinishRows(rows, m_Schema.FieldTypes);
        return true;
    }

    /// The load of a file that logs nothing of its own steps: opens `path`,
    /// runs `steps()` (version to records) and closes; the path is kept as
    /// the loaded one when all went well.
    template <typename Steps>
    bool LoadQuietFile(const char* path, Steps steps)
    {
        bool ok = Open(path, ModeReadWrite) && steps();
        Close();
        EndLoad(ok, path);
        return ok;
    }

    /// The save of a file that logs nothing of its own steps: version tag,
    /// file name and header, then `blocks()` (categories to records), then
    /// the commit; nothing is changed on disk when a step fails. The commit
    /// is the one step that can fail for reasons outside the program (a full
    /// disk, a folder without write access): its failure is logged at level
    /// 0, or a facade's failed save would leave no reason behind.
    template <typename Blocks>
    bool SaveQuietFile(const char* path, Blocks blocks)
    {
        if (!path || !*path) {
            SetSaveReason("no file was named to save to");
            return false;
        }
        if (SaveRefused() || !BeginSave(path))
            return false;
        if (!PutStatusRows() && (!WriteNameAndHeader(path) || !blocks())) {
            AbortSave();
            return false;
        }
        std::string error;
        if (!CommitSave(&error)) {
            CXLOG(0, "Failed to replace the file %s, which was not changed: %s", path, error.c_str());
            return false;
        }
        return true;
    }

    uint32_t m_VersionTag;
    const char* m_Word;
    /// The record's fields as the default schema lists them.
    std::vector<uint16_t> m_RecordTypes;
    /// The bytes of the rows of the last load (0 before one).
    size_t m_RowBytes = 0;
    std::string m_HeaderText;
    std::string m_LoadedPath;
    bool m_LoadFailed = false;
};

/// The part every classic file utility has alike: its records and the
/// steps of a load and a save, each a virtual that a file may log or change.
/// By default the steps log nothing; a file gives the reading of one row
/// (ReadRow), the writing of one (SaveRecord) and which rows are hidden.
template <typename Rec>
class PmClassicFileUtil : public PmClassicUtil {
public:
    PmClassicDataMgr<Rec>* GetDataMgr() { return m_pDataMgr.get(); }

protected:
    PmClassicFileUtil(uint32_t versionTag, uint32_t resourceId, std::vector<uint16_t> types, const char* word)
        : PmClassicUtil(versionTag, resourceId, std::move(types), word), m_pDataMgr(new PmClassicDataMgr<Rec>())
    {
    }

    void DropRows() override { m_pDataMgr->Clear(); }

    bool PutStatusRows() override
    {
        std::vector<StatusRow> rows;
        try {
            rows.reserve(m_pDataMgr->RowCount());
        } catch (...) {
            return false;
        }
        for (uint32_t i = 0; i < m_pDataMgr->RowCount(); ++i) {
            const Rec* rec = m_pDataMgr->Row(i);
            rows.push_back(StatusRow{rec, uint32_t(rec->Status)});
        }
        return PutStatusImage(rows);
    }

    virtual bool CheckVersion() { return ReadVersionTag(); }
    virtual bool LoadCategories() { return ReadQuietCategories(); }
    virtual bool LoadSchema() { return ReadQuietSchema(uint32_t(Rec::kFields)); }
    virtual bool LoadRecords()
    {
        return LoadRows(
            *m_pDataMgr, [this](Rec* rec) { return ReadRow(rec); },
            [this](const Rec& rec) { return IsHiddenRow(rec); });
    }
    virtual bool SaveCategories() { return WriteQuietCategories(); }
    virtual bool SaveSchema() { return WriteQuietSchema(); }
    virtual bool SaveRecords()
    {
        CX_ASSERT(m_pDataMgr);
        return SaveRows(*m_pDataMgr, [this](const Rec& rec) { return SaveRecord(rec); });
    }
    virtual bool SaveRecord(const Rec& rec) = 0;

    /// Reads one row as the schema gives it.
    virtual bool ReadRow(Rec* rec) = 0;
    /// A row kept for the save but not shown; none by default.
    virtual bool IsHiddenRow(const Rec& rec) const { return false; }

    /// The whole load of a file that logs nothing of its own steps.
    bool LoadQuiet(const char* path)
    {
        return LoadQuietFile(path, [this] {
            return CheckVersion() && ReadNameAndHeader() && LoadCategories() && LoadSchema() && LoadRecords();
        });
    }
    /// The whole save of a file that logs nothing of its own steps.
    bool SaveQuiet(const char* path)
    {
        return SaveQuietFile(path, [this] { return SaveCategories() && SaveSchema() && SaveRecords(); });
    }

    std::unique_ptr<PmClassicDataMgr<Rec>> m_pDataMgr;
};
