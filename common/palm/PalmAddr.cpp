#include "palm/PalmAddr.h"

#include "misc/CxDebugUtil.h"
#include "palm/PalmEnv.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <cstring>

// ---- contacts ----------------------------------------------------------------

constexpr size_t PmAddrRecord::kCapacity[PmAddrRecord::kFields];

std::string* PmAddrRecord::TextAt(int pos)
{
    switch (pos) {
    case 3: return &LastName;
    case 4: return &FirstName;
    case 5: return &JobTitle;
    case 6: return &Company;
    case 8: case 10: case 12: case 14: case 16: return &Phone[(pos - 8) / 2];
    case 17: return &Street;
    case 18: return &City;
    case 19: return &State;
    case 20: return &ZipCode;
    case 21: return &Country;
    case 22: return &Note;
    case 25: case 26: case 27: case 28: return &Custom[pos - 25];
    default: return nullptr;
    }
}

int32_t* PmAddrRecord::IntAt(int pos)
{
    switch (pos) {
    case 0: return &RecordID;
    case 1: return &Status;
    case 2: return &Placement;
    case 7: case 9: case 11: case 13: case 15: return &PhoneLabel[(pos - 7) / 2];
    case 23: return &Private;
    case 24: return &Category;
    case 29: return &PrimaryContact;
    default: return nullptr;
    }
}

namespace {
std::vector<uint16_t> ContactTypes()
{
    return {1, 1, 1, 5, 5, 5, 5, 1, 5, 1, 5, 1, 5, 1, 5, 1, 5, 5, 5, 5, 5, 5, 5, 6, 1, 5, 5, 5, 5, 1};
}
}  // namespace

PmAddrUtil::PmAddrUtil() : PmClassicFileUtil(kVersionTag, 74, ContactTypes(), "Contacts")
{
    std::memset(m_szCustomLabels, 0, sizeof(m_szCustomLabels));
}

PmAddrUtil::~PmAddrUtil() = default;

std::string PmAddrUtil::CustomLabel(int i) const
{
    const char* p = m_szCustomLabels;
    for (int k = 0; k < i && p; ++k) {
        p = std::strchr(p, '\n');
        if (p)
            ++p;
    }
    if (!p || i < 0 || i > 3)
        return std::string();
    const char* end = std::strchr(p, '\n');
    return end ? std::string(p, end) : std::string(p);
}

bool PmAddrUtil::LoadUserFile(int32_t userId)
{
    std::string path;
    if (!UserFilePath(userId, "address", "address.dat", &path)) {
        CXLOG(0, "Failed to get Palm Desktop data path by user, User ID=%d", userId);
        return false;
    }
    CXLOG(2, "Loading Palm Desktop address book file by user: User(%d) - File(%s)", userId, path.c_str());
    return LoadFile(path.c_str());
}

bool PmAddrUtil::LoadFile(const char* path)
{
    const char* shown = path ? path : "";
    CXLOG(2, "Loading Palm Desktop Address Book:%s", shown);
    bool ok = false;
    std::string fileName;
    if (!Open(path, ModeReadWrite)) {
        CXLOG(0, "Failed to open Palm Desktop address book file: %s", shown);
    } else if (!CheckVersion()) {
        CXLOG(0, "Failed to check Palm Desktop address book file version.");
    } else if (!ReadCounted(&fileName)) {
        CXLOG(0, "Failed to read Palm Desktop address book database file name.");
    } else {
        CXLOG(2, "Read Palm Desktop address book database file name: %s", fileName.c_str());
        if (!LoadCustomLabels())
            CXLOG(0, "Failed to load custom labels information.");
        else if (!LoadCategories())
            CXLOG(0, "Failed to load category information.");
        else if (!LoadSchema())
            CXLOG(0, "Failed to load database schema information.");
        else if (!LoadRecords())
            CXLOG(0, "Failed to load Palm Desktop address book records.");
        else
            ok = true;
    }
    if (!ok) {
        CXLOG(0, "Can not load Palm Desktop Contacts: %s", shown);
        Close();
        EndLoad(false, path);
        return false;
    }
    Close();
    CXLOG(2, "Palm Desktop address book was loaded successfully.");
    EndLoad(true, path);
    return true;
}

bool PmAddrUtil::LoadCustomLabels()
{
    CXLOG(2, "Start loading Palm Desktop address book custom label information.");
    uint8_t len8 = 0;
    if (!ReadU8(&len8)) {
        CXLOG(0, "Failed to read the length of custom labels.");
        return false;
    }
    uint32_t len = len8;
    if (len8 == 0xFF) {
        uint16_t len16 = 0;
        if (!ReadU16(&len16)) {
            CXLOG(0, "Incorrect custom label length reading.");
            return false;
        }
        len = len16;
    }
    std::memset(m_szCustomLabels, 0, sizeof(m_szCustomLabels));
    if (len > InputLeft()) {
        CXLOG(0, "Custom label content reading error.");
        return false;
    }
    // The whole text is kept for writing back; only the first four labels
    // (up to the fourth line feed) are used.
    m_HeaderText.assign(len, '\0');
    if (len != 0 && !ReadBytes(m_HeaderText.data(), len)) {
        CXLOG(0, "Custom label content reading error.");
        return false;
    }
    int feeds = 0;
    for (uint32_t i = 0; i < len && i < sizeof(m_szCustomLabels) - 1; ++i) {
        m_szCustomLabels[i] = m_HeaderText[i];
        if (m_HeaderText[i] == '\n' && ++feeds == 4) {
            CXLOG(2, "For Palm Desktop ealier than v4.1.2, the max custom label is 4. Break now.");
            break;
        }
    }
    return true;
}

bool PmAddrUtil::LoadCategories()
{
    CXLOG(2, "Start reading Palm Desktop address book category information.");
    switch (ReadCategoryBlock()) {
    case CatItem::None:
        CXLOG(2, "Palm Desktop address book category information was loaded successfully.");
        return true;
    case CatItem::NextId: CXLOG(0, "Failed to read the next feed ID of the categories."); break;
    case CatItem::Count: CXLOG(0, "Failed to read categories count."); break;
    case CatItem::Index: CXLOG(0, "Failed to read category index."); break;
    case CatItem::Id: CXLOG(0, "Failed to read category ID."); break;
    case CatItem::Dirty: CXLOG(0, "Failed to read category dirty field."); break;
    case CatItem::Name: CXLOG(0, "Failed to read the name of the category."); break;
    case CatItem::FileName: CXLOG(0, "Failed to read category file name."); break;
    case CatItem::Add: CXLOG(0, "Failed to add category information."); break;
    }
    return false;
}

namespace {
// The address book logs each schema item that could not be read or written.
struct AddrSchemaEvents : PmSchemaEvents {
    explicit AddrSchemaEvents(bool saving) : saving(saving) {}
    void Failed(Item item, int index) override
    {
        static const char* const kRead[] = {"Failed to read schema resource ID.",
                                            "Failed to read fields per row.",
                                            "Failed to read resource ID field position.",
                                            "Failed to read status field position.",
                                            "Failed to read placement field position.",
                                            "Failed to read field count."};
        static const char* const kWritten[] = {"Failed to write resource ID.",
                                               "Failed to write fields per row.",
                                               "Failed to write resource ID field position.",
                                               "Failed to write status field position.",
                                               "Failed to write placement field position.",
                                               "Failed to write field count."};
        if (item == FieldType) {
            if (saving)
                CXLOG(0, "Failed to write field type. Field index=%d", index);
            else
                CXLOG(0, "Failed to read field type information. Field index=%d", index);
        } else if (saving) {
            // The resource id's line has always been a level 2 one.
            CXLOG(item == ResourceID ? 2 : 0, "%s", kWritten[item]);
        } else {
            CXLOG(0, "%s", kRead[item]);
        }
    }
    bool saving;
};
}  // namespace

bool PmAddrUtil::LoadSchema()
{
    CXLOG(2, "Start loading Palm Desktop address book database schema information.");
    AddrSchemaEvents events(false);
    if (!LoadClassicSchema(PmAddrRecord::kFields, &events))
        return false;
    CXLOG(2, "Palm Desktop address book database schema information is loaded successfully.");
    return true;
}

namespace {
// Where each field of a contact lives in the record, worked out once from
// TextAt and IntAt, so that the row loops of a large file do not go through
// their switches for every field.
struct AddrSlot {
    bool text;
    bool boolean;  // written with the bool tag
    ptrdiff_t offset;
};
const AddrSlot* AddrSlots()
{
    static const std::vector<AddrSlot> slots = [] {
        std::vector<AddrSlot> v(PmAddrRecord::kFields);
        PmAddrRecord probe;
        const char* base = reinterpret_cast<const char*>(&probe);
        for (int pos = 0; pos < PmAddrRecord::kFields; ++pos) {
            const std::string* text = probe.TextAt(pos);
            const char* at = text ? reinterpret_cast<const char*>(text) : reinterpret_cast<const char*>(probe.IntAt(pos));
            v[pos] = AddrSlot{text != nullptr, pos == 23, at - base};
        }
        return v;
    }();
    return slots.data();
}
}  // namespace

bool PmAddrUtil::ReadRow(PmAddrRecord* rec)
{
    const AddrSlot* slots = AddrSlots();
    char* base = reinterpret_cast<char*>(rec);
    FieldReader in(*this);
    for (uint32_t pos = 0; pos < m_Schema.FieldsPerRow; ++pos) {
        if (pos >= uint32_t(PmAddrRecord::kFields)) {
            CXLOG(0, "Unknown field ID read (ID=%d), ignore it.", int(pos));
            continue;
        }
        const AddrSlot& slot = slots[pos];
        if (slot.text) {
            if (!in.Text(reinterpret_cast<std::string*>(base + slot.offset)))
                return false;
        } else if (!in.Int(reinterpret_cast<int32_t*>(base + slot.offset))) {
            return false;
        } else if (pos == 24 && m_pCatMgr) {
            CategoryText(rec->Category, rec->szCategory);
        }
    }
    return true;
}

bool PmAddrUtil::LoadRecords()
{
    CXLOG(2, "Start loading Palm Desktop address book records.");
    struct Log : RowLog {
        const PmAddrUtil* util;
        void TotalUnread() const { CXLOG(0, "Failed to read field count information."); }
        void Counted(uint32_t count) const
        {
            CXLOG(2, "Based on calculation, there are %d records in total.", int(count));
        }
        void RowUnread(uint32_t i, uint32_t count) const
        {
            CXLOG(0, "Failed to read address book record %u of %u, file position: %u.", i + 1, count,
                  unsigned(util->Position()));
        }
        void RowNotKept(uint32_t i, uint32_t count) const
        {
            CXLOG(0, "Failed to keep address book record %u of %u.", i + 1, count);
        }
    } log;
    log.util = this;
    if (!LoadRows(
            *m_pDataMgr, [this](PmAddrRecord* rec) { return ReadRow(rec); },
            [](const PmAddrRecord&) { return false; }, log))
        return false;
    CXLOG(2, "Palm Desktop address book database is loaded successfully. %d record(s) are loaded in total.",
          int(m_pDataMgr->Count()));
    return true;
}

bool PmAddrUtil::Save(const char* path)
{
    if (!path || !*path) {
        SetSaveReason("no file was named to save to");
        return false;
    }
    CXLOG(2, "Save Palm Desktop address book database as file: %s", path);
    if (SaveRefused())
        return false;
    if (!BeginSave(path)) {
        CXLOG(0, "Failed to open Palm Desktop address book database file.");
        return false;
    }
    bool ok = false;
    if (PutStatusRows())
        ok = true;
    else if (!WriteU32(m_VersionTag))
        CXLOG(0, "Failed to write database version information.");
    else if (!WriteCounted(StoredNameFor(path)))
        CXLOG(0, "Failed to write database file name.");
    else if (!WriteCounted(m_HeaderText))
        CXLOG(0, "Failed to write custom labels.");
    else if (!SaveCategories())
        CXLOG(0, "Failed to save categories information.");
    else if (!SaveSchema())
        CXLOG(0, "Failed to save database schema information.");
    else if (!SaveRecords())
        CXLOG(0, "Failed to save address book records information.");
    else
        ok = true;
    if (!ok) {
        AbortSave();
        return false;
    }
    std::string error;
    if (!CommitSave(&error)) {
        CXLOG(0, "Failed to replace Palm Desktop address book file %s: %s", path, error.c_str());
        return false;
    }
    CXLOG(2, "Palm Desktop address book database saved successfully.");
    return true;
}

namespace {
void LogAddrSkip(bool empty)
{
    if (empty)
        CXLOG(2, "Category not found by index, skip this one.");
    else
        CXLOG(2, "Skip the \"unfiled\" category.");
}
}  // namespace

bool PmAddrUtil::SaveCategories()
{
    CXLOG(2, "Start saving Palm Desktop address book category information.");
    const PmCategory* cat = nullptr;
    switch (WriteCategoryBlock(LogAddrSkip, &cat)) {
    case CatItem::None:
        break;
    case CatItem::Index: CXLOG(0, "Failed to write category index."); return false;
    case CatItem::Id: CXLOG(0, "Failed to write category ID."); return false;
    case CatItem::Dirty: CXLOG(0, "Failed to write category dirty field."); return false;
    case CatItem::Name: CXLOG(0, "Failed to write category name (%s)", cat ? cat->GetName() : ""); return false;
    case CatItem::FileName:
        CXLOG(0, "Failed to write category file name (%s)", cat ? cat->GetFileName() : "");
        return false;
    default:
        return false;
    }
    CXLOG(2, "Palm Desktop address book category information is saved successfully.");
    return true;
}

bool PmAddrUtil::SaveSchema()
{
    CXLOG(2, "Start saving Palm Desktop address book database schema.");
    AddrSchemaEvents events(true);
    if (!SaveSchemaBlock(&events))
        return false;
    CXLOG(2, "Palm Desktop address book database schema is saved successfully.");
    return true;
}

bool PmAddrUtil::SaveRecords()
{
    if (!m_pDataMgr)
        return false;
    CXLOG(2, "Start saving Palm Desktop address book records.");
    CXLOG(2, "There are %d address book in total", int(m_pDataMgr->RowCount()));
    struct Log : RowLog {
        void TotalUnwritten() const { CXLOG(0, "Failed to write total fields count."); }
        void RowUnwritten() const { CXLOG(0, "Failed to save address book record."); }
    };
    if (!SaveRows(*m_pDataMgr, [this](const PmAddrRecord& rec) { return SaveRecord(rec); }, Log()))
        return false;
    CXLOG(2, "Palm Desktop address book records are saved successfully.");
    return true;
}

bool PmAddrUtil::SaveRecord(const PmAddrRecord& rec)
{
    const AddrSlot* slots = AddrSlots();
    const char* base = reinterpret_cast<const char*>(&rec);
    FieldWriter out(*this);
    for (uint32_t pos = 0; pos < m_Schema.FieldsPerRow && pos < uint32_t(PmAddrRecord::kFields); ++pos) {
        const AddrSlot& slot = slots[pos];
        bool ok;
        if (slot.text)
            ok = out.Text(*reinterpret_cast<const std::string*>(base + slot.offset));
        else
            ok = out.Int(slot.boolean ? PM_TAG_BOOL : PM_TAG_INT, *reinterpret_cast<const uint32_t*>(base + slot.offset));
        if (!ok) {
            CXLOG(0, "Failed to save record field (%d).", int(pos));
            return false;
        }
    }
    if (!out.Flush()) {
        CXLOG(0, "Failed to save record field (%d).", int(PmAddrRecord::kFields - 1));
        return false;
    }
    return true;
}
