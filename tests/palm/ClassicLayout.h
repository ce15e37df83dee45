// An independent writer and reader of the classic .dat layout, for tests.
//
// Built from the layout tables alone and sharing no code with the utilities
// under test: it writes files that the utilities must load, and reads the
// files they save field by field, decoding each field by its stored tag
// rather than by its position.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace classic {

constexpr uint32_t kContactsTag = 0x41420100;
constexpr uint32_t kCalendarTag = 0x44420100;
constexpr uint32_t kTasksTag = 0x54440100;
constexpr uint32_t kMemosTag = 0x4D500100;

/// The value of a tag 8 field.
struct Repeat {
    std::vector<uint32_t> exceptions;
    uint16_t classTag = 0;  // 0 none, 0xFFFF named, other: unnamed
    uint16_t schema = 1;
    std::string className;
    uint32_t cls = 0, interval = 0, endDate = 0, word4 = 0;
    std::vector<uint32_t> payload;  // the class's words, in file order
    bool hasMask = false;           // weekly: the days mask byte follows the words
    uint8_t mask = 0;
};

/// One typed field as stored.
struct Field {
    uint32_t tag = 1;
    uint32_t value = 0;   // tags 1, 3, 6
    uint32_t prefix = 1;  // tag 5
    std::string text;     // tag 5
    Repeat repeat;        // tag 8
};

inline Field Int(uint32_t v, uint32_t tag = 1)
{
    Field f;
    f.tag = tag;
    f.value = v;
    return f;
}
inline Field Text(const std::string& s, uint32_t prefix = 1)
{
    Field f;
    f.tag = 5;
    f.prefix = prefix;
    f.text = s;
    return f;
}
inline Field Rep(const Repeat& r)
{
    Field f;
    f.tag = 8;
    f.repeat = r;
    return f;
}

struct Category {
    uint32_t index = 0, id = 0, dirty = 0;
    std::string name, fileName;
};

struct File {
    uint32_t version = kContactsTag;
    std::string fileName;
    std::string header;
    uint32_t nextId = 128;
    std::vector<Category> categories;
    uint32_t resourceId = 74, fieldsPerRow = 30, pos0 = 0, pos1 = 1, pos2 = 2;
    std::vector<uint16_t> types;
    bool explicitTotal = false;  // write totalFields instead of rows × fieldsPerRow
    uint32_t totalFields = 0;
    std::vector<std::vector<Field>> rows;
};

// ---- writing ---------------------------------------------------------------

inline void PutU8(std::string& o, uint8_t v) { o.push_back(char(v)); }
inline void PutU16(std::string& o, uint16_t v)
{
    o.push_back(char(v & 0xFF));
    o.push_back(char(v >> 8));
}
inline void PutU32(std::string& o, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        o.push_back(char((v >> (8 * i)) & 0xFF));
}
inline void PutCounted(std::string& o, const std::string& s)
{
    if (s.size() < 255) {
        PutU8(o, uint8_t(s.size()));
    } else {
        PutU8(o, 0xFF);
        PutU16(o, uint16_t(s.size()));
    }
    o += s;
}

inline void PutField(std::string& o, const Field& f)
{
    PutU32(o, f.tag);
    if (f.tag == 5) {
        PutU32(o, f.prefix);
        PutCounted(o, f.text);
    } else if (f.tag == 8) {
        const Repeat& r = f.repeat;
        PutU16(o, uint16_t(r.exceptions.size()));
        for (uint32_t e : r.exceptions)
            PutU32(o, e);
        PutU16(o, r.classTag);
        if (r.classTag == 0)
            return;
        if (r.classTag == 0xFFFF) {
            PutU16(o, r.schema);
            PutU16(o, uint16_t(r.className.size()));
            o += r.className;
        }
        PutU32(o, r.cls);
        PutU32(o, r.interval);
        PutU32(o, r.endDate);
        PutU32(o, r.word4);
        for (uint32_t w : r.payload)
            PutU32(o, w);
        if (r.hasMask)
            PutU8(o, r.mask);
    } else {
        PutU32(o, f.value);
    }
}

inline std::string Write(const File& f)
{
    std::string o;
    PutU32(o, f.version);
    PutCounted(o, f.fileName);
    PutCounted(o, f.header);
    PutU32(o, f.nextId);
    PutU32(o, uint32_t(f.categories.size()));
    for (const Category& c : f.categories) {
        PutU32(o, c.index);
        PutU32(o, c.id);
        PutU32(o, c.dirty);
        PutCounted(o, c.name);
        PutCounted(o, c.fileName);
    }
    PutU32(o, f.resourceId);
    PutU32(o, f.fieldsPerRow);
    PutU32(o, f.pos0);
    PutU32(o, f.pos1);
    PutU32(o, f.pos2);
    PutU16(o, uint16_t(f.types.size()));
    for (uint16_t t : f.types)
        PutU16(o, t);
    PutU32(o, f.explicitTotal ? f.totalFields : uint32_t(f.rows.size()) * f.fieldsPerRow);
    for (const auto& row : f.rows)
        for (const Field& fld : row)
            PutField(o, fld);
    return o;
}

// ---- reading ---------------------------------------------------------------

class Reader {
public:
    explicit Reader(const std::string& bytes) : m_b(bytes) {}

    bool U8(uint8_t* v)
    {
        if (m_pos + 1 > m_b.size())
            return false;
        *v = uint8_t(m_b[m_pos++]);
        return true;
    }
    bool U16(uint16_t* v)
    {
        uint8_t a, b;
        if (!U8(&a) || !U8(&b))
            return false;
        *v = uint16_t(a | (b << 8));
        return true;
    }
    bool U32(uint32_t* v)
    {
        uint16_t a, b;
        if (!U16(&a) || !U16(&b))
            return false;
        *v = uint32_t(a) | (uint32_t(b) << 16);
        return true;
    }
    bool Bytes(size_t n, std::string* s)
    {
        if (m_pos + n > m_b.size())
            return false;
        s->assign(m_b, m_pos, n);
        m_pos += n;
        return true;
    }
    bool Counted(std::string* s)
    {
        uint8_t l;
        if (!U8(&l))
            return false;
        uint32_t len = l;
        if (l == 0xFF) {
            uint16_t w;
            if (!U16(&w))
                return false;
            len = w;
        }
        return Bytes(len, s);
    }
    bool FieldByTag(Field* f)
    {
        *f = Field();
        if (!U32(&f->tag))
            return false;
        switch (f->tag) {
        case 1:
        case 3:
        case 6:
            return U32(&f->value);
        case 5:
            return U32(&f->prefix) && Counted(&f->text);
        case 8:
            return RepeatValue(&f->repeat);
        default:
            return false;
        }
    }
    size_t Pos() const { return m_pos; }
    size_t Left() const { return m_b.size() - m_pos; }

private:
    bool RepeatValue(Repeat* r)
    {
        uint16_t n;
        if (!U16(&n))
            return false;
        for (uint16_t i = 0; i < n; ++i) {
            uint32_t e;
            if (!U32(&e))
                return false;
            r->exceptions.push_back(e);
        }
        if (!U16(&r->classTag))
            return false;
        if (r->classTag == 0)
            return true;
        if (r->classTag == 0xFFFF) {
            uint16_t len;
            if (!U16(&r->schema) || r->schema != 1 || !U16(&len) || !Bytes(len, &r->className))
                return false;
        }
        if (!U32(&r->cls) || !U32(&r->interval) || !U32(&r->endDate) || !U32(&r->word4))
            return false;
        int words = 0;
        switch (r->cls) {
        case 1: words = 1; break;
        case 2: words = 1; r->hasMask = true; break;
        case 3: words = 2; break;
        case 4: words = 1; break;
        case 5: words = 2; break;
        default: words = 0; break;
        }
        for (int i = 0; i < words; ++i) {
            uint32_t w;
            if (!U32(&w))
                return false;
            r->payload.push_back(w);
        }
        return !r->hasMask || U8(&r->mask);
    }

    const std::string& m_b;
    size_t m_pos = 0;
};

/// Reads a whole classic file; *trailing receives the bytes left after the
/// last record (a saved file must have none).
inline bool Read(const std::string& bytes, File* f, size_t* trailing = nullptr)
{
    Reader r(bytes);
    *f = File();
    uint32_t count;
    if (!r.U32(&f->version) || !r.Counted(&f->fileName) || !r.Counted(&f->header) || !r.U32(&f->nextId) ||
        !r.U32(&count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        Category c;
        if (!r.U32(&c.index) || !r.U32(&c.id) || !r.U32(&c.dirty) || !r.Counted(&c.name) || !r.Counted(&c.fileName))
            return false;
        f->categories.push_back(c);
    }
    uint16_t nTypes;
    if (!r.U32(&f->resourceId) || !r.U32(&f->fieldsPerRow) || !r.U32(&f->pos0) || !r.U32(&f->pos1) ||
        !r.U32(&f->pos2) || !r.U16(&nTypes))
        return false;
    for (uint16_t i = 0; i < nTypes; ++i) {
        uint16_t t;
        if (!r.U16(&t))
            return false;
        f->types.push_back(t);
    }
    if (!r.U32(&f->totalFields) || f->fieldsPerRow == 0)
        return false;
    f->explicitTotal = true;
    uint32_t rows = f->totalFields / f->fieldsPerRow;
    for (uint32_t i = 0; i < rows; ++i) {
        std::vector<Field> row(f->fieldsPerRow);
        for (Field& fld : row)
            if (!r.FieldByTag(&fld))
                return false;
        f->rows.push_back(std::move(row));
    }
    if (trailing)
        *trailing = r.Left();
    return true;
}

// ---- default schemas and rows ----------------------------------------------

inline std::vector<uint16_t> ContactTypes()
{
    return {1, 1, 1, 5, 5, 5, 5, 1, 5, 1, 5, 1, 5, 1, 5, 1, 5, 5, 5, 5, 5, 5, 5, 6, 1, 5, 5, 5, 5, 1};
}
inline std::vector<uint16_t> CalendarTypes() { return {1, 1, 1, 3, 1, 5, 1, 5, 6, 6, 1, 6, 1, 1, 8}; }
inline std::vector<uint16_t> TaskTypes() { return {1, 1, 1, 5, 3, 6, 1, 6, 1, 5}; }
inline std::vector<uint16_t> MemoTypes() { return {1, 1, 1, 5, 6, 1}; }

inline File NewFile(uint32_t version)
{
    File f;
    f.version = version;
    switch (version) {
    case kCalendarTag: f.resourceId = 54; f.types = CalendarTypes(); break;
    case kTasksTag: f.resourceId = 44; f.types = TaskTypes(); break;
    case kMemosTag: f.resourceId = 64; f.types = MemoTypes(); break;
    default: f.resourceId = 74; f.types = ContactTypes(); break;
    }
    f.fieldsPerRow = uint32_t(f.types.size());
    return f;
}

/// A contact row: the texts go to the positions of the stored contact.
struct ContactRow {
    uint32_t id = 0, status = 0, placement = 0;
    std::string last, first, title, company;
    uint32_t labels[5] = {0, 1, 2, 3, 4};
    std::string phones[5];
    std::string street, city, state, zip, country, note;
    uint32_t isPrivate = 0, category = 0;
    std::string custom[4];
    uint32_t primary = 0;
};

inline std::vector<Field> ContactFields(const ContactRow& c)
{
    std::vector<Field> r = {Int(c.id), Int(c.status), Int(c.placement), Text(c.last), Text(c.first),
                            Text(c.title), Text(c.company)};
    for (int i = 0; i < 5; ++i) {
        r.push_back(Int(c.labels[i]));
        r.push_back(Text(c.phones[i]));
    }
    for (const std::string* s : {&c.street, &c.city, &c.state, &c.zip, &c.country, &c.note})
        r.push_back(Text(*s));
    r.push_back(Int(c.isPrivate, 6));
    r.push_back(Int(c.category));
    for (const std::string& s : c.custom)
        r.push_back(Text(s));
    r.push_back(Int(c.primary));
    return r;
}

/// A calendar row; `endTag` lets a test store EndTime with another tag.
struct EventRow {
    uint32_t id = 0, status = 0, placement = 0, start = 0, end = 0;
    uint32_t endTag = 1;
    std::string description;
    uint32_t field6 = 0;
    std::string note;
    uint32_t untimed = 0, isPrivate = 0, category = 0, alarm = 0, advance = 0, unit = 0;
    Repeat repeat;
};

inline std::vector<Field> EventFields(const EventRow& e)
{
    return {Int(e.id),       Int(e.status),     Int(e.placement),     Int(e.start, 3), Int(e.end, e.endTag),
            Text(e.description), Int(e.field6), Text(e.note),         Int(e.untimed, 6), Int(e.isPrivate, 6),
            Int(e.category), Int(e.alarm, 6),  Int(e.advance),       Int(e.unit),     Rep(e.repeat)};
}

/// A named repeat of a class, with the class name the layout gives it.
inline Repeat NamedRepeat(uint32_t cls, uint32_t interval, uint32_t endDate, std::vector<uint32_t> payload,
                          bool hasMask = false, uint8_t mask = 0)
{
    static const char* names[] = {"", "CDayName", "CWeekly", "CDayOfMonth", "CDateOfMonth", "CDateOfYear",
                                  "CDayOfYear"};
    Repeat r;
    r.classTag = 0xFFFF;
    r.className = cls <= 6 ? names[cls] : "";
    r.cls = cls;
    r.interval = interval;
    r.endDate = endDate;
    r.payload = std::move(payload);
    r.hasMask = hasMask;
    r.mask = mask;
    return r;
}

}  // namespace classic
