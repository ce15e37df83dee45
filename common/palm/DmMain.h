// The data module: one database connection and one query per application
// database (contacts, calendar, tasks, memos), for the whole process.
//
// The connections stand where the desktop program's database components
// stood. Behind each one is an embedded SQLite database file, opened from
// the "Data Source" of its connection string. The statements arrive in the
// desktop program's SQL dialect and are run by SQLite as written, apart from
// the two rewrites described at DbQuery (LEFT, and the row key of a SELECT).
#pragma once

#include "jet/JetFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;
namespace jet {
class Engine;
class Result;
}  // namespace jet

/// The words of a refusal: what kind of fault the file has (jet::Refusal
/// serves both engines).
using DbRefusal = jet::Refusal;

/// One database connection. Open never creates a file: the data source must
/// be an existing database, chosen by its first bytes: a Jet 4 file (the
/// desktop program's own format) is run by the engine of jet/JetEngine.h,
/// anything else is opened as an SQLite database.
class DbConnection {
public:
    DbConnection();
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    bool Connected() const { return m_db != nullptr || m_jet != nullptr; }
    /// The open file is a Jet database.
    bool IsJet() const { return m_jet != nullptr; }
    jet::Engine* Jet() const { return m_jet.get(); }
    void Close();
    void SetConnectionString(const std::string& text) { m_connectionString = text; }
    const std::string& ConnectionString() const { return m_connectionString; }
    /// Opens the "Data Source" of the connection string. On failure *error
    /// holds the database's message and the connection stays closed, and
    /// OpenRefusal tells what kind of fault the file has: an empty file, or
    /// one that neither engine recognises (a Jet file whose first bytes were
    /// lost included), is not a database; an SQLite file that SQLite finds
    /// malformed is damaged.
    bool Open(std::string* error);
    /// The fault behind the last failed Open; Fault::None after one that
    /// succeeded.
    const DbRefusal& OpenRefusal() const { return m_openRefusal; }
    /// The Windows path of the open file (empty when closed).
    const std::string& DataSource() const { return m_dataSource; }
    sqlite3* Handle() const { return m_db; }

    /// A transaction around statements that must change all or nothing.
    /// Begin takes the write lock at once, so that no other writer can come
    /// between the change and its check.
    bool Begin(std::string* error);
    bool Commit(std::string* error);
    /// Undoes the open transaction, if any.
    void Rollback();
    /// The number of the transaction that the last successful Begin opened,
    /// while it is still open; 0 when none is open. A transaction that the
    /// database undid by itself (after a full disk or an I/O error) or that
    /// ended with a Close is no longer open, so a caller that keeps this
    /// number can tell that its changes are gone.
    uint64_t OpenTransaction() const;

    /// A savepoint inside the open transaction, around one statement that
    /// must change all or nothing without undoing the transaction's earlier
    /// changes. ReleaseSavepoint keeps the statement's changes;
    /// RollbackToSavepoint undoes them (and ends the savepoint).
    bool Savepoint(std::string* error);
    bool ReleaseSavepoint(std::string* error);
    void RollbackToSavepoint();

    /// Why the last failed change on this connection failed (Begin, a
    /// statement, a savepoint, Commit), in the user's words (see
    /// palm/PalmReason.h): held by another program, changed since the load,
    /// the system's words for a full disk or a refused write, or the step in
    /// plain words. Emptied by Begin.
    const std::string& FailureReason() const { return m_reason; }
    /// Notes the reason of the failure just met, from the engine's own
    /// account of it (SQLite's error code, the Jet engine's kind).
    void NoteFailure();
    /// True when the data source still names the file that Open opened. A
    /// file that another program put in its place, or removed, would take
    /// none of the changes made through this connection (an engine keeps
    /// writing to the file it opened): false then, with *error and the
    /// reason set.
    bool StillTheOpenedFile(std::string* error);
    /// True when the connection is open on the very file that the Windows
    /// path names now (links followed): the file it opened, not whichever
    /// file its data source names by now.
    bool HasOpen(const std::string& winPath) const;

    /// The condition ("WHERE ...") that names exactly the row whose key
    /// DbQuery::RowKey gave. For SQLite the key is the rowid.
    std::string RowKeyCondition(int64_t key) const;

    /// Statements that DbQuery keeps prepared on this connection, by the
    /// text they were prepared from; none when that text is not kept. Close
    /// finalizes them all. Keeping more than a few is refused (false): the
    /// caller then finalizes its statement itself.
    sqlite3_stmt* KeptStatement(const std::string& text) const;
    bool KeepStatement(const std::string& text, sqlite3_stmt* statement);
    /// Changes with every Close: a kept statement taken before is gone.
    uint64_t Epoch() const { return m_epoch; }

    /// The "Data Source" value of a connection string, without its quotes.
    static std::string DataSourceOf(const std::string& connectionString);

private:
    sqlite3* m_db = nullptr;
    std::shared_ptr<jet::Engine> m_jet;
    std::string m_connectionString;
    std::string m_dataSource;
    DbRefusal m_openRefusal;
    uint64_t m_transaction = 0;  // the number of the last transaction begun
    std::string m_reason;
    // The file Open opened (links followed), to tell it from one put in its place.
    uint64_t m_fileDevice = 0;
    uint64_t m_fileInode = 0;
    bool m_fileKnown = false;
    std::vector<std::pair<std::string, sqlite3_stmt*>> m_kept;
    uint64_t m_epoch = 0;
};

/// What a field of the current row holds, in the terms the accessor reads.
enum class DbFieldKind { Null, Int16, Int32, WideString, Boolean, AnsiString, Other };

/// One query on one connection: its SQL text, and the result of the last
/// statement with its current row.
///
/// SQLite reads LEFT as a join keyword, so "LEFT(" cannot call a function.
/// Before a statement is prepared, every LEFT immediately followed by "("
/// outside quotes and brackets is written as the quoted name "LEFT", which
/// SQLite parses as a call of the LEFT function each connection registers.
///
/// Each row that a plain SELECT of one table returns carries its row key:
/// where the row is stored, as the engine names it. It is read with the row
/// (SQLite: the rowid, asked for as one more column that FieldCount does not
/// count) and names that row again through DbConnection::RowKeyCondition,
/// whatever its texts. Above this layer the key is an opaque number.
///
/// A statement that ends in a row-key condition (a deletion's lookup and
/// update, one per row) is prepared once with the key as a parameter, kept on
/// the connection, and run again with each key; its text, as the caller
/// gives and logs it, does not change.
class DbQuery {
public:
    explicit DbQuery(DbConnection* connection);
    ~DbQuery();
    DbQuery(const DbQuery&) = delete;
    DbQuery& operator=(const DbQuery&) = delete;

    DbConnection* Connection() const { return m_connection; }
    /// Drops the previous result.
    void Close();
    void ClearSql() { m_sql.clear(); }
    void AddSql(const std::string& line);
    const std::string& Sql() const { return m_sql; }

    /// Runs a row-returning statement and stands on its first row.
    bool Open(std::string* error);
    /// Runs a statement that returns no rows.
    bool ExecSql(std::string* error);
    /// Moves to the following row.
    bool Next(std::string* error);
    /// True when no current row is left (also when nothing is open).
    bool Eof() const { return m_eof; }
    /// True when the last statement ran to its end; false while it has rows
    /// left, after an error and when nothing ran. Eof alone cannot tell the
    /// end of a table from a statement that failed part way.
    bool Done() const { return m_done; }

    /// The row key of the current row; false when the statement reads none
    /// (not a plain SELECT of one table, or a table without row keys).
    bool RowKey(int64_t* key) const;
    /// Rows that the last ExecSql changed, those its triggers changed included.
    int64_t ChangedRows() const { return m_changed; }

    int32_t FieldCount() const;
    DbFieldKind FieldKind(int32_t index) const;
    int32_t FieldInt(int32_t index) const;
    /// The field's text as UTF-16, valid until the query moves or closes.
    std::u16string_view FieldText(int32_t index) const;

    /// The statement as SQLite receives it (see the class comment).
    static std::string ForSqlite(const std::string& statement);
    /// A plain SELECT of one table ("SELECT columns FROM table [WHERE ...]
    /// [ORDER BY ...]") with the row key as one more column at the end of
    /// its columns; empty for any other statement.
    static std::string WithRowKey(const std::string& statement);

private:
    bool Prepare(std::string* error, bool withRowKey = false);
    bool PrepareText(const std::string& statement, std::string* error);
    /// Takes the kept statement of `text`, or prepares and keeps it.
    bool PrepareKept(const std::string& text, std::string* error);
    bool Step(std::string* error);
    /// Drops the statement: a kept one is reset for its next use.
    void ReleaseStatement();

    static constexpr uint8_t kDeclaredOther = 0, kDeclaredBoolean = 1, kDeclaredShort = 2;

    bool OpenJet(std::string* error);
    bool StepJet(std::string* error);

    DbConnection* m_connection;
    sqlite3_stmt* m_stmt = nullptr;
    std::unique_ptr<jet::Result> m_jet;  // the result of a statement run on a Jet file
    std::vector<uint8_t> m_declared;  // what each result column is declared as
    std::string m_sql;
    bool m_eof = true;
    bool m_done = false;
    bool m_keyed = false;  // the last result column is the row key
    bool m_borrowed = false;  // m_stmt is kept by the connection
    uint64_t m_epoch = 0;     // the connection's epoch when it was taken
    int64_t m_changed = 0;
};

/// The data module, created once at program start and destroyed at exit.
class TdmMain {
public:
    TdmMain();
    TdmMain(const TdmMain&) = delete;
    TdmMain& operator=(const TdmMain&) = delete;

    DbConnection connAddr;
    DbConnection connDate;
    DbConnection connTodo;
    DbConnection connMemo;
    DbQuery qryMemo;
    DbQuery qryTodo;
    DbQuery qryDate;
    DbQuery qryAddr;

    /// True when a connection has open the file that the Windows path names
    /// now (the same file, reached through any name or link; see HasOpen).
    bool HoldsFile(const std::string& winPath);
    /// Closes each connection (its query first) that has that file open and
    /// no transaction under way: the program lets go of a file that another
    /// step is to replace. A later load opens it again. True when no
    /// connection has the file open afterwards.
    bool LetGoOfFile(const std::string& winPath);
};

/// The process-wide data module.
TdmMain& DataModule();
