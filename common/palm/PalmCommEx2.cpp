#include "palm/PalmCommEx2.h"

#include "jet/JetEngine.h"
#include "misc/CxDebugUtil.h"
#include "misc/WinUtil.h"
#include "palm/DmMain.h"
#include "palm/PalmEnv.h"
#include "palm/PalmReason.h"
#include "platform/Codepage.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_set>

void PmCopyText(char* out, size_t size, const char* text)
{
    if (!out || size == 0)
        return;
    size_t n = text ? std::strlen(text) : 0;
    if (n > size - 1)
        n = size - 1;
    if (n)
        std::memcpy(out, text, n);
    out[n] = '\0';
}

// ---------------------------------------------------------------- field values

namespace {

void ZeroValue(PmFieldValue* out)
{
    std::memset(out, 0, sizeof *out);
}

// A text value of the wide text; `cut` keeps at most kPmMaxTextChars of it.
bool MakeWideValue(std::u16string_view wide, PmFieldValue* out, bool cut = true)
{
    ZeroValue(out);
    out->vt = kPmVtBstr;
    if (cut && wide.size() > kPmMaxTextChars)
        wide = wide.substr(0, kPmMaxTextChars);
    if (wide.empty())
        return true;
    char16_t* s = new (std::nothrow) char16_t[wide.size() + 1];
    if (!s) {
        out->vt = kPmVtEmpty;
        return false;
    }
    std::memcpy(s, wide.data(), wide.size() * sizeof(char16_t));
    s[wide.size()] = 0;
    out->bstrVal = s;
    return true;
}

std::u16string_view WideOf(const PmFieldValue* value)
{
    if (!value->bstrVal)
        return std::u16string_view();
    return std::u16string_view(value->bstrVal);
}

// Decimal number as a C library atoi reads it: blanks, a sign, digits.
int32_t ReadDecimal(std::u16string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= 9 && text[i] <= 13)))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int64_t v = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        v = v * 10 + (text[i++] - '0');
        if (v > int64_t(INT32_MAX) + 1)
            v = int64_t(INT32_MAX) + 1;
    }
    if (negative)
        v = -v;
    if (v > INT32_MAX)
        v = INT32_MAX;
    return int32_t(v);
}

// Appends with the bound of a fixed buffer; the text is cut at its end.
class Appender {
public:
    Appender(char* buffer, size_t size) : m_buffer(buffer), m_size(size)
    {
        if (m_size)
            m_buffer[0] = '\0';
    }
    void Add(const char* text)
    {
        if (!text)
            return;
        size_t n = std::strlen(text);
        if (m_size == 0 || m_length + 1 >= m_size)
            return;
        if (n > m_size - 1 - m_length)
            n = m_size - 1 - m_length;
        std::memcpy(m_buffer + m_length, text, n);
        m_length += n;
        m_buffer[m_length] = '\0';
    }
    void Add(const std::string& text) { Add(text.c_str()); }
    size_t Length() const { return m_length; }

private:
    char* m_buffer;
    size_t m_size;
    size_t m_length = 0;
};

// The length of the longest prefix of a UTF-8 text of at most n bytes that
// ends between characters: a cut never leaves the start of a sequence.
size_t Utf8Boundary(std::string_view text, size_t n)
{
    if (n >= text.size())
        return text.size();
    while (n > 0 && (uint8_t(text[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

// Number of characters of a UTF-8 text (bytes that start a sequence).
size_t Utf8Chars(std::string_view text)
{
    size_t chars = 0;
    for (char c : text)
        chars += (uint8_t(c) & 0xC0) != 0x80;
    return chars;
}

// Units of the character at i of a wide text: 2 for a surrogate pair.
size_t CharUnits(std::u16string_view wide, size_t i)
{
    return wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
                   wide[i + 1] <= 0xDFFF
               ? 2
               : 1;
}

// Doubles every apostrophe of a UTF-8 text, taking at most `limit` bytes of
// it (whole characters).
std::string DoubleApostrophes(const std::string& text, size_t limit)
{
    std::string out;
    size_t n = Utf8Boundary(text, limit);
    out.reserve(n + 16);
    for (size_t i = 0; i < n; ++i) {
        out += text[i];
        if (text[i] == '\'')
            out += '\'';
    }
    return out;
}

// "'" text "'" cut to fit `size` bytes with its terminator; a cut never
// splits a doubled apostrophe, so the literal always stays one literal.
std::string QuoteCut(const std::string& doubled, size_t size)
{
    size_t room = size > 3 ? size - 3 : 0;
    size_t n = Utf8Boundary(doubled, room);
    if (n < doubled.size()) {
        size_t quotes = 0;
        for (size_t i = n; i > 0 && doubled[i - 1] == '\''; --i)
            ++quotes;
        if (quotes % 2)
            --n;
    }
    return "'" + doubled.substr(0, n) + "'";
}

constexpr size_t kDoublingLimit = 20480;
constexpr size_t kWhereLiteralSize = 20480;
constexpr size_t kUpdateLiteralSize = 1024;
constexpr size_t kLeftChars = 256;

}  // namespace

bool MakeIntValue(int32_t value, PmFieldValue* out)
{
    if (!out)
        return false;
    ZeroValue(out);
    out->vt = kPmVtI4;
    out->lVal = value;
    return true;
}

bool MakeBoolValue(uint8_t value, PmFieldValue* out)
{
    if (!out)
        return false;
    ZeroValue(out);
    out->vt = kPmVtBool;
    out->boolVal = value;
    return true;
}

bool MakeTextValue(const char* utf8, PmFieldValue* out)
{
    if (!out)
        return false;
    return MakeWideValue(plat::Utf8ToWide(utf8 ? utf8 : ""), out);
}

bool MakeIntTextValue(int32_t value, PmFieldValue* out)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    return MakeTextValue(text, out);
}

void ClearValue(PmFieldValue* value)
{
    if (!value)
        return;
    if (value->vt == kPmVtBstr)
        delete[] value->bstrVal;
    ZeroValue(value);
}

bool ValueToInt(const PmFieldValue* value, int32_t* out)
{
    if (!value || !out)
        return false;
    switch (value->vt) {
    case kPmVtI4:
        *out = value->lVal;
        return true;
    case kPmVtI2:
        *out = value->iVal;
        return true;
    case kPmVtI1:
        *out = value->cVal;
        return true;
    case kPmVtBstr:
        *out = ReadDecimal(WideOf(value));
        return true;
    default:
        return false;
    }
}

bool ValueToBool(const PmFieldValue* value, uint8_t* out)
{
    if (!value || !out || value->vt != kPmVtBool)
        return false;
    *out = value->boolVal != 0 ? 1 : 0;
    return true;
}

bool ValueToText(const PmFieldValue* value, char* buffer, size_t size)
{
    if (!value || !buffer || size == 0 || value->vt != kPmVtBstr)
        return false;
    std::string ansi = plat::WideToAnsi(WideOf(value));
    if (ansi.size() < size) {
        std::memcpy(buffer, ansi.c_str(), ansi.size() + 1);
        return true;
    }
    // Too long for the field: cut between characters, never inside one.
    ToAnsi(value->bstrVal, buffer, size);
    return true;
}

std::string PmAnsiCut(std::u16string_view wide, size_t size)
{
    std::string ansi = plat::WideToAnsi(wide);
    if (ansi.size() < size || size == 0)
        return size ? ansi : std::string();
    // Too long: cut as ToAnsi cuts a buffer of that size, between characters
    // (it converts again, but only for a text longer than its field).
    std::string cut(size, '\0');
    ToAnsi(std::u16string(wide).c_str(), cut.data(), size);
    return std::string(cut.c_str());
}

std::string PmStoredCut(std::u16string_view wide, size_t size)
{
    if (size == 0)
        return std::string();
    // A UTF-16 unit is at most one ANSI byte in a single-byte code page (a
    // surrogate pair is one '?') and at most two in a double-byte one: a text
    // that short needs no cut, and no conversion to ANSI to find one.
    const bool doubleByte = plat::AnsiIsDoubleByte();
    if ((doubleByte ? wide.size() * 2 : wide.size()) < size)
        return plat::WideToUtf8(wide);
    std::string ansi = plat::WideToAnsi(wide);
    if (ansi.size() < size)
        return plat::WideToUtf8(wide);
    // Whole ANSI characters up to size - 1 bytes, as ToAnsi keeps them in a
    // buffer of that size; every character of the wide text is one ANSI
    // character, so the same number of characters is kept of the wide text.
    size_t bytes = 0;
    size_t chars = 0;
    while (bytes < ansi.size()) {
        size_t len = plat::AnsiCharLength(std::string_view(ansi).substr(bytes));
        if (bytes + len > size - 1)
            break;
        bytes += len;
        ++chars;
    }
    size_t units = 0;
    for (size_t c = 0; c < chars && units < wide.size(); ++c)
        units += CharUnits(wide, units);
    // Where a converter gives more than one ANSI character for a character
    // (none of the code pages here), drop characters until the ANSI form fits.
    std::u16string_view head = wide.substr(0, units);
    while (!head.empty() && plat::WideToAnsi(head).size() > size - 1) {
        size_t last = head.size() - 1;
        if (last > 0 && head[last] >= 0xDC00 && head[last] <= 0xDFFF && head[last - 1] >= 0xD800 &&
            head[last - 1] <= 0xDBFF)
            --last;
        head = head.substr(0, last);
    }
    return plat::WideToUtf8(head);
}

std::string PmStoredCutUtf8(std::string_view utf8, size_t size)
{
    if (size == 0)
        return std::string();
    // A character's ANSI form never takes more bytes than its UTF-8 form.
    if (utf8.size() < size)
        return std::string(utf8);
    return PmStoredCut(plat::Utf8ToWide(utf8), size);
}

const char* PmEx2DatabaseSubPath(int32_t kind)
{
    switch (kind) {
    case kPmDbAddr: return "address\\Address.mdb";
    case kPmDbDate: return "datebook\\DateBook.mdb";
    case kPmDbTodo: return "todo\\Todolist.mdb";
    case kPmDbMemo: return "MemoPad\\MemoPad.mdb";
    default: return "";
    }
}

// ---------------------------------------------------------------- PmDataAccessor

PmDataAccessor::PmDataAccessor()
{
    m_lastQuery[0] = '\0';
}

PmDataAccessor::~PmDataAccessor()
{
    ReleaseHook();
}

const char* PmDataAccessor::InformationSql(const char* condition, int32_t kind, const char* const* columns,
                                           const PmFieldValue* values, int32_t count)
{
    return BuildSql("Information", condition, kind, columns, values, count);
}

const char* PmDataAccessor::CategorySql(const char* condition, int32_t kind, const char* const* columns,
                                        const PmFieldValue* values, int32_t count)
{
    return BuildSql("Category", condition, kind, columns, values, count);
}

const char* PmDataAccessor::MainSql(const char* condition, int32_t kind, const char* const* columns,
                                    const PmFieldValue* values, int32_t count)
{
    return BuildSql("Main", condition, kind, columns, values, count);
}

void PmDataAccessor::ValueLiteral(const PmFieldValue* value, char* out, size_t size)
{
    if (!out || size == 0)
        return;
    out[0] = '\0';
    if (!value)
        return;
    char number[16];
    switch (value->vt) {
    case kPmVtBool:
        PmCopyText(out, size, value->boolVal ? "1" : "0");
        break;
    case kPmVtI4:
        std::snprintf(number, sizeof number, "%d", value->lVal);
        PmCopyText(out, size, number);
        break;
    case kPmVtBstr: {
        // The statements are UTF-8 texts, as SQLite prepares them.
        std::string doubled = DoubleApostrophes(plat::WideToUtf8(WideOf(value)), kDoublingLimit);
        PmCopyText(out, size, QuoteCut(doubled, size).c_str());
        break;
    }
    default:
        break;
    }
}

const char* PmDataAccessor::BuildSql(const char* table, const char* condition, int32_t kind,
                                     const char* const* columns, const PmFieldValue* values, int32_t count)
{
    static char s_statement[kPmSqlBufferSize];
    Appender sql(s_statement, sizeof s_statement);
    if (!columns || count <= 0)
        return s_statement;
    if (!table)
        table = "";
    auto bracketed = [&](int32_t i) {
        sql.Add("[");
        sql.Add(columns[i]);
        sql.Add("]");
    };
    static char s_literal[kPmSqlBufferSize];
    switch (kind) {
    case kPmSqlSelect:
        sql.Add("SELECT ");
        for (int32_t i = 0; i < count; ++i) {
            if (i)
                sql.Add(", ");
            bracketed(i);
        }
        sql.Add(" FROM ");
        sql.Add(table);
        sql.Add(" ");
        if (condition)
            sql.Add(condition);
        break;
    case kPmSqlInsert:
        if (!values)
            break;
        sql.Add("INSERT INTO ");
        sql.Add(table);
        sql.Add(" (");
        for (int32_t i = 0; i < count; ++i) {
            if (i)
                sql.Add(", ");
            bracketed(i);
        }
        if (count > 30) {
            sql.Add(", [Photo], ");
            sql.Add("[VoiceTag], ");
            sql.Add("[Ringtone]");
        }
        if (count > 4)
            sql.Add(", [Blob]");
        sql.Add(") VALUES (");
        for (int32_t i = 0; i < count; ++i) {
            if (i)
                sql.Add(", ");
            ValueLiteral(&values[i], s_literal, sizeof s_literal);
            sql.Add(s_literal);
        }
        if (count > 30)
            sql.Add(", 0x00000000, 0x00000000, 0x00000000");
        if (count > 4)
            sql.Add(", 0x00000000");
        sql.Add(")");
        break;
    case kPmSqlUpdate:
        if (!values)
            break;
        sql.Add("UPDATE ");
        sql.Add(table);
        sql.Add(" SET ");
        for (int32_t i = 0; i < count; ++i) {
            if (i)
                sql.Add(", ");
            bracketed(i);
            sql.Add("=");
            ValueLiteral(&values[i], s_literal, kUpdateLiteralSize);
            sql.Add(s_literal);
        }
        if (condition) {
            sql.Add(" ");
            sql.Add(condition);
        }
        break;
    default:
        break;
    }
    return s_statement;
}

bool PmDataAccessor::BuildWhere(const char* const* columns, int32_t count, const PmFieldValue* values, char* out,
                                size_t size)
{
    if (!out)
        return false;
    if (size)
        out[0] = '\0';
    if (!columns || !values || count <= 0)
        return true;
    std::string where = "WHERE ";
    static char s_literal[kWhereLiteralSize];
    for (int32_t i = 0; i < count; ++i) {
        if (i)
            where += " AND ";
        const PmFieldValue* value = &values[i];
        ValueLiteral(value, s_literal, sizeof s_literal);
        const std::string name = columns[i] ? columns[i] : "";
        // Counted in characters, as the ANSI literal was counted in bytes.
        if (Utf8Chars(s_literal) < kLeftChars) {
            if (value->vt == kPmVtBstr && WideOf(value).empty()) {
                // A database keeps an empty text as Null as often as as '':
                // an empty key matches both, or its row is never found again.
                where += "([" + name + "] = '' OR [" + name + "] IS NULL)";
            } else {
                where += "[" + name + "] = " + s_literal;
            }
        } else {
            std::u16string_view head = WideOf(value).substr(0, kLeftChars);
            std::string doubled = DoubleApostrophes(plat::WideToUtf8(head), kDoublingLimit);
            where += "LEFT(" + name + ", 256) = '" + doubled + "'";
        }
    }
    PmCopyText(out, size, where.c_str());
    return true;
}

void PmDataAccessor::FreeValues(PmFieldValue* row, int32_t count)
{
    if (!row)
        return;
    for (int32_t i = 0; i < count; ++i)
        ClearValue(&row[i]);
    delete[] row;
}

// ---------------------------------------------------------------- PmMDBAccessor

PmMDBAccessor::PmMDBAccessor(TdmMain* module, int32_t kind, const char* path) : m_module(module)
{
    m_dbFile[0] = '\0';
    Open(kind, path);
}

DbQuery* PmMDBAccessor::AddrQuery() { return m_module ? &m_module->qryAddr : nullptr; }
DbQuery* PmMDBAccessor::DateQuery() { return m_module ? &m_module->qryDate : nullptr; }
DbQuery* PmMDBAccessor::TodoQuery() { return m_module ? &m_module->qryTodo : nullptr; }
DbQuery* PmMDBAccessor::MemoQuery() { return m_module ? &m_module->qryMemo : nullptr; }
DbConnection* PmMDBAccessor::AddrConnection() { return m_module ? &m_module->connAddr : nullptr; }
DbConnection* PmMDBAccessor::DateConnection() { return m_module ? &m_module->connDate : nullptr; }
DbConnection* PmMDBAccessor::TodoConnection() { return m_module ? &m_module->connTodo : nullptr; }
DbConnection* PmMDBAccessor::MemoConnection() { return m_module ? &m_module->connMemo : nullptr; }

DbQuery* PmMDBAccessor::Query()
{
    switch (m_kind) {
    case kPmDbAddr: return AddrQuery();
    case kPmDbDate: return DateQuery();
    case kPmDbTodo: return TodoQuery();
    case kPmDbMemo: return MemoQuery();
    default: return nullptr;
    }
}

DbConnection* PmMDBAccessor::Connection()
{
    switch (m_kind) {
    case kPmDbAddr: return AddrConnection();
    case kPmDbDate: return DateConnection();
    case kPmDbTodo: return TodoConnection();
    case kPmDbMemo: return MemoConnection();
    default: return nullptr;
    }
}

PmMDBAccessor::~PmMDBAccessor()
{
    RollbackChanges();
}

void PmMDBAccessor::Open(int32_t kind, const char* path)
{
    // Changes not committed belong to the file loaded before: undo them
    // before the connection is closed or given another file.
    RollbackChanges();
    m_kind = kind;
    PmCopyText(m_dbFile, sizeof m_dbFile, path ? path : "");
    CXLOG(2, "Set database file to be opened: %s", m_dbFile);
    if (!m_dbFile[0] || !plat::HostExists(plat::ToHostPath(m_dbFile))) {
        CXLOG(0, "The file doesn't exist. Abort.");
        return;
    }
    DbConnection* connection = Connection();
    if (!connection) {
        CXLOG(0, "There is no valid database connection to open this file.");
        return;
    }
    if (connection->Connected()) {
        CXLOG(2, "The connection is already opened, close it now.");
        // Its query holds a statement of the closed file; drop it first.
        if (DbQuery* query = Query())
            query->Close();
        connection->Close();
    }
    char text[400];
    std::snprintf(text, sizeof text, "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"%s\"", m_dbFile);
    connection->SetConnectionString(text);
    CXLOG(2, "Connection String: %s", text);
    std::string error;
    if (!connection->Open(&error))
        CXLOG(0, "Database Connection Error, Connection String=%s, Error=%s", text, error.c_str());
}

void PmMDBAccessor::LogQueryError(const char* statement, const std::string& error)
{
    // The statements (and SQLite's messages) are UTF-8, while the paths and
    // the other lines of the log are ANSI: a text outside ASCII in a logged
    // statement is to be read as UTF-8.
    if (!error.empty())
        CXLOG(0, "Database Query Error, Query String=%s, Error=%s", statement, error.c_str());
    else
        CXLOG(0, "Database Query Error, Query String=%s", statement);
    m_lastError = error.empty() ? std::string("The statement failed.") : error;
}

bool PmMDBAccessor::BackupBeforeChange(const char* statement)
{
    // The file is changed in place; keep a copy of it as it was before the
    // first change of this run.
    std::string error;
    int err = 0;
    DbConnection* connection = Connection();
    if (connection && connection->Connected() && !plat::BackupOnce(connection->DataSource(), &error, &err)) {
        LogQueryError(statement, "No backup copy could be made, so nothing was changed: " + error);
        m_lastReason = PmReasonOfErrno(err, "no backup copy of the file could be made");
        return false;
    }
    return true;
}

bool PmMDBAccessor::BeginChanges(const char* statement)
{
    DbConnection* connection = Connection();
    // Checked before the backup copy: a file put in the place of the one
    // read is neither copied nor changed.
    std::string replaced;
    if (!connection->StillTheOpenedFile(&replaced)) {
        LogQueryError(statement, replaced);
        m_lastReason = connection->FailureReason();
        return false;
    }
    if (m_batch) {
        if (connection->OpenTransaction() == m_batch)
            return true;
        // The database undid the transaction by itself (a full disk, an I/O
        // error) or the connection was closed: the changes made so far are
        // gone, and so must the ones after them be, or the file would end up
        // with part of the run.
        m_batch = 0;
        m_batchLost = true;
    }
    if (m_batchLost) {
        LogQueryError(statement, "The earlier changes of this run were undone before they were saved, so nothing "
                                 "more is changed until the file is loaded again.");
        m_lastReason = "the earlier deletions of this run were undone before they were saved";
        return false;
    }
    // A Jet file is written only when the run is saved, and is copied then,
    // just before its first byte changes: a change refused before that
    // leaves no copy beside a file it never touched. An SQLite file is
    // copied before its transaction begins (the copy opens and closes the
    // file, which would drop the transaction's lock on it); a database that
    // another program is writing is found first, by a transaction begun and
    // undone, so that its refusal leaves no copy either.
    std::string error;
    if (!connection->IsJet()) {
        if (!connection->Begin(&error)) {
            LogQueryError(statement, error);
            m_lastReason = connection->FailureReason();
            return false;
        }
        connection->Rollback();
        if (!BackupBeforeChange(statement))
            return false;
    }
    if (!connection->Begin(&error)) {
        LogQueryError(statement, error);
        m_lastReason = connection->FailureReason();
        return false;
    }
    m_batch = connection->OpenTransaction();
    return true;
}

bool PmMDBAccessor::CommitChanges(std::string* error)
{
    m_lastReason.clear();
    const uint64_t batch = m_batch;
    bool lost = m_batchLost;
    m_batch = 0;
    m_batchLost = false;
    DbConnection* connection = batch ? Connection() : nullptr;
    if (batch && (!connection || connection->OpenTransaction() != batch))
        lost = true;
    if (lost) {
        *error = "the changes were undone before they could be saved";
        m_lastReason = "the deletions were undone before they could be saved";
        return false;
    }
    if (!batch)
        return true;
    // A statement left standing on a row (a lookup that refused its row)
    // has nothing more to give.
    if (DbQuery* query = Query())
        query->Close();
    if (!connection->StillTheOpenedFile(error) || !connection->Commit(error)) {
        m_lastReason = connection->FailureReason();
        connection->Rollback();
        return false;
    }
    return true;
}

void PmMDBAccessor::RollbackChanges()
{
    // Checked first: a facade destroyed late at exit must not reach a
    // connection that is gone, and has nothing to undo unless it changed rows.
    if (m_batch) {
        DbConnection* connection = Connection();
        if (connection && connection->OpenTransaction() == m_batch) {
            CXLOG(2, "Changes to %s that were not saved are undone.", m_dbFile);
            if (DbQuery* query = Query())
                query->Close();
            connection->Rollback();
        }
    }
    m_batch = 0;
    m_batchLost = false;
}

bool PmMDBAccessor::Execute(const char* statement, bool returnsRows)
{
    m_lastError.clear();
    DbQuery* query = Query();
    if (!query || !statement || !statement[0]) {
        m_lastError = !query ? "There is no database connection of this kind." : "The statement is empty.";
        return false;
    }
    CXLOG(2, "Execute SQL Query: %s", statement);
    if (!returnsRows && !BackupBeforeChange(statement))
        return false;
    std::string error;
    query->Close();
    query->ClearSql();
    query->AddSql(statement);
    bool ok = returnsRows ? query->Open(&error) : query->ExecSql(&error);
    if (!ok) {
        LogQueryError(statement, error);
        return false;
    }
    CXLOG(2, "Query executed successfully.");
    return true;
}

bool PmMDBAccessor::ExecuteOnOneRow(const char* statement)
{
    m_lastError.clear();
    m_lastReason.clear();
    DbQuery* query = Query();
    DbConnection* connection = Connection();
    if (!query || !connection || !statement || !statement[0]) {
        m_lastError = !query ? "There is no database connection of this kind." : "The statement is empty.";
        m_lastReason = "the database is not open";
        return false;
    }
    CXLOG(2, "Execute SQL Query: %s", statement);
    if (!BeginChanges(statement))
        return false;
    query->Close();
    query->ClearSql();
    query->AddSql(statement);
    // The change and its count under a savepoint of the run's transaction: a
    // statement that reaches other rows than the one meant is undone before
    // anyone can see it, and only it: the earlier changes stay for the commit.
    std::string error;
    std::string reason;
    bool ok = connection->Savepoint(&error);
    if (ok) {
        ok = query->ExecSql(&error);
        if (ok && query->ChangedRows() != 1) {
            error = "The statement would change " + std::to_string(query->ChangedRows()) +
                    " rows instead of exactly one, so nothing was changed.";
            // No row: it went since it was read. More: other rows follow it.
            reason = query->ChangedRows() == 0 ? std::string(kPmReasonChanged)
                                               : std::string("the deletion would change other records as well");
            ok = false;
        }
        if (ok)
            ok = connection->ReleaseSavepoint(&error);
        if (!ok && reason.empty())
            reason = connection->FailureReason();
        if (!ok)
            connection->RollbackToSavepoint();
    } else {
        reason = connection->FailureReason();
    }
    if (!ok) {
        LogQueryError(statement, error);
        m_lastReason = reason.empty() ? std::string("the database refused the change") : reason;
        return false;
    }
    CXLOG(2, "Query executed successfully.");
    return true;
}

bool PmMDBAccessor::CurrentRowKey(int64_t* key) const
{
    if (!m_hasRowKey || !key)
        return false;
    *key = m_rowKey;
    return true;
}

std::string PmMDBAccessor::RowKeyCondition(int64_t key)
{
    DbConnection* connection = Connection();
    return connection ? connection->RowKeyCondition(key) : std::string();
}

bool PmMDBAccessor::CheckColumnTypes(const char* table, const std::vector<jet::ColumnUse>& uses)
{
    m_lastError.clear();
    DbConnection* connection = Connection();
    if (!connection || !connection->IsJet())
        return true;
    std::string error;
    if (connection->Jet()->CheckColumns(table, uses, &error))
        return true;
    CXLOG(0, "Database Table Error, Table=%s, Error=%s", table, error.c_str());
    m_lastError = error;
    return false;
}

jet::Refusal PmMDBAccessor::LastRefusal()
{
    jet::Refusal refusal;
    DbConnection* connection = Connection();
    if (!connection) {
        refusal.fault = jet::Fault::Unreadable;
    } else if (!connection->Connected()) {
        refusal = connection->OpenRefusal();
        if (refusal.fault == jet::Fault::None)
            refusal.fault = jet::Fault::Unreadable;
    } else if (connection->IsJet()) {
        refusal = connection->Jet()->LastRefusal();
    }
    // A statement that stopped on a table of the desktop program's.
    if (refusal.fault == jet::Fault::None)
        refusal.fault = jet::Fault::Damaged;
    return refusal;
}

bool PmMDBAccessor::ReadCurrentRow(DbQuery* query, PmFieldValue** row, int32_t* count)
{
    m_hasRowKey = query->RowKey(&m_rowKey);
    int32_t n = query->FieldCount();
    PmFieldValue* values = n > 0 ? new (std::nothrow) PmFieldValue[size_t(n)] : nullptr;
    if (n > 0 && !values) {
        *row = nullptr;
        *count = 0;
        m_hasRowKey = false;
        m_lastError = "Out of memory for a row of " + std::to_string(n) + " fields.";
        return false;
    }
    for (int32_t i = 0; i < n; ++i) {
        PmFieldValue* v = &values[i];
        ZeroValue(v);
        switch (query->FieldKind(i)) {
        case DbFieldKind::Int16:
        case DbFieldKind::Int32:
            MakeIntValue(query->FieldInt(i), v);
            break;
        case DbFieldKind::WideString:
        case DbFieldKind::AnsiString:
            // A row's text is copied whole: a memo longer than the makers'
            // limit is the reader's to cut (the fields cut to their capacity).
            MakeWideValue(query->FieldText(i), v, false);
            break;
        case DbFieldKind::Boolean:
            v->vt = kPmVtBool;
            v->boolVal = query->FieldInt(i) ? -1 : 0;
            break;
        default:
            break;
        }
    }
    *row = values;
    *count = n;
    return true;
}

bool PmMDBAccessor::QueryFirst(const char* statement, PmFieldValue** row, int32_t* count)
{
    m_lastError.clear();
    m_hasRowKey = false;
    if (!statement || !statement[0]) {
        CXLOG(0, "Invalid query string found.");
        m_lastError = "Invalid query string found.";
        return false;
    }
    DbQuery* query = Query();
    if (!query || !row || !count) {
        m_lastError = "There is no database connection of this kind.";
        return false;
    }
    if (!Execute(statement, true))
        return false;
    if (query->Eof())
        return false;
    return ReadCurrentRow(query, row, count);
}

bool PmMDBAccessor::QueryNext(const char* statement, PmFieldValue** row, int32_t* count)
{
    m_lastError.clear();
    m_hasRowKey = false;
    if (!statement || !statement[0]) {
        CXLOG(0, "Invalid query string found.");
        m_lastError = "Invalid query string found.";
        return false;
    }
    if (std::strcmp(statement, m_lastQuery) != 0) {
        CXLOG(2, "This query is not same with former query. Ignore this query.");
        m_lastError = "This query is not same with former query.";
        return false;
    }
    DbQuery* query = Query();
    if (!query || !row || !count) {
        m_lastError = "There is no database connection of this kind.";
        return false;
    }
    std::string error;
    if (!query->Next(&error)) {
        LogQueryError(statement, error);
        return false;
    }
    if (query->Eof())
        return false;
    return ReadCurrentRow(query, row, count);
}

bool PmMDBAccessor::SelectAllFirst(const char* table, const char* const* columns, PmFieldValue** row, int32_t* count)
{
    if (!Query() || !count)
        return false;
    const char* sql = BuildSql(table, nullptr, kPmSqlSelect, columns, nullptr, *count);
    PmCopyText(m_lastQuery, sizeof m_lastQuery, sql);
    return QueryFirst(m_lastQuery, row, count);
}

bool PmMDBAccessor::SelectAllNext(const char* table, const char* const* columns, PmFieldValue** row, int32_t* count)
{
    std::string last = m_lastQuery;
    return QueryNext(last.c_str(), row, count);
}

// ---------------------------------------------------------------- categories

PmCategoryEx2Mgr::~PmCategoryEx2Mgr()
{
    Clear();
}

void PmCategoryEx2Mgr::Clear()
{
    m_Cats.Clear(true);
}

bool PmCategoryEx2Mgr::AddCopy(const PmCategoryEx2* category)
{
    if (!category)
        return false;
    PmCategoryEx2* copy = new (std::nothrow) PmCategoryEx2(*category);
    if (!copy)
        return false;
    if (!m_Cats.Add(copy)) {
        delete copy;
        return false;
    }
    return true;
}

PmCategoryEx2* PmCategoryEx2Mgr::FindByID(int32_t id)
{
    for (uint32_t i = 0; i < m_Cats.Count(); ++i) {
        PmCategoryEx2* c = m_Cats.GetAt(i);
        if (c && c->ID == id)
            return c;
    }
    return nullptr;
}

PmCategoryEx2* PmCategoryEx2Mgr::GetAt(uint32_t position)
{
    return m_Cats.GetAt(position);
}

PmCategoryEx2* PmCategoryEx2Mgr::FindByName(const char* name)
{
    if (!name || !name[0])
        return nullptr;
    for (uint32_t i = 0; i < m_Cats.Count(); ++i) {
        PmCategoryEx2* c = m_Cats.GetAt(i);
        if (c && c->Name == name)
            return c;
    }
    return nullptr;
}

// ---------------------------------------------------------------- PmDBEx2Util

namespace {

const char* const kCategoryColumns[] = {"ID", "Name", "Status", "Color"};

// What the category load reads from each column of "Category".
const std::vector<jet::ColumnUse>& CategoryUses()
{
    static const std::vector<jet::ColumnUse> uses = {
        {"ID", jet::Use::Number}, {"Name", jet::Use::Text}, {"Status", jet::Use::Number}, {"Color", jet::Use::Number}};
    return uses;
}

// What the load reads from each column of a table's "Main".
std::vector<jet::ColumnUse> MainUses(const PmTableDef& table)
{
    std::vector<jet::ColumnUse> uses;
    for (int32_t i = 0; i < table.count; ++i) {
        const PmColumnDef& c = table.columns[i];
        jet::Use use = jet::Use::Number;
        switch (c.kind) {
        case PmColKind::Int: use = jet::Use::Number; break;
        case PmColKind::IntText: use = jet::Use::NumberOrText; break;
        case PmColKind::Bool: use = jet::Use::Flag; break;
        case PmColKind::Text: use = jet::Use::Text; break;
        }
        uses.push_back({c.name, use});
    }
    return uses;
}

// A reason put inside a sentence of the log, without the full stop it may
// end with.
std::string Clause(std::string reason)
{
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' '))
        reason.pop_back();
    return reason;
}

// A number of bytes as a user reads it: 122,880.
std::string Grouped(uint64_t n)
{
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ',';
        out += digits[i];
    }
    return out;
}

// The user's data folder, ending in a separator.
bool UserDataFolder(uint32_t user, std::string* folder)
{
    char buffer[260] = {};
    if (!GetUserDataPath(user, buffer))
        return false;
    *folder = buffer;
    return true;
}

bool MakeColumnValue(const PmColumnDef& column, void* record, PmFieldValue* out)
{
    switch (column.kind) {
    case PmColKind::Int:
        return MakeIntValue(PmIntAt(record, column.offset), out);
    case PmColKind::IntText:
        return MakeIntTextValue(PmIntAt(record, column.offset), out);
    case PmColKind::Bool:
        return MakeBoolValue(PmByteAt(record, column.offset), out);
    case PmColKind::Text:
        return MakeTextValue(column.text.get(record).data(), out);
    }
    return false;
}

bool ColumnEqual(const PmColumnDef& column, const void* a, const void* b)
{
    switch (column.kind) {
    case PmColKind::Int:
    case PmColKind::IntText:
        return PmIntAt(a, column.offset) == PmIntAt(b, column.offset);
    case PmColKind::Bool:
        return PmByteAt(a, column.offset) == PmByteAt(b, column.offset);
    case PmColKind::Text:
        return column.text.get(a) == column.text.get(b);
    }
    return false;
}

// Field values of some columns of a record; freed with the object.
class ValueSet {
public:
    explicit ValueSet(int32_t count) : m_values(new PmFieldValue[size_t(count)]()), m_count(count) {}
    ~ValueSet()
    {
        for (int32_t i = 0; i < m_count; ++i)
            ClearValue(&m_values[i]);
        delete[] m_values;
    }
    PmFieldValue* Values() { return m_values; }

private:
    PmFieldValue* m_values;
    int32_t m_count;
};

}  // namespace

PmColumnNames::PmColumnNames(const PmTableDef& table)
{
    CX_ASSERT(table.count <= 96);
    for (int32_t i = 0; i < table.count; ++i)
        m_names[i] = table.columns[i].name;
}

PmDBEx2Util::PmDBEx2Util() : m_pCatMgr(new PmCategoryEx2Mgr()) {}

PmDBEx2Util::~PmDBEx2Util()
{
    delete m_pCatMgr;
    delete m_pAccessor;
}

bool PmDBEx2Util::OpenDatabase(int32_t kind, const char* path)
{
    if (!path || !path[0])
        return false;
    if (!plat::HostExists(plat::ToHostPath(path))) {
        jet::Refusal missing;
        missing.fault = jet::Fault::Unreadable;
        return Refuse(path, missing);
    }
    if (m_pAccessor)
        m_pAccessor->Open(kind, path);
    else
        m_pAccessor = new PmMDBAccessor(&DataModule(), kind, path);
    m_pCatMgr->SetAccessor(m_pAccessor);
    // A database that cannot be opened is a failed load, not an empty one:
    // otherwise the user is told that the data holds no duplicates when it
    // was never read. The connection error itself is already in the log.
    DbConnection* connection = m_pAccessor->Connection();
    if (!connection || !connection->Connected()) {
        m_pCatMgr->Clear();
        return Refuse(path, m_pAccessor->LastRefusal());
    }
    return LoadCategories();
}

bool PmDBEx2Util::WalkEnded(std::string* reason) const
{
    // The walk over a table stops at its end or at an error (no such table
    // or column, a damaged page, a value that cannot be read): only the end
    // means that every row was read.
    DbQuery* query = m_pAccessor ? m_pAccessor->Query() : nullptr;
    if (query && query->Done())
        return true;
    *reason = m_pAccessor && !m_pAccessor->LastError().empty() ? m_pAccessor->LastError()
                                                              : std::string("the rows could not be read to the end");
    return false;
}

bool PmDBEx2Util::LoadCategories()
{
    if (!m_pAccessor)
        return false;
    CXLOG(2, "Start loading Palm Desktop category information.");
    m_pCatMgr->Clear();
    PmFieldValue* row = nullptr;
    int32_t count = 4;
    // Each column as the load reads it, before any row is read: a column of
    // another type would read as empty or 0 on every row.
    std::string reason;
    bool ok = false;
    if (!m_pAccessor->CheckColumnTypes("Category", CategoryUses()))
        reason = m_pAccessor->LastError();
    else
        ok = m_pAccessor->SelectAllFirst("Category", kCategoryColumns, &row, &count);
    while (ok) {
        PmCategoryEx2 category;
        if (count >= 1 && row[0].vt == kPmVtI4)
            category.ID = row[0].lVal;
        if (count >= 2 && row[1].vt == kPmVtBstr)
            category.Name = PmStoredCut(WideOf(&row[1]), PmCategoryEx2::kNameCapacity);
        if (count >= 3 && row[2].vt == kPmVtI4)
            category.Status = row[2].lVal;
        if (count >= 4 && row[3].vt == kPmVtI4)
            category.Color = row[3].lVal;
        CXLOG(2, "Category loaded: %s", category.Name.c_str());
        m_pCatMgr->AddCopy(&category);
        PmDataAccessor::FreeValues(row, count);
        row = nullptr;
        ok = m_pAccessor->SelectAllNext("Category", kCategoryColumns, &row, &count);
    }
    // Without all its categories a record's category cannot be shown or
    // written back truthfully; an empty table is fine, a failed read is not.
    if (!reason.empty() || !WalkEnded(&reason)) {
        CXLOG(0, "The categories of %s could not be read: %s. Nothing was loaded.", m_pAccessor->DatabaseFile(),
              Clause(reason).c_str());
        m_pCatMgr->Clear();
        return Refuse(m_pAccessor->DatabaseFile(), m_pAccessor->LastRefusal());
    }
    CXLOG(2, "Categories information loaded successfully.");
    return true;
}

bool PmDBEx2Util::ReadMainWhere(const char* condition, const char* const* columns, PmFieldValue** row, int32_t count)
{
    if (!m_pAccessor)
        return false;
    std::string sql = m_pAccessor->MainSql(condition, kPmSqlSelect, columns, nullptr, count);
    int32_t fields = 0;
    return m_pAccessor->QueryFirst(sql.c_str(), row, &fields);
}

bool PmDBEx2Util::OutOfMemory()
{
    m_failure = "there was no memory left to write the record";
    return false;
}

void PmDBEx2Util::DiscardWrites()
{
    if (m_pAccessor)
        m_pAccessor->RollbackChanges();
}

bool PmDBEx2Util::CommitWrites(const char* module)
{
    m_failure.clear();
    if (!m_pAccessor)
        return true;
    std::string error;
    if (m_pAccessor->CommitChanges(&error))
        return true;
    m_failure = m_pAccessor->LastReason().empty() ? std::string("the database could not be written")
                                                  : m_pAccessor->LastReason();
    TheLog().Log(0, module, __LINE__, "The changes to %s could not be saved: %s. The file was not changed.",
                 m_pAccessor->DatabaseFile(), error.c_str());
    return false;
}

bool PmDBEx2Util::Refuse(const char* path, const jet::Refusal& refusal)
{
    m_failureWords = PmEx2FailureWords(path ? path : "", refusal);
    CXLOG(0, "%s", m_failureWords.c_str());
    return false;
}

bool PmDBEx2Util::LoadByUserShared(uint32_t user, int32_t kind, const char* subPath, const PmEx2Messages& m)
{
    DiscardWrites();
    m_failureWords.clear();
    TheLog().Log(2, m.module, __LINE__, m.start, int(user));
    std::string path;
    if (!UserDataFolder(user, &path)) {
        TheLog().Log(0, m.module, __LINE__, "Failed to get user database path by user ID.");
        return false;
    }
    path += subPath;
    TheLog().Log(2, m.module, __LINE__, "Get user file successfully, try loading file:%s", path.c_str());
    return LoadFileShared(path.c_str(), kind, m);
}

bool PmDBEx2Util::LoadFileShared(const char* path, int32_t kind, const PmEx2Messages& m)
{
    // What was written back and not saved belongs to the load before.
    DiscardWrites();
    m_failureWords.clear();
    if (!path || !path[0]) {
        if (m.invalidName)
            TheLog().Log(0, m.module, __LINE__, "%s", m.invalidName);
        return false;
    }
    TheLog().Log(2, m.module, __LINE__, m.loading, path);
    if (!OpenDatabase(kind, path)) {
        TheLog().Log(0, m.module, __LINE__, m.openFailed, path);
        return false;
    }
    // LoadMain said at level 0 why, when it could not read every row.
    return LoadMainRecords();
}

bool PmDBEx2Util::LoadMainShared(const PmTableDef& table, const PmEx2Messages& m)
{
    if (!m_pAccessor || !HasDataMgr())
        return false;
    TheLog().Log(2, m.module, __LINE__, "%s", m.mainStart);
    PmColumnNames names(table);
    PmFieldValue* row = nullptr;
    int32_t count = table.count;
    std::string reason;
    bool ok = false;
    if (!m_pAccessor->CheckColumnTypes("Main", MainUses(table)))
        reason = m_pAccessor->LastError();
    else
        ok = m_pAccessor->SelectAllFirst("Main", names.Names(), &row, &count);
    TheLog().Log(2, m.module, __LINE__, "%s", ok ? m.firstRecord : m.noFirstRecord);
    std::unordered_set<int64_t> keys;
    const int32_t statusColumn = table.StatusColumn();
    while (ok) {
        if (count != table.count) {
            // The statement names exactly the table's columns; a row of
            // another shape would load as an empty record.
            reason = "a row has " + std::to_string(count) + " fields instead of " + std::to_string(table.count);
            PmDataAccessor::FreeValues(row, count);
            break;
        }
        PmRowKey key = {};
        key.known = m_pAccessor->CurrentRowKey(&key.value) ? 1 : 0;
        if (statusColumn >= 0) {
            int32_t status = 0;
            key.status = ValueToInt(&row[statusColumn], &status) ? status : 0;
            key.statusKnown = 1;
        }
        // A key names one row. Two rows under one key are a damaged table
        // (SQLite reads them, its lookups find only one): a deletion of the
        // second would mark the first again and still report success.
        if (key.known && !keys.insert(key.value).second) {
            reason = "two rows have the same row key " + std::to_string(key.value) + " (the file is damaged)";
            PmDataAccessor::FreeValues(row, count);
            break;
        }
        if (!AddLoadedRow(row, count, key)) {
            reason = "there is no memory left for the records";
            PmDataAccessor::FreeValues(row, count);
            break;
        }
        PmDataAccessor::FreeValues(row, count);
        row = nullptr;
        ok = m_pAccessor->SelectAllNext("Main", names.Names(), &row, &count);
        if (!ok)
            TheLog().Log(2, m.module, __LINE__, "%s", m.noNextRecord);
    }
    // A part of the rows, or none, would pass for all of them: the user would
    // be told there are no duplicates in data that was never read.
    if (!reason.empty() || !WalkEnded(&reason)) {
        TheLog().Log(0, m.module, __LINE__, "The records of %s could not be read whole: %s. Nothing was loaded.",
                     m_pAccessor->DatabaseFile(), Clause(reason).c_str());
        ClearRecords();
        m_pCatMgr->Clear();
        return Refuse(m_pAccessor->DatabaseFile(), m_pAccessor->LastRefusal());
    }
    TheLog().Log(2, m.module, __LINE__, "%s", m.completed);
    return true;
}

void PmDBEx2Util::FillRecord(const PmTableDef& table, const PmFieldValue* row, int32_t count, void* record)
{
    if (!row || count != table.count)
        return;
    for (int32_t i = 0; i < table.count; ++i) {
        const PmColumnDef& column = table.columns[i];
        switch (column.kind) {
        case PmColKind::Int:
        case PmColKind::IntText: {
            int32_t v = 0;
            if (ValueToInt(&row[i], &v))
                PmIntAt(record, column.offset) = v;
            if (column.text.set) {
                char decimal[16];
                std::snprintf(decimal, sizeof decimal, "%d", PmIntAt(record, column.offset));
                column.text.set(record, decimal);
            }
            break;
        }
        case PmColKind::Bool: {
            uint8_t v = 0;
            if (ValueToBool(&row[i], &v))
                PmByteAt(record, column.offset) = v;
            break;
        }
        case PmColKind::Text:
            if (row[i].vt == kPmVtBstr)
                column.text.set(record, PmStoredCut(WideOf(&row[i]), column.text.capacity));
            break;
        }
    }
}

void PmDBEx2Util::LookUpCategoryName(const PmTableDef& table, void* record)
{
    // Cut to the field's capacity where the ANSI name was cut.
    if (PmCategoryEx2* category = m_pCatMgr->FindByID(PmIntAt(record, table.categoryOffset)))
        table.categoryName.set(record, PmStoredCutUtf8(category->Name, table.categoryName.capacity));
}

void PmDBEx2Util::ResolveCategory(const PmTableDef& table, void* record)
{
    const std::string_view name = table.categoryName.get(record);
    if (name.empty())
        return;
    int32_t& id = PmIntAt(record, table.categoryOffset);
    if (PmCategoryEx2* current = m_pCatMgr->FindByID(id)) {
        if (name == PmStoredCutUtf8(current->Name, table.categoryName.capacity))
            return;
    }
    if (PmCategoryEx2* named = m_pCatMgr->FindByName(std::string(name).c_str()))
        id = named->ID;
}

bool PmDBEx2Util::UpdateRecordRow(const PmTableDef& table, void* record, void* scratch, const char* module,
                                  bool resolveBeforeWrite)
{
    m_failure.clear();
    if (!m_pAccessor || !record || !scratch) {
        m_failure = "the database is not open";
        return false;
    }
    PmColumnNames names(table);
    const char* keyNames[8];
    CX_ASSERT(table.keyCount <= 8);
    for (int32_t k = 0; k < table.keyCount; ++k)
        keyNames[k] = table.columns[table.keys[k]].name;

    const int32_t recordId = PmIntAt(record, table.columns[0].offset);

    // Find the stored row again. The key columns built from the record in
    // memory cannot always name it: its texts are cut to their fields (a
    // long Summary), a Null time reads as 0, and two rows may share a Record
    // ID and key texts. So a loaded record names its row by the row key read
    // with it, and the key-column condition gives way to that one here and
    // in the update. Only a record that was not loaded with a row key is
    // looked up by its key columns.
    const PmRowKey rowKey = PmRowKeyAt(record, table.rowKeyOffset);
    std::string condition;
    if (rowKey.known) {
        condition = m_pAccessor->RowKeyCondition(rowKey.value);
        if (condition.empty()) {
            TheLog().Log(0, module, __LINE__,
                         "The stored row of record %d cannot be named on this connection; nothing was written.",
                         recordId);
            m_failure = "the record's row cannot be found again in the database";
            return false;
        }
    } else {
        ValueSet keys(table.keyCount);
        for (int32_t k = 0; k < table.keyCount; ++k)
            if (!MakeColumnValue(table.columns[table.keys[k]], record, &keys.Values()[k]))
                return OutOfMemory();
        std::string buffer(table.whereSize, '\0');
        PmDataAccessor::BuildWhere(keyNames, table.keyCount, keys.Values(), buffer.data(), buffer.size());
        condition = buffer.c_str();
    }
    PmFieldValue* row = nullptr;
    bool found = ReadMainWhere(condition.c_str(), names.Names(), &row, table.count);
    if (!found) {
        // Without its row the record cannot be changed; adding it again would
        // leave the original live beside a stray copy.
        // A row that is not there any more went since the load.
        m_failure = kPmReasonChanged;
        if (!m_pAccessor->LastError().empty()) {
            TheLog().Log(0, module, __LINE__, "The stored row of record %d could not be read: %s; nothing was written.",
                         recordId, m_pAccessor->LastError().c_str());
            // Another program writing the database keeps it from being read.
            DbConnection* connection = m_pAccessor->Connection();
            m_failure = connection && connection->FailureReason() == kPmReasonHeld
                            ? std::string(kPmReasonHeld)
                            : std::string("the record's row could not be read from the database");
        }
        else if (rowKey.known)
            TheLog().Log(0, module, __LINE__,
                         "The stored row of record %d is no longer in the database; nothing was written.", recordId);
        else
            TheLog().Log(0, module, __LINE__,
                         "The stored row of record %d was not found by its key columns; nothing was written.",
                         recordId);
        return false;
    }
    int32_t fields = m_pAccessor->Query() ? m_pAccessor->Query()->FieldCount() : 0;
    // The condition must name this one row. A condition of key columns names
    // another row too when it has the same keys (a damaged file: record ids
    // are unique); an update would change that row as well and give it this
    // record's values.
    std::string error;
    DbQuery* query = m_pAccessor->Query();
    if (!query || !query->Next(&error) || !query->Done()) {
        PmDataAccessor::FreeValues(row, fields);
        TheLog().Log(0, module, __LINE__,
                     "The stored row of record %d is not the only row with its key columns; nothing was written.",
                     PmIntAt(record, table.columns[0].offset));
        m_failure = "the record's row cannot be told apart from another one";
        return false;
    }
    if (table.fill)
        table.fill(row, fields, scratch);
    else
        FillRecord(table, row, fields, scratch);
    PmDataAccessor::FreeValues(row, fields);

    // The row under the key must still be the record's: the file may have
    // been changed since the load (the row edited, or removed and its place
    // taken by another). Both records were read from a row the same way, so
    // their key columns compare equal exactly when the row kept them.
    if (rowKey.known && rowKey.statusKnown) {
        const int32_t statusColumn = table.StatusColumn();
        if (statusColumn >= 0 && PmIntAt(scratch, table.columns[statusColumn].offset) != rowKey.status) {
            TheLog().Log(0, module, __LINE__,
                         "The stored row of record %d has changed since it was loaded (Status %d, loaded as %d); "
                         "nothing was written.",
                         recordId, PmIntAt(scratch, table.columns[statusColumn].offset), rowKey.status);
            m_failure = kPmReasonChanged;
            return false;
        }
    }
    if (rowKey.known) {
        for (int32_t k = 0; k < table.keyCount; ++k) {
            if (!ColumnEqual(table.columns[table.keys[k]], record, scratch)) {
                TheLog().Log(0, module, __LINE__,
                             "The stored row of record %d has changed since it was loaded (%s); nothing was written.",
                             recordId, table.columns[table.keys[k]].name);
                m_failure = kPmReasonChanged;
                return false;
            }
        }
    }

    bool equal = true;
    for (int32_t e = 0; e < table.equalityCount && equal; ++e)
        equal = ColumnEqual(table.columns[table.equality[e]], record, scratch);
    int32_t changed[96];
    int32_t changedCount = 0;
    if (!equal)
        for (int32_t c = 0; c < table.changeCount; ++c)
            if (!ColumnEqual(table.columns[table.change[c]], record, scratch))
                changed[changedCount++] = table.change[c];
    if (equal || changedCount == 0)
        return true;

    if (resolveBeforeWrite)
        ResolveCategory(table, record);

    std::string updateCondition;
    if (rowKey.known) {
        updateCondition = condition;  // the row key, as above
    } else {
        ValueSet keys(table.keyCount);
        for (int32_t k = 0; k < table.keyCount; ++k)
            if (!MakeColumnValue(table.columns[table.keys[k]], record, &keys.Values()[k]))
                return OutOfMemory();
        char buffer[1024];
        PmDataAccessor::BuildWhere(keyNames, table.keyCount, keys.Values(), buffer, sizeof buffer);
        updateCondition = buffer;
    }
    // A long memo's condition does not fit the 1024 bytes; its lookup form is
    // the one that found the row, so it is the one to use.
    if (!rowKey.known && updateCondition.size() + 1 >= 1024)
        updateCondition = condition;
    ValueSet values(changedCount);
    const char* changedNames[96];
    for (int32_t c = 0; c < changedCount; ++c) {
        changedNames[c] = table.columns[changed[c]].name;
        if (!MakeColumnValue(table.columns[changed[c]], record, &values.Values()[c]))
            return OutOfMemory();
    }
    std::string sql =
        m_pAccessor->MainSql(updateCondition.c_str(), kPmSqlUpdate, changedNames, values.Values(), changedCount);
    // The row was read alone just now, but a trigger, or another program's
    // change between that read and this update, could still reach others.
    if (m_pAccessor->ExecuteOnOneRow(sql.c_str()))
        return true;
    m_failure = m_pAccessor->LastReason().empty() ? std::string("the database refused the change")
                                                  : m_pAccessor->LastReason();
    return false;
}

std::string PmEx2FailureWords(const std::string& path, const jet::Refusal& refusal)
{
    // A path with a drive letter is the Windows path the user knows; any
    // other is a host path, shown as the host writes it.
    const bool windows = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
                         (path[2] == '\\' || path[2] == '/');
    const std::string file = "\"" + (windows ? path : plat::ToHostPath(path)) + "\"";
    const std::string untouched = " Nothing of it was read, and nothing in it was changed.";
    switch (refusal.fault) {
    case jet::Fault::Unreadable:
        if (!plat::HostExists(plat::ToHostPath(path)))
            return "The Palm Desktop database " + file + " was not found, so nothing was read or changed. Open "
                   "Palm Desktop to check that it keeps this user's data there, or restore the file from a backup "
                   "copy.";
        return "The Palm Desktop database " + file + " could not be opened." + untouched +
               " Check that you may read and change the file, then try again.";
    case jet::Fault::NotDatabase:
        return "The file " + file + " is not a Palm Desktop database" +
               (refusal.fileSize == 0 ? std::string(" (it is empty).") : std::string(".")) + untouched +
               " Restore the file from a backup copy, or open Palm Desktop to check which file it uses.";
    case jet::Fault::Protected:
        return "The Palm Desktop database " + file + " is protected by a password or encrypted." + untouched +
               " Remove the password or the encryption with the program that set it, then try again.";
    case jet::Fault::Truncated:
        return "The Palm Desktop database " + file + " is truncated: the file ends after " +
               Grouped(refusal.fileSize) + " bytes, but its data goes on to page " + std::to_string(refusal.page) +
               " at least (up to byte " + Grouped((uint64_t(refusal.page) + 1) * 4096) + ")." +
               untouched + " Restore the file from a backup copy, then try again.";
    case jet::Fault::None:
    case jet::Fault::Damaged:
        break;
    }
    return "The Palm Desktop database " + file + " is damaged" +
           (refusal.page ? " (at page " + std::to_string(refusal.page) + " of the file)." : std::string(".")) +
           untouched + " Restore the file from a backup copy, or open it in Palm Desktop, which may repair it; "
           "then try again.";
}
