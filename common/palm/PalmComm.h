// The shared layer of the Palm Desktop .dat files: Palm time values, the
// binary field I/O of the file utilities, and the category table.
#pragma once

#include "misc/CxDateTime.h"

#include "platform/File.h"

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

/// Local calendar fields of a time value: full year, month 1-12, day 1-31,
/// hour 0-23, minute and second 0-59.
struct PmTimeParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

/// The date-time value of the data files: signed 32-bit seconds since 1970,
/// read in the machine's local time zone (no zone is stored with it). Every
/// accessor breaks the value down afresh.
class PmTime {
public:
    PmTime() = default;

    /// Value := local-time conversion of the fields (daylight saving left to
    /// the C library); -1 when the fields cannot be represented.
    void FromParts(int year, int month, int day, int hour, int minute, int second);
    /// Value := seconds; 0 means the current time.
    void FromSeconds(int32_t seconds);
    /// Value := seconds, 0 included (a stored 0 stays 0).
    void Set(int32_t seconds) { m_Value = seconds; }
    int32_t Value() const { return m_Value; }

    /// Local calendar fields of the value; false when the C library cannot
    /// break it down (negative values included), parts then all 0.
    bool Breakdown(PmTimeParts* parts);
    int Year();
    int Month();
    int Day();

    /// "MM/DD/YYYY"; fails (buffer emptied when there is one) when the text
    /// with its terminator does not fit: 11 is the smallest capacity.
    bool DateText(char* buffer, size_t capacity);
    /// "hh:mm:ss"; 9 is the smallest capacity.
    bool TimeText(char* buffer, size_t capacity);

    /// Value from year, month, day, hour, minute and second of the calendar
    /// time (day of week and milliseconds ignored); false for no argument.
    bool FromCalendarTime(const CxSystemTime* time);
    /// All 16 bytes zeroed, then year, month, day, hour, minute, second
    /// filled; false for no argument or a value that cannot be broken down.
    bool ToCalendarTime(CxSystemTime* time);

private:
    bool FormatInto(char* buffer, size_t capacity, bool date);

    int32_t m_Value = 0;
    PmTimeParts m_Last;  ///< fields of the most recent Breakdown
};

// ---------------------------------------------------------------------------
// Categories

/// One category of a .dat file's table.
class PmCategory {
public:
    static constexpr uint32_t kDirty = 0x10;

    PmCategory() = default;
    PmCategory(int32_t index, int32_t id, const char* name);
    PmCategory(const PmCategory&) = default;
    PmCategory& operator=(const PmCategory&) = default;
    virtual ~PmCategory() = default;

    virtual int32_t GetIndex() const { return m_Index; }
    virtual int32_t GetId() const { return m_Id; }
    virtual const char* GetName() const { return m_szName; }
    /// Zeroes the buffer over *capacity; fails for an empty name or one
    /// longer than *capacity; otherwise copies it (no terminator is added)
    /// and returns its length in *capacity.
    virtual bool CopyName(char* buffer, uint32_t* capacity) const;
    /// As CopyName, and the copy is terminated when it is shorter.
    virtual bool CopyFileName(char* buffer, uint32_t* capacity) const;
    virtual uint32_t GetFlags() const { return m_Flags; }
    virtual void SetIndex(int32_t index) { m_Index = index; }
    virtual void SetId(int32_t id) { m_Id = id; }
    /// Keeps the first 15 characters.
    virtual void SetName(const char* name);
    /// Keeps the first 255 characters.
    virtual void SetFileName(const char* fileName);
    virtual void SetFlags(uint32_t flags) { m_Flags = flags; }
    virtual void SetDirty(bool dirty);
    virtual bool TestFlag1() const { return (m_Flags & 0x01) != 0; }
    /// Same index, same id and byte-equal names.
    virtual bool Equals(const PmCategory& other) const;

    const char* GetFileName() const { return m_szFileName; }
    bool IsDirty() const { return (m_Flags & kDirty) != 0; }

private:
    int32_t m_Index = -1;
    int32_t m_Id = -1;
    char m_szName[16] = {};
    char m_szFileName[256] = {};
    uint32_t m_Flags = 0;
};

/// The category table of one open file: at most 16 categories, slot n
/// holding the category whose index is n.
class PmCategoryMgr {
public:
    static constexpr int kSlots = 16;
    static constexpr int32_t kNewTableNextId = 128;

    PmCategoryMgr() = default;
    PmCategoryMgr(const PmCategoryMgr&) = delete;
    PmCategoryMgr& operator=(const PmCategoryMgr&) = delete;
    virtual ~PmCategoryMgr();

    virtual uint32_t Count() const { return m_Count; }
    /// The first category, slots 0-15, whose id equals the argument.
    virtual PmCategory* FindById(int32_t id);
    virtual PmCategory* GetByIndex(uint32_t slot);
    /// Case-insensitive; none for an absent or empty name.
    virtual PmCategory* FindByName(const char* name);
    virtual PmCategory* First();
    virtual PmCategory* Next();
    /// Stores a copy. An index of -1 takes the first free slot 1-15, an id
    /// of -1 gets a new id (both set the dirty bit); an id already held is
    /// refused, the new id included, and so is an index outside 0-15 or one
    /// already taken. A
    /// named category gets the file-name-safe form of its name as its file
    /// name. Sets the modified flag.
    virtual bool Add(const PmCategory* category);
    virtual void SetModified(bool modified) { m_Modified = modified; }

    bool IsModified() const { return m_Modified; }
    int32_t NextId() const { return m_NextId; }
    void SetNextId(int32_t id) { m_NextId = id; }
    /// One more than the largest id before the first empty slot; -1 when
    /// slot 0 is empty, no slot is free or that id would pass INT32_MAX.
    int32_t NewId() const;

    /// The name cut to 255 characters with " * + , . / : ; < = > ? [ \ ] ^ |
    /// replaced by '_'. out holds 256 bytes.
    static void SafeFileName(const char* name, char* out);

    /// The slots of the stored entries in the order a file holds them, which
    /// need not be slot order: loads note each entry as read, tools may set
    /// an order for a new file.
    void NoteStored(int32_t slot) { m_Order.push_back(slot); }
    void SetStoredOrder(std::vector<int32_t> order) { m_Order.swap(order); }
    /// The 16 slots in the order a category block writer visits them: slot
    /// order, but the slots in `written` (ascending) take the stored order
    /// when it lists exactly those.
    std::vector<int32_t> VisitOrder(const std::vector<int32_t>& written) const;

private:
    std::vector<int32_t> m_Order;
    int32_t m_NextId = kNewTableNextId;
    uint32_t m_Cursor = 0;
    uint32_t m_Count = 0;
    PmCategory* m_Slots[kSlots] = {};
    bool m_Modified = false;
};

// ---------------------------------------------------------------------------
// Binary field I/O

/// Type tags of the typed fields.
enum PmFieldTag : uint32_t {
    PM_TAG_INT = 1,
    PM_TAG_DATE = 3,
    PM_TAG_TEXT = 5,
    PM_TAG_BOOL = 6,
    PM_TAG_REPEAT = 8,
    PM_TAG_BLOCK1 = 0x40,
    PM_TAG_BLOCK2 = 0x41,
    PM_TAG_BLOCK3 = 0x42,
    PM_TAG_BLOCK4 = 0x43,
    PM_TAG_WIDE = 0x44,
};

/// A field of tag 0x40 to 0x43, kept verbatim from load to save. Form word
/// 0: nothing follows; 1 to 3: first word, second word, length and data;
/// 4 and more: exactly (form word) bytes, and length equals the form word.
/// Copying a block copies its data.
struct PmBlock {
    uint32_t Tag = 0;
    uint32_t Form = 0;
    uint32_t Word1 = 0;
    uint32_t Word2 = 0;
    uint32_t Length = 0;
    std::vector<uint8_t> Data;
};

/// The repeat field (tag 8) of calendar and tasks records, in both .dat
/// layouts. What a load reads is kept whole (the exception dates, the class
/// tag, the class name as stored) so that a save writes the field back as
/// it was read. A repeat made afresh has ClassTag 0 and is written with the
/// class header of its class.
struct PmRepeat {
    uint32_t Class = 0;      ///< 0 none; 1 CDayName, 2 CWeekly, 3 CDayOfMonth, 4 CDateOfMonth, 5 CDateOfYear, 6 CDayOfYear
    uint32_t Interval = 0;
    uint32_t EndDate = 0;    ///< a time value of the file's generation
    uint32_t Word4 = 0;
    uint32_t DayIndex = 0;   ///< classes 1, 2, 3
    uint8_t DaysMask = 0;    ///< class 2
    uint32_t WeekIndex = 0;  ///< class 3
    uint32_t Month = 0;      ///< class 5: 0 January to 11
    uint32_t DayNumber = 0;  ///< classes 4 and 5
    std::vector<uint32_t> Exceptions;  ///< the exception dates
    /// As read: 0 no repeat (nothing followed; also a repeat made afresh),
    /// 0xFFFF a class header with ClassName, any other value no header.
    uint16_t ClassTag = 0;
    std::string ClassName;
};

/// The class name of a repeat class 1 to 6, none otherwise.
const char* PmRepeatClassName(uint32_t repeatClass);

/// The schema block of a .dat file: the record's resource id, the number
/// of fields a row holds, the positions of the record id, status and
/// placement fields, and the list of field types (Fields Count entries).
struct PmSchema {
    uint32_t ResourceID = 0;
    uint32_t FieldsPerRow = 0;
    uint32_t RecordIDPos = 0;
    uint32_t StatusPos = 1;
    uint32_t PlacementPos = 2;
    uint16_t FieldsCount = 0;
    std::vector<uint16_t> FieldTypes;
};

/// What the schema block load and save report, for each utility to log and
/// check with its own texts. Every hook does nothing by default.
class PmSchemaEvents {
public:
    enum Item { ResourceID, FieldsPerRow, RecordIDPos, StatusPos, PlacementPos, FieldsCount, FieldType };
    virtual ~PmSchemaEvents() = default;
    /// Loading: the item was read (for FieldType, entry `index`); false
    /// refuses the schema there and the load stops.
    virtual bool Read(Item item, const PmSchema& schema, int index) { return true; }
    /// The read or write of the item failed (for FieldType, of entry `index`).
    virtual void Failed(Item item, int index) {}
};

/// What the category block load and save report, for each utility to log
/// with its own texts. Every hook does nothing by default.
class PmCategoryEvents {
public:
    enum Step {
        NextId, Count, Index, Id, Dirty, Name, FileName,
        Add,           ///< the table refused the entry (duplicate id, full table)
        BadIndex,      ///< index 0, or 16 and above
        RepeatedIndex  ///< the index of an earlier entry
    };
    virtual ~PmCategoryEvents() = default;
    /// A read or write of the step failed, or the entry was refused; the
    /// category is the entry at hand (none for NextId and Count).
    virtual void Failed(Step step, const PmCategory* category) {}
    /// A stored name was read (before it is cut to 15 characters).
    virtual void NameRead(const char* name) {}
    /// Saving: slot is empty, or holds the "Unfiled" category.
    virtual void Skipped(int slot, bool unfiled) {}
    /// Saving: the category was written.
    virtual void Saved(const PmCategory& category) {}
};

/// Base of every .dat file utility: one exclusively opened file, raw
/// little-endian values, counted strings and typed fields, and the file's
/// category table.
///
/// The file is buffered as a whole. Opening for reading (ModeRead,
/// ModeReadWrite) takes the file without sharing and reads all of it into
/// memory; the reads then come from that copy and Position is the offset
/// in it. Writes (ModeWrite, ModeReadWrite, ModeCreate) go into an output
/// buffer that starts empty at offset 0; once something was written,
/// Position is the offset in the output. Nothing reaches the disk until
/// Commit, which replaces the file's content by the output in one step
/// (temporary file, .bak of the original, rename) while the file is still
/// held; Close without Commit discards the output. A save is therefore:
/// Open(path, ModeWrite), the writes, Commit, Close.
///
/// A read that finds fewer bytes than it asks for fails (a truncated file
/// is never taken for a short one); ReadSome delivers what is there.
class PmDBUtil {
public:
    enum Mode { ModeRead = 0, ModeWrite = 1, ModeReadWrite = 2, ModeCreate = 3 };
    /// Texts the record fields are given at most, unless they keep the
    /// stored text whole (see ReadTextField).
    static constexpr size_t kMaxTextField = 8191;

    PmDBUtil() = default;
    PmDBUtil(const PmDBUtil&) = delete;
    PmDBUtil& operator=(const PmDBUtil&) = delete;
    virtual ~PmDBUtil();

    /// Fails for an absent or empty name (longer than 255 characters
    /// included) or an unknown mode; closes any open file first; on
    /// success the held file name becomes the name. A read (ModeRead,
    /// ModeReadWrite) notes the file's size, modification time and the
    /// digest of the bytes read, for Commit to compare with. ModeWrite opens
    /// the file for reading too, so that Commit can read it under the same
    /// open. After a failure OpenError() holds the system's error number.
    bool Open(const char* fileName, int mode);
    /// errno of the last Open that failed (EWOULDBLOCK: another opener holds
    /// the file; EINVAL: no usable name or mode).
    int OpenError() const { return m_OpenError; }
    /// Closes the file (output not committed is dropped); the held file
    /// name stays.
    void Close();
    bool IsOpen() const { return m_File.IsOpen(); }
    /// Offset in the input, or in the output once something was written; 0
    /// when no file is open.
    uint32_t Position() const;
    /// Replaces the held file's content by the output buffer; *error says
    /// which step failed and SaveReason why, in the user's words. Needs an
    /// open file in a writing mode.
    ///
    /// A save over the file that was read last (the same path, opened with
    /// ModeWrite) writes only over what that read found. Under the open that
    /// holds the file, its size and modification time, and then the digest
    /// of all its bytes, must still be those of the read; otherwise nothing
    /// is written, no backup is made and the reason is kPmReasonChanged.
    /// A modification time that moved over the same bytes is refused too:
    /// the program cannot tell a rewrite of the same content from a change
    /// undone, and the user loses nothing but a second run. After a commit,
    /// the new content is what a later save of the run compares with.
    bool Commit(std::string* error);
    /// For a holder whose only changes to the loaded records are their
    /// status words (deletions): while set, a save over the loaded rows may
    /// write the bytes read with each row's status word put in, without
    /// writing the rows again. The holder promises that no other field of a
    /// record changed; a load clears it.
    void SetOnlyStatusChanges(bool only) { m_OnlyStatus = only; }
    /// Why the last save failed, in the user's words (see PalmReason.h);
    /// empty after a save that went through.
    const std::string& SaveReason() const { return m_SaveReason; }

    bool ReadBytes(void* buffer, uint32_t n);
    bool ReadSome(void* buffer, uint32_t* count);
    bool ReadU8(uint8_t* v) { return ReadBytes(v, 1); }
    bool ReadU16(uint16_t* v);
    bool ReadU32(uint32_t* v);
    bool ReadU64(uint64_t* v);
    bool WriteBytes(const void* buffer, uint32_t n);
    bool WriteU8(uint8_t v) { return WriteBytes(&v, 1); }
    bool WriteU16(uint16_t v);
    bool WriteU32(uint32_t v);
    bool WriteU64(uint64_t v);

    /// Reads a counted string into buffer (capacity + 1 bytes) and
    /// terminates it. A stored length above *capacity fails with the
    /// length in *capacity and nothing more read.
    bool ReadCountedString(char* buffer, uint32_t* capacity);
    /// Reads a counted string whole.
    bool ReadCountedString(std::string* text);
    /// Absent or empty text: one byte 0. Fails above 65535 bytes.
    bool WriteCountedString(const char* text);
    bool WriteCountedString(const char* text, size_t length);

    /// Tag 1, 3 or 6, then the word.
    bool ReadIntField(uint32_t* value);
    /// Tag 5, the prefix word, a counted string. buffer must hold 8192
    /// bytes: at most 8191 characters are delivered (up to a zero byte),
    /// the whole stored text is consumed.
    bool ReadTextField(char* buffer, uint32_t* prefix);
    /// Tag 5, the prefix word and the stored text whole.
    bool ReadTextField(std::string* text, uint32_t* prefix);
    /// Tag 5 and the prefix word; *text points at the stored bytes in the
    /// input, valid until the file is closed.
    bool ReadTextSpan(const char** text, uint32_t* length, uint32_t* prefix = nullptr);
    bool ReadBlockField(PmBlock* block);
    /// A tag that is not checked, then 8 bytes.
    bool ReadWideField(uint64_t* value);
    bool WriteIntField(uint32_t value);
    bool WriteDateField(uint32_t value);
    /// Written as given, not reduced to 0 or 1.
    bool WriteBoolField(uint32_t value);
    bool WriteTextField(const char* text, uint32_t prefix);
    bool WriteTextField(const char* text, size_t length, uint32_t prefix);
    bool WriteBlockField(const PmBlock* block);
    bool WriteWideField(uint64_t value);

    /// Copies the name of the category with that id into szCatText (16
    /// bytes); false, buffer untouched, when the id is unknown.
    bool CategoryText(int32_t id, char* szCatText);

    /// Reads a category block (next id, count, entries; "Unfiled" is not
    /// stored) into a new table that replaces m_pCatMgr, with "Unfiled" in
    /// slot 0. An entry whose index is 0, 16 or more or repeats another's,
    /// or that the table refuses, fails the load. The entries' order and
    /// their names and file names as stored (of any length) are kept for the
    /// save. The modified flag ends cleared.
    bool LoadCategoryBlock(PmCategoryEvents* events);
    /// Writes the table as a category block: the next id, then 0 when it
    /// holds no more than "Unfiled", else the count of the entries in slots
    /// 1-15 with an id other than 0 and those entries, in the order read (in
    /// slot order when the table changed), with dirty words of 1 or 0 and,
    /// for an entry still as read, its stored name and file name. Without a
    /// table: next id 128, count 0. *fullLoop tells whether the slot loop ran.
    bool SaveCategoryBlock(PmCategoryEvents* events, bool* fullLoop = nullptr);

    /// Reads a schema block into m_Schema; `events` may stop it after any
    /// item. The type list takes only entries the file holds.
    bool LoadSchemaBlock(PmSchemaEvents* events);
    /// Writes m_Schema as read: Fields Count type entries (0 for any the
    /// list does not hold).
    bool SaveSchemaBlock(PmSchemaEvents* events);
    const PmSchema& Schema() const { return m_Schema; }

    /// A repeat field: tag 8, the exception dates, the class tag, after
    /// 0xFFFF the schema word 1 and the class name, then the class, interval,
    /// end date and fourth word and the payload of the class (none for a
    /// class outside 1 to 5). Nothing is made for dates or a name the file
    /// does not hold.
    bool ReadRepeatField(PmRepeat* repeat);
    /// Writes the repeat as read; a repeat made afresh gets the class header
    /// of its class, and fails when its class has no name (outside 1 to 6).
    bool WriteRepeatField(const PmRepeat& repeat);

    const char* FileName() const { return m_szFileName; }
    PmCategoryMgr* CategoryMgr() { return m_pCatMgr; }

    /// For tools that write new files: the prefix words of the text fields,
    /// taken in turn (1 for each by default), and the database file name to
    /// store inside (by default the path written to).
    void SetNewTextPrefixes(std::vector<uint32_t> words) { m_NewPrefixes.swap(words); }
    void SetNewStoredName(const std::string& name) { m_NewStoredName = name; }

protected:
    /// The input bytes from offset `from` up to `to` (empty when outside).
    std::string InputBytes(uint32_t from, uint32_t to) const;
    /// The input bytes not read yet: what bounds every count a file gives
    /// before anything is made for it (0 when nothing was read in).
    size_t InputLeft() const { return m_In.size() - m_InPos; }
    /// Replaces the category table (owned) by another one, or none.
    void SetCategoryMgr(PmCategoryMgr* mgr);

    /// For readers that take many fields at a time: the input not read yet
    /// (*left bytes from the returned address), and a step over n of them.
    const char* UnreadInput(size_t* left) const
    {
        *left = m_In.size() - m_InPos;
        return m_In.data() + m_InPos;
    }
    void SkipInput(size_t n)
    {
        size_t left = m_In.size() - m_InPos;
        m_InPos += n < left ? n : left;
    }
    /// For writers that know how much they are about to write: room for n
    /// more bytes of output, so that the buffer is not grown step by step.
    /// Only a hint: without the memory the writes grow the buffer as usual.
    void ReserveOutput(size_t n)
    {
        try {
            m_Out.reserve(m_Out.size() + n);
        } catch (...) {
        }
    }

    // ---- what a load read, written back by a save ---------------------------
    //
    // A save writes back the bytes its load read. Each row is written as it
    // was read but for the values its record now holds: an integer field
    // keeps the tag it was read with, a text field its prefix word (and its
    // stored bytes when the text is unchanged); the category block, the
    // stored file name, header and reserved bytes and any bytes after the last
    // row stay as they were. Deleting records only changes status words, so a
    // cleaned file differs from the original in those words alone. A row
    // whose other fields changed in a way the bytes read cannot carry is
    // written as the save wrote it. The image applies while the rows are the
    // loaded records in their order and the header parts were not changed
    // since the load; otherwise (a file built by a tool, records added) the
    // save's own content is written.

    /// The kinds of field a save marks, so that its rows can be laid over
    /// the rows read.
    enum class FieldKind : uint8_t { Int, Text, Other };
    /// One row of a save: its record and where the save wrote it.
    struct ImageRow {
        const void* rec;
        size_t begin;
        size_t end;
    };
    /// Starts the image of a load: the input is kept when the file closes.
    void BeginImage();
    /// Notes a row read from input offset `start` into `rec`, and where in
    /// it lies the value of field `statusField` when that field is an
    /// integer holding `status` (the record's status as read); otherwise the
    /// row's status word is unknown and a save writes the rows again.
    void NoteImageRow(const void* rec, size_t start, uint32_t statusField, uint32_t status);
    /// Notes where the last row ends.
    void EndImageRows() { m_ImageRowsEnd = m_InPos; }
    /// Forgets the image (a failed load, defaults for a new file).
    void DropImage();
    /// Marks a header part (labels, header text, categories) changed.
    void MarkHeaderEdited() { m_HeaderEdited = true; }
    /// Starts a save's field marks when the image may apply.
    void BeginFieldMarks();
    /// A field of a save's row starts at output offset `at`.
    void MarkField(FieldKind kind, size_t at)
    {
        if (m_MarkFields)
            m_Marks.push_back(FieldMark{kind, at});
    }
    void MarkField(FieldKind kind) { MarkField(kind, m_Out.size()); }
    /// At the end of a save's content: when the image applies to `rows`,
    /// the output becomes the bytes read with each row laid over as above.
    /// True when it applied. When it does not, the rows are written afresh:
    /// each integer field with the tag its type in `types` names (1, 3 or
    /// 6; another type keeps the writer's tag) and each text field with the
    /// next of the new-file prefix words.
    bool FinishRows(const std::vector<ImageRow>& rows, const std::vector<uint16_t>& types);
    /// One row of a status-only save: its record and the status it holds.
    struct StatusRow {
        const void* rec;
        uint32_t status;
    };
    /// Instead of a save's own rows, when the holder changed nothing but
    /// status words (SetOnlyStatusChanges) and the image applies to `rows`
    /// (the loaded records in their order, header parts unchanged) with every
    /// status word known: the output becomes the bytes read with each row's
    /// status word set to its record's, and true. Otherwise nothing changes
    /// and the save writes its rows as usual.
    bool PutStatusImage(const std::vector<StatusRow>& rows);
    /// A save that writes the content afresh whatever was loaded (a new file).
    void SaveAfresh() { m_Afresh = true; }

    /// Sets the reason of a save that failed before its commit, in the
    /// user's words; an empty one starts a save.
    void SetSaveReason(const std::string& reason) { m_SaveReason = reason; }

    /// The file name a save stores inside a file written to `path`.
    const char* StoredNameFor(const char* path) const
    {
        return m_NewStoredName.empty() ? path : m_NewStoredName.c_str();
    }
    /// The offset of the next byte to read, and the size of the output.
    size_t InputPos() const { return m_InPos; }
    size_t OutputSize() const { return m_Out.size(); }

    char m_szFileName[256] = {};
    PmCategoryMgr* m_pCatMgr = nullptr;
    /// The schema block read, or the one a new file is written with.
    PmSchema m_Schema;

private:
    bool Has(uint32_t n) const { return m_In.size() - m_InPos >= n; }

    // The bytes of the last good load, where each of its rows begins and
    // where the last ends, and whether they can be written back.
    std::string m_Image;
    struct ImageSlot {
        const void* rec;
        size_t start;
        size_t statusAt;  ///< offset of the status value; 0 when unknown
    };
    std::vector<ImageSlot> m_ImageSlots;
    size_t m_ImageRowsEnd = 0;
    bool m_KeepInput = false;
    bool m_ImageUsable = false;
    bool m_HeaderEdited = false;
    bool m_OnlyStatus = false;
    struct FieldMark {
        FieldKind kind;
        size_t at;
    };
    std::vector<FieldMark> m_Marks;
    bool m_MarkFields = false;
    // The category entries as stored. The table keeps names of at most 15
    // characters and makes its own file names; a save writes the stored
    // texts back for every category the table still holds unchanged.
    struct StoredCategory {
        int32_t index;
        int32_t id;
        std::string name;
        std::string fileName;
    };
    std::vector<StoredCategory> m_StoredCats;
    bool m_Afresh = false;
    std::vector<uint32_t> m_NewPrefixes;
    std::string m_NewStoredName;
    bool PutImage(const std::vector<ImageRow>& rows);
    void DressRows(const std::vector<ImageRow>& rows, const std::vector<uint16_t>& types);
    /// Lays one row of the output over the row read; false when it cannot.
    bool MergeRow(size_t sBegin, size_t sEnd, size_t* mark, size_t rBegin, size_t rEnd, std::string* out) const;

    /// Commit's check: true when the held file is not the one read last, or
    /// is still exactly what that read found.
    bool StillAsRead(std::string* error);

    // What the last read found of its file (see Commit).
    struct ReadStamp {
        bool valid = false;
        std::string host;
        plat::FileStamp stamp;
        uint64_t digest = 0;
    };
    ReadStamp m_Read;
    std::string m_SaveReason;
    int m_OpenError = 0;

    plat::ExclusiveFile m_File;
    int m_Mode = -1;
    std::string m_In;
    size_t m_InPos = 0;
    std::string m_Out;
};
