// The database layer of the 6.x desktop data: tagged field values, the
// accessor that builds and runs every statement, the category table and the
// base of the four database utilities with their shared load and write-back.
#pragma once

#include "misc/CxList.h"
#include "palm/CommRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

class TdmMain;
class DbConnection;
class DbQuery;
namespace jet {
struct ColumnUse;
struct Refusal;
}  // namespace jet

// ---------------------------------------------------------------- field values

enum : uint16_t {
    kPmVtEmpty = 0,
    kPmVtI2 = 2,
    kPmVtI4 = 3,
    kPmVtBstr = 8,
    kPmVtBool = 11,
    kPmVtI1 = 16,
};

/// A tagged value laid out as an automation variant: a 16-bit tag, three
/// reserved words and the payload. A text owns its string (none for an
/// empty text); FreeValues releases it.
struct PmFieldValue {
    uint16_t vt;
    uint16_t reserved1;
    uint16_t reserved2;
    uint16_t reserved3;
    union {
        int32_t lVal;
        int16_t iVal;
        int8_t cVal;
        int16_t boolVal;
        char16_t* bstrVal;
        int64_t payload;
    };
};
static_assert(sizeof(PmFieldValue) == 16, "a field value is 16 bytes");

/// Where a loaded row is stored, as its database engine names it (SQLite:
/// the rowid). Opaque above the connection: it is kept with the record that
/// was read from the row and names that row again for the record's update,
/// whatever the record's texts became in memory. `known` is 0 for a record
/// that was not read from a database (or from a table without row keys).
struct PmRowKey {
    int64_t value;
    uint8_t known;
    /// The row's Status as the load read it (a Null one as 0), when the
    /// table has one (`statusKnown`): a deletion refuses a row whose Status
    /// another program changed since, rather than writing over that change.
    uint8_t statusKnown;
    int32_t status;
};

/// Longest text a value maker converts, in wide characters.
constexpr size_t kPmMaxTextChars = 40959;

bool MakeIntValue(int32_t value, PmFieldValue* out);
bool MakeBoolValue(uint8_t value, PmFieldValue* out);
/// The makers fill a fresh value (what it held is not released). False when
/// the string cannot be allocated; an empty text has no string. A text is a
/// 6.x record's text: UTF-8 (an invalid sequence becomes U+FFFD).
bool MakeTextValue(const char* utf8, PmFieldValue* out);
bool MakeIntTextValue(int32_t value, PmFieldValue* out);
/// Releases the string of a text value and empties the value.
void ClearValue(PmFieldValue* value);

bool ValueToInt(const PmFieldValue* value, int32_t* out);
bool ValueToBool(const PmFieldValue* value, uint8_t* out);
/// The ANSI form of a text value in a buffer, cut as PmAnsiCut cuts it;
/// always terminates the buffer (when it has room for anything). The
/// records keep the stored text instead (PmStoredCut).
bool ValueToText(const PmFieldValue* value, char* buffer, size_t size);
/// The ANSI text of a wide text as a buffer of `size` bytes would hold it:
/// whole when it fits with its terminator, otherwise cut between characters
/// (a double-byte character is never cut in half) to at most size - 1 bytes.
std::string PmAnsiCut(std::u16string_view wide, size_t size);
/// The stored text of a wide text, in UTF-8, cut where PmAnsiCut cuts it:
/// the longest prefix of whole characters (a surrogate pair is one) whose
/// ANSI form fits size - 1 bytes. The fields of 6.x records always had the
/// capacity of the ANSI text, and users see their texts cut there; the text
/// kept is the stored one, so that characters outside the code page stay
/// apart instead of all becoming '?'.
std::string PmStoredCut(std::u16string_view wide, size_t size);
/// The same cut of a UTF-8 text (a 6.x text put into a smaller field).
std::string PmStoredCutUtf8(std::string_view utf8, size_t size);

/// A text field of a 6.x record: capacity N bytes with the terminator, as the
/// fixed arrays of the file layouts had, but taking only the room its text
/// needs. It holds the stored text in UTF-8, cut by its maker where the ANSI
/// text would have been cut (PmStoredCut, set with SetStored); Set still
/// cuts a text at N - 1 bytes.
template <size_t N>
using PmEx2Text = FixedText<N>;

/// ValueToText into a text field: the stored text in UTF-8 with the cut its
/// ANSI text had in a buffer of the field's capacity. False (the field
/// unchanged) for a value that is not a text.
template <size_t N>
bool ValueToText(const PmFieldValue* value, PmEx2Text<N>* field)
{
    if (!value || !field || value->vt != kPmVtBstr)
        return false;
    field->SetStored(PmStoredCut(value->bstrVal ? std::u16string_view(value->bstrVal) : std::u16string_view(), N));
    return true;
}

/// A 6.x text put into a field of another capacity (a common record's),
/// cut there as its ANSI form would have been.
template <size_t N, size_t M>
inline void PmSetStoredField(FixedText<N>& field, const FixedText<M>& text)
{
    if (text.Length() < N)
        field.SetStored(text.View());
    else
        field.SetStored(PmStoredCutUtf8(text.View(), N));
}

// ---------------------------------------------------------------- accessor

enum PmSqlKind : int32_t { kPmSqlSelect = 1, kPmSqlInsert = 2, kPmSqlUpdate = 4 };

/// Application kinds of the databases.
enum PmDbKind : int32_t { kPmDbAddr = 1, kPmDbDate = 2, kPmDbTodo = 3, kPmDbMemo = 4 };

constexpr size_t kPmSqlBufferSize = 40960;

/// The database of an application kind below a user's data folder:
/// "address\Address.mdb", "datebook\DateBook.mdb", "todo\Todolist.mdb",
/// "MemoPad\MemoPad.mdb"; empty for another kind.
const char* PmEx2DatabaseSubPath(int32_t kind);

/// The statement builders and the operations a database utility calls.
class PmDataAccessor {
public:
    PmDataAccessor();
    virtual ~PmDataAccessor();

    virtual void ReleaseHook() {}
    virtual const char* InformationSql(const char* condition, int32_t kind, const char* const* columns,
                                       const PmFieldValue* values, int32_t count);
    virtual const char* CategorySql(const char* condition, int32_t kind, const char* const* columns,
                                    const PmFieldValue* values, int32_t count);
    virtual const char* MainSql(const char* condition, int32_t kind, const char* const* columns,
                                const PmFieldValue* values, int32_t count);
    virtual bool SelectAllFirst(const char* table, const char* const* columns, PmFieldValue** row, int32_t* count)
    {
        return false;
    }
    virtual bool SelectAllNext(const char* table, const char* const* columns, PmFieldValue** row, int32_t* count)
    {
        return false;
    }
    virtual bool QueryFirst(const char* statement, PmFieldValue** row, int32_t* count) { return false; }
    virtual bool QueryNext(const char* statement, PmFieldValue** row, int32_t* count) { return false; }
    virtual bool Execute(const char* statement, bool returnsRows) { return false; }
    /// Runs a statement that must change exactly one row (an update of a
    /// loaded row): when it would change none or more than one, rows changed
    /// by its triggers counted, it changes nothing and fails. A change that
    /// was made waits, with the others of the run, for the commit of the
    /// accessor (PmMDBAccessor::CommitChanges).
    virtual bool ExecuteOnOneRow(const char* statement) { return false; }
    /// The row key of the row that the last QueryFirst or QueryNext read;
    /// false when it has none.
    virtual bool CurrentRowKey(int64_t* key) const { return false; }
    /// The condition ("WHERE ...") naming exactly the row of a row key;
    /// empty when there is no connection that knows row keys.
    virtual std::string RowKeyCondition(int64_t key) { return std::string(); }
    /// What stopped the last statement or row read, in the database's words;
    /// empty when it ran without error (the end of the rows is no error).
    const std::string& LastError() const { return m_lastError; }
    /// Why the last change (ExecuteOnOneRow, CommitChanges) failed, in the
    /// user's words (see PalmReason.h); empty when it went through.
    const std::string& LastReason() const { return m_lastReason; }

    /// The statement text in one shared buffer that the next build overwrites.
    static const char* BuildSql(const char* table, const char* condition, int32_t kind, const char* const* columns,
                                const PmFieldValue* values, int32_t count);
    /// "WHERE ..." of equality comparisons joined by " AND ".
    static bool BuildWhere(const char* const* columns, int32_t count, const PmFieldValue* values, char* out,
                           size_t size);
    /// The literal of one value into a buffer of the given size ("" for a tag without literal).
    static void ValueLiteral(const PmFieldValue* value, char* out, size_t size);
    static void FreeValues(PmFieldValue* row, int32_t count);

    const char* LastQuery() const { return m_lastQuery; }

protected:
    char m_lastQuery[4096];
    std::string m_lastError;
    std::string m_lastReason;
};

/// The accessor of one database file of one application kind, on the
/// connection and query of that kind in the data module.
class PmMDBAccessor : public PmDataAccessor {
public:
    PmMDBAccessor(TdmMain* module, int32_t kind, const char* path);
    /// Undoes the changes not committed.
    ~PmMDBAccessor() override;

    /// Undoes the changes not committed, then (re)opens the connection on
    /// the file.
    void Open(int32_t kind, const char* path);

    /// The changes of ExecuteOnOneRow are made in one transaction on the
    /// connection, begun by the first of them (after the backup copy of the
    /// file) and made part of the file, all together, here. True when there
    /// is nothing to commit. False, with *error in the database's words, when
    /// the commit fails (everything is undone then) or the transaction was
    /// already undone (by the database after a full disk or an I/O error, or
    /// by a close of the connection): the file holds none of the changes.
    /// A file that another program put in the place of the one opened, or
    /// removed, takes no change: the first change and the commit refuse it.
    bool CommitChanges(std::string* error);
    /// Undoes the changes not committed: the file holds none of them.
    void RollbackChanges();
    /// True while changes wait for CommitChanges (or were lost before it).
    bool HasPendingChanges() const { return m_batch != 0 || m_batchLost; }

    bool SelectAllFirst(const char* table, const char* const* columns, PmFieldValue** row, int32_t* count) override;
    bool SelectAllNext(const char* table, const char* const* columns, PmFieldValue** row, int32_t* count) override;
    bool QueryFirst(const char* statement, PmFieldValue** row, int32_t* count) override;
    bool QueryNext(const char* statement, PmFieldValue** row, int32_t* count) override;
    bool Execute(const char* statement, bool returnsRows) override;
    bool ExecuteOnOneRow(const char* statement) override;
    bool CurrentRowKey(int64_t* key) const override;
    std::string RowKeyCondition(int64_t key) override;

    virtual DbQuery* AddrQuery();
    virtual DbQuery* DateQuery();
    virtual DbQuery* TodoQuery();
    virtual DbQuery* MemoQuery();
    virtual DbQuery* Query();
    virtual DbConnection* AddrConnection();
    virtual DbConnection* DateConnection();
    virtual DbConnection* TodoConnection();
    virtual DbConnection* MemoConnection();
    virtual DbConnection* Connection();

    int32_t Kind() const { return m_kind; }
    const char* DatabaseFile() const { return m_dbFile; }

    /// On a Jet file, checks before any row is read that the table's columns
    /// are of types the program reads for their uses (jet::Engine::
    /// CheckColumns): false, with the reason logged at level 0 and kept as
    /// LastError, when one is not. True on an SQLite file, whose engine
    /// converts what it stores.
    bool CheckColumnTypes(const char* table, const std::vector<jet::ColumnUse>& uses);
    /// The kind of fault behind the last failure to open the file or to run
    /// a statement on it, for the words a user is given: the connection's
    /// when the file could not be opened; on a Jet file, the engine's; a
    /// damaged file for a statement that stopped on any other file (a table
    /// missing, a malformed page).
    jet::Refusal LastRefusal();

private:
    bool ReadCurrentRow(DbQuery* query, PmFieldValue** row, int32_t* count);
    /// The copy of the file before its first change of this run.
    bool BackupBeforeChange(const char* statement);
    /// Before a change: the transaction of the uncommitted changes, begun
    /// after the backup copy (SQLite) when there is none yet. False (logged,
    /// nothing copied or changed) when the file is no longer the one opened,
    /// when another program writes the database, when the copy cannot be
    /// made, or when the earlier changes were lost before their commit: a
    /// commit of the later ones would leave part of the run.
    bool BeginChanges(const char* statement);
    void LogQueryError(const char* statement, const std::string& error);

    TdmMain* m_module;
    int32_t m_kind = 0;
    char m_dbFile[260];
    int64_t m_rowKey = 0;  // of the row last read
    bool m_hasRowKey = false;
    uint64_t m_batch = 0;       // the connection's transaction of the uncommitted changes
    bool m_batchLost = false;   // it ended before its commit
};

// ---------------------------------------------------------------- categories

class PmCategoryEx2 {
public:
    virtual ~PmCategoryEx2() = default;

    int32_t ID = 0;
    /// The stored name in UTF-8, cut where its ANSI form would have been cut
    /// in a field of kNameCapacity bytes.
    std::string Name;
    static constexpr size_t kNameCapacity = 256;
    int32_t Status = 0;
    int32_t Color = 0;
};

/// The categories of one database, in table order.
class PmCategoryEx2Mgr {
public:
    explicit PmCategoryEx2Mgr(PmDataAccessor* accessor = nullptr) : m_pAccessor(accessor) {}
    virtual ~PmCategoryEx2Mgr();

    virtual uint32_t Count() const { return m_Cats.Count(); }
    virtual void Clear();
    virtual bool AddCopy(const PmCategoryEx2* category);
    virtual PmCategoryEx2* FindByID(int32_t id);
    virtual PmCategoryEx2* GetAt(uint32_t position);
    /// Exact, case-sensitive; none for an empty name.
    virtual PmCategoryEx2* FindByName(const char* name);
    virtual PmCategoryEx2* First() { return m_Cats.First(); }
    virtual PmCategoryEx2* Next() { return m_Cats.Next(); }

    void SetAccessor(PmDataAccessor* accessor) { m_pAccessor = accessor; }
    PmDataAccessor* Accessor() const { return m_pAccessor; }

private:
    PmDataAccessor* m_pAccessor;
    CxList<PmCategoryEx2> m_Cats;
};

// ---------------------------------------------------------------- columns

/// How a column of "Main" is read into and written from its record field.
enum class PmColKind : uint8_t {
    Int,      // ValueToInt / MakeIntValue
    IntText,  // ValueToInt / MakeIntTextValue (Category and the time columns)
    Bool,     // ValueToBool / MakeBoolValue, a byte field
    Text,     // ValueToText / MakeTextValue, a text field of `width` bytes
};

/// How the table layer reaches one text field of a record (a PmEx2Text), or
/// none (all null) for a column without one.
struct PmTextAccess {
    /// The field's text (terminated: view.data()[view.size()] is NUL).
    std::string_view (*get)(const void* record);
    /// Sets the field to a text already cut to its capacity (PmStoredCut):
    /// the field does not cut it again.
    void (*set)(void* record, std::string_view text);
    /// The field's capacity in bytes with the terminator.
    size_t capacity;
};

namespace pm_detail {
template <typename M>
struct MemberOf;
template <typename R, typename T>
struct MemberOf<T R::*> {
    using Record = R;
    using Type = T;
};
template <typename T>
struct TextCapacity {
    static constexpr size_t value = 0;
};
template <size_t N>
struct TextCapacity<FixedText<N>> {
    static constexpr size_t value = N;
};
template <auto Member>
std::string_view GetText(const void* record)
{
    using R = typename MemberOf<decltype(Member)>::Record;
    return (static_cast<const R*>(record)->*Member).View();
}
template <auto Member>
void SetText(void* record, std::string_view text)
{
    using R = typename MemberOf<decltype(Member)>::Record;
    (static_cast<R*>(record)->*Member).SetStored(text);
}
}  // namespace pm_detail

/// The access to a record member for a column: its text when the member is a
/// PmEx2Text, none for an integer or byte member.
template <auto Member>
constexpr PmTextAccess PmTextAccessOf()
{
    using T = typename pm_detail::MemberOf<decltype(Member)>::Type;
    constexpr size_t capacity = pm_detail::TextCapacity<T>::value;
    if constexpr (capacity != 0)
        return {&pm_detail::GetText<Member>, &pm_detail::SetText<Member>, capacity};
    else
        return {nullptr, nullptr, 0};
}

/// One column of "Main": its name, kind and the record field it belongs to.
/// `offset` is the field's offset for the integer kinds and Bool; `text`
/// reaches the field of a Text column, and for an IntText column, when set,
/// a derived text field that gets the integer in decimal when the column is
/// read.
struct PmColumnDef {
    const char* name;
    PmColKind kind;
    size_t offset;
    PmTextAccess text;
};

/// A column of a record type's table: `field` is the record member the
/// column fills (for an integer or a text column alike).
#define PM_EX2_COL(Record, name, kind, field) \
    {name, PmColKind::kind, offsetof(Record, field), PmTextAccessOf<&Record::field>()}
/// An integer column with the decimal text field `text` it fills as well.
#define PM_EX2_TIME_COL(Record, name, field, text) \
    {name, PmColKind::IntText, offsetof(Record, field), PmTextAccessOf<&Record::text>()}

/// True when the Text columns, and only they and IntText columns, reach a
/// text field: a table checks its columns with it at compile time.
template <size_t C>
constexpr bool PmColumnsReachTheirTexts(const PmColumnDef (&columns)[C])
{
    for (const PmColumnDef& column : columns) {
        // The capacity, not the accessor: with the undefined-behaviour
        // sanitizer a function's address is no constant to compare.
        const bool hasText = column.text.capacity != 0;
        if (column.kind == PmColKind::Text ? !hasText : hasText && column.kind != PmColKind::IntText)
            return false;
    }
    return true;
}

/// The layout of one application's "Main" table and its write-back sets.
struct PmTableDef {
    const PmColumnDef* columns;
    int32_t count;
    const int32_t* keys;
    int32_t keyCount;
    const int32_t* equality;
    int32_t equalityCount;
    const int32_t* change;
    int32_t changeCount;
    size_t whereSize;       // buffer of the lookup condition
    size_t categoryOffset;  // the record's Category field
    PmTextAccess categoryName;  // the record's CategoryName field
    size_t rowKeyOffset;  // the record's PmRowKey
    /// The index of the "Status" column, -1 when the table has none.
    int32_t StatusColumn() const
    {
        for (int32_t i = 0; i < count; ++i)
            if (std::strcmp(columns[i].name, "Status") == 0)
                return i;
        return -1;
    }
    /// How the load fills a record from a row, when not column by column
    /// (FillRecord): a row read again to be compared with its record must be
    /// read the same way, or a value the load did not take would look changed
    /// and be written over.
    void (*fill)(const PmFieldValue* row, int32_t count, void* record) = nullptr;
};

/// Fields of a record by their offsets in a table's layout.
inline int32_t& PmIntAt(void* record, size_t offset)
{
    return *reinterpret_cast<int32_t*>(static_cast<char*>(record) + offset);
}
inline uint8_t& PmByteAt(void* record, size_t offset)
{
    return *reinterpret_cast<uint8_t*>(static_cast<char*>(record) + offset);
}
inline int32_t PmIntAt(const void* record, size_t offset)
{
    return *reinterpret_cast<const int32_t*>(static_cast<const char*>(record) + offset);
}
inline uint8_t PmByteAt(const void* record, size_t offset)
{
    return *reinterpret_cast<const uint8_t*>(static_cast<const char*>(record) + offset);
}
inline PmRowKey& PmRowKeyAt(void* record, size_t offset)
{
    return *reinterpret_cast<PmRowKey*>(static_cast<char*>(record) + offset);
}

// ---------------------------------------------------------------- utility base

/// The log texts of one application's loader.
struct PmEx2Messages {
    const char* module;       // source name shown in the log
    const char* start;        // "%d" user id
    const char* invalidName;  // level 0, or none
    const char* loading;      // "%s" path
    const char* openFailed;   // level 0, "%s" path
    const char* mainStart;
    const char* firstRecord;
    const char* noFirstRecord;
    const char* noNextRecord;
    const char* completed;
};

/// Base of the four database utilities: the accessor (created by the first
/// OpenDatabase, owned) and the category manager, and the shared load and
/// write-back sequences that the utilities run with their own tables.
class PmDBEx2Util {
public:
    PmDBEx2Util();
    virtual ~PmDBEx2Util();
    PmDBEx2Util(const PmDBEx2Util&) = delete;
    PmDBEx2Util& operator=(const PmDBEx2Util&) = delete;

    /// False when the file is missing, cannot be opened as a database, or
    /// its categories cannot all be read.
    virtual bool OpenDatabase(int32_t kind, const char* path);
    /// False (and no categories kept) when the walk over "Category" stops
    /// before its end.
    virtual bool LoadCategories();
    virtual bool ReadMainWhere(const char* condition, const char* const* columns, PmFieldValue** row, int32_t count);

    PmCategoryEx2Mgr* CategoryMgr() { return m_pCatMgr; }
    PmMDBAccessor* Accessor() { return m_pAccessor; }
    /// Why the last load failed, in words a user can act on: which file,
    /// what is wrong with it (not found, damaged, truncated, not a Palm
    /// Desktop database, protected by a password), that nothing of it was
    /// read or changed, and what to do. Empty after a load that succeeded,
    /// and after one that failed before it had a file to read (no user
    /// folder). The troubleshooting log keeps the technical reasons.
    const std::string& FailureWords() const { return m_failureWords; }
    /// Undoes the write-backs not yet saved: the file holds none of them. A
    /// load, and the destruction of the utility, do the same.
    void DiscardWrites();
    /// Why the last write-back or save that failed failed, in the user's
    /// words (see PalmReason.h); empty after one that went through.
    const std::string& FailureReason() const { return m_failure; }

protected:
    /// The user's data folder followed by the application's folder and file.
    bool LoadByUserShared(uint32_t user, int32_t kind, const char* subPath, const PmEx2Messages& messages);
    bool LoadFileShared(const char* path, int32_t kind, const PmEx2Messages& messages);
    /// Walks "Main" and hands every row to AddLoadedRow. A walk that stops
    /// before the end of the table (no such table or column, a damaged page,
    /// a value that cannot be read) fails and keeps nothing: records and
    /// categories are dropped.
    bool LoadMainShared(const PmTableDef& table, const PmEx2Messages& messages);
    /// True when the last walk of the accessor ran to the end of its table;
    /// otherwise *reason says what stopped it.
    bool WalkEnded(std::string* reason) const;
    virtual bool LoadMainRecords() = 0;
    virtual bool HasDataMgr() const = 0;
    /// Drops every record of the data manager.
    virtual void ClearRecords() = 0;
    /// Makes a record of one row, runs the after-load steps and keeps it with
    /// the row's key. False when it cannot be stored (out of memory): the
    /// load must not pass for whole then.
    virtual bool AddLoadedRow(const PmFieldValue* row, int32_t count, const PmRowKey& key) = 0;

    /// Fills a value-initialised record from a row through the column readers; only a
    /// row with exactly the table's columns is read.
    static void FillRecord(const PmTableDef& table, const PmFieldValue* row, int32_t count, void* record);
    /// The category name after load: at most 31 characters of the Name of
    /// the category with the record's ID; unchanged when there is none.
    void LookUpCategoryName(const PmTableDef& table, void* record);
    /// The category for an update: a category name that names a category
    /// gives its ID (the loaded one when it carries that name); an empty or
    /// unknown name keeps the Category that was loaded.
    void ResolveCategory(const PmTableDef& table, void* record);
    /// Brings the stored row of a record in line with it (after the
    /// application's before-update steps). With `resolveBeforeWrite` the
    /// category is resolved once the changed columns are known.
    ///
    /// A loaded record names its row by the row key read with it; that row
    /// must still hold the record's key columns (read the way the record's
    /// were), or nothing is written. A record without row key is looked up
    /// by its key columns. Either way the update changes exactly one row or
    /// nothing. `stored` is a value-initialised record of the record's type
    /// that the stored row is read into for the comparison.
    bool UpdateRecordRow(const PmTableDef& table, void* record, void* stored, const char* module,
                         bool resolveBeforeWrite);
    /// Commits the write-backs since the load or the last save (see Save).
    bool CommitWrites(const char* module);
    /// A failed load of the file `path`: keeps the words for the user
    /// (FailureWords) and logs them at level 0. Always false.
    bool Refuse(const char* path, const jet::Refusal& refusal);

    PmMDBAccessor* m_pAccessor = nullptr;
    PmCategoryEx2Mgr* m_pCatMgr = nullptr;

private:
    /// A value of a write-back could not be made: false, with its reason.
    bool OutOfMemory();
    std::string m_failure;
    std::string m_failureWords;
};

/// The words a user is given when the 6.x database `path` (as the program
/// names it) could not be loaded: which file (a host path shown with '/'), what
/// is wrong with it, that nothing of it was read or changed, and what to do.
std::string PmEx2FailureWords(const std::string& path, const jet::Refusal& refusal);

/// The data manager of one application: owned copies of its records, in
/// table order.
template <typename R>
class PmEx2DataMgr {
public:
    PmEx2DataMgr() = default;
    virtual ~PmEx2DataMgr() { Clear(); }
    PmEx2DataMgr(const PmEx2DataMgr&) = delete;
    PmEx2DataMgr& operator=(const PmEx2DataMgr&) = delete;

    /// Appends a copy; false when it cannot be stored.
    bool Add(const R* record)
    {
        if (!record)
            return false;
        return Add(std::unique_ptr<R>(new (std::nothrow) R(*record)));
    }
    /// Appends the record itself and takes it; false (the record freed) when
    /// it cannot be stored.
    bool Add(std::unique_ptr<R> record)
    {
        if (!record || !m_Recs.Add(record.get()))
            return false;
        record.release();
        return true;
    }
    R* First() { return m_Recs.First(); }
    R* Next() { return m_Recs.Next(); }
    R* GetAt(uint32_t position) { return m_Recs.GetAt(position); }
    uint32_t Count() const { return m_Recs.Count(); }
    void Clear() { m_Recs.Clear(true); }

private:
    CxList<R> m_Recs;
};

/// What the four database utilities share beyond the base: the data manager,
/// the loaders on the application's table and the after-load steps.
template <typename R, typename Mgr>
class PmEx2AppUtil : public PmDBEx2Util {
public:
    ~PmEx2AppUtil() override { delete m_pDataMgr; }

    bool LoadByUser(uint32_t user) { return LoadByUserShared(user, m_kind, PmEx2DatabaseSubPath(m_kind), m_messages); }
    bool LoadFile(const char* path) { return LoadFileShared(path, m_kind, m_messages); }
    bool LoadMain() { return LoadMainShared(m_table, m_messages); }
    Mgr* DataMgr() { return m_pDataMgr; }
    /// A write-back changes its row inside one transaction with the others
    /// since the load or the last Save; Save makes them part of the file,
    /// all together. True when there is nothing to save. When the commit
    /// fails the file holds none of them, a level-0 line names the file and
    /// the database's reason, and Save gives false.
    bool Save() { return CommitWrites(m_messages.module); }

protected:
    PmEx2AppUtil(int32_t kind, const PmTableDef& table, const PmEx2Messages& messages)
        : m_pDataMgr(new Mgr()), m_kind(kind), m_table(table), m_messages(messages)
    {
    }

    bool LoadMainRecords() override { return LoadMain(); }
    bool HasDataMgr() const override { return m_pDataMgr != nullptr; }
    void ClearRecords() override { m_pDataMgr->Clear(); }
    bool AddLoadedRow(const PmFieldValue* row, int32_t count, const PmRowKey& key) override
    {
        std::unique_ptr<R> record(new (std::nothrow) R());
        if (!record)
            return false;
        FillRecord(m_table, row, count, record.get());
        AfterLoad(record.get());
        LookUpCategoryName(m_table, record.get());
        PmRowKeyAt(record.get(), m_table.rowKeyOffset) = key;
        return m_pDataMgr->Add(std::move(record));
    }
    /// The application's steps after a row was read, before the category name.
    virtual void AfterLoad(R* record) {}
    bool WriteBack(R* record, bool resolveBeforeWrite)
    {
        R stored{};
        return UpdateRecordRow(m_table, record, &stored, m_messages.module, resolveBeforeWrite);
    }

    Mgr* m_pDataMgr;
    const int32_t m_kind;
    const PmTableDef& m_table;
    const PmEx2Messages& m_messages;
};

/// Names of a table's columns in table order, for the accessor.
class PmColumnNames {
public:
    explicit PmColumnNames(const PmTableDef& table);
    const char* const* Names() const { return m_names; }

private:
    const char* m_names[96];
};

/// Copies at most size - 1 bytes and terminates.
void PmCopyText(char* out, size_t size, const char* text);
