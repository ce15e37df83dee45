#include "palm/PalmClassic.h"

#include "misc/CxDebugUtil.h"
#include "palm/PalmEnv.h"
#include "palm/PalmReason.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <algorithm>
#include <cstring>
std::string PmFieldCut(const std::string& text, size_t capacity)
{
    if (capacity == 0)
        return std::string();
    size_t n = std::min(std::min(text.size(), capacity - 1), kPmMaxFieldText);
    size_t zero = text.find('\0');
    if (zero != std::string::npos && zero < n)
        n = zero;
    return text.substr(0, n);
}

// ---- the shared classic layout ---------------------------------------------

PmClassicUtil::PmClassicUtil(uint32_t versionTag, uint32_t resourceId, std::vector<uint16_t> types,
                             const char* word)
    : m_VersionTag(versionTag), m_Word(word), m_RecordTypes(types)
{
    m_Schema.ResourceID = resourceId;
    m_Schema.FieldsPerRow = uint32_t(types.size());
    m_Schema.FieldsCount = uint16_t(types.size());
    m_Schema.FieldTypes = std::move(types);
}

bool PmClassicUtil::UserFilePath(int32_t userId, const char* folder, const char* file, std::string* path)
{
    char root[260] = {};
    if (!GetUserDataPath(uint32_t(userId), root))
        return false;
    *path = std::string(root) + folder + "\\" + file;
    return true;
}

bool PmClassicUtil::AddCategory(int32_t id, const char* name)
{
    if (!m_pCatMgr) {
        SetCategoryMgr(new PmCategoryMgr());
        PmCategory unfiled(0, 0, "Unfiled");
        if (!m_pCatMgr->Add(&unfiled))
            return false;
    }
    PmCategory cat;
    cat.SetId(id);
    cat.SetName(name);
    return m_pCatMgr->Add(&cat);
}

bool PmClassicUtil::CreateEmptyFile(const char* path)
{
    if (!path || !*path)
        return false;
    if (plat::HostExists(plat::ToHostPath(path)))
        return true;
    plat::ExclusiveFile file;
    return file.Open(path, plat::Access::ReadWrite, true);
}

bool PmClassicUtil::ReadVersionTag()
{
    uint32_t tag = 0;
    return ReadU32(&tag) && tag == m_VersionTag;
}

bool PmClassicUtil::ReadCounted(std::string* text)
{
    return ReadCountedString(text);
}

bool PmClassicUtil::WriteCounted(const std::string& text)
{
    return WriteCountedString(text.data(), text.size());
}

bool PmClassicUtil::ReadWholeText(std::string* text)
{
    uint32_t prefix = 0;
    return ReadTextField(text, &prefix);
}

bool PmClassicUtil::WriteWholeText(const std::string& text)
{
    return WriteTextField(text.data(), text.size(), 1);
}

bool PmClassicUtil::ReadInt(int32_t* value)
{
    return ReadIntField(reinterpret_cast<uint32_t*>(value));
}

namespace {

// The shared category block's report in the classic files' terms.
class ClassicCatEvents : public PmCategoryEvents {
public:
    explicit ClassicCatEvents(void (*onSkip)(bool empty) = nullptr) : m_OnSkip(onSkip) {}
    void Failed(Step step, const PmCategory* category) override
    {
        failed = true;
        this->step = step;
        this->category = category;
    }
    void Skipped(int, bool present) override
    {
        if (m_OnSkip)
            m_OnSkip(!present);
    }

    bool failed = false;
    Step step = Add;
    const PmCategory* category = nullptr;

private:
    void (*m_OnSkip)(bool empty);
};

}  // namespace

PmClassicUtil::CatItem PmClassicUtil::CatItemOf(bool failed, int step)
{
    if (!failed)
        return CatItem::Add;  // refused before any step (no memory for the table)
    switch (step) {
    case PmCategoryEvents::NextId: return CatItem::NextId;
    case PmCategoryEvents::Count: return CatItem::Count;
    case PmCategoryEvents::Index: return CatItem::Index;
    case PmCategoryEvents::Id: return CatItem::Id;
    case PmCategoryEvents::Dirty: return CatItem::Dirty;
    case PmCategoryEvents::Name: return CatItem::Name;
    case PmCategoryEvents::FileName: return CatItem::FileName;
    default: return CatItem::Add;  // an index outside 1-15 or taken, or refused by the table
    }
}

PmClassicUtil::CatItem PmClassicUtil::ReadCategoryBlock()
{
    ClassicCatEvents events;
    return LoadCategoryBlock(&events) ? CatItem::None : CatItemOf(events.failed, events.step);
}

PmClassicUtil::CatItem PmClassicUtil::WriteCategoryBlock(void (*onSkip)(bool empty), const PmCategory** failedCat)
{
    ClassicCatEvents events(onSkip);
    bool ok = SaveCategoryBlock(&events);
    *failedCat = ok ? nullptr : events.category;
    return ok ? CatItem::None : CatItemOf(events.failed, events.step);
}

bool PmClassicUtil::LoadClassicSchema(uint32_t fields, PmSchemaEvents* events)
{
    PmSchema before = m_Schema;
    if (!LoadSchemaBlock(events)) {
        m_Schema = std::move(before);
        return false;
    }
    std::string refused = CheckSchema(m_Schema, fields);
    if (refused.empty())
        return true;
    CXLOG(0, "%s", refused.c_str());
    m_Schema = std::move(before);
    return false;
}

std::string PmClassicUtil::CheckSchema(const PmSchema& s, uint32_t fields) const
{
    // A row of 0 fields gives no record count; a row wider than the record
    // holds fields that could be neither read nor written back.
    char text[160];
    if (s.FieldsPerRow == 0 || s.FieldsPerRow > fields) {
        std::snprintf(text, sizeof(text), "Unsupported fields per row: %u (1 to %u expected).", s.FieldsPerRow, fields);
        return text;
    }
    // A row that ends before Status holds no status: every record would
    // look live, and a deletion set in memory would never be written.
    if (s.FieldsPerRow <= kStatusField) {
        std::snprintf(text, sizeof(text),
                      "Unsupported fields per row: %u (a %s row needs at least %u fields to hold its status).",
                      s.FieldsPerRow, m_Word, kStatusField + 1);
        return text;
    }
    if (s.FieldsCount > fields) {
        std::snprintf(text, sizeof(text), "Unsupported field count: %u (at most %u expected).", unsigned(s.FieldsCount),
                      fields);
        return text;
    }
    // The rows are read and written over Fields Per Row whatever the types
    // list, so a count other than Fields Per Row is kept as it is; none at
    // all describes no record.
    if (s.FieldsCount == 0) {
        std::snprintf(text, sizeof(text), "Unsupported field count: 0 (a %s schema lists 1 to %u field types).", m_Word,
                      fields);
        return text;
    }
    return std::string();
}

bool PmClassicUtil::RowsOf(uint32_t totalFields, uint32_t* rows) const
{
    *rows = totalFields / m_Schema.FieldsPerRow;
    if (totalFields % m_Schema.FieldsPerRow != 0) {
        CXLOG(0, "Total fields %u is not a whole number of rows of %u fields.", totalFields, m_Schema.FieldsPerRow);
        return false;
    }
    // Refused before any row is made for it.
    uint64_t least = MinRowBytes();
    if (uint64_t(*rows) * least > InputLeft()) {
        CXLOG(0, "Total fields %u announce %u %s rows of at least %u bytes each, more than the %u bytes left in the "
                 "file.",
              totalFields, *rows, m_Word, unsigned(least), unsigned(InputLeft()));
        return false;
    }
    return true;
}

uint64_t PmClassicUtil::MinRowBytes() const
{
    // A text field is its tag, prefix word and length byte; every other
    // field (integers, the repeat's tag, count and class tag) 8 bytes.
    uint64_t least = 0;
    for (uint32_t pos = 0; pos < m_Schema.FieldsPerRow && pos < m_RecordTypes.size(); ++pos)
        least += m_RecordTypes[pos] == PM_TAG_TEXT ? 9 : 8;
    return least;
}

void PmClassicUtil::EndLoad(bool ok, const char* path)
{
    m_LoadFailed = !ok;
    if (ok) {
        m_LoadedPath = path;
        return;
    }
    // Nothing of a file that could not be read whole is kept, so that no
    // save can write back a part of it.
    DropRows();
    DropImage();
}

bool PmClassicUtil::SaveRefused()
{
    if (!m_LoadFailed)
        return false;
    CXLOG(0, "The last load of Palm Desktop %s failed; nothing is saved.", m_Word);
    SetSaveReason("the file could not be read whole when it was loaded");
    return true;
}

bool PmClassicUtil::ReadNameAndHeader()
{
    std::string fileName;
    return ReadCounted(&fileName) && ReadCounted(&m_HeaderText);
}

bool PmClassicUtil::ReadQuietCategories()
{
    return ReadCategoryBlock() == CatItem::None;
}

bool PmClassicUtil::ReadQuietSchema(uint32_t fields)
{
    PmSchemaEvents quiet;
    return LoadClassicSchema(fields, &quiet);
}

bool PmClassicUtil::WriteNameAndHeader(const char* path)
{
    return WriteU32(m_VersionTag) && WriteCounted(StoredNameFor(path)) && WriteCounted(m_HeaderText);
}

bool PmClassicUtil::WriteQuietCategories()
{
    const PmCategory* cat = nullptr;
    return WriteCategoryBlock(nullptr, &cat) == CatItem::None;
}

bool PmClassicUtil::WriteQuietSchema()
{
    PmSchemaEvents quiet;
    return SaveSchemaBlock(&quiet);
}

bool PmClassicUtil::BeginSave(const std::string& path)
{
    SetSaveReason(std::string());
    if (!Open(path.c_str(), ModeWrite)) {
        SetSaveReason(PmReasonOfErrno(OpenError(), "the file could not be opened"));
        return false;
    }
    BeginFieldMarks();
    return true;
}

bool PmClassicUtil::CommitSave(std::string* error)
{
    bool ok = Commit(error);
    Close();
    return ok;
}

void PmClassicUtil::AbortSave()
{
    Close();
    SetSaveReason("the new content of the file could not be made");
}
