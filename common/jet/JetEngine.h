// The statements of the 6.x database layer, run on a Jet 4 file.
//
// The layer builds its statements as text in the desktop program's SQL
// dialect. On a Jet file they are run here, by an engine that knows exactly
// the shapes the layer builds and refuses every other statement:
// - SELECT [a], [b], ... FROM Main|Category [WHERE condition], where the
//   condition is "_rowid_ = N" (the row key a walk gave) or comparisons joined
//   by AND: [name] = literal, ([name] = '' OR [name] IS NULL), and
//   LEFT(name, 256) = 'text';
// - UPDATE Main SET [Status]=N WHERE _rowid_ = K: a deletion's mark.
// Any other change (other columns, other conditions, an INSERT) is refused
// and never attempted: only the 4 bytes of a row's Status are ever written.
//
// A change is checked when it is made and again when it is written: the row
// must still be where the walk found it, with the Status and Record ID the
// walk read. Changes are kept until Commit, which copies the file to its
// ".bak" (once per run) and writes them all to the file in place (and the
// null mask bit of a Null Status), or undoes what it wrote when a write
// fails. Rollback forgets them. A database that another program
// has open (its ".ldb" lock file held) is never written, and neither is a
// file that is no longer the one the engine reads (another program replaced
// or removed it since the open): the writes go to the very file checked.
#pragma once

#include "jet/JetFile.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace jet {

/// The rows a SELECT gives, read one at a time.
class Result {
public:
    virtual ~Result() = default;
    /// Stands on the next row; false at the end (Done) or on an error.
    virtual bool Next(std::string* error) = 0;
    virtual bool Done() const = 0;
    virtual const std::vector<Value>& Row() const = 0;
    /// The Jet type of each result column, in the statement's order.
    virtual const std::vector<int>& Types() const = 0;
    virtual RowKey Key() const = 0;
};

/// What the program reads from a column, and so which stored types it can
/// read it from.
enum class Use : uint8_t {
    Number,        // Long Integer, Integer or Byte
    Flag,          // Yes/No
    Text,          // Text or Memo
    NumberOrText,  // a number kept as a number or as its decimal text (times, a category id)
};

/// A column the program reads, and how.
struct ColumnUse {
    std::string name;
    Use use;
};

// A result keeps its engine (and so the file's reader) alive: a connection
// closed while a result is still held does not pull the file from under it.
class Engine : public std::enable_shared_from_this<Engine> {
public:
    /// Opens the file; null with a reason when it cannot be read as a Jet 4
    /// database (and in *refusal, when given, the fault behind it).
    static std::shared_ptr<Engine> Open(const std::string& hostPath, const std::string& shownPath,
                                        std::string* error, Refusal* refusal = nullptr);
    ~Engine();

    /// Checks a table's definition against what the program reads from it
    /// before any row is read: each column it reads exists (once: a sound
    /// definition names no column twice) with a type it can read for that
    /// use. False with a reason naming the table, the column and what is
    /// wrong; LastRefusal is then Damaged. A column read as a number from
    /// any other type, a text from a Binary column, would read as empty or 0
    /// on every row.
    bool CheckColumns(const std::string& table, const std::vector<ColumnUse>& uses, std::string* error);

    /// The fault behind the last refusal of CheckColumns, Select or a
    /// result's Next; Fault::None when it was none of the file's (a
    /// statement of another shape).
    const Refusal& LastRefusal() const;

    /// Runs a SELECT; the result stands before its first row.
    std::unique_ptr<Result> Select(const std::string& statement, std::string* error);
    /// Runs an UPDATE of one row's Status; *changed gets the rows changed
    /// (1). The change reaches the file at Commit.
    bool Execute(const std::string& statement, int64_t* changed, std::string* error);

    bool Begin(std::string* error);
    bool Commit(std::string* error);

    /// What kind of failure the last Begin, Execute or Commit that failed
    /// met (None after a Select): the file held by another program (its lock file), the file or
    /// the row no longer as the walk read it (changed, moved, replaced,
    /// removed), a change this engine refuses to make (another statement, a
    /// column that cannot be changed in place), or a system error (errno in
    /// LastErrno: the backup copy, the write).
    enum class Failure { None, Held, Changed, Refused, System };
    Failure LastFailure() const { return m_failure; }
    int LastErrno() const { return m_errno; }
    void Rollback();
    bool InTransaction() const { return m_open; }
    void Savepoint() { m_savepoint = m_pending.size(); }
    void RollbackToSavepoint();

private:
    explicit Engine(const std::string& shownPath) : m_shownPath(shownPath) {}

    struct Read {
        int32_t status = 0;
        bool statusNull = true;
        bool statusRead = false;
        int32_t recordId = 0;
        bool recordIdNull = true;
        bool recordIdRead = false;
    };
    struct Pending {
        RowKey key = 0;
        int32_t status = 0;  // the value to write
        IntSlot slot;        // where and what was there when the change was made
    };

    bool CheckNotHeld(std::string* error);
    /// Notes the kind of a failure (and errno for a system one); false, for
    /// the caller to return.
    bool Fail(Failure failure, int err = 0);
    bool Locate(RowKey key, const Read& read, IntSlot* slot, std::string* error);
    void Remember(RowKey key, const std::vector<std::string>& columns, const std::vector<Value>& row);

    Database m_db;
    Refusal m_refusal;        // of a refusal of the engine's own (the reader has the others)
    std::string m_shownPath;  // the file as the user knows it
    bool m_open = false;
    std::vector<Pending> m_pending;
    size_t m_savepoint = 0;
    Failure m_failure = Failure::None;
    int m_errno = 0;
    // What the last whole walk of Main read of each row: a change must find
    // the row as it was read.
    std::unordered_map<RowKey, Read> m_read;

    friend class EngineResult;
    friend class WalkResult;
};

}  // namespace jet
