#include "palm/PalmSG.h"

#include "palm/PalmEnv.h"
#include "palm/PalmReason.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

const char kMagicPrefix[5] = {char(0xBE), char(0xBA), char(0xFE), char(0xCA), 0x0F};
const char kMagicText[] = "PalmSG Database00RV";  // 19 characters, stored without terminator
constexpr uint32_t kMagicTextSize = 19;

// Each byte as two lower-case hex digits, bytes separated by one space.
std::string Hex(const uint8_t* bytes, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(n * 3);
    for (size_t i = 0; i < n; ++i) {
        if (i)
            out.push_back(' ');
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 15]);
    }
    return out;
}

// Bytes shown as text: up to the first zero byte.
std::string AsText(const uint8_t* bytes, size_t n)
{
    const char* p = reinterpret_cast<const char*>(bytes);
    return std::string(p, strnlen(p, n));
}

}  // namespace

void PmExText::Load(const char* stored, size_t length, size_t maxChars)
{
    size_t n = strnlen(stored, std::min(length, maxChars));
    m_View.assign(stored, n);
    if (n == length)
        m_Whole.reset();
    else
        m_Whole = std::make_unique<std::string>(stored, length);
}

// ---------------------------------------------------------------------------

uint32_t PmSGUtil::MinFieldBytes(uint16_t type)
{
    switch (type) {
    case PM_TAG_TEXT: return 9;   // tag, prefix word, length byte
    case PM_TAG_WIDE: return 12;  // tag, 8 bytes
    default: return 8;            // tag and a word; a block's tag and form word; a repeat's tag, count and marker
    }
}

PmSGUtil::PmSGUtil(const PmSGKind& kind) : m_Kind(kind)
{
    PmSGUtil::Init();
}

void PmSGUtil::LogLine(int level, int line, const char* format, ...)
{
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    TheLog().Log(level, m_Kind.module, line, "%s", text);
}

#define SGLOG(level, ...) LogLine((level), __LINE__, __VA_ARGS__)

void PmSGUtil::Init()
{
    DropImage();
    m_Version = m_Kind.version;
    m_Schema.ResourceID = m_Kind.resourceId;
    m_Schema.FieldsPerRow = m_Kind.fieldCount;
    m_Schema.RecordIDPos = 0;
    m_Schema.StatusPos = 2;
    m_Schema.PlacementPos = 4;
    m_Schema.FieldsCount = m_Kind.fieldCount;
    m_Schema.FieldTypes.assign(m_Kind.fieldTypes, m_Kind.fieldTypes + m_Kind.fieldCount);
    std::memset(m_Reserved1, 0, sizeof m_Reserved1);
    m_Reserved1[12] = m_Kind.reserved1Byte12;
    m_Reserved1[13] = 16;
    std::memset(m_Reserved2, 0, sizeof m_Reserved2);
    std::memset(m_Reserved3, 0, sizeof m_Reserved3);
    for (std::string& label : m_Labels)
        label.clear();
    SetCategoryMgr(nullptr);
    m_LoadFailed = false;
}

PmCategoryMgr* PmSGUtil::EnsureCategoryMgr()
{
    if (!m_pCatMgr) {
        SetCategoryMgr(new PmCategoryMgr());
        PmCategory unfiled(0, 0, "Unfiled");
        m_pCatMgr->Add(&unfiled);
        m_pCatMgr->SetModified(false);
        MarkHeaderEdited();
    }
    return m_pCatMgr;
}

bool PmSGUtil::UserFilePath(uint32_t userID, char* path) const
{
    char folder[260] = {};
    if (!GetUserDataPath(userID, folder))
        return false;
    int n = std::snprintf(path, 260, "%s%s%s", folder, m_Kind.folder, m_Kind.fileName);
    return n > 0 && n < 260;
}

bool PmSGUtil::LoadUserFile(uint32_t userID)
{
    SGLOG(2, "Start loading Palm Desktop %s by user ID: %d", m_Kind.word, int(userID));
    char path[260];
    if (!UserFilePath(userID, path)) {
        SGLOG(0, "Failed to get user database path by user ID.");
        return false;
    }
    SGLOG(2, "Get user file successfully, try loading file:%s", path);
    return LoadFile(path);
}

bool PmSGUtil::LoadFile(const char* path)
{
    bool memo = m_Kind.memo;
    if (memo && (!path || !*path)) {
        SGLOG(0, "Invalid Palm Desktop Notes database file name.");
        return false;
    }
    SGLOG(2, "Loading Palm Desktop %s: %s", m_Kind.word, path ? path : "");
    bool ok = Open(path, ModeReadWrite);
    if (!ok)
        SGLOG(0, "Failed to open file: %s", path ? path : "");
    else
        ok = LoadSteps();
    Close();
    if (ok) {
        m_LoadFailed = false;
        if (!memo)
            SGLOG(2, "Palm Desktop %s information is loaded successfully.", m_Kind.word);
        return true;
    }
    // Nothing of a file that could not be read whole is kept, so that no
    // later save can write back a part of it.
    m_LoadFailed = true;
    if (HasDataMgr())
        ClearRecords();
    DropImage();
    if (m_Kind.customLabels)
        SGLOG(0, "Can not load Palm Desktop %s: %s", m_Kind.word, path ? path : "");
    else
        SGLOG(0, "Load Palm Desktop %s failed: %s", m_Kind.word, path ? path : "");
    return false;
}

bool PmSGUtil::LoadSteps()
{
    if (!CheckMagic()) {
        SGLOG(0, "Failed to check magic code.");
        return false;
    }
    if (!CheckVersion()) {
        SGLOG(0, "Failed to check database version.");
        return false;
    }
    if (!LoadDescription()) {
        SGLOG(0, "Failed to load database file descriptions.");
        return false;
    }
    if (m_Kind.customLabels && !LoadCustomLabels()) {
        SGLOG(0, "Failed to load custom labels information.");
        return false;
    }
    if (!LoadCategories()) {
        SGLOG(0, "Failed to load category information.");
        return false;
    }
    if (!LoadSchema()) {
        SGLOG(0, "Failed to load database schema information.");
        return false;
    }
    if (!LoadRecords()) {
        SGLOG(0, "Failed to load %s records.", m_Kind.word);
        return false;
    }
    return true;
}

bool PmSGUtil::CheckMagic()
{
    SGLOG(2, "Start checking Palm Desktop %s database magic code.", m_Kind.word);
    uint8_t block[24];
    if (!ReadBytes(block, sizeof block))
        return false;
    // The first five bytes are not examined.
    if (std::memcmp(block + 5, kMagicText, kMagicTextSize) != 0) {
        SGLOG(0, "Incorrect database magic code: %s", AsText(block + 5, kMagicTextSize).c_str());
        return false;
    }
    SGLOG(2, "Check magic code successfully.");
    return true;
}

bool PmSGUtil::CheckVersion()
{
    SGLOG(2, "Start checking Palm Desktop %s database file version.", m_Kind.word);
    uint32_t version = 0;
    if (!ReadU32(&version) || version != m_Version) {
        SGLOG(0, "Incorrect database version:%d", int(version));
        return false;
    }
    SGLOG(2, "Database version: %d", int(version));
    if (!ReadBytes(m_Reserved1, kReserved1Size)) {
        SGLOG(0, "Failed to read reserved 1 field. Content=%s, Size=%d", Hex(m_Reserved1, kReserved1Size).c_str(),
              int(kReserved1Size));
        return false;
    }
    if (m_Kind.logReserved1)
        SGLOG(2, "Reserved 1 Field: %s", Hex(m_Reserved1, kReserved1Size).c_str());
    SGLOG(2, "Check database version successfully.");
    return true;
}

bool PmSGUtil::LoadDescription()
{
    SGLOG(2, "Start loading Palm Desktop %s database file description.", m_Kind.word);
    uint32_t capacity = 260;
    if (!ReadCountedString(m_szStoredName, &capacity)) {
        m_szStoredName[0] = 0;
        SGLOG(0, "Failed to read database file name.");
        return false;
    }
    SGLOG(2, "Database file name:%s", m_szStoredName);
    uint32_t count = m_Kind.reserved2Size;
    uint8_t field[44] = {};
    if (!ReadSome(field, &count) || count < m_Kind.reserved2Size) {
        SGLOG(0, "Failed to read reserved 2 field. Content=%s, Size=%d", AsText(field, count).c_str(), int(count));
        return false;
    }
    std::memcpy(m_Reserved2, field, m_Kind.reserved2Size);
    SGLOG(2, "Reserved 2 Fields: %s", Hex(m_Reserved2, m_Kind.reserved2Size).c_str());
    SGLOG(2, "Load database description information successfully.");
    return true;
}

bool PmSGUtil::LoadCustomLabels()
{
    for (std::string& label : m_Labels) {
        char text[257];
        uint32_t capacity = 256;
        uint32_t discarded;
        if (!ReadCountedString(text, &capacity) || !ReadU32(&discarded))
            return false;
        label = text;
    }
    uint8_t field[kReserved3Size + 1] = {};
    if (!ReadBytes(field, kReserved3Size)) {
        SGLOG(0, "Failed to read reserved 3 field. Content=%s, Size=%d", AsText(field, kReserved3Size).c_str(),
              int(kReserved3Size));
        return false;
    }
    std::memcpy(m_Reserved3, field, kReserved3Size);
    SGLOG(2, "Load custom label information successfully.");
    return true;
}

namespace {

// The 4.1.x texts of the category block.
class SGCategoryEvents : public PmCategoryEvents {
public:
    SGCategoryEvents(PmSGUtil* util, bool fileNameMessage, void (PmSGUtil::*log)(int, int, const char*, ...))
        : m_util(util), m_fileNameMessage(fileNameMessage), m_log(log)
    {
    }
    void Failed(Step step, const PmCategory* c) override
    {
        switch (step) {
        case NextId: (m_util->*m_log)(0, __LINE__, "Failed to read the next feed ID."); break;
        case Name: (m_util->*m_log)(0, __LINE__, "Failed to read category name."); break;
        case FileName:
            if (m_fileNameMessage)
                (m_util->*m_log)(0, __LINE__, "Failed to read category file name.");
            break;
        case BadIndex:
            (m_util->*m_log)(0, __LINE__, "Invalid category index %d (category IDs 1 to 15 only).", c->GetIndex());
            break;
        case RepeatedIndex:
            (m_util->*m_log)(0, __LINE__, "Category index %d is used twice.", c->GetIndex());
            break;
        case Add:
            (m_util->*m_log)(0, __LINE__, "Category ID %d is used twice.", c->GetId());
            break;
        default: break;
        }
    }
    void NameRead(const char* name) override { (m_util->*m_log)(2, __LINE__, "Read category:%s", name); }
    void Saved(const PmCategory& c) override { (m_util->*m_log)(2, __LINE__, "Saving category [%s]", c.GetName()); }

private:
    PmSGUtil* m_util;
    bool m_fileNameMessage;
    void (PmSGUtil::*m_log)(int, int, const char*, ...);
};

}  // namespace

bool PmSGUtil::LoadCategories()
{
    SGLOG(2, "Start loading Palm Desktop %s category information.", m_Kind.word);
    SGCategoryEvents events(this, m_Kind.customLabels, &PmSGUtil::LogLine);
    if (!LoadCategoryBlock(&events))
        return false;
    SGLOG(2, "Load Palm Desktop %s categories successfully.", m_Kind.word);
    return true;
}

bool PmSGUtil::LoadSchema()
{
    SGLOG(2, "Start loading Palm Desktop %s database schema.", m_Kind.word);
    // Every item is logged as it is read and checked at once, so that a
    // refused value is the last line, before anything after it is read.
    struct Events : PmSchemaEvents {
        explicit Events(PmSGUtil* u) : u(u), kind(u->m_Kind) {}
        void Failed(Item item, int index) override
        {
            static const char* const kText[] = {"Failed to read resource ID.",        "Failed to read fields per row.",
                                                "Failed to read Record ID Position.", "Failed to read Record Status Position.",
                                                "Failed to read Placement Position.", "Failed to read Fields Count."};
            if (item == FieldType)
                u->LogLine(0, __LINE__, "Failed to read Field Type. Index=%d", index);
            else
                u->LogLine(0, __LINE__, "%s", kText[item]);
        }
        bool Read(Item item, const PmSchema& s, int index) override
        {
            switch (item) {
            case ResourceID: u->LogLine(2, __LINE__, "Resource ID:%d", int(s.ResourceID)); return true;
            case FieldsPerRow: return FieldsPerRowRead(s.FieldsPerRow);
            case RecordIDPos: u->LogLine(2, __LINE__, "Record ID Position:%d", int(s.RecordIDPos)); return true;
            case StatusPos: u->LogLine(2, __LINE__, "Record Status Position:%d", int(s.StatusPos)); return true;
            case PlacementPos: u->LogLine(2, __LINE__, "Placement Position:%d", int(s.PlacementPos)); return true;
            case FieldsCount: return FieldsCountRead(s);
            case FieldType:
                u->LogLine(2, __LINE__, "Field (%d) - %d", index + 1, int(s.FieldTypes[size_t(index)]));
                return true;
            }
            return true;
        }
        bool FieldsPerRowRead(uint32_t n)
        {
            u->LogLine(2, __LINE__, "Fields Per Row:%d", int(n));
            if (n == 0 || n > kind.fieldCount) {
                u->LogLine(0, __LINE__, "Unsupported fields per row: %u (a %s record has 1 to %d fields).", n,
                           kind.word, int(kind.fieldCount));
                return false;
            }
            // A row that ends before Status holds no status: every record
            // would look live, and a deletion set in memory would never be
            // written.
            if (n <= kStatusField) {
                u->LogLine(0, __LINE__,
                           "Unsupported fields per row: %u (a %s record needs at least %u fields to hold its status).",
                           n, kind.word, kStatusField + 1);
                return false;
            }
            return true;
        }
        bool FieldsCountRead(const PmSchema& s)
        {
            u->LogLine(2, __LINE__, "Fields Count:%d", int(s.FieldsCount));
            if (s.FieldsCount > kind.fieldCount) {
                u->LogLine(0, __LINE__, "Unsupported fields count: %d (a %s record has at most %d fields).",
                           int(s.FieldsCount), kind.word, int(kind.fieldCount));
                return false;
            }
            if (s.FieldsCount == 0) {
                u->LogLine(0, __LINE__, "Unsupported fields count: 0 (a %s record has 1 to %d fields).", kind.word,
                           int(kind.fieldCount));
                return false;
            }
            // A record is read over Fields Count fields and written over
            // Fields Per Row (which Total Fields counts by): unless they are
            // one number, a save would drop fields that were read, or add
            // fields no load can place.
            if (s.FieldsCount != s.FieldsPerRow) {
                u->LogLine(0, __LINE__,
                           "Fields count %d does not match fields per row %u (a %s record is read and written over "
                           "the same fields).",
                           int(s.FieldsCount), s.FieldsPerRow, kind.word);
                return false;
            }
            return true;
        }
        PmSGUtil* u;
        const PmSGKind& kind;
    } events(this);
    if (!LoadSchemaBlock(&events))
        return false;
    // The record fields past Fields Count have no stored type; they are
    // taken as 0 and never written (the block writes Fields Count entries).
    m_Schema.FieldTypes.resize(m_Kind.fieldCount, 0);
    SGLOG(2, "Palm Desktop %s database schema is loaded successfully.", m_Kind.word);
    return true;
}

bool PmSGUtil::LoadRecords()
{
    ClearRecords();
    BeginImage();
    SGLOG(2, "Start loading Palm Desktop %s records.", m_Kind.word);
    uint32_t totalFields;
    if (!ReadU32(&totalFields)) {
        SGLOG(0, "Failed to read total fields count.");
        return false;
    }
    SGLOG(2, "Total Fields: %d", int(totalFields));
    uint32_t count = totalFields / m_Schema.FieldsPerRow;
    SGLOG(2, "Calculated Record Count: %d", int(count));
    // Fields left over would be neither a record nor written back.
    if (totalFields % m_Schema.FieldsPerRow != 0) {
        SGLOG(0, "Total fields %u is not a whole number of %s records of %u fields.", totalFields, m_Kind.word,
              m_Schema.FieldsPerRow);
        return false;
    }
    // Every record takes at least the smallest form of each of its fields:
    // a count that cannot fit in what is left is refused before any record
    // is made for it.
    uint64_t least = 0;
    for (uint32_t i = 0; i < m_Schema.FieldsPerRow; ++i)
        least += MinFieldBytes(m_Kind.fieldTypes[i]);
    if (uint64_t(count) * least > InputLeft()) {
        SGLOG(0, "Total fields %u announce %u %s records of at least %u bytes each, more than the %u bytes left in "
                 "the file.",
              totalFields, count, m_Kind.word, unsigned(least), unsigned(InputLeft()));
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        bool added = true;
        if (!ReadRecord(m_Schema.FieldsCount, &added)) {
            // Nothing after a record that could not be read is where the
            // count says: the load stops here, with one line.
            SGLOG(0, "Error reading Palm Desktop %s, current file position: %d", m_Kind.word, int(Position()));
            return false;
        }
        if (!added)
            return false;
    }
    EndImageRows();
    return true;
}

bool PmSGUtil::Save()
{
    return SaveAs(m_szFileName);
}

bool PmSGUtil::SaveAs(const char* path)
{
    return RunSave(path, false);
}

bool PmSGUtil::SaveNew(const char* path)
{
    return RunSave(path, true);
}

bool PmSGUtil::RunSave(const char* path, bool create)
{
    SetSaveReason(std::string());
    if (!path || !*path) {
        SetSaveReason("no file was named to save to");
        return false;
    }
    SGLOG(2, "Saving Palm Desktop %s database as file: %s", m_Kind.word, path);
    if (m_LoadFailed) {
        SGLOG(0, "The last load of Palm Desktop %s failed; nothing is saved.", m_Kind.word);
        SGLOG(0, "Failed to save Palm Desktop %s database.", m_Kind.word);
        SetSaveReason("the file could not be read whole when it was loaded");
        return false;
    }
    if (!Open(path, create ? ModeCreate : ModeWrite)) {
        SetSaveReason(PmReasonOfErrno(OpenError(), "the file could not be opened"));
        SGLOG(0, "Failed to open file: %s", path);
        SGLOG(0, "Failed to save Palm Desktop %s database.", m_Kind.word);
        return false;
    }
    // A new file is the content as it stands; an existing one gets the bytes
    // read laid under it.
    BeginFieldMarks();
    if (create)
        SaveAfresh();
    bool patched = HasDataMgr() && PutStatusRecords();
    if (patched)
        SGLOG(2, "Palm Desktop %s records are saved as read, with their status words.", m_Kind.word);
    bool ok = patched || SaveSteps(path);
    if (ok) {
        std::string error;
        ok = Commit(&error);
        if (!ok)
            SGLOG(0, "Failed to replace the file content: %s", error.c_str());
    } else {
        SetSaveReason("the new content of the file could not be made");
    }
    Close();
    if (!ok) {
        SGLOG(0, "Failed to save Palm Desktop %s database.", m_Kind.word);
        SGLOG(0, "The file was not changed: %s", path);
        return false;
    }
    SGLOG(2, "Save Palm Desktop %s database successfully.", m_Kind.word);
    return true;
}

bool PmSGUtil::SaveSteps(const char* path)
{
    if (!SaveMagic()) {
        SGLOG(0, "Failed to save magic code information.");
        return false;
    }
    if (!SaveVersion()) {
        SGLOG(0, "Failed to save database version.");
        return false;
    }
    if (!SaveDescription(path)) {
        SGLOG(0, "Failed to save database file dscriptions.");
        return false;
    }
    if (m_Kind.customLabels && !SaveCustomLabels()) {
        SGLOG(0, "Failed to save custom labels.");
        return false;
    }
    if (!SaveCategories()) {
        SGLOG(0, "Failed to save category information.");
        return false;
    }
    if (!SaveSchema()) {
        SGLOG(0, "Failed to save database schema.");
        return false;
    }
    if (!SaveRecords()) {
        SGLOG(0, "Failed to save %s records.", m_Kind.word);
        return false;
    }
    return true;
}

bool PmSGUtil::SaveMagic()
{
    SGLOG(2, "Start saving Palm Desktop %s magic code information.", m_Kind.word);
    if (!WriteBytes(kMagicPrefix, sizeof kMagicPrefix)) {
        SGLOG(0, "Failed to write magic code prefix.");
        return false;
    }
    if (!WriteBytes(kMagicText, kMagicTextSize)) {
        SGLOG(0, "Failed to write magic code content.");
        return false;
    }
    SGLOG(2, "Magic code information saved successfully.");
    return true;
}

bool PmSGUtil::SaveVersion()
{
    SGLOG(2, "Start saving Palm Desktop %s version information.", m_Kind.word);
    if (!WriteU32(m_Version)) {
        SGLOG(0, "Failed to write the integer value of database version.");
        return false;
    }
    // Bytes 12 and 13 carry the record count, offset by 16 in the high byte.
    uint32_t n = HasDataMgr() ? RecordCount() : 0;
    m_Reserved1[12] = static_cast<uint8_t>(n % 256);
    m_Reserved1[13] = static_cast<uint8_t>(n / 256 + 16);
    if (!WriteBytes(m_Reserved1, kReserved1Size)) {
        SGLOG(0, "Failed to write reserved 1 field.");
        return false;
    }
    SGLOG(2, "Palm Desktop %s version information is saved successfully.", m_Kind.word);
    return true;
}

bool PmSGUtil::SaveDescription(const char* path)
{
    SGLOG(2, "Start saving Palm Desktop %s file description.", m_Kind.word);
    if (!WriteCountedString(StoredNameFor(path))) {
        SGLOG(0, "Failed to write database file name.");
        return false;
    }
    if (!WriteBytes(m_Reserved2, m_Kind.reserved2Size)) {
        SGLOG(0, "Failed to write reserved 2 field.");
        return false;
    }
    SGLOG(2, "Palm Desktop %s file description is saved successfully.", m_Kind.word);
    return true;
}

bool PmSGUtil::SaveCustomLabels()
{
    SGLOG(2, "Start saving Palm Desktop %s custom labels.", m_Kind.word);
    for (const std::string& label : m_Labels)
        if (!WriteCountedString(label.data(), label.size()) || !WriteU32(0))
            return false;
    if (!WriteBytes(m_Reserved3, kReserved3Size))
        return false;
    SGLOG(2, "Palm Desktop %s custom labels are saved successfully.", m_Kind.word);
    return true;
}

bool PmSGUtil::SaveCategories()
{
    SGLOG(2, "Start saving Palm Desktop %s categories.", m_Kind.word);
    SGCategoryEvents events(this, false, &PmSGUtil::LogLine);
    bool fullLoop = false;
    if (!SaveCategoryBlock(&events, &fullLoop))
        return false;
    if (fullLoop)
        SGLOG(2, "Palm Desktop %s categories are saved successfully.", m_Kind.word);
    return true;
}

bool PmSGUtil::SaveSchema()
{
    SGLOG(2, "Start saving Palm Desktop %s database schema.", m_Kind.word);
    PmSchemaEvents quiet;
    if (!SaveSchemaBlock(&quiet))
        return false;
    SGLOG(2, "Palm Desktop %s database schema is saved successfully.", m_Kind.word);
    return true;
}

bool PmSGUtil::SaveRecords()
{
    if (!HasDataMgr())
        return false;
    SGLOG(2, "Start saving Palm Desktop %s records.", m_Kind.word);
    uint32_t n = RecordCount();
    SGLOG(2, "Total number of records: %d", int(n));
    if (!WriteU32(n * m_Schema.FieldsPerRow) || !SaveAllRecords())
        return false;
    SGLOG(2, "Palm Desktop %s records are saved successfully.", m_Kind.word);
    return true;
}

// ---------------------------------------------------------------------------
// Fields

bool PmSGUtil::ReadText(PmExText& text, size_t maxChars)
{
    const char* stored;
    uint32_t length;
    if (!ReadTextSpan(&stored, &length))
        return false;
    text.Load(stored, length, maxChars);
    return true;
}

bool PmSGUtil::WriteText(const PmExText& text)
{
    const std::string& s = text.Stored();
    return WriteTextField(s.data(), s.size(), 1);
}

bool PmSGUtil::ReadPrefixField(PmExRecord& rec, uint32_t index)
{
    switch (index) {
    case 0: return ReadIntField(&rec.RecordID);
    case 1: return ReadIntField(&rec.IntField1);
    case 2: return ReadIntField(&rec.Status);
    case 3: return ReadIntField(&rec.IntField3);
    case 4: return ReadIntField(&rec.Placement);
    case 5:
        if (!ReadIntField(&rec.Category))
            return false;
        if (m_pCatMgr)
            CategoryText(static_cast<int32_t>(rec.Category), rec.CategoryName);
        return true;
    case 6: return ReadIntField(&rec.Private);
    case 7:
    case 8:
    case 9:
    case 10: return ReadBlockField(&rec.Block[index - 7]);
    case 11: return ReadText(rec.TextField11, 31);
    case 12: return ReadText(rec.TextField12, 31);
    default: return false;
    }
}

bool PmSGUtil::WritePrefixField(const PmExRecord& rec, uint32_t index)
{
    switch (index) {
    case 0: return WriteIntField(rec.RecordID);
    case 1: return WriteIntField(rec.IntField1);
    case 2: return WriteIntField(rec.Status);
    case 3: return WriteIntField(rec.IntField3);
    case 4: return WriteIntField(rec.Placement);
    case 5: return WriteIntField(rec.Category);
    case 6: return WriteIntField(rec.Private);  // tag 1, whatever the schema says
    case 7:
    case 8:
    case 9:
    case 10: return WriteBlockField(&rec.Block[index - 7]);
    case 11: return WriteText(rec.TextField11);
    case 12: return WriteText(rec.TextField12);
    default: return false;
    }
}

