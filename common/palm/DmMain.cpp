#include "palm/DmMain.h"

#include "jet/JetEngine.h"

#include "palm/PalmReason.h"
#include "platform/Codepage.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>

#include <cstdio>
#include <cstring>

namespace {

// LEFT(text, n): the first n characters of a text; Null stays Null.
void LeftFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    if (argc != 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const unsigned char* text = sqlite3_value_text(argv[0]);
    int bytes = sqlite3_value_bytes(argv[0]);
    sqlite3_int64 n = sqlite3_value_int64(argv[1]);
    if (!text || n <= 0) {
        sqlite3_result_text(context, "", 0, SQLITE_STATIC);
        return;
    }
    int end = 0;
    for (sqlite3_int64 chars = 0; end < bytes && chars < n; ++chars) {
        ++end;
        while (end < bytes && (text[end] & 0xC0) == 0x80)
            ++end;
    }
    sqlite3_result_text(context, reinterpret_cast<const char*>(text), end, SQLITE_TRANSIENT);
}

// The first bytes of a Jet database: a page-0 signature and the engine name.
bool StartsWithJetHeader(const std::string& hostPath)
{
    FILE* f = std::fopen(hostPath.c_str(), "rb");
    if (!f)
        return false;
    unsigned char head[20] = {};
    size_t got = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    if (got < sizeof head)
        return false;
    static const unsigned char kPage[4] = {0x00, 0x01, 0x00, 0x00};
    return std::memcmp(head, kPage, 4) == 0 &&
           (std::memcmp(head + 4, "Standard Jet DB", 15) == 0 || std::memcmp(head + 4, "Standard ACE DB", 15) == 0);
}

// What kind of fault an SQLite error code says a file has: a file that is
// no database of either engine (a Jet file whose signature was lost, a
// zeroed file) is not one; a malformed one is damaged.
jet::Fault SqliteFault(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_NOTADB: return jet::Fault::NotDatabase;
    case SQLITE_CORRUPT: return jet::Fault::Damaged;
    default: return jet::Fault::Unreadable;
    }
}

bool IsNameChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           (static_cast<unsigned char>(c) >= 0x80);
}

bool IsBooleanType(const char* declared)
{
    if (!declared)
        return false;
    return strcasecmp(declared, "BIT") == 0 || strcasecmp(declared, "BOOLEAN") == 0 ||
           strcasecmp(declared, "YESNO") == 0 || strcasecmp(declared, "LOGICAL") == 0;
}

bool IsShortType(const char* declared)
{
    return declared && (strcasecmp(declared, "SHORT") == 0 || strcasecmp(declared, "SMALLINT") == 0);
}

bool RunPlain(sqlite3* db, const char* sql, std::string* error)
{
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK && error)
        *error = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

// One piece of a statement outside quotes, brackets and parentheses: a word,
// a quoted or bracketed name, a parenthesised part (not looked into), or one
// other character.
struct TopToken {
    size_t pos;
    size_t len;
    char kind;  // 'w' word, 'n' quoted or bracketed name, '(' parenthesised part, else the character
};

std::vector<TopToken> TopTokens(const std::string& s)
{
    std::vector<TopToken> out;
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        char c = s[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (c == '\'' || c == '"' || c == '[' || c == '`') {
            char close = c == '[' ? ']' : c;
            size_t end = i + 1;
            while (end < n) {
                if (s[end] == close) {
                    // A doubled quote inside a quoted text is not its end.
                    if (close != ']' && end + 1 < n && s[end + 1] == close) {
                        end += 2;
                        continue;
                    }
                    break;
                }
                ++end;
            }
            end = end < n ? end + 1 : n;
            out.push_back({i, end - i, c == '\'' ? '\'' : 'n'});
            i = end;
        } else if (c == '(') {
            size_t end = i;
            int depth = 0;
            for (; end < n; ++end) {
                char d = s[end];
                if (d == '\'' || d == '"' || d == '[') {
                    char close = d == '[' ? ']' : d;
                    for (++end; end < n && s[end] != close; ++end) {
                    }
                    continue;
                }
                if (d == '(')
                    ++depth;
                else if (d == ')' && --depth == 0)
                    break;
            }
            end = end < n ? end + 1 : n;
            out.push_back({i, end - i, '('});
            i = end;
        } else if (IsNameChar(c)) {
            size_t end = i;
            while (end < n && IsNameChar(s[end]))
                ++end;
            out.push_back({i, end - i, 'w'});
            i = end;
        } else {
            out.push_back({i, 1, c});
            ++i;
        }
    }
    return out;
}

bool IsWord(const std::string& s, const TopToken& t, const char* word)
{
    return t.kind == 'w' && t.len == std::strlen(word) && strncasecmp(s.c_str() + t.pos, word, t.len) == 0;
}

// A statement that ends in the condition DbConnection::RowKeyCondition
// writes ("WHERE _rowid_ = N", outside quotes and brackets): its text with
// the parameter ?1 in place of the key, and the key.
bool SplitRowKey(const std::string& s, std::string* text, int64_t* key)
{
    std::vector<TopToken> t = TopTokens(s);
    if (t.size() < 4)
        return false;
    const TopToken& number = t.back();
    if (number.kind != 'w' || number.len > 18 || number.pos + number.len != s.size())
        return false;
    for (size_t i = number.pos; i < number.pos + number.len; ++i)
        if (s[i] < '0' || s[i] > '9')
            return false;
    size_t eq = t.size() - 2;
    const bool negative = t[eq].kind == '-';
    if (negative)
        --eq;
    if (eq < 2 || t[eq].kind != '=' || !IsWord(s, t[eq - 1], "_rowid_") || !IsWord(s, t[eq - 2], "WHERE"))
        return false;
    int64_t v = std::stoll(s.substr(number.pos, number.len));
    *key = negative ? -v : v;
    *text = s.substr(0, t[eq].pos + 1) + " ?1";
    return true;
}

}  // namespace

// ---------------------------------------------------------------- DbConnection

DbConnection::DbConnection() = default;

DbConnection::~DbConnection()
{
    Close();
}

void DbConnection::Close()
{
    for (auto& kept : m_kept)
        sqlite3_finalize(kept.second);
    m_kept.clear();
    ++m_epoch;
    m_jet.reset();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    m_dataSource.clear();
    m_fileKnown = false;
}

void DbConnection::NoteFailure()
{
    if (m_jet) {
        switch (m_jet->LastFailure()) {
        case jet::Engine::Failure::Held: m_reason = kPmReasonHeld; break;
        case jet::Engine::Failure::Changed: m_reason = kPmReasonChanged; break;
        case jet::Engine::Failure::System:
            m_reason = PmReasonOfErrno(m_jet->LastErrno(), "the database could not be written");
            break;
        case jet::Engine::Failure::Refused: m_reason = "the database does not allow this change to be made safely"; break;
        case jet::Engine::Failure::None: m_reason = "the database could not be read"; break;
        }
        return;
    }
    if (!m_db) {
        m_reason = "the database is not open";
        return;
    }
    switch (sqlite3_extended_errcode(m_db) & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: m_reason = kPmReasonHeld; break;
    case SQLITE_FULL: m_reason = PmReasonOfErrno(ENOSPC, nullptr); break;
    case SQLITE_READONLY:
    case SQLITE_PERM: m_reason = PmReasonOfErrno(EACCES, nullptr); break;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        m_reason = PmReasonOfErrno(sqlite3_system_errno(m_db), "the database could not be written");
        break;
    default: m_reason = "the database refused the change"; break;
    }
}

bool DbConnection::StillTheOpenedFile(std::string* error)
{
    if (!Connected()) {
        *error = "The connection is closed.";
        m_reason = "the database is not open";
        return false;
    }
    struct stat now {};
    if (!m_fileKnown)
        return true;  // nothing to compare with: the open could not tell
    if (::stat(plat::ToHostPath(m_dataSource).c_str(), &now) == 0 && uint64_t(now.st_dev) == m_fileDevice &&
        uint64_t(now.st_ino) == m_fileInode)
        return true;
    *error = m_dataSource + " was replaced or removed by another program since it was opened; nothing was changed.";
    m_reason = kPmReasonChanged;
    return false;
}

std::string DbConnection::DataSourceOf(const std::string& connectionString)
{
    static const char kKey[] = "data source=";
    const size_t keyLen = sizeof kKey - 1;
    size_t pos = std::string::npos;
    for (size_t i = 0; i + keyLen <= connectionString.size(); ++i) {
        if (strncasecmp(connectionString.c_str() + i, kKey, keyLen) == 0 && (i == 0 || connectionString[i - 1] == ';')) {
            pos = i + keyLen;
            break;
        }
    }
    if (pos == std::string::npos)
        return std::string();
    if (pos < connectionString.size() && connectionString[pos] == '"') {
        size_t close = connectionString.find('"', pos + 1);
        return connectionString.substr(pos + 1, close == std::string::npos ? std::string::npos : close - pos - 1);
    }
    size_t semi = connectionString.find(';', pos);
    return connectionString.substr(pos, semi == std::string::npos ? std::string::npos : semi - pos);
}

bool DbConnection::Open(std::string* error)
{
    Close();
    m_openRefusal = DbRefusal();
    std::string source = DataSourceOf(m_connectionString);
    if (source.empty()) {
        *error = "No data source in the connection string.";
        m_openRefusal.fault = jet::Fault::Unreadable;
        return false;
    }
    std::string host = plat::ToHostPath(source);
    // Which file this is, to tell it later from one put in its place.
    struct stat opened {};
    m_fileKnown = ::stat(host.c_str(), &opened) == 0;
    m_fileDevice = uint64_t(opened.st_dev);
    m_fileInode = uint64_t(opened.st_ino);
    if (StartsWithJetHeader(host)) {
        m_jet = jet::Engine::Open(host, source, error, &m_openRefusal);
        if (!m_jet)
            return false;
        m_dataSource = source;
        return true;
    }
    // SQLite takes an empty file for an empty database, whose tables are
    // then missing; no database of the desktop program's is empty.
    plat::FileStamp stamp;
    const bool stamped = plat::StampFile(source, &stamp);
    m_openRefusal.fileSize = stamped ? stamp.size : 0;
    if (stamped && stamp.size == 0) {
        *error = "The file " + source + " is empty.";
        m_openRefusal.fault = jet::Fault::NotDatabase;
        return false;
    }
    sqlite3* db = nullptr;
    // Each connection is used by the one interface thread only, so SQLite's
    // own locking per call is not needed.
    int rc = sqlite3_open_v2(host.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        *error = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        m_openRefusal.fault = SqliteFault(rc);
        sqlite3_close_v2(db);
        return false;
    }
    // SQLite reads a file lazily; ask for its schema now so that a file that
    // is no database fails here rather than at the first query. Without the
    // cell size check, a page whose cells point outside it can be read as
    // rows of whatever bytes lie there (rows that change from run to run)
    // instead of failing the statement.
    char* message = nullptr;
    rc = sqlite3_exec(db, "PRAGMA cell_size_check = ON; SELECT count(*) FROM sqlite_master", nullptr, nullptr,
                      &message);
    if (rc == SQLITE_OK)
        rc = sqlite3_create_function_v2(db, "LEFT", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, LeftFunction,
                                        nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        *error = message ? message : sqlite3_errmsg(db);
        m_openRefusal.fault = SqliteFault(sqlite3_errcode(db));
        sqlite3_free(message);
        sqlite3_close_v2(db);
        return false;
    }
    m_db = db;
    m_dataSource = source;
    return true;
}

bool DbConnection::Begin(std::string* error)
{
    m_reason.clear();
    if (m_jet) {
        if (!m_jet->Begin(error)) {
            NoteFailure();
            return false;
        }
        ++m_transaction;
        return true;
    }
    if (!m_db) {
        *error = "The connection is closed.";
        NoteFailure();
        return false;
    }
    if (!RunPlain(m_db, "BEGIN IMMEDIATE", error)) {
        NoteFailure();
        return false;
    }
    ++m_transaction;
    return true;
}

bool DbConnection::Commit(std::string* error)
{
    bool ok = false;
    if (m_jet)
        ok = m_jet->Commit(error);
    else if (!m_db)
        *error = "The connection is closed.";
    else
        ok = RunPlain(m_db, "COMMIT", error);
    if (!ok)
        NoteFailure();
    return ok;
}

void DbConnection::Rollback()
{
    if (m_jet)
        m_jet->Rollback();
    if (m_db && !sqlite3_get_autocommit(m_db))
        RunPlain(m_db, "ROLLBACK", nullptr);
}

uint64_t DbConnection::OpenTransaction() const
{
    if (m_jet)
        return m_jet->InTransaction() ? m_transaction : 0;
    return m_db && !sqlite3_get_autocommit(m_db) ? m_transaction : 0;
}

bool DbConnection::Savepoint(std::string* error)
{
    if (m_jet) {
        m_jet->Savepoint();
        return true;
    }
    if (!m_db) {
        *error = "The connection is closed.";
        NoteFailure();
        return false;
    }
    if (RunPlain(m_db, "SAVEPOINT one_row", error))
        return true;
    NoteFailure();
    return false;
}

bool DbConnection::ReleaseSavepoint(std::string* error)
{
    if (m_jet)
        return true;
    if (!m_db) {
        *error = "The connection is closed.";
        NoteFailure();
        return false;
    }
    if (RunPlain(m_db, "RELEASE one_row", error))
        return true;
    NoteFailure();
    return false;
}

void DbConnection::RollbackToSavepoint()
{
    if (m_jet)
        m_jet->RollbackToSavepoint();
    // After an error that undid the whole transaction there is no savepoint
    // left; both statements then fail harmlessly.
    if (m_db && !sqlite3_get_autocommit(m_db)) {
        RunPlain(m_db, "ROLLBACK TO one_row", nullptr);
        RunPlain(m_db, "RELEASE one_row", nullptr);
    }
}

std::string DbConnection::RowKeyCondition(int64_t key) const
{
    return "WHERE _rowid_ = " + std::to_string(key);
}

sqlite3_stmt* DbConnection::KeptStatement(const std::string& text) const
{
    for (const auto& kept : m_kept)
        if (kept.first == text)
            return kept.second;
    return nullptr;
}

bool DbConnection::KeepStatement(const std::string& text, sqlite3_stmt* statement)
{
    // A deletion run needs two (the lookup and the update of its changed
    // columns); the bound keeps a stream of other shapes from piling up.
    constexpr size_t kMostKept = 16;
    if (!m_db || !statement || m_kept.size() >= kMostKept)
        return false;
    m_kept.emplace_back(text, statement);
    return true;
}

// ---------------------------------------------------------------- DbQuery

DbQuery::DbQuery(DbConnection* connection) : m_connection(connection) {}

DbQuery::~DbQuery()
{
    Close();
}

void DbQuery::ReleaseStatement()
{
    if (!m_stmt)
        return;
    if (!m_borrowed)
        sqlite3_finalize(m_stmt);
    else if (m_connection->Epoch() == m_epoch) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
    m_stmt = nullptr;
    m_borrowed = false;
}

void DbQuery::Close()
{
    ReleaseStatement();
    m_jet.reset();
    m_eof = true;
    m_done = false;
    m_keyed = false;
}

void DbQuery::AddSql(const std::string& line)
{
    if (!m_sql.empty())
        m_sql += '\n';
    m_sql += line;
}

std::string DbQuery::ForSqlite(const std::string& statement)
{
    std::string out;
    out.reserve(statement.size() + 8);
    size_t i = 0;
    const size_t n = statement.size();
    while (i < n) {
        char c = statement[i];
        if (c == '\'' || c == '"' || c == '[') {
            char close = c == '[' ? ']' : c;
            size_t end = i + 1;
            while (end < n) {
                if (statement[end] == close) {
                    // A doubled quote inside a quoted text is not its end.
                    if (close != ']' && end + 1 < n && statement[end + 1] == close) {
                        end += 2;
                        continue;
                    }
                    break;
                }
                ++end;
            }
            if (end < n)
                ++end;
            out.append(statement, i, end - i);
            i = end;
            continue;
        }
        if (IsNameChar(c)) {
            size_t end = i;
            while (end < n && IsNameChar(statement[end]))
                ++end;
            size_t next = end;
            while (next < n && (statement[next] == ' ' || statement[next] == '\t'))
                ++next;
            if (end - i == 4 && strncasecmp(statement.c_str() + i, "LEFT", 4) == 0 && next < n && statement[next] == '(') {
                out += '"';
                out.append(statement, i, 4);
                out += '"';
            } else {
                out.append(statement, i, end - i);
            }
            i = end;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

std::string DbQuery::WithRowKey(const std::string& statement)
{
    std::vector<TopToken> t = TopTokens(statement);
    if (t.size() < 4 || !IsWord(statement, t[0], "SELECT") || IsWord(statement, t[1], "DISTINCT"))
        return std::string();
    size_t from = 0;
    for (size_t i = 2; i < t.size() && !from; ++i)
        if (IsWord(statement, t[i], "FROM"))
            from = i;
    if (!from || from + 1 >= t.size() || (t[from + 1].kind != 'w' && t[from + 1].kind != 'n'))
        return std::string();
    // One table, then nothing or a condition and order: no join, no second
    // table, no compound statement, no grouping.
    if (from + 2 < t.size() && !IsWord(statement, t[from + 2], "WHERE") && !IsWord(statement, t[from + 2], "ORDER"))
        return std::string();
    for (size_t i = from + 2; i < t.size(); ++i) {
        static const char* const kRefused[] = {"JOIN", "UNION", "INTERSECT", "EXCEPT", "GROUP", "FROM"};
        for (const char* word : kRefused)
            if (IsWord(statement, t[i], word))
                return std::string();
        if (t[i].kind == ';')
            return std::string();
    }
    size_t at = t[from].pos;
    while (at > 0 && (statement[at - 1] == ' ' || statement[at - 1] == '\t' || statement[at - 1] == '\r' ||
                      statement[at - 1] == '\n'))
        --at;
    return statement.substr(0, at) + ", _rowid_" + statement.substr(at);
}

bool DbQuery::PrepareText(const std::string& statement, std::string* error)
{
    // The accessor builds its statements in UTF-8, the texts of the 6.x
    // records being UTF-8.
    const std::string text = ForSqlite(statement);
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v2(m_connection->Handle(), text.c_str(), int(text.size()), &m_stmt, &tail);
    if (rc != SQLITE_OK) {
        *error = sqlite3_errmsg(m_connection->Handle());
        Close();
        return false;
    }
    if (!m_stmt) {
        *error = "The statement is empty.";
        return false;
    }
    return true;
}

bool DbQuery::PrepareKept(const std::string& text, std::string* error)
{
    if (sqlite3_stmt* kept = m_connection->KeptStatement(text)) {
        m_stmt = kept;
    } else {
        if (!PrepareText(text, error))
            return false;
        if (!m_connection->KeepStatement(text, m_stmt))
            return true;
    }
    m_borrowed = true;
    m_epoch = m_connection->Epoch();
    return true;
}

bool DbQuery::Prepare(std::string* error, bool withRowKey)
{
    Close();
    m_changed = 0;
    if (!m_connection || !m_connection->Connected()) {
        *error = "The connection is closed.";
        return false;
    }
    // Preparing a statement of a whole row costs more than running it: one
    // that names its row by the key is prepared once for every key.
    std::string text;
    int64_t key = 0;
    const bool bound = SplitRowKey(m_sql, &text, &key);
    if (!bound)
        text = m_sql;
    std::string keyed = withRowKey ? WithRowKey(text) : std::string();
    if (!keyed.empty()) {
        // A table without rowids (a view, a WITHOUT ROWID table) refuses the
        // key column; its rows are then read as the statement says, without
        // keys, and the statement's own error, if any, is the one reported.
        std::string refused;
        m_keyed = bound ? PrepareKept(keyed, &refused) : PrepareText(keyed, &refused);
    }
    if (!m_keyed && !(bound ? PrepareKept(text, error) : PrepareText(text, error)))
        return false;
    if (bound && sqlite3_bind_int64(m_stmt, 1, key) != SQLITE_OK) {
        *error = sqlite3_errmsg(m_connection->Handle());
        Close();
        return false;
    }
    m_declared.clear();
    for (int i = 0; i < FieldCount(); ++i) {
        const char* declared = sqlite3_column_decltype(m_stmt, i);
        m_declared.push_back(IsBooleanType(declared) ? kDeclaredBoolean
                                                     : IsShortType(declared) ? kDeclaredShort : kDeclaredOther);
    }
    return true;
}

bool DbQuery::Step(std::string* error)
{
    int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        m_eof = false;
        return true;
    }
    m_eof = true;
    if (rc == SQLITE_DONE) {
        m_done = true;
        return true;
    }
    *error = sqlite3_errmsg(m_connection->Handle());
    // The code is the step's until the statement is reset.
    m_connection->NoteFailure();
    ReleaseStatement();
    return false;
}

bool DbQuery::OpenJet(std::string* error)
{
    Close();
    m_changed = 0;
    m_jet = m_connection->Jet()->Select(m_sql, error);
    if (!m_jet)
        return false;
    return StepJet(error);
}

bool DbQuery::StepJet(std::string* error)
{
    if (m_jet->Next(error)) {
        m_eof = false;
        return true;
    }
    m_eof = true;
    if (m_jet->Done()) {
        m_done = true;
        return true;
    }
    return false;
}

bool DbQuery::Open(std::string* error)
{
    const bool ok = m_connection && m_connection->IsJet() ? OpenJet(error) : Prepare(error, true) && Step(error);
    if (!ok && m_connection)
        m_connection->NoteFailure();
    return ok;
}

bool DbQuery::ExecSql(std::string* error)
{
    if (m_connection && m_connection->IsJet()) {
        Close();
        m_changed = 0;
        if (m_connection->Jet()->Execute(m_sql, &m_changed, error))
            return true;
        m_connection->NoteFailure();
        return false;
    }
    if (!Prepare(error)) {
        if (m_connection)
            m_connection->NoteFailure();
        return false;
    }
    sqlite3* db = m_connection->Handle();
    const sqlite3_int64 before = sqlite3_total_changes64(db);
    bool ok = true;
    while (ok && m_stmt) {
        ok = Step(error);
        if (m_eof)
            break;
    }
    Close();
    m_changed = sqlite3_total_changes64(db) - before;
    return ok;
}

bool DbQuery::Next(std::string* error)
{
    if (m_jet) {
        if (m_eof)
            return true;
        return StepJet(error);
    }
    if (!m_stmt || m_eof) {
        m_eof = true;
        return true;
    }
    return Step(error);
}

int32_t DbQuery::FieldCount() const
{
    if (m_jet)
        return int32_t(m_jet->Types().size());
    return m_stmt ? sqlite3_column_count(m_stmt) - (m_keyed ? 1 : 0) : 0;
}

bool DbQuery::RowKey(int64_t* key) const
{
    if (m_jet) {
        if (m_eof)
            return false;
        *key = m_jet->Key();
        return true;
    }
    if (!m_stmt || m_eof || !m_keyed)
        return false;
    int index = sqlite3_column_count(m_stmt) - 1;
    if (sqlite3_column_type(m_stmt, index) != SQLITE_INTEGER)
        return false;
    *key = sqlite3_column_int64(m_stmt, index);
    return true;
}

DbFieldKind DbQuery::FieldKind(int32_t index) const
{
    if (m_jet) {
        if (m_eof || index < 0 || size_t(index) >= m_jet->Row().size())
            return DbFieldKind::Null;
        switch (m_jet->Row()[size_t(index)].kind) {
        case jet::Kind::Null: return DbFieldKind::Null;
        case jet::Kind::Bool: return DbFieldKind::Boolean;
        case jet::Kind::Text: return DbFieldKind::WideString;
        case jet::Kind::Int:
            // Long Integer; Integer and Byte read as the 16-bit kind.
            return m_jet->Types()[size_t(index)] == 4 ? DbFieldKind::Int32 : DbFieldKind::Int16;
        default: return DbFieldKind::Other;
        }
    }
    if (!m_stmt || m_eof || index < 0 || index >= FieldCount())
        return DbFieldKind::Null;
    switch (sqlite3_column_type(m_stmt, index)) {
    case SQLITE_NULL:
        return DbFieldKind::Null;
    case SQLITE_INTEGER: {
        uint8_t declared = size_t(index) < m_declared.size() ? m_declared[size_t(index)] : kDeclaredOther;
        if (declared == kDeclaredBoolean)
            return DbFieldKind::Boolean;
        sqlite3_int64 v = sqlite3_column_int64(m_stmt, index);
        if (v < INT32_MIN || v > INT32_MAX)
            return DbFieldKind::Other;  // a value no 32-bit column of the desktop databases holds
        return declared == kDeclaredShort ? DbFieldKind::Int16 : DbFieldKind::Int32;
    }
    case SQLITE_TEXT:
        return DbFieldKind::WideString;
    default:
        return DbFieldKind::Other;  // floating point and binary values
    }
}

int32_t DbQuery::FieldInt(int32_t index) const
{
    if (m_jet)
        return !m_eof && index >= 0 && size_t(index) < m_jet->Row().size()
                   ? int32_t(m_jet->Row()[size_t(index)].integer)
                   : 0;
    return m_stmt ? int32_t(sqlite3_column_int64(m_stmt, index)) : 0;
}

std::u16string_view DbQuery::FieldText(int32_t index) const
{
    if (m_jet)
        return !m_eof && index >= 0 && size_t(index) < m_jet->Row().size()
                   ? std::u16string_view(m_jet->Row()[size_t(index)].text)
                   : std::u16string_view();
    if (!m_stmt)
        return std::u16string_view();
    const void* text = sqlite3_column_text16(m_stmt, index);
    int bytes = sqlite3_column_bytes16(m_stmt, index);
    if (!text)
        return std::u16string_view();
    return std::u16string_view(static_cast<const char16_t*>(text), size_t(bytes) / sizeof(char16_t));
}

// ---------------------------------------------------------------- TdmMain

TdmMain::TdmMain() : qryMemo(&connMemo), qryTodo(&connTodo), qryDate(&connDate), qryAddr(&connAddr) {}

bool DbConnection::HasOpen(const std::string& winPath) const
{
    // The data source is a Windows path, resolved anew at each look: it may
    // name another file by now than the one opened (another program put one
    // in its place), so the file opened is compared, not the name.
    struct stat now;
    return Connected() && m_fileKnown && !winPath.empty() && ::stat(plat::ToHostPath(winPath).c_str(), &now) == 0 &&
           uint64_t(now.st_dev) == m_fileDevice && uint64_t(now.st_ino) == m_fileInode;
}

bool TdmMain::HoldsFile(const std::string& winPath)
{
    for (DbConnection* c : {&connAddr, &connDate, &connTodo, &connMemo})
        if (c->HasOpen(winPath))
            return true;
    return false;
}

bool TdmMain::LetGoOfFile(const std::string& winPath)
{
    const std::pair<DbConnection*, DbQuery*> pairs[] = {
        {&connAddr, &qryAddr}, {&connDate, &qryDate}, {&connTodo, &qryTodo}, {&connMemo, &qryMemo}};
    for (const auto& [connection, query] : pairs) {
        if (connection->OpenTransaction() != 0 || !connection->HasOpen(winPath))
            continue;
        query->Close();
        connection->Close();
    }
    return !HoldsFile(winPath);
}

TdmMain& DataModule()
{
    static TdmMain module;
    return module;
}
