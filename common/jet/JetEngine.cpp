#include "jet/JetEngine.h"

#include "platform/Codepage.h"
#include "platform/File.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace jet {

namespace {

// ---------------------------------------------------------------- statement text

// A reader of one statement, position by position. Keywords are matched
// without regard to case, as the dialect does; names and texts exactly.
class Scanner {
public:
    explicit Scanner(std::string_view text) : m_s(text) {}

    void Blanks()
    {
        while (m_i < m_s.size() && (m_s[m_i] == ' ' || m_s[m_i] == '\t' || m_s[m_i] == '\r' || m_s[m_i] == '\n'))
            ++m_i;
    }
    bool AtEnd()
    {
        Blanks();
        return m_i >= m_s.size();
    }
    bool Word(const char* word)
    {
        Blanks();
        const size_t n = std::strlen(word);
        if (m_s.size() - m_i < n || strncasecmp(m_s.data() + m_i, word, n) != 0)
            return false;
        // A keyword ends where a name character would go on.
        if (m_i + n < m_s.size()) {
            const char c = m_s[m_i + n];
            if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')
                return false;
        }
        m_i += n;
        return true;
    }
    bool Char(char c)
    {
        Blanks();
        if (m_i < m_s.size() && m_s[m_i] == c) {
            ++m_i;
            return true;
        }
        return false;
    }
    /// [name]
    bool Bracketed(std::string* name)
    {
        Blanks();
        if (m_i >= m_s.size() || m_s[m_i] != '[')
            return false;
        const size_t close = m_s.find(']', m_i + 1);
        if (close == std::string_view::npos)
            return false;
        *name = std::string(m_s.substr(m_i + 1, close - m_i - 1));
        m_i = close + 1;
        return true;
    }
    /// A table name: a plain word or a bracketed name.
    bool TableName(std::string* name)
    {
        if (Bracketed(name))
            return true;
        Blanks();
        size_t end = m_i;
        while (end < m_s.size() && ((m_s[end] >= 'A' && m_s[end] <= 'Z') || (m_s[end] >= 'a' && m_s[end] <= 'z') ||
                                    (m_s[end] >= '0' && m_s[end] <= '9') || m_s[end] == '_'))
            ++end;
        if (end == m_i)
            return false;
        *name = std::string(m_s.substr(m_i, end - m_i));
        m_i = end;
        return true;
    }
    /// 'text' with doubled apostrophes; the text as written (UTF-8).
    bool Quoted(std::string* text)
    {
        Blanks();
        if (m_i >= m_s.size() || m_s[m_i] != '\'')
            return false;
        std::string out;
        size_t i = m_i + 1;
        for (;;) {
            if (i >= m_s.size())
                return false;
            if (m_s[i] == '\'') {
                if (i + 1 < m_s.size() && m_s[i + 1] == '\'') {
                    out += '\'';
                    i += 2;
                    continue;
                }
                break;
            }
            out += m_s[i++];
        }
        m_i = i + 1;
        *text = std::move(out);
        return true;
    }
    /// An integer with an optional minus sign, within 64 bits.
    bool Integer(int64_t* value)
    {
        Blanks();
        size_t i = m_i;
        const bool negative = i < m_s.size() && m_s[i] == '-';
        if (negative)
            ++i;
        const size_t digits = i;
        int64_t v = 0;
        while (i < m_s.size() && m_s[i] >= '0' && m_s[i] <= '9') {
            if (i - digits >= 18)
                return false;
            v = v * 10 + (m_s[i] - '0');
            ++i;
        }
        if (i == digits)
            return false;
        m_i = i;
        *value = negative ? -v : v;
        return true;
    }
    /// The text up to (not including) `stop`, which must follow.
    bool Until(char stop, std::string* text)
    {
        Blanks();
        const size_t at = m_s.find(stop, m_i);
        if (at == std::string_view::npos)
            return false;
        size_t end = at;
        while (end > m_i && m_s[end - 1] == ' ')
            --end;
        *text = std::string(m_s.substr(m_i, end - m_i));
        m_i = at;
        return true;
    }

private:
    std::string_view m_s;
    size_t m_i = 0;
};

// One comparison of a condition.
struct Test {
    enum Kind { Equals, EmptyOrNull, LeftEquals } kind = Equals;
    std::string column;
    bool isText = false;
    int64_t number = 0;
    std::u16string text;
    int64_t left = 0;  // LEFT's length
};

struct Condition {
    bool byKey = false;
    RowKey key = 0;
    std::vector<Test> tests;
};

struct SelectStatement {
    std::vector<std::string> columns;
    std::string table;
    Condition where;
};

std::u16string StatementText(const std::string& text)
{
    // The layer writes its statements in UTF-8, the stored texts as they are.
    return plat::Utf8ToWide(text);
}

bool ParseLiteral(Scanner& s, Test* test)
{
    std::string quoted;
    if (s.Quoted(&quoted)) {
        test->isText = true;
        test->text = StatementText(quoted);
        return true;
    }
    return s.Integer(&test->number);
}

bool ParseCondition(Scanner& s, Condition* where)
{
    if (s.AtEnd())
        return true;
    if (!s.Word("WHERE"))
        return false;
    if (s.Word("_rowid_")) {
        where->byKey = true;
        return s.Char('=') && s.Integer(&where->key) && s.AtEnd();
    }
    do {
        Test test;
        if (s.Char('(')) {
            // ([name] = '' OR [name] IS NULL)
            std::string again;
            std::string empty;
            if (!s.Bracketed(&test.column) || !s.Char('=') || !s.Quoted(&empty) || !empty.empty() || !s.Word("OR") ||
                !s.Bracketed(&again) || again != test.column || !s.Word("IS") || !s.Word("NULL") || !s.Char(')'))
                return false;
            test.kind = Test::EmptyOrNull;
        } else if (s.Word("LEFT")) {
            // LEFT(name, n) = 'text': the name is written without brackets.
            test.kind = Test::LeftEquals;
            if (!s.Char('(') || !s.Until(',', &test.column) || test.column.empty() || !s.Char(',') ||
                !s.Integer(&test.left) || test.left < 0 || !s.Char(')') || !s.Char('='))
                return false;
            std::string quoted;
            if (!s.Quoted(&quoted))
                return false;
            test.isText = true;
            test.text = StatementText(quoted);
        } else {
            if (!s.Bracketed(&test.column) || !s.Char('=') || !ParseLiteral(s, &test))
                return false;
        }
        where->tests.push_back(std::move(test));
    } while (s.Word("AND"));
    return s.AtEnd();
}

bool ParseSelect(const std::string& statement, SelectStatement* out)
{
    Scanner s(statement);
    if (!s.Word("SELECT"))
        return false;
    do {
        std::string name;
        if (!s.Bracketed(&name))
            return false;
        out->columns.push_back(std::move(name));
    } while (s.Char(','));
    return s.Word("FROM") && s.TableName(&out->table) && ParseCondition(s, &out->where);
}

struct Update {
    std::string table;
    std::vector<std::string> columns;
    int64_t value = 0;
    bool valueIsNumber = false;
    Condition where;
};

bool ParseUpdate(const std::string& statement, Update* out)
{
    Scanner s(statement);
    if (!s.Word("UPDATE") || !s.TableName(&out->table) || !s.Word("SET"))
        return false;
    do {
        std::string name;
        if (!s.Bracketed(&name) || !s.Char('='))
            return false;
        out->columns.push_back(name);
        Test literal;
        if (!ParseLiteral(s, &literal))
            return false;
        if (out->columns.size() == 1) {
            out->valueIsNumber = !literal.isText;
            out->value = literal.number;
        }
    } while (s.Char(','));
    return ParseCondition(s, &out->where);
}

bool IsTable(const std::string& name, const char* table)
{
    return strcasecmp(name.c_str(), table) == 0;
}

std::u16string Decimal(int64_t v)
{
    std::string d = std::to_string(v);
    return std::u16string(d.begin(), d.end());
}

bool Passes(const Test& test, const Value& v)
{
    switch (test.kind) {
    case Test::EmptyOrNull:
        return v.kind == Kind::Null || (v.kind == Kind::Text && v.text.empty());
    case Test::LeftEquals:
        if (v.kind != Kind::Text)
            return false;
        return std::u16string_view(v.text).substr(0, size_t(test.left)) == test.text;
    case Test::Equals:
        switch (v.kind) {
        case Kind::Int:
        case Kind::Bool:
            return test.isText ? Decimal(v.integer) == test.text : v.integer == test.number;
        case Kind::Text:
            return test.isText ? v.text == test.text : v.text == Decimal(test.number);
        default:
            return false;
        }
    }
    return false;
}

int32_t ToInt32(const Value& v)
{
    return v.kind == Kind::Int ? int32_t(v.integer) : 0;
}

}  // namespace

// ---------------------------------------------------------------- results

// The rows of a walk that pass the condition, with the changes not yet
// written laid over them.
class WalkResult : public Result {
public:
    WalkResult(std::shared_ptr<Engine> engine, std::unique_ptr<Cursor> cursor, std::vector<int> types, size_t shown,
               std::vector<Test> tests, std::vector<size_t> testColumns, int statusColumn, bool remember,
               std::vector<std::string> names)
        : m_engine(std::move(engine)), m_cursor(std::move(cursor)), m_types(std::move(types)), m_shown(shown),
          m_tests(std::move(tests)), m_testColumns(std::move(testColumns)), m_status(statusColumn),
          m_remember(remember), m_names(std::move(names))
    {
    }

    bool Next(std::string* error) override
    {
        while (m_cursor->Next(error)) {
            const std::vector<Value>& row = m_cursor->Row();
            bool pass = true;
            for (size_t t = 0; t < m_tests.size() && pass; ++t)
                pass = Passes(m_tests[t], row[m_testColumns[t]]);
            if (!pass)
                continue;
            if (m_remember)
                m_engine->Remember(m_cursor->Key(), m_names, row);
            // The cursor's row is handed on as it is (its texts are reused
            // from row to row); a copy is made only when the statement's
            // columns are fewer than those walked or a change not yet
            // written lies over the row.
            const Engine::Pending* pending = PendingOf(m_cursor->Key());
            m_copied = pending || row.size() != m_shown;
            if (m_copied) {
                m_row.assign(row.begin(), row.begin() + long(m_shown));
                if (pending) {
                    m_row[size_t(m_status)].kind = Kind::Int;
                    m_row[size_t(m_status)].integer = pending->status;
                }
            }
            return true;
        }
        return false;
    }
    bool Done() const override { return m_cursor->Done(); }
    const std::vector<Value>& Row() const override { return m_copied ? m_row : m_cursor->Row(); }
    const std::vector<int>& Types() const override { return m_types; }
    RowKey Key() const override { return m_cursor->Key(); }

private:
    // The latest change not yet written to the row, when its Status is shown.
    const Engine::Pending* PendingOf(RowKey key) const
    {
        if (m_status < 0)
            return nullptr;
        for (auto it = m_engine->m_pending.rbegin(); it != m_engine->m_pending.rend(); ++it)
            if (it->key == key)
                return &*it;
        return nullptr;
    }

    std::shared_ptr<Engine> m_engine;  // declared first: outlives the cursor
    std::unique_ptr<Cursor> m_cursor;
    std::vector<int> m_types;
    size_t m_shown;
    std::vector<Test> m_tests;
    std::vector<size_t> m_testColumns;
    int m_status;
    bool m_remember;
    std::vector<std::string> m_names;
    std::vector<Value> m_row;
    bool m_copied = false;
};

// The one row a row key names, or none.
class EngineResult : public Result {
public:
    EngineResult(std::vector<int> types, std::vector<Value> row, RowKey key, bool found)
        : m_types(std::move(types)), m_row(std::move(row)), m_key(key), m_left(found)
    {
    }
    bool Next(std::string*) override
    {
        const bool had = m_left;
        m_left = false;
        m_done = !had;
        return had;
    }
    bool Done() const override { return m_done; }
    const std::vector<Value>& Row() const override { return m_row; }
    const std::vector<int>& Types() const override { return m_types; }
    RowKey Key() const override { return m_key; }

private:
    std::vector<int> m_types;
    std::vector<Value> m_row;
    RowKey m_key;
    bool m_left;
    bool m_done = false;
};

// ---------------------------------------------------------------- Engine

std::shared_ptr<Engine> Engine::Open(const std::string& hostPath, const std::string& shownPath, std::string* error,
                                     Refusal* refusal)
{
    std::shared_ptr<Engine> engine(new Engine(shownPath));
    std::string reason;
    if (!engine->m_db.Open(hostPath, &reason)) {
        *error = "The file " + shownPath + " cannot be read as a Jet database: " + reason;
        if (refusal)
            *refusal = engine->m_db.LastRefusal();
        return nullptr;
    }
    return engine;
}

Engine::~Engine() = default;

const Refusal& Engine::LastRefusal() const
{
    return m_refusal.fault != Fault::None ? m_refusal : m_db.LastRefusal();
}

namespace {

// The stored types a use reads, by Jet's type codes (1 Yes/No, 2 Byte, 3
// Integer, 4 Long Integer, 10 Text, 12 Memo).
bool Reads(Use use, int type)
{
    switch (use) {
    case Use::Number: return type == 4 || type == 3 || type == 2;
    case Use::Flag: return type == 1;
    case Use::Text: return type == 10 || type == 12;
    case Use::NumberOrText: return type == 4 || type == 3 || type == 2 || type == 10;
    }
    return false;
}

const char* UseName(Use use)
{
    switch (use) {
    case Use::Number: return "a number (Long Integer, Integer or Byte)";
    case Use::Flag: return "a Yes/No flag";
    case Use::Text: return "a text (Text or Memo)";
    case Use::NumberOrText: return "a number or its text (Long Integer, Integer, Byte or Text)";
    }
    return "";
}

}  // namespace

bool Engine::CheckColumns(const std::string& table, const std::vector<ColumnUse>& uses, std::string* error)
{
    m_refusal = Refusal();
    std::vector<ColumnInfo> info;
    std::string reason;
    if (!m_db.Columns(table, &info, &reason)) {
        *error = "The table " + table + " of " + m_shownPath + " cannot be read: " + reason;
        if (m_db.LastRefusal().fault == Fault::None)
            m_refusal.fault = Fault::Damaged;
        return false;
    }
    for (const ColumnUse& use : uses) {
        const ColumnInfo* found = nullptr;
        for (const ColumnInfo& c : info)
            if (c.name == use.name)
                found = &c;
        if (!found) {
            *error = "The table " + table + " of " + m_shownPath + " has no column " + use.name;
            m_refusal.fault = Fault::Damaged;
            return false;
        }
        if (!Reads(use.use, found->type)) {
            *error = "The table " + table + " of " + m_shownPath + " is damaged: its column " + use.name +
                     " is stored as " + TypeName(found->type) + ", and the program reads it as " +
                     UseName(use.use);
            m_refusal.fault = Fault::Damaged;
            return false;
        }
    }
    return true;
}

std::unique_ptr<Result> Engine::Select(const std::string& statement, std::string* error)
{
    m_failure = Failure::None;
    m_refusal = Refusal();
    SelectStatement select;
    if (!ParseSelect(statement, &select)) {
        *error = "This statement is not one that is run on a Jet database: " + statement;
        return nullptr;
    }
    if (!IsTable(select.table, "Main") && !IsTable(select.table, "Category")) {
        *error = "Only the tables Main and Category are read from a Jet database, not " + select.table + ".";
        return nullptr;
    }
    std::vector<ColumnInfo> info;
    std::string reason;
    if (!m_db.Columns(select.table, &info, &reason)) {
        *error = "The table " + select.table + " of " + m_shownPath + " cannot be read: " + reason;
        // A table of the desktop program's that is not there.
        if (m_db.LastRefusal().fault == Fault::None)
            m_refusal.fault = Fault::Damaged;
        return nullptr;
    }
    auto typeOf = [&](const std::string& name) {
        for (const ColumnInfo& c : info)
            if (c.name == name)
                return c.type;
        return -1;
    };
    std::vector<int> types;
    int statusColumn = -1;
    for (size_t i = 0; i < select.columns.size(); ++i) {
        types.push_back(typeOf(select.columns[i]));
        if (types.back() < 0) {
            *error = "The table " + select.table + " of " + m_shownPath + " has no column " + select.columns[i];
            m_refusal.fault = Fault::Damaged;
            return nullptr;
        }
        if (select.columns[i] == "Status")
            statusColumn = int(i);
    }
    const bool main = IsTable(select.table, "Main");
    if (!main)
        statusColumn = -1;

    if (select.where.byKey) {
        std::vector<Value> row;
        if (!m_db.ReadRow(select.table, select.columns, select.where.key, &row, &reason)) {
            // A key that names no row finds nothing, as a condition that no
            // row meets.
            return std::make_unique<EngineResult>(std::move(types), std::vector<Value>(), select.where.key, false);
        }
        if (statusColumn >= 0) {
            for (auto it = m_pending.rbegin(); it != m_pending.rend(); ++it) {
                if (it->key == select.where.key) {
                    row[size_t(statusColumn)].kind = Kind::Int;
                    row[size_t(statusColumn)].integer = it->status;
                    break;
                }
            }
        }
        return std::make_unique<EngineResult>(std::move(types), std::move(row), select.where.key, true);
    }

    // The columns the condition reads come after those the statement shows.
    std::vector<std::string> walked = select.columns;
    std::vector<size_t> testColumns;
    for (const Test& test : select.where.tests) {
        size_t at = walked.size();
        for (size_t i = 0; i < walked.size(); ++i)
            if (walked[i] == test.column)
                at = i;
        if (at == walked.size())
            walked.push_back(test.column);
        testColumns.push_back(at);
    }
    // What a whole walk of Main reads is what a later change must find again.
    const bool remember = main && select.where.tests.empty();
    std::vector<std::string> names;
    if (remember) {
        m_read.clear();
        names = walked;
    }
    std::unique_ptr<Cursor> cursor = m_db.Walk(select.table, walked, &reason);
    if (!cursor) {
        *error = "The table " + select.table + " of " + m_shownPath + " cannot be read: " + reason;
        return nullptr;
    }
    return std::make_unique<WalkResult>(shared_from_this(), std::move(cursor), std::move(types), select.columns.size(),
                                        std::move(select.where.tests), std::move(testColumns), statusColumn, remember,
                                        std::move(names));
}

void Engine::Remember(RowKey key, const std::vector<std::string>& columns, const std::vector<Value>& row)
{
    Read read;
    for (size_t i = 0; i < columns.size() && i < row.size(); ++i) {
        if (columns[i] == "Status") {
            read.statusRead = true;
            read.statusNull = row[i].kind == Kind::Null;
            read.status = ToInt32(row[i]);
        } else if (columns[i] == "Record ID") {
            read.recordIdRead = true;
            read.recordIdNull = row[i].kind == Kind::Null;
            read.recordId = ToInt32(row[i]);
        }
    }
    m_read[key] = read;
}

bool Engine::Fail(Failure failure, int err)
{
    m_failure = failure;
    m_errno = err;
    return false;
}

bool Engine::CheckNotHeld(std::string* error)
{
    // A database reached through a link has its lock file beside the name
    // the other program opened: the link's, or the file's own.
    std::string lock;
    const std::string target = plat::FollowLinks(m_db.HostPath());
    if (LockFileHeld(m_db.HostPath(), &lock) ||
        (!target.empty() && target != m_db.HostPath() && LockFileHeld(target, &lock))) {
        *error = m_shownPath + " is open in another program (its lock file " + lock +
                 " is in use). Close Palm Desktop and try again; nothing was changed.";
        return Fail(Failure::Held);
    }
    return true;
}

bool Engine::Locate(RowKey key, const Read& read, IntSlot* slot, std::string* error)
{
    // Rows are read through the descriptor the engine opened: when the path
    // now names another file (one put in its place), what is read here is no
    // longer what would be written.
    if (!m_db.IsFileAt(m_db.HostPath())) {
        *error = m_shownPath + " was replaced or removed by another program since it was read, so nothing was "
                               "changed.";
        return Fail(Failure::Changed);
    }
    std::string reason;
    if (!m_db.LocateInt32("Main", "Status", key, slot, &reason)) {
        *error = "The Status of a row of " + m_shownPath + " cannot be changed in place: " + reason +
                 "; nothing was changed.";
        // A row that is gone was changed by someone else; a column that
        // cannot be written in place is this engine's refusal.
        std::vector<Value> row;
        std::string ignored;
        return Fail(m_db.ReadRow("Main", {"Status"}, key, &row, &ignored) ? Failure::Refused : Failure::Changed);
    }
    if (slot->null != read.statusNull || (!slot->null && slot->value != read.status)) {
        *error = "A row of " + m_shownPath +
                 " is no longer as it was read (its Status was changed since), so nothing was changed.";
        return Fail(Failure::Changed);
    }
    if (read.recordIdRead) {
        std::vector<Value> now;
        if (!m_db.ReadRow("Main", {"Record ID"}, key, &now, &reason) || now.size() != 1 ||
            (now[0].kind == Kind::Null) != read.recordIdNull || ToInt32(now[0]) != read.recordId) {
            *error = "A row of " + m_shownPath +
                     " is no longer where it was read (another row stands in its place), so nothing was changed.";
            return Fail(Failure::Changed);
        }
    }
    return true;
}

bool Engine::Execute(const std::string& statement, int64_t* changed, std::string* error)
{
    *changed = 0;
    Update update;
    m_failure = Failure::None;
    if (!ParseUpdate(statement, &update)) {
        *error = "Only the Status of a row is changed in a Jet database; this statement is not run: " + statement;
        return Fail(Failure::Refused);
    }
    if (!IsTable(update.table, "Main") || update.columns.size() != 1 || update.columns[0] != "Status" ||
        !update.valueIsNumber || !update.where.byKey) {
        std::string what;
        for (const std::string& c : update.columns)
            what += (what.empty() ? "[" : ", [") + c + "]";
        *error = "Only the Status of a row is changed in a Jet database, so this change of " + what + " in " +
                 m_shownPath + " was not made.";
        return Fail(Failure::Refused);
    }
    if (update.value < INT32_MIN || update.value > INT32_MAX) {
        *error = "The Status value " + std::to_string(update.value) + " does not fit its column.";
        return Fail(Failure::Refused);
    }
    const auto read = m_read.find(update.where.key);
    if (read == m_read.end() || !read->second.statusRead) {
        *error = "The row to change in " + m_shownPath + " was not read by the last load, so nothing was changed.";
        return Fail(Failure::Refused);
    }
    const bool own = !m_open;
    if (own && !Begin(error))
        return false;
    Pending pending;
    pending.key = update.where.key;
    pending.status = int32_t(update.value);
    if (!Locate(pending.key, read->second, &pending.slot, error)) {
        if (own)
            Rollback();
        return false;
    }
    m_pending.push_back(pending);
    *changed = 1;
    return own ? Commit(error) : true;
}

bool Engine::Begin(std::string* error)
{
    m_failure = Failure::None;
    if (!CheckNotHeld(error))
        return false;
    m_pending.clear();
    m_savepoint = 0;
    m_open = true;
    return true;
}

void Engine::Rollback()
{
    m_pending.clear();
    m_savepoint = 0;
    m_open = false;
}

void Engine::RollbackToSavepoint()
{
    if (m_savepoint < m_pending.size())
        m_pending.resize(m_savepoint);
}

namespace {

bool WriteAt(int fd, const void* data, size_t n, uint64_t offset)
{
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < n) {
        const ssize_t w = ::pwrite(fd, p + done, n - done, off_t(offset + done));
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        done += size_t(w);
    }
    return true;
}

bool ReadAt(int fd, void* data, size_t n, uint64_t offset)
{
    char* p = static_cast<char*>(data);
    size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, p + done, n - done, off_t(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        done += size_t(r);
    }
    return true;
}

// One piece of the file as it was before a write, to put back on failure.
struct Undo {
    uint64_t offset;
    uint8_t bytes[4];
    size_t n;
};

}  // namespace

bool Engine::Commit(std::string* error)
{
    m_failure = Failure::None;
    if (!m_open) {
        *error = "No change is under way.";
        return Fail(Failure::Refused);
    }
    std::vector<Pending> pending = std::move(m_pending);
    Rollback();
    if (pending.empty())
        return true;
    if (!CheckNotHeld(error))
        return false;
    // Everything is checked before anything is written: each row must still
    // be where its change found it, with the same Status.
    for (const Pending& p : pending) {
        auto read = m_read.find(p.key);
        IntSlot now;
        if (read == m_read.end()) {
            *error = "A row to change in " + m_shownPath + " was not read by the last load, so nothing was changed.";
            return Fail(Failure::Refused);
        }
        if (!Locate(p.key, read->second, &now, error))
            return false;
        if (now.offset != p.slot.offset || now.nullByte != p.slot.nullByte || now.nullBit != p.slot.nullBit) {
            *error = "A row of " + m_shownPath + " moved in the file since it was read, so nothing was changed.";
            return Fail(Failure::Changed);
        }
    }
    // The file as it was, kept beside it before the first change of a run.
    std::string backupError;
    int backupErrno = 0;
    if (!plat::BackupOnce(m_shownPath, &backupError, &backupErrno)) {
        *error = "No backup copy of " + m_shownPath + " could be made, so nothing was changed: " + backupError;
        return Fail(Failure::System, backupErrno);
    }
    const int fd = ::open(m_db.HostPath().c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        *error = "The file " + m_shownPath + " cannot be opened for writing: " + std::strerror(err) +
                 "; nothing was changed.";
        return Fail(Failure::System, err);
    }
    // The writes go to the file that was checked above, or nowhere.
    if (!m_db.IsFileOf(fd)) {
        ::close(fd);
        *error = m_shownPath + " was replaced by another program since it was read, so nothing was changed.";
        return Fail(Failure::Changed);
    }
    std::vector<Undo> undo;
    bool ok = true;
    int failure = 0;
    for (const Pending& p : pending) {
        Undo before{p.slot.offset, {}, 4};
        if (!ReadAt(fd, before.bytes, 4, p.slot.offset)) {
            ok = false;
            failure = errno;
            break;
        }
        const uint32_t v = uint32_t(p.status);
        const uint8_t bytes[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        undo.push_back(before);
        if (!plat::WriteInPlace(fd, bytes, 4, p.slot.offset)) {
            ok = false;
            failure = errno;
            break;
        }
        if (p.slot.null) {
            // A Null Status is not Null any more: its bit of the null mask
            // (set means a value) goes with the four bytes.
            Undo mask{p.slot.nullByte, {}, 1};
            if (!ReadAt(fd, mask.bytes, 1, p.slot.nullByte)) {
                ok = false;
                failure = errno;
                break;
            }
            undo.push_back(mask);
            const uint8_t set = uint8_t(mask.bytes[0] | p.slot.nullBit);
            if (!plat::WriteInPlace(fd, &set, 1, p.slot.nullByte)) {
                ok = false;
                failure = errno;
                break;
            }
        }
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        bool restored = true;
        for (auto it = undo.rbegin(); it != undo.rend(); ++it)
            restored = WriteAt(fd, it->bytes, it->n, it->offset) && restored;
        restored = ::fsync(fd) == 0 && restored;
        ::close(fd);
        *error = "Writing to " + m_shownPath + " failed (" + std::string(std::strerror(failure ? failure : EIO)) +
                 (restored ? "); what was written was put back."
                           : "), and what was written could not all be put back: its backup copy holds the file "
                             "as it was before this run.");
        return Fail(Failure::System, failure ? failure : EIO);
    }
    if (::close(fd) != 0) {
        // The writes were flushed; a late error cannot be undone from here.
        const int err = errno;
        *error = "Writing to " + m_shownPath + " failed (" + std::string(std::strerror(err)) +
                 "); its backup copy holds the file as it was before this run.";
        return Fail(Failure::System, err);
    }
    for (const Pending& p : pending) {
        Read& read = m_read[p.key];
        read.status = p.status;
        read.statusNull = false;
    }
    return true;
}

}  // namespace jet
