#include "jet/JetFile.h"
#include "platform/Codepage.h"

#include "JetTestData.h"

#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kData = std::string(TARNWICK_TEST_DATA) + "/jet/";

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> cells;
    size_t at = 0;
    for (;;) {
        size_t tab = line.find('\t', at);
        cells.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
        if (tab == std::string::npos)
            return cells;
        at = tab + 1;
    }
}

std::vector<std::vector<std::string>> ReadTsv(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line))
        rows.push_back(Split(line));
    return rows;
}

std::string Escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out = "0x";
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// The writer's own way of printing a double: the shortest digits that read
// back the same, plain between 10^-3 and 10^7 (always with a fraction
// digit), otherwise d.dddE±n.
std::string JavaDouble(double d, bool single)
{
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d > 0 ? "Infinity" : "-Infinity";
    if (d == 0)
        return std::signbit(d) ? "-0.0" : "0.0";
    char buf[64];
    auto r = single ? std::to_chars(buf, buf + sizeof buf, float(d), std::chars_format::scientific)
                    : std::to_chars(buf, buf + sizeof buf, d, std::chars_format::scientific);
    std::string sci(buf, r.ptr);
    std::string sign;
    if (sci[0] == '-') {
        sign = "-";
        sci.erase(0, 1);
    }
    size_t e = sci.find('e');
    int exp = std::stoi(sci.substr(e + 1));
    std::string digits = sci.substr(0, 1) + (e > 2 ? sci.substr(2, e - 2) : "");
    double mag = std::fabs(d);
    if (mag >= 1e-3 && mag < 1e7) {
        std::string whole, frac;
        if (exp >= 0) {
            whole = digits.substr(0, std::min<size_t>(digits.size(), size_t(exp) + 1));
            whole.append(size_t(exp) + 1 > digits.size() ? size_t(exp) + 1 - digits.size() : 0, '0');
            frac = digits.size() > size_t(exp) + 1 ? digits.substr(size_t(exp) + 1) : "";
        } else {
            whole = "0";
            frac = std::string(size_t(-exp - 1), '0') + digits;
        }
        return sign + whole + "." + (frac.empty() ? "0" : frac);
    }
    std::string mant = digits.substr(0, 1) + "." + (digits.size() > 1 ? digits.substr(1) : "0");
    return sign + mant + "E" + std::to_string(exp);
}

// Days since 1899-12-30 as Jet keeps them: the whole part counts days (back
// from the epoch when negative) and the fraction's magnitude is the time of
// day, so -1.25 is 1899-12-29 06:00.
std::string JetDate(double v)
{
    double whole = std::trunc(v);
    int64_t ms = std::llround(std::fabs(v - whole) * 86400000.0);
    int64_t days = int64_t(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += 1;
    }
    // Civil date from days since 1970-01-01.
    int64_t z = days - 25569 + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097;
    int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t y = yoe + era * 400;
    int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    int64_t mp = (5 * doy + 2) / 153;
    int64_t d = doy - (153 * mp + 2) / 5 + 1;
    int64_t m = mp < 10 ? mp + 3 : mp - 9;
    if (m <= 2)
        ++y;
    int64_t secs = ms / 1000;
    char buf[160];
    std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", (long long)y, (long long)m,
                  (long long)d, (long long)(secs / 3600), (long long)(secs / 60 % 60), (long long)(secs % 60));
    return buf;
}

std::string Format(const jet::Value& v, const jet::ColumnInfo& c)
{
    switch (v.kind) {
    case jet::Kind::Null: return "\\N";
    case jet::Kind::Int:
        // The writer reads Byte as a signed byte.
        return std::to_string(c.type == 2 ? int64_t(int8_t(v.integer)) : v.integer);
    case jet::Kind::Bool: return v.integer ? "1" : "0";
    case jet::Kind::Text: return Escape(plat::WideToUtf8(v.text));
    case jet::Kind::Binary:
    case jet::Kind::Other: return Hex(v.bytes);
    case jet::Kind::Real: return JavaDouble(v.real, c.type == 6);
    case jet::Kind::Money: {
        uint64_t mag = v.integer < 0 ? uint64_t(0) - uint64_t(v.integer) : uint64_t(v.integer);
        char buf[48];
        std::snprintf(buf, sizeof buf, "%s%llu.%04llu", v.integer < 0 ? "-" : "", (unsigned long long)(mag / 10000),
                      (unsigned long long)(mag % 10000));
        return buf;
    }
    case jet::Kind::Date: return JetDate(v.real);
    }
    return "?";
}

std::vector<std::string> Names(const std::vector<jet::ColumnInfo>& cols)
{
    std::vector<std::string> names;
    for (const auto& c : cols)
        names.push_back(c.name);
    return names;
}

class JetFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/jetfileXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // A copy of a fixture that a test may change.
    std::string Copy(const std::string& name)
    {
        std::string to = m_dir + "/" + name;
        fs::copy_file(kData + name, to, fs::copy_options::overwrite_existing);
        return to;
    }

    static std::string Slurp(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::string Write(const std::string& name, const std::string& bytes)
    {
        std::string to = m_dir + "/" + name;
        std::ofstream(to, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
        return to;
    }

    // Every row of a table, formatted the TSV's way, with their keys.
    static void Dump(jet::Database& db, const std::string& table, std::vector<std::vector<std::string>>* rows,
                     std::vector<jet::RowKey>* keys = nullptr)
    {
        std::vector<jet::ColumnInfo> cols;
        std::string error;
        ASSERT_TRUE(db.Columns(table, &cols, &error)) << error;
        std::unique_ptr<jet::Cursor> cur = db.Walk(table, Names(cols), &error);
        ASSERT_TRUE(cur) << error;
        rows->assign(1, Names(cols));
        while (cur->Next(&error)) {
            std::vector<std::string> cells;
            for (size_t i = 0; i < cols.size(); ++i)
                cells.push_back(Format(cur->Row()[i], cols[i]));
            rows->push_back(std::move(cells));
            if (keys)
                keys->push_back(cur->Key());
        }
        ASSERT_TRUE(cur->Done()) << error;
    }

    std::string m_dir;
};

TEST_F(JetFileTest, EveryCellOfEveryFixtureMatchesTheWritersReading)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> files = {
        {"Address", {"Main", "Category"}},      {"AddressChurn", {"Main", "Category"}},
        {"DateBook", {"Main", "Category"}},     {"MemoPad", {"Main", "Category"}},
        {"MemoPadDel", {"Main", "Category"}},   {"Todolist", {"Main", "Category"}},
        {"DateBookTextTimes", {"Main", "Category"}}, {"Types", {"TypeProbe"}}};
    for (const auto& [file, tables] : files) {
        jet::Database db;
        std::string error;
        ASSERT_TRUE(db.Open(kData + file + ".mdb", &error)) << file << ": " << error;
        for (const std::string& table : tables) {
            SCOPED_TRACE(file + "." + table);
            auto expected = ReadTsv(kData + "expected/" + file + "." + table + ".tsv");
            ASSERT_GT(expected.size(), 1u);
            std::vector<std::vector<std::string>> got;
            ASSERT_NO_FATAL_FAILURE(Dump(db, table, &got));
            ASSERT_EQ(got[0], expected[0]) << "column names";
            for (size_t r = 1; r < std::min(got.size(), expected.size()); ++r) {
                ASSERT_EQ(got[r].size(), expected[r].size()) << "row " << r;
                for (size_t c = 0; c < got[r].size(); ++c)
                    ASSERT_EQ(got[r][c], expected[r][c]) << "row " << r << ", column " << expected[0][c];
            }
            EXPECT_EQ(got.size(), expected.size()) << "row count";
        }
    }
}

TEST_F(JetFileTest, ColumnsReportTypesAndIndexes)
{
    jet::Database db;
    std::string error;
    ASSERT_TRUE(db.Open(kData + "Address.mdb", &error)) << error;
    std::vector<jet::ColumnInfo> cols;
    ASSERT_TRUE(db.Columns("Main", &cols, &error)) << error;
    ASSERT_GE(cols.size(), 6u);
    EXPECT_EQ(cols[0].name, "Record ID");
    EXPECT_TRUE(cols[0].indexed);
    EXPECT_EQ(cols[1].name, "Status");
    EXPECT_EQ(cols[1].type, 4);
    EXPECT_EQ(cols[1].size, 4);
    EXPECT_TRUE(cols[1].fixed);
    EXPECT_FALSE(cols[1].indexed);
    EXPECT_EQ(cols[5].name, "Note");
    EXPECT_EQ(cols[5].type, 12);
    EXPECT_FALSE(cols[5].fixed);

    EXPECT_FALSE(db.Columns("main", &cols, &error)) << "names are exact";
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_EQ(db.Walk("Main", {"Status", "No Such Column"}, &error), nullptr);
    EXPECT_NE(error.find("No Such Column"), std::string::npos) << error;
    EXPECT_EQ(db.Walk("Nothing", {"Status"}, &error), nullptr);
}

TEST_F(JetFileTest, WalkReadsChosenColumnsInTheirOrderAndReadRowAgrees)
{
    jet::Database db;
    std::string error;
    ASSERT_TRUE(db.Open(kData + "AddressChurn.mdb", &error)) << error;
    auto expected = ReadTsv(kData + "expected/AddressChurn.Main.tsv");
    std::vector<std::vector<std::string>> all;
    std::vector<jet::RowKey> keys;
    ASSERT_NO_FATAL_FAILURE(Dump(db, "Main", &all, &keys));
    ASSERT_EQ(keys.size(), expected.size() - 1);
    std::vector<jet::ColumnInfo> cols;
    ASSERT_TRUE(db.Columns("Main", &cols, &error));
    size_t note = 0, status = 0;
    for (size_t i = 0; i < cols.size(); ++i) {
        note = cols[i].name == "Note" ? i : note;
        status = cols[i].name == "Status" ? i : status;
    }

    auto cur = db.Walk("Main", {"Note", "Status"}, &error);
    ASSERT_TRUE(cur) << error;
    size_t n = 0;
    while (cur->Next(&error)) {
        ASSERT_LT(n, keys.size());
        EXPECT_EQ(cur->Key(), keys[n]);
        EXPECT_EQ(Format(cur->Row()[0], cols[note]), expected[n + 1][note]);
        EXPECT_EQ(Format(cur->Row()[1], cols[status]), expected[n + 1][status]);
        ++n;
    }
    EXPECT_TRUE(cur->Done()) << error;
    EXPECT_EQ(n, keys.size());
    EXPECT_FALSE(cur->Next(&error)) << "stays at the end";

    // Every key reads back the same row, redirected ones included.
    std::vector<std::string> names = Names(cols);
    std::vector<jet::Value> row;
    for (size_t i = 0; i < keys.size(); ++i) {
        ASSERT_TRUE(db.ReadRow("Main", names, keys[i], &row, &error)) << error;
        for (size_t c = 0; c < cols.size(); ++c)
            ASSERT_EQ(Format(row[c], cols[c]), expected[i + 1][c]) << "row " << i << " column " << names[c];
    }
    // Keys that name nothing: beyond the rows of a page, a page that is no
    // page of the table, a negative key.
    EXPECT_FALSE(db.ReadRow("Main", {"Status"}, (keys[0] & ~0xFF) | 0xFF, &row, &error));
    EXPECT_FALSE(db.ReadRow("Main", {"Status"}, jet::RowKey(2) << 8, &row, &error));
    EXPECT_FALSE(db.ReadRow("Main", {"Status"}, -1, &row, &error));
    EXPECT_FALSE(db.ReadRow("Main", {"Status"}, jet::RowKey(1) << 40, &row, &error));
}

TEST_F(JetFileTest, LocateInt32FindsTheCurrentBytesAndChangesAreSeenAtOnce)
{
    std::string path = Copy("AddressChurn.mdb");
    jet::Database db;
    std::string error;
    ASSERT_TRUE(db.Open(path, &error)) << error;
    auto expected = ReadTsv(kData + "expected/AddressChurn.Main.tsv");
    ASSERT_EQ(expected[0][1], "Status");
    std::vector<std::vector<std::string>> all;
    std::vector<jet::RowKey> keys;
    ASSERT_NO_FATAL_FAILURE(Dump(db, "Main", &all, &keys));

    // Each row's slot holds what the writer reads, at its current place: for
    // a moved row that is on another page than its key.
    int fd = ::open(path.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    size_t moved = 0, nulls = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        jet::IntSlot slot;
        ASSERT_TRUE(db.LocateInt32("Main", "Status", keys[i], &slot, &error)) << error;
        const std::string& want = expected[i + 1][1];
        EXPECT_EQ(slot.null, want == "\\N");
        if (!slot.null) {
            EXPECT_EQ(std::to_string(slot.value), want);
        }
        nulls += slot.null;
        moved += slot.offset / 4096 != uint64_t(keys[i]) >> 8;
        uint8_t bytes[4], mask;
        ASSERT_EQ(pread(fd, bytes, 4, off_t(slot.offset)), 4);
        ASSERT_EQ(pread(fd, &mask, 1, off_t(slot.nullByte)), 1);
        EXPECT_EQ(int32_t(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24), slot.value);
        EXPECT_EQ((mask & slot.nullBit) == 0, slot.null);
    }
    EXPECT_GT(moved, 0u) << "the file has moved rows";

    // A new value written through another descriptor is what the next read
    // and the next walk see, for a moved row and for one in place.
    for (size_t i : {size_t(0), keys.size() - 1}) {
        jet::IntSlot slot;
        ASSERT_TRUE(db.LocateInt32("Main", "Status", keys[i], &slot, &error)) << error;
        int32_t now = 0x12345 + int32_t(i);
        uint8_t bytes[4] = {uint8_t(now), uint8_t(now >> 8), uint8_t(now >> 16), uint8_t(now >> 24)};
        ASSERT_EQ(pwrite(fd, bytes, 4, off_t(slot.offset)), 4);
        std::vector<jet::Value> row;
        ASSERT_TRUE(db.ReadRow("Main", {"Status"}, keys[i], &row, &error)) << error;
        if (!slot.null) {
            EXPECT_EQ(row[0].integer, now);
        }
        jet::IntSlot again;
        ASSERT_TRUE(db.LocateInt32("Main", "Status", keys[i], &again, &error));
        EXPECT_EQ(again.offset, slot.offset);
        if (!slot.null) {
            EXPECT_EQ(again.value, now);
        }
        auto cur = db.Walk("Main", {"Status"}, &error);
        ASSERT_TRUE(cur);
        bool seen = false;
        while (cur->Next(&error))
            if (cur->Key() == keys[i])
                seen = cur->Row()[0].kind == jet::Kind::Int && cur->Row()[0].integer == now;
        EXPECT_TRUE(seen || slot.null);
    }
    ::close(fd);
}

TEST_F(JetFileTest, LocateInt32Refusals)
{
    jet::Database db;
    std::string error;
    ASSERT_TRUE(db.Open(kData + "MemoPadDel.mdb", &error)) << error;
    std::vector<std::vector<std::string>> all;
    std::vector<jet::RowKey> keys;
    ASSERT_NO_FATAL_FAILURE(Dump(db, "Main", &all, &keys));
    jet::IntSlot slot;
    ASSERT_TRUE(db.LocateInt32("Main", "Status", keys[0], &slot, &error)) << error;

    EXPECT_FALSE(db.LocateInt32("Main", "Record ID", keys[0], &slot, &error));
    EXPECT_NE(error.find("index"), std::string::npos) << error;
    EXPECT_FALSE(db.LocateInt32("Main", "Note", keys[0], &slot, &error));
    EXPECT_NE(error.find("Long Integer"), std::string::npos) << error;
    EXPECT_FALSE(db.LocateInt32("Main", "Private", keys[0], &slot, &error)) << "Yes/No";
    EXPECT_FALSE(db.LocateInt32("Main", "Nope", keys[0], &slot, &error));

    // The deleted rows stay on their pages; their keys are the gaps among
    // the walked keys of a page.
    size_t deleted = 0;
    for (size_t i = 1; i < keys.size(); ++i) {
        if (keys[i] >> 8 != keys[i - 1] >> 8)
            continue;
        for (jet::RowKey k = keys[i - 1] + 1; k < keys[i]; ++k) {
            ++deleted;
            EXPECT_FALSE(db.LocateInt32("Main", "Status", k, &slot, &error));
            EXPECT_NE(error.find("deleted"), std::string::npos) << error;
            std::vector<jet::Value> row;
            EXPECT_FALSE(db.ReadRow("Main", {"Status"}, k, &row, &error));
        }
    }
    EXPECT_EQ(deleted, 2u);

    // A row of another table's page, and the catalogue's page.
    std::vector<std::vector<std::string>> cats;
    std::vector<jet::RowKey> catKeys;
    ASSERT_NO_FATAL_FAILURE(Dump(db, "Category", &cats, &catKeys));
    EXPECT_FALSE(db.LocateInt32("Main", "Status", catKeys[0], &slot, &error));
    EXPECT_FALSE(db.LocateInt32("Main", "Status", jet::RowKey(2) << 8, &slot, &error));
    EXPECT_FALSE(db.LocateInt32("Main", "Status", jet::RowKey(0x7FFFFF) << 8, &slot, &error));
}

// The RC4 that encodes a Jet 4 header from 0x18 on.
void Rc4(const uint8_t* key, size_t keyLen, uint8_t* data, size_t n)
{
    uint8_t s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = uint8_t(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLen]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (size_t k = 0, i = 0, j = 0; k < n; ++k) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[k] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

TEST_F(JetFileTest, OpenRefusesWhatIsNotAPlainJet4Database)
{
    const std::string types = Slurp(kData + "Types.mdb");
    jet::Database db;
    std::string error;
    auto refused = [&](const std::string& path, const std::string& reason) {
        error.clear();
        EXPECT_FALSE(db.Open(path, &error)) << path;
        EXPECT_FALSE(db.IsOpen());
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    };
    refused(m_dir + "/missing.mdb", "cannot open");

    std::string jet3 = types;
    jet3[0x14] = 0;
    refused(Write("jet3.mdb", jet3), "Jet 3");
    std::string ace = types;
    ace.replace(4, 15, "Standard ACE DB");
    ace[0x14] = 2;
    refused(Write("ace.mdb", ace), "not Jet 4");
    refused(Write("garbage.mdb", std::string(8192, 'x')), "not a Jet database");
    refused(Write("empty.mdb", ""), "too short");
    refused(Write("short.mdb", types.substr(0, 5000)), "truncated");
    EXPECT_TRUE(jet::HasJetHeader(Write("jet3-header.mdb", jet3)));
    EXPECT_FALSE(jet::HasJetHeader(m_dir + "/garbage.mdb"));
    EXPECT_TRUE(jet::HasJetHeader(kData + "Types.mdb"));

    // An encrypted database: the header's key field (at 0x3E, inside the
    // RC4-encoded part) is not zero.
    std::string enc = types;
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    auto* head = reinterpret_cast<uint8_t*>(enc.data()) + 0x18;
    Rc4(key, 4, head, 128);
    head[0x26] ^= 0x5A;
    head[0x27] ^= 0x01;
    Rc4(key, 4, head, 128);
    refused(Write("encrypted.mdb", enc), "encrypted");

    // A database password: UCS-2 at 0x42 of the decoded header, masked with
    // the creation date's whole days.
    std::string pw = types;
    head = reinterpret_cast<uint8_t*>(pw.data()) + 0x18;
    Rc4(key, 4, head, 128);
    double created;
    std::memcpy(&created, head + 0x72 - 0x18, 8);
    int32_t days = int32_t(created);
    const char16_t secret[] = u"secret";
    for (size_t i = 0; i < 12; ++i) {
        uint8_t plain = uint8_t(secret[i / 2] >> (i % 2 * 8));
        head[0x42 - 0x18 + i] = plain ^ uint8_t(uint32_t(days) >> (i % 4 * 8));
    }
    Rc4(key, 4, head, 128);
    refused(Write("password.mdb", pw), "password");

    // The file itself still opens, and the same object can open another.
    ASSERT_TRUE(db.Open(kData + "Types.mdb", &error)) << error;
    EXPECT_EQ(db.HostPath(), kData + "Types.mdb");
    db.Close();
    EXPECT_FALSE(db.IsOpen());
    std::vector<jet::ColumnInfo> cols;
    EXPECT_FALSE(db.Columns("TypeProbe", &cols, &error));
}

TEST_F(JetFileTest, LockFileHeldOnlyWhileSomebodyLocksIt)
{
    std::string db = m_dir + "/Address.mdb";
    std::string ldb = m_dir + "/Address.ldb";
    std::string lockPath;
    EXPECT_FALSE(jet::LockFileHeld(db, &lockPath));
    EXPECT_EQ(lockPath, ldb);

    Write("Address.ldb", std::string(64, '\0'));
    EXPECT_FALSE(jet::LockFileHeld(db, &lockPath)) << "left over, nobody holds it";

    {
        int fd = ::open(ldb.c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(flock(fd, LOCK_SH), 0);
        EXPECT_TRUE(jet::LockFileHeld(db, &lockPath));
        ::close(fd);
        EXPECT_FALSE(jet::LockFileHeld(db, &lockPath));
    }

    // A byte range far past the end, locked by another process.
    int ready[2], done[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(done), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int fd = ::open(ldb.c_str(), O_RDWR);
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = 0x10000000;
        fl.l_len = 1;
        char c = fd >= 0 && fcntl(fd, F_SETLK, &fl) == 0 ? 'y' : 'n';
        (void)!write(ready[1], &c, 1);
        (void)!read(done[0], &c, 1);
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(c, 'y');
    EXPECT_TRUE(jet::LockFileHeld(db, &lockPath));
    (void)!write(done[1], &c, 1);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_FALSE(jet::LockFileHeld(db, &lockPath)) << "released when the child ended";
    for (int fd : {ready[0], ready[1], done[0], done[1]})
        ::close(fd);

    // A name without an extension gets one.
    EXPECT_FALSE(jet::LockFileHeld(m_dir + "/plain", &lockPath));
    EXPECT_EQ(lockPath, m_dir + "/plain.ldb");
}

TEST_F(JetFileTest, DamagedRowsStopTheWalkWithAReason)
{
    std::vector<jet::RowKey> keys;
    {
        jet::Database db;
        std::string error;
        ASSERT_TRUE(db.Open(kData + "MemoPad.mdb", &error)) << error;
        std::vector<std::vector<std::string>> all;
        ASSERT_NO_FATAL_FAILURE(Dump(db, "Main", &all, &keys));
    }
    ASSERT_FALSE(keys.empty());
    const uint32_t page = uint32_t(keys[0] >> 8), row = uint32_t(keys[0] & 0xFF);
    const size_t entry = size_t(page) * 4096 + 0x0E + 2 * row;
    const std::string original = Slurp(kData + "MemoPad.mdb");
    auto put16 = [](std::string* b, size_t at, uint16_t v) {
        (*b)[at] = char(v & 0xFF);
        (*b)[at + 1] = char(v >> 8);
    };
    struct Damage {
        const char* what;
        std::function<void(std::string*)> apply;
    };
    const std::vector<Damage> damages = {
        {"row offset past the page", [&](std::string* b) { put16(b, entry, 0x1FFF); }},
        {"row count past the page", [&](std::string* b) { put16(b, size_t(page) * 4096 + 0x0C, 0xFFFF); }},
        {"a redirect to itself",
         [&](std::string* b) {
             uint16_t at = uint16_t(uint8_t((*b)[entry]) | uint8_t((*b)[entry + 1]) << 8) & 0x1FFF;
             put16(b, entry, uint16_t(at | 0x4000));
             uint32_t ptr = page << 8 | row;
             for (int i = 0; i < 4; ++i)
                 (*b)[size_t(page) * 4096 + at + size_t(i)] = char(ptr >> (8 * i));
         }},
        {"a row's column count beyond its bytes",
         [&](std::string* b) {
             uint16_t at = uint16_t(uint8_t((*b)[entry]) | uint8_t((*b)[entry + 1]) << 8) & 0x1FFF;
             put16(b, size_t(page) * 4096 + at, 0xFFFF);
         }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        std::string bytes = original;
        d.apply(&bytes);
        std::string path = Write("damaged.mdb", bytes);
        jet::Database db;
        std::string error;
        ASSERT_TRUE(db.Open(path, &error)) << error;
        auto cur = db.Walk("Main", {"Record ID", "Note"}, &error);
        ASSERT_TRUE(cur) << error;
        size_t rows = 0;
        error.clear();
        while (cur->Next(&error))
            ++rows;
        EXPECT_FALSE(cur->Done());
        EXPECT_NE(error.find("damaged"), std::string::npos) << error;
        std::vector<jet::Value> values;
        error.clear();
        EXPECT_FALSE(db.ReadRow("Main", {"Record ID"}, keys[0], &values, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST_F(JetFileTest, TextDecodingKeepsCharactersOutsideTheBasicPlane)
{
    // Address.mdb holds characters outside the 16-bit range and compressed
    // text; the full comparison above checks their bytes, this checks that
    // pairs really stay pairs rather than turning into replacement marks.
    jet::Database db;
    std::string error;
    ASSERT_TRUE(db.Open(kData + "Address.mdb", &error)) << error;
    std::vector<jet::ColumnInfo> cols;
    ASSERT_TRUE(db.Columns("Main", &cols, &error));
    auto cur = db.Walk("Main", Names(cols), &error);
    ASSERT_TRUE(cur);
    size_t pairs = 0, longest = 0;
    while (cur->Next(&error)) {
        for (const jet::Value& v : cur->Row()) {
            if (v.kind != jet::Kind::Text)
                continue;
            longest = std::max(longest, v.text.size());
            for (size_t i = 0; i + 1 < v.text.size(); ++i)
                pairs += v.text[i] >= 0xD800 && v.text[i] < 0xDC00 && v.text[i + 1] >= 0xDC00 && v.text[i + 1] < 0xE000;
            EXPECT_EQ(v.text.find(u"??"), std::u16string::npos);
        }
    }
    EXPECT_TRUE(cur->Done()) << error;
    EXPECT_GT(pairs, 0u);
    // Far beyond a bound buffer's 16 KiB: the longest note has 56,427 UTF-16 units.
    EXPECT_EQ(longest, 56427u) << "memos are read to their end";
}

// ---------------------------------------------------------------- files that are not sound

// Walks a table whole: the rows it gave, and whether it ended.
size_t WalkAll(jet::Database& db, const std::string& table, const std::vector<std::string>& columns,
               std::string* error, bool* done)
{
    size_t rows = 0;
    auto cur = db.Walk(table, columns, error);
    *done = false;
    if (!cur)
        return 0;
    while (cur->Next(error))
        ++rows;
    *done = cur->Done();
    return rows;
}

// Every genuine file of the writer's, and the odd ones, are read whole:
// being unusual (Text times, a 2-byte Status, an index on Status, four
// contacts in Cyrillic) is no damage.
TEST_F(JetFileTest, UnusualSoundFilesAreReadWhole)
{
    for (const auto& [file, rows] : std::vector<std::pair<std::string, size_t>>{
             {"odd/AddressCyrillic.mdb", 4}, {"odd/MemoStatusShort.mdb", 3}, {"odd/MemoStatusIndexed.mdb", 3},
             {"DateBookTextTimes.mdb", 315}, {"AddressChurn.mdb", 398}}) {
        SCOPED_TRACE(file);
        jet::Database db;
        std::string error;
        ASSERT_TRUE(db.Open(kData + file, &error)) << error;
        std::vector<jet::ColumnInfo> cols;
        ASSERT_TRUE(db.Columns("Main", &cols, &error)) << error;
        bool done = false;
        EXPECT_EQ(WalkAll(db, "Main", Names(cols), &error, &done), rows);
        EXPECT_TRUE(done) << error;
        WalkAll(db, "Category", {"ID", "Name", "Status", "Color"}, &error, &done);
        EXPECT_TRUE(done) << error;
        EXPECT_EQ(db.LastRefusal().fault, jet::Fault::None);
    }
}

// A definition that is not what its columns' types must be is refused
// before any row is read, naming the table and the column; the catalogue
// and the other table still read.
TEST_F(JetFileTest, UnsoundDefinitionsAreRefusedNamingTableAndColumn)
{
    using namespace jettest;
    const std::string original = Slurp(kData + "Address.mdb");
    const uint32_t tdef = jettest::DefinitionPage(kData + "Address.mdb", "Main");
    const auto entries = ColumnEntries(original, tdef);
    for (const char* name : {"Record ID", "Status", "First Name", "Middle Name"})
        ASSERT_TRUE(entries.count(name)) << name;
    const size_t status = entries.at("Status"), first = entries.at("First Name"), middle = entries.at("Middle Name");
    struct Damage {
        const char* column;
        const char* reason;
        std::function<void(std::string*)> apply;
    };
    const std::vector<Damage> damages = {
        {"First Name", "fixed-length", [&](std::string* b) { (*b)[first + kColumnFlags] |= 1; }},
        {"First Name", "a type Jet 4 does not have", [&](std::string* b) { (*b)[first + kColumnType] = 0x13; }},
        {"First Name", "more than 510", [&](std::string* b) { Put(b, first + kColumnSize, 1024, 2); }},
        {"First Name", "variable-column number 200", [&](std::string* b) { Put(b, first + kColumnVarNumber, 200, 2); }},
        {"Middle Name", "variable-column number of column First Name",
         [&](std::string* b) { Put(b, middle + kColumnVarNumber, Get(*b, first + kColumnVarNumber, 2), 2); }},
        {"Status", "size of 2 bytes", [&](std::string* b) { Put(b, status + kColumnSize, 2, 2); }},
        {"Status", "size of 0 bytes", [&](std::string* b) { Put(b, status + kColumnSize, 0, 2); }},
        {"Status", "size of 65535 bytes", [&](std::string* b) { Put(b, status + kColumnSize, 0xFFFF, 2); }},
        {"Status", "outside any row", [&](std::string* b) { Put(b, status + kColumnFixedOffset, 0x4000, 2); }},
        {"Status", "lies over the bytes of column Record ID",
         [&](std::string* b) { Put(b, status + kColumnFixedOffset, 2, 2); }},
        {"Status", "variable-length", [&](std::string* b) { (*b)[status + kColumnFlags] &= ~1; }},
        {"Status", "column number 200", [&](std::string* b) { (*b)[status + kColumnNumber] = char(200); }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(std::string(d.column) + ": " + d.reason);
        std::string bytes = original;
        d.apply(&bytes);
        jet::Database db;
        std::string error;
        ASSERT_TRUE(db.Open(Write("damaged.mdb", bytes), &error)) << error;
        std::vector<jet::ColumnInfo> cols;
        EXPECT_FALSE(db.Columns("Main", &cols, &error));
        EXPECT_NE(error.find("table Main"), std::string::npos) << error;
        EXPECT_NE(error.find(std::string("column ") + d.column), std::string::npos) << error;
        EXPECT_NE(error.find(d.reason), std::string::npos) << error;
        EXPECT_EQ(db.LastRefusal().fault, jet::Fault::Damaged);
        EXPECT_EQ(db.LastRefusal().page, tdef);
        EXPECT_EQ(db.Walk("Main", {"Record ID"}, &error), nullptr);
        EXPECT_EQ(db.LastRefusal().fault, jet::Fault::Damaged);
        EXPECT_TRUE(db.Columns("Category", &cols, &error)) << error;
        EXPECT_EQ(db.LastRefusal().fault, jet::Fault::None);
    }
}

// Every page the usage map names is a data page of its table (or holds long
// values): a page that belongs to another table, or to none, stops the walk
// at that page instead of being skipped, and so does a usage map that is
// another table's.
TEST_F(JetFileTest, APageTheUsageMapNamesMustBeTheTables)
{
    using namespace jettest;
    const std::string path = kData + "Address.mdb";
    const std::string original = Slurp(path);
    const uint32_t mainDef = jettest::DefinitionPage(path, "Main");
    const uint32_t categoryDef = jettest::DefinitionPage(path, "Category");
    std::vector<std::vector<std::string>> all;
    std::vector<jet::RowKey> keys;
    {
        jet::Database db;
        std::string error;
        ASSERT_TRUE(db.Open(path, &error)) << error;
        ASSERT_NO_FATAL_FAILURE(Dump(db, "Main", &all, &keys));
    }
    const uint32_t middle = uint32_t(keys[keys.size() / 2] >> 8);
    struct Damage {
        const char* what;
        uint32_t page;
        std::function<void(std::string*)> apply;
    };
    const std::vector<Damage> damages = {
        {"owned by Category", middle, [&](std::string* b) { Put(b, middle * kPage + 4, categoryDef, 4); }},
        {"owned by nothing", middle, [&](std::string* b) { Put(b, middle * kPage + 4, 0, 4); }},
        {"not a data page", middle, [&](std::string* b) { (*b)[middle * kPage] = 0x03; }},
        // The page met first is one of Category's (checked below).
        {"Category's usage map", 0,
         [&](std::string* b) {
             Put(b, mainDef * kPage + kDefinitionUsageMap, Get(*b, categoryDef * kPage + kDefinitionUsageMap, 4), 4);
         }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        std::string bytes = original;
        d.apply(&bytes);
        jet::Database db;
        std::string error;
        ASSERT_TRUE(db.Open(Write("damaged.mdb", bytes), &error)) << error;
        bool done = true;
        const size_t rows = WalkAll(db, "Main", {"Record ID", "First Name"}, &error, &done);
        EXPECT_FALSE(done);
        EXPECT_LT(rows, keys.size());
        EXPECT_EQ(db.LastRefusal().fault, jet::Fault::Damaged) << error;
        if (d.page != 0) {
            EXPECT_EQ(db.LastRefusal().page, d.page);
            EXPECT_NE(error.find("table Main is damaged at page " + std::to_string(d.page)), std::string::npos)
                << error;
        } else {
            EXPECT_EQ(OwnerOf(bytes, db.LastRefusal().page), categoryDef) << error;
        }
    }

    // A long-value page named by the usage map holds no rows, and is no
    // damage: every row is read as before.
    uint32_t longValues = 0;
    for (uint32_t p = 1; p * kPage < original.size() && !longValues; ++p)
        if (original[p * kPage] == 1 && original.compare(p * kPage + 4, 4, "LVAL") == 0)
            longValues = p;
    ASSERT_NE(longValues, 0u);
    std::string bytes = original;
    const uint32_t map = Get(bytes, mainDef * kPage + kDefinitionUsageMap, 4);
    size_t start = 0, end = 0;
    RowBounds(bytes, map >> 8, map & 0xFF, &start, &end);
    ASSERT_EQ(bytes[start], 1) << "a map of map pages";
    const uint32_t mapPage = Get(bytes, start + 1, 4);
    ASSERT_LT(longValues, (kPage - 4) * 8);
    bytes[mapPage * kPage + 4 + longValues / 8] |= char(1 << (longValues % 8));
    jet::Database db;
    std::string error;
    ASSERT_TRUE(db.Open(Write("lval.mdb", bytes), &error)) << error;
    std::vector<std::vector<std::string>> again;
    ASSERT_NO_FATAL_FAILURE(Dump(db, "Main", &again));
    EXPECT_TRUE(again == all);
}

// A row that is not whole stops the walk at its page: a variable-column
// count of 0, offsets out of order, a column count of none or of more than
// the table gave out, a compressed text cut inside a character, a memo
// read as a text of its column's size.
TEST_F(JetFileTest, RowsThatAreNotWholeStopTheWalk)
{
    using namespace jettest;
    const std::string path = kData + "Address.mdb";
    const std::string original = Slurp(path);
    const uint32_t mainDef = jettest::DefinitionPage(path, "Main");
    const auto entries = ColumnEntries(original, mainDef);
    const uint32_t firstVar = Get(original, entries.at("First Name") + kColumnVarNumber, 2);
    // The first row whose First Name is stored compressed, with at least two
    // characters, and where its variable offsets are.
    jet::Database reader;
    std::string error;
    ASSERT_TRUE(reader.Open(path, &error)) << error;
    auto cur = reader.Walk("Main", {"First Name"}, &error);
    ASSERT_TRUE(cur);
    size_t rowStart = 0, rowEnd = 0, text = 0, textEnd = 0;
    uint32_t page = 0;
    while (!text && cur->Next(&error)) {
        page = uint32_t(cur->Key() >> 8);
        RowBounds(original, page, uint32_t(cur->Key() & 0xFF), &rowStart, &rowEnd);
        // Only rows in place: a moved row's entry holds a pointer.
        if (Get(original, page * kPage + 0x0E + 2 * (cur->Key() & 0xFF), 2) & 0xC000)
            continue;
        const uint32_t columns = Get(original, rowStart, 2), mask = (columns + 7) / 8;
        const size_t offsets = rowEnd - mask - 2;  // the variable-column count
        const size_t a = rowStart + Get(original, offsets - 2 * (firstVar + 1), 2);
        const size_t b = rowStart + Get(original, offsets - 2 * (firstVar + 2), 2);
        if (b - a >= 4 && uint8_t(original[a]) == 0xFF && uint8_t(original[a + 1]) == 0xFE) {
            text = a;
            textEnd = b;
        }
    }
    ASSERT_NE(text, 0u) << "a compressed First Name";
    const uint32_t columns = Get(original, rowStart, 2), mask = (columns + 7) / 8;
    const size_t varCount = rowEnd - mask - 2;
    const auto noteEntry = entries.at("Note");
    struct Damage {
        const char* what;
        const char* reason;
        std::function<void(std::string*)> apply;
    };
    const std::vector<Damage> damages = {
        {"no variable columns", "holds no place for its column", [&](std::string* b) { Put(b, varCount, 0, 2); }},
        {"offsets out of order", "out of order",
         [&](std::string* b) {
             const size_t at = varCount - 2 * (firstVar + 2);
             Put(b, at, Get(*b, at, 2) + 0x300, 2);
         }},
        {"no columns", "counts 0 columns", [&](std::string* b) { Put(b, rowStart, 0, 2); }},
        {"more columns than given out", "counts 100 columns", [&](std::string* b) { Put(b, rowStart, 100, 2); }},
        {"a compressed text cut inside a character", "cannot be decoded",
         [&](std::string* b) { (*b)[textEnd - 2] = 0; }},
        {"a memo read as a Text", "longer than its column",
         [&](std::string* b) {
             (*b)[noteEntry + kColumnType] = 10;
             Put(b, noteEntry + kColumnSize, 0, 2);
         }},
    };
    for (const Damage& d : damages) {
        SCOPED_TRACE(d.what);
        std::string bytes = original;
        d.apply(&bytes);
        jet::Database db;
        ASSERT_TRUE(db.Open(Write("damaged.mdb", bytes), &error)) << error;
        bool done = true;
        error.clear();
        WalkAll(db, "Main", {"Record ID", "First Name", "Note"}, &error, &done);
        EXPECT_FALSE(done);
        EXPECT_NE(error.find(d.reason), std::string::npos) << error;
        EXPECT_NE(error.find("table Main is damaged at page "), std::string::npos) << error;
        EXPECT_EQ(db.LastRefusal().fault, jet::Fault::Damaged);
    }
}

// A walk that finds fewer rows than the definition announces was not
// whole: a row whose pointer was flagged deleted, or a count raised, is
// refused. More rows than announced lose nothing and are read.
TEST_F(JetFileTest, FewerRowsThanAnnouncedAreRefused)
{
    using namespace jettest;
    const std::string path = kData + "MemoPad.mdb";
    const std::string original = Slurp(path);
    const uint32_t mainDef = jettest::DefinitionPage(path, "Main");
    ASSERT_EQ(Get(original, mainDef * kPage + kDefinitionRows, 4), 315u);
    std::vector<std::vector<std::string>> all;
    std::vector<jet::RowKey> keys;
    {
        jet::Database db;
        std::string error;
        ASSERT_TRUE(db.Open(path, &error)) << error;
        ASSERT_NO_FATAL_FAILURE(Dump(db, "Main", &all, &keys));
    }
    const jet::RowKey gone = keys[keys.size() / 3];
    for (const auto& [what, rows, apply] :
         std::vector<std::tuple<std::string, size_t, std::function<void(std::string*)>>>{
             {"a row flagged deleted", 314,
              [&](std::string* b) {
                  const size_t at = size_t(gone >> 8) * kPage + 0x0E + 2 * size_t(gone & 0xFF);
                  Put(b, at, Get(*b, at, 2) | 0x8000, 2);
              }},
             {"a count raised", 315, [&](std::string* b) { Put(b, mainDef * kPage + kDefinitionRows, 316, 4); }}}) {
        SCOPED_TRACE(what);
        std::string bytes = original;
        apply(&bytes);
        jet::Database db;
        std::string error;
        ASSERT_TRUE(db.Open(Write("damaged.mdb", bytes), &error)) << error;
        bool done = true;
        EXPECT_EQ(WalkAll(db, "Main", {"Record ID"}, &error, &done), rows);
        EXPECT_FALSE(done);
        EXPECT_NE(error.find("announces"), std::string::npos) << error;
        EXPECT_EQ(db.LastRefusal().fault, jet::Fault::Damaged);
    }
    std::string lower = original;
    Put(&lower, mainDef * kPage + kDefinitionRows, 300, 4);
    jet::Database db;
    std::string error;
    ASSERT_TRUE(db.Open(Write("lower.mdb", lower), &error)) << error;
    bool done = false;
    EXPECT_EQ(WalkAll(db, "Main", {"Record ID"}, &error, &done), 315u);
    EXPECT_TRUE(done) << error;
}

// A file shorter than its pages need is refused as truncated, with its size
// and the first page it needs, whether it ends at a page's boundary (the
// page after it is never read as zeros) or inside one.
TEST_F(JetFileTest, TruncatedFilesAreRefusedWithTheirSizeAndThePageTheyNeed)
{
    const std::string datebook = Slurp(kData + "DateBook.mdb");
    const uint32_t mainDef = jettest::DefinitionPage(kData + "DateBook.mdb", "Main");
    const uint32_t mapPage = jettest::Get(datebook, mainDef * jettest::kPage + jettest::kDefinitionUsageMap, 4) >> 8;
    ASSERT_EQ(mapPage, 30u) << "Main's usage map is on the page right after 30 pages";
    for (size_t size : {size_t(30) * 4096, size_t(30) * 4096 + 100, size_t(31) * 4096 + 4095}) {
        SCOPED_TRACE(size);
        jet::Database db;
        std::string error;
        ASSERT_TRUE(db.Open(Write("cut.mdb", datebook.substr(0, size)), &error)) << error;
        std::vector<jet::ColumnInfo> cols;
        EXPECT_FALSE(db.Columns("Main", &cols, &error));
        EXPECT_EQ(db.LastRefusal().fault, jet::Fault::Truncated);
        EXPECT_EQ(db.LastRefusal().fileSize, size);
        EXPECT_NE(error.find("truncated"), std::string::npos) << error;
        EXPECT_NE(error.find(std::to_string(size) + " bytes"), std::string::npos) << error;
        EXPECT_NE(error.find("page " + std::to_string(db.LastRefusal().page)), std::string::npos) << error;
        EXPECT_GE(db.LastRefusal().page, size / 4096);
    }
    // Cut in the middle of its rows: the usage map names pages past the end.
    const std::string address = Slurp(kData + "Address.mdb");
    jet::Database db;
    std::string error;
    ASSERT_TRUE(db.Open(Write("half.mdb", address.substr(0, address.size() / 2)), &error)) << error;
    bool done = true;
    WalkAll(db, "Main", {"Record ID", "Note"}, &error, &done);
    EXPECT_FALSE(done);
    EXPECT_EQ(db.LastRefusal().fault, jet::Fault::Truncated) << error;
    EXPECT_GE(db.LastRefusal().page, address.size() / 2 / 4096);
    // Too short for the catalogue, or for the header.
    EXPECT_FALSE(db.Open(Write("two.mdb", address.substr(0, 2 * 4096)), &error));
    EXPECT_EQ(db.LastRefusal().fault, jet::Fault::Truncated);
    EXPECT_EQ(db.LastRefusal().page, 2u);
    EXPECT_FALSE(db.Open(Write("head.mdb", address.substr(0, 100)), &error));
    EXPECT_EQ(db.LastRefusal().fault, jet::Fault::Truncated);
    EXPECT_EQ(db.LastRefusal().page, 0u);
    EXPECT_FALSE(db.Open(Write("empty.mdb", ""), &error));
    EXPECT_EQ(db.LastRefusal().fault, jet::Fault::NotDatabase);
    EXPECT_FALSE(db.Open(Write("zeros.mdb", std::string(40 * 4096, '\0')), &error));
    EXPECT_EQ(db.LastRefusal().fault, jet::Fault::NotDatabase);
}

// Whether a database has a password is told by the password bytes alone: a
// file whose encoded creation date differs (a byte of it changed, or a whole
// other date) is read, and a password is found whatever the date.
TEST_F(JetFileTest, APasswordIsToldByThePasswordBytesAlone)
{
    const std::string types = Slurp(kData + "Types.mdb");
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    // The encoded header stands at 0x18; the date is at 0x72 of the page.
    for (size_t at = 0x72; at < 0x7A; ++at) {
        SCOPED_TRACE(at);
        std::string bytes = types;
        bytes[at] = char(bytes[at] ^ 0xA5);
        jet::Database db;
        std::string error;
        ASSERT_TRUE(db.Open(Write("date.mdb", bytes), &error)) << error;
        std::vector<std::vector<std::string>> rows;
        ASSERT_NO_FATAL_FAILURE(Dump(db, "TypeProbe", &rows));
    }
    std::string other = types;
    auto* head = reinterpret_cast<uint8_t*>(other.data()) + 0x18;
    Rc4(key, 4, head, 128);
    const double date = 45000.25;
    std::memcpy(head + 0x72 - 0x18, &date, 8);
    Rc4(key, 4, head, 128);
    jet::Database db;
    std::string error;
    EXPECT_TRUE(db.Open(Write("otherdate.mdb", other), &error)) << error;

    // A password masked with the file's own date, and the same file with
    // its date changed afterwards: both protected.
    std::string pw = types;
    head = reinterpret_cast<uint8_t*>(pw.data()) + 0x18;
    Rc4(key, 4, head, 128);
    double created;
    std::memcpy(&created, head + 0x72 - 0x18, 8);
    const int32_t days = int32_t(created);
    const char16_t secret[] = u"ab";
    for (size_t i = 0; i < 4; ++i)
        head[0x42 - 0x18 + i] = uint8_t(secret[i / 2] >> (i % 2 * 8)) ^ uint8_t(uint32_t(days) >> (i % 4 * 8));
    std::memcpy(head + 0x72 - 0x18, &date, 8);
    Rc4(key, 4, head, 128);
    EXPECT_FALSE(db.Open(Write("password.mdb", pw), &error));
    EXPECT_NE(error.find("password"), std::string::npos) << error;
    EXPECT_EQ(db.LastRefusal().fault, jet::Fault::Protected);
}

}  // namespace
