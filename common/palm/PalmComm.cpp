#include "palm/PalmComm.h"

#include "misc/CxDebugUtil.h"
#include "palm/PalmReason.h"

#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <ctime>
#include <new>

// ---------------------------------------------------------------------------
// PmTime

namespace {

bool IsIntTag(uint32_t tag)
{
    return tag == PM_TAG_INT || tag == PM_TAG_DATE || tag == PM_TAG_BOOL;
}

uint32_t GetLE32(const char* p)
{
    const auto* b = reinterpret_cast<const uint8_t*>(p);
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

/// A counted string at `p` (before `end`): where its bytes start and how
/// many there are; false when it does not fit.
bool CountedAt(const char* p, const char* end, const char** bytes, size_t* length)
{
    if (p >= end)
        return false;
    size_t n = uint8_t(*p);
    const char* q = p + 1;
    if (n == 0xFF) {
        if (end - q < 2)
            return false;
        n = size_t(uint8_t(q[0])) | size_t(uint8_t(q[1])) << 8;
        q += 2;
    }
    if (size_t(end - q) < n)
        return false;
    *bytes = q;
    *length = n;
    return true;
}

void PutLE32(char* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xFF);
}

int32_t LocalToSeconds(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;  // let the library decide whether daylight saving applies
    std::time_t v = std::mktime(&t);
    if (v == static_cast<std::time_t>(-1) || v < INT32_MIN || v > INT32_MAX)
        return -1;
    return static_cast<int32_t>(v);
}

}  // namespace

void PmTime::FromParts(int year, int month, int day, int hour, int minute, int second)
{
    m_Value = LocalToSeconds(year, month, day, hour, minute, second);
}

void PmTime::FromSeconds(int32_t seconds)
{
    m_Value = seconds != 0 ? seconds : static_cast<int32_t>(std::time(nullptr));
}

bool PmTime::Breakdown(PmTimeParts* parts)
{
    m_Last = PmTimeParts{};
    bool ok = false;
    if (m_Value >= 0) {
        std::time_t v = m_Value;
        std::tm t{};
        if (localtime_r(&v, &t) != nullptr) {
            m_Last.year = t.tm_year + 1900;
            m_Last.month = t.tm_mon + 1;
            m_Last.day = t.tm_mday;
            m_Last.hour = t.tm_hour;
            m_Last.minute = t.tm_min;
            m_Last.second = t.tm_sec;
            ok = true;
        }
    }
    if (parts)
        *parts = m_Last;
    return ok;
}

int PmTime::Year()
{
    Breakdown(nullptr);
    return m_Last.year;
}

int PmTime::Month()
{
    Breakdown(nullptr);
    return m_Last.month;
}

int PmTime::Day()
{
    Breakdown(nullptr);
    return m_Last.day;
}

bool PmTime::FormatInto(char* buffer, size_t capacity, bool date)
{
    if (!buffer || capacity == 0)
        return false;
    Breakdown(nullptr);
    buffer[0] = 0;
    char work[256];
    if (date)
        std::snprintf(work, sizeof work, "%02d/%02d/%04d", m_Last.month, m_Last.day, m_Last.year);
    else
        std::snprintf(work, sizeof work, "%02d:%02d:%02d", m_Last.hour, m_Last.minute, m_Last.second);
    size_t len = std::strlen(work);
    if (len >= capacity)
        return false;
    std::memcpy(buffer, work, len + 1);
    return true;
}

bool PmTime::DateText(char* buffer, size_t capacity)
{
    return FormatInto(buffer, capacity, true);
}

bool PmTime::TimeText(char* buffer, size_t capacity)
{
    return FormatInto(buffer, capacity, false);
}

bool PmTime::FromCalendarTime(const CxSystemTime* time)
{
    if (!time)
        return false;
    m_Value = LocalToSeconds(time->year, time->month, time->day, time->hour, time->minute, time->second);
    return true;
}

bool PmTime::ToCalendarTime(CxSystemTime* time)
{
    if (!time)
        return false;
    std::memset(time, 0, sizeof *time);
    PmTimeParts p;
    if (!Breakdown(&p))
        return false;
    time->year = static_cast<uint16_t>(p.year);
    time->month = static_cast<uint16_t>(p.month);
    time->day = static_cast<uint16_t>(p.day);
    time->hour = static_cast<uint16_t>(p.hour);
    time->minute = static_cast<uint16_t>(p.minute);
    time->second = static_cast<uint16_t>(p.second);
    return true;
}

// ---------------------------------------------------------------------------
// PmCategory

namespace {

void CopyCut(char* dst, size_t capacity, const char* src)
{
    size_t n = src ? strnlen(src, capacity - 1) : 0;
    if (n)
        std::memcpy(dst, src, n);
    dst[n] = 0;
}

bool CopyOut(const char* text, char* buffer, uint32_t* capacity, bool terminate)
{
    if (!buffer || !capacity)
        return false;
    std::memset(buffer, 0, *capacity);
    size_t len = std::strlen(text);
    if (len == 0 || len > *capacity)
        return false;
    std::memcpy(buffer, text, len);
    if (terminate && len < *capacity)
        buffer[len] = 0;
    *capacity = static_cast<uint32_t>(len);
    return true;
}

}  // namespace

PmCategory::PmCategory(int32_t index, int32_t id, const char* name) : m_Index(index), m_Id(id)
{
    SetName(name);
}

bool PmCategory::CopyName(char* buffer, uint32_t* capacity) const
{
    return CopyOut(m_szName, buffer, capacity, false);
}

bool PmCategory::CopyFileName(char* buffer, uint32_t* capacity) const
{
    return CopyOut(m_szFileName, buffer, capacity, true);
}

void PmCategory::SetName(const char* name)
{
    CopyCut(m_szName, sizeof m_szName, name);
}

void PmCategory::SetFileName(const char* fileName)
{
    CopyCut(m_szFileName, sizeof m_szFileName, fileName);
}

void PmCategory::SetDirty(bool dirty)
{
    if (dirty)
        m_Flags |= kDirty;
    else
        m_Flags &= ~kDirty;
}

bool PmCategory::Equals(const PmCategory& other) const
{
    return m_Index == other.m_Index && m_Id == other.m_Id && std::strcmp(m_szName, other.m_szName) == 0;
}

// ---------------------------------------------------------------------------
// PmCategoryMgr

PmCategoryMgr::~PmCategoryMgr()
{
    for (PmCategory*& slot : m_Slots) {
        delete slot;
        slot = nullptr;
    }
}

PmCategory* PmCategoryMgr::FindById(int32_t id)
{
    for (PmCategory* c : m_Slots)
        if (c && c->GetId() == id)
            return c;
    return nullptr;
}

PmCategory* PmCategoryMgr::GetByIndex(uint32_t slot)
{
    return slot < kSlots ? m_Slots[slot] : nullptr;
}

PmCategory* PmCategoryMgr::FindByName(const char* name)
{
    if (!name || !*name)
        return nullptr;
    for (PmCategory* c : m_Slots)
        if (c && strcasecmp(c->GetName(), name) == 0)
            return c;
    return nullptr;
}

PmCategory* PmCategoryMgr::First()
{
    m_Cursor = 0;
    return Next();
}

PmCategory* PmCategoryMgr::Next()
{
    while (m_Cursor < kSlots) {
        PmCategory* c = m_Slots[m_Cursor++];
        if (c)
            return c;
    }
    return nullptr;
}

std::vector<int32_t> PmCategoryMgr::VisitOrder(const std::vector<int32_t>& written) const
{
    std::vector<int32_t> visit(kSlots);
    for (int32_t slot = 0; slot < kSlots; ++slot)
        visit[size_t(slot)] = slot;
    std::vector<int32_t> sorted = m_Order;
    std::sort(sorted.begin(), sorted.end());
    if (m_Order.empty() || sorted != written)
        return visit;
    size_t next = 0;
    for (int32_t& slot : visit)
        if (std::binary_search(written.begin(), written.end(), slot))
            slot = m_Order[next++];
    return visit;
}

int32_t PmCategoryMgr::NewId() const
{
    int32_t largest = -1;
    int slot = 0;
    for (; slot < kSlots && m_Slots[slot]; ++slot)
        if (m_Slots[slot]->GetId() > largest)
            largest = m_Slots[slot]->GetId();
    // No id is larger than the largest a file can store.
    if (slot == 0 || slot == kSlots || largest == INT32_MAX)
        return -1;
    return largest + 1;
}

void PmCategoryMgr::SafeFileName(const char* name, char* out)
{
    static const char kUnsafe[] = "\"*+,./:;<=>?[\\]^|";
    size_t n = strnlen(name, 255);
    for (size_t i = 0; i < n; ++i)
        out[i] = std::strchr(kUnsafe, name[i]) ? '_' : name[i];
    out[n] = 0;
}

bool PmCategoryMgr::Add(const PmCategory* category)
{
    if (!category || m_Count >= kSlots)
        return false;
    PmCategory copy(*category);
    if (copy.GetIndex() == -1) {
        int slot = 1;
        while (slot < kSlots && m_Slots[slot])
            ++slot;
        if (slot == kSlots)
            return false;
        copy.SetIndex(slot);
        copy.SetDirty(true);
    }
    // A slot outside the table or one already taken would lose a category.
    if (copy.GetIndex() < 0 || copy.GetIndex() >= kSlots || m_Slots[copy.GetIndex()])
        return false;
    if (copy.GetId() == -1) {
        // The new id counts only the slots before the first empty one, so a
        // later slot may hold it already: two categories of one id would be
        // saved into a file that no load takes.
        int32_t id = NewId();
        if (id == -1 || FindById(id))
            return false;
        copy.SetId(id);
        copy.SetDirty(true);
    } else if (FindById(copy.GetId())) {
        return false;
    }
    if (copy.GetName()[0]) {
        char safe[256];
        SafeFileName(copy.GetName(), safe);
        copy.SetFileName(safe);
    }
    PmCategory* stored = new (std::nothrow) PmCategory(copy);
    if (!stored)
        return false;
    m_Slots[copy.GetIndex()] = stored;
    ++m_Count;
    m_Modified = true;
    return true;
}

// ---------------------------------------------------------------------------
// PmDBUtil

PmDBUtil::~PmDBUtil()
{
    Close();
    delete m_pCatMgr;
}

void PmDBUtil::SetCategoryMgr(PmCategoryMgr* mgr)
{
    // The stored texts belong to the table they were read with.
    if (mgr != m_pCatMgr) {
        delete m_pCatMgr;
        m_StoredCats.clear();
    }
    m_pCatMgr = mgr;
}

bool PmDBUtil::Open(const char* fileName, int mode)
{
    m_OpenError = EINVAL;
    if (!fileName || !*fileName || std::strlen(fileName) > 255)
        return false;
    plat::Access access;
    bool create = false;
    switch (mode) {
    case ModeRead: access = plat::Access::Read; break;
    // A save reads the file once more, under this open, before it replaces it.
    case ModeWrite: access = plat::Access::ReadWrite; break;
    case ModeReadWrite: access = plat::Access::ReadWrite; break;
    case ModeCreate: access = plat::Access::ReadWrite; create = true; break;
    default: return false;
    }
    Close();
    if (!m_File.Open(fileName, access, create)) {
        m_OpenError = errno;
        return false;
    }
    if (mode == ModeRead || mode == ModeReadWrite) {
        // The stamp is taken after the read: a change made while it ran
        // shows in the stamp or in the bytes, and either refuses the save.
        plat::FileStamp stamp;
        errno = 0;
        if (!m_File.ReadAll(&m_In) || !m_File.Stamp(&stamp)) {
            m_OpenError = errno ? errno : EIO;
            Close();
            return false;
        }
        m_Read.valid = true;
        m_Read.host = m_File.HostPath();
        m_Read.stamp = stamp;
        m_Read.digest = plat::ContentDigest::Of(m_In.data(), m_In.size());
    }
    m_OpenError = 0;
    m_Mode = mode;
    // Save() opens the held name itself: the copy may be onto itself.
    std::memmove(m_szFileName, fileName, std::strlen(fileName) + 1);
    return true;
}

void PmDBUtil::Close()
{
    m_File.Close();
    m_Mode = -1;
    if (m_KeepInput) {
        m_Image.swap(m_In);
        m_KeepInput = false;
    }
    m_MarkFields = false;
    m_Afresh = false;
    std::vector<FieldMark>().swap(m_Marks);
    std::string().swap(m_In);
    std::string().swap(m_Out);
    m_InPos = 0;
}

void PmDBUtil::BeginImage()
{
    DropImage();
    m_KeepInput = true;
    m_ImageUsable = true;
}

void PmDBUtil::NoteImageRow(const void* rec, size_t start, uint32_t statusField, uint32_t status)
{
    if (!m_ImageUsable)
        return;
    // The fields before Status are stepped over as stored: integers are 8
    // bytes, texts their tag, prefix word and counted string. Any other field
    // before it leaves the status word unknown.
    size_t statusAt = 0;
    const char* p = m_In.data() + start;
    const char* end = m_In.data() + std::min(m_InPos, m_In.size());
    for (uint32_t field = 0; end - p >= 8; ++field) {
        uint32_t tag = GetLE32(p);
        if (field == statusField) {
            if (IsIntTag(tag) && GetLE32(p + 4) == status)
                statusAt = size_t(p + 4 - m_In.data());
            break;
        }
        const char* bytes;
        size_t length;
        if (IsIntTag(tag))
            p += 8;
        else if (tag == PM_TAG_TEXT && CountedAt(p + 8, end, &bytes, &length))
            p = bytes + length;
        else
            break;
    }
    try {
        m_ImageSlots.push_back(ImageSlot{rec, start, statusAt});
    } catch (...) {
        m_ImageUsable = false;
    }
}

void PmDBUtil::DropImage()
{
    std::string().swap(m_Image);
    std::vector<ImageSlot>().swap(m_ImageSlots);
    m_ImageRowsEnd = 0;
    m_KeepInput = false;
    m_ImageUsable = false;
    m_HeaderEdited = false;
    m_OnlyStatus = false;
}

void PmDBUtil::BeginFieldMarks()
{
    m_Marks.clear();
    m_MarkFields = true;
}

bool PmDBUtil::FinishRows(const std::vector<ImageRow>& rows, const std::vector<uint16_t>& types)
{
    if (PutImage(rows))
        return true;
    DressRows(rows, types);
    m_Marks.clear();
    return false;
}

void PmDBUtil::DressRows(const std::vector<ImageRow>& rows, const std::vector<uint16_t>& types)
{
    size_t k = 0, turn = 0;
    for (const ImageRow& row : rows) {
        while (k < m_Marks.size() && m_Marks[k].at < row.begin)
            ++k;
        for (size_t field = 0; k < m_Marks.size() && m_Marks[k].at < row.end; ++k, ++field) {
            size_t at = m_Marks[k].at;
            size_t end = k + 1 < m_Marks.size() && m_Marks[k + 1].at < row.end ? m_Marks[k + 1].at : row.end;
            if (m_Marks[k].kind == FieldKind::Int && end - at == 8 && field < types.size() && IsIntTag(types[field]))
                PutLE32(&m_Out[at], types[field]);
            else if (m_Marks[k].kind == FieldKind::Text && end - at >= 9 && !m_NewPrefixes.empty())
                PutLE32(&m_Out[at + 4], m_NewPrefixes[turn++ % m_NewPrefixes.size()]);
        }
    }
}


bool PmDBUtil::MergeRow(size_t sBegin, size_t sEnd, size_t* mark, size_t rBegin, size_t rEnd, std::string* out) const
{
    const char* S = m_Out.data();
    const char* R = m_Image.data();
    size_t k = *mark;
    while (k < m_Marks.size() && m_Marks[k].at < sBegin)
        ++k;
    size_t first = k;
    while (k < m_Marks.size() && m_Marks[k].at < sEnd)
        ++k;
    *mark = k;
    // Every byte of the row belongs to a marked field.
    if (first == k || m_Marks[first].at != sBegin)
        return false;

    // Most rows differ from their bytes read in integer values at most (a
    // deletion's status): the row read is copied whole and those put in.
    size_t base = out->size();
    out->append(R + rBegin, rEnd - rBegin);
    char* O = &(*out)[base];  // O + (r - rBegin): offset r of the row read, in the copy
    size_t r = rBegin;
    size_t f = first;
    for (; f < k; ++f) {
        size_t fs = m_Marks[f].at;
        size_t fe = f + 1 < k ? m_Marks[f + 1].at : sEnd;
        size_t flen = fe - fs;
        if (m_Marks[f].kind == FieldKind::Int && flen == 8 && rEnd - r >= 8 && IsIntTag(GetLE32(R + r))) {
            std::memcpy(O + (r - rBegin) + 4, S + fs + 4, 4);
            r += 8;
            continue;
        }
        if (m_Marks[f].kind == FieldKind::Text) {
            const char *sText, *rText;
            size_t sLen, rLen;
            if (flen >= 9 && rEnd - r >= 9 && GetLE32(R + r) == PM_TAG_TEXT &&
                CountedAt(S + fs + 8, S + fe, &sText, &sLen) && sText + sLen == S + fe &&
                CountedAt(R + r + 8, R + rEnd, &rText, &rLen) && sLen == rLen &&
                std::memcmp(sText, rText, sLen) == 0) {
                r = size_t(rText + rLen - R);
                continue;
            }
            break;
        }
        if (m_Marks[f].kind == FieldKind::Other && rEnd - r >= flen && std::memcmp(S + fs, R + r, flen) == 0) {
            r += flen;
            continue;
        }
        break;
    }
    if (f == k && r == rEnd)
        return true;
    out->resize(base);

    // Otherwise the row is built field by field.
    r = rBegin;
    for (size_t f = first; f < k; ++f) {
        size_t fs = m_Marks[f].at;
        size_t fe = f + 1 < k ? m_Marks[f + 1].at : sEnd;
        size_t flen = fe - fs;
        switch (m_Marks[f].kind) {
        case FieldKind::Int:
            // The tag as read, the value as held now.
            if (flen == 8 && rEnd - r >= 8 && IsIntTag(GetLE32(R + r))) {
                out->append(R + r, 4);
                out->append(S + fs + 4, 4);
                r += 8;
                continue;
            }
            break;
        case FieldKind::Text: {
            const char *sText, *rText;
            size_t sLen, rLen;
            if (flen >= 9 && rEnd - r >= 9 && GetLE32(R + r) == PM_TAG_TEXT &&
                CountedAt(S + fs + 8, S + fe, &sText, &sLen) && sText + sLen == S + fe &&
                CountedAt(R + r + 8, R + rEnd, &rText, &rLen)) {
                // The tag and prefix word as read; the stored form of the
                // text as read while the text is the same.
                size_t rFieldEnd = size_t(rText + rLen - R);
                out->append(R + r, 8);
                if (sLen == rLen && std::memcmp(sText, rText, sLen) == 0)
                    out->append(R + r + 8, rFieldEnd - r - 8);
                else
                    out->append(S + fs + 8, flen - 8);
                r = rFieldEnd;
                continue;
            }
            break;
        }
        case FieldKind::Other:
            break;
        }
        // Any other field is kept only as it was read.
        if (rEnd - r >= flen && std::memcmp(S + fs, R + r, flen) == 0) {
            out->append(S + fs, flen);
            r += flen;
            continue;
        }
        return false;
    }
    return r == rEnd;
}

bool PmDBUtil::PutImage(const std::vector<ImageRow>& rows)
{
    bool marked = m_MarkFields;
    m_MarkFields = false;
    if (!marked || m_Afresh || !m_ImageUsable || m_HeaderEdited || (m_pCatMgr && m_pCatMgr->IsModified()) ||
        rows.size() != m_ImageSlots.size() || m_ImageRowsEnd > m_Image.size())
        return false;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].rec != m_ImageSlots[i].rec)
            return false;
    size_t rowsAt = rows.empty() ? m_ImageRowsEnd : m_ImageSlots[0].start;
    std::string out;
    try {
        out.reserve(m_Image.size() + 64);
        out.append(m_Image, 0, rowsAt);
        size_t mark = 0;
        for (size_t i = 0; i < rows.size(); ++i) {
            size_t rBegin = m_ImageSlots[i].start;
            size_t rEnd = i + 1 < rows.size() ? m_ImageSlots[i + 1].start : m_ImageRowsEnd;
            size_t before = out.size();
            if (!MergeRow(rows[i].begin, rows[i].end, &mark, rBegin, rEnd, &out)) {
                out.resize(before);
                out.append(m_Out, rows[i].begin, rows[i].end - rows[i].begin);
            }
        }
        out.append(m_Image, m_ImageRowsEnd, std::string::npos);
    } catch (...) {
        // Without the memory for it the save's own content is written.
        return false;
    }
    m_Out.swap(out);
    m_Marks.clear();
    return true;
}

bool PmDBUtil::PutStatusImage(const std::vector<StatusRow>& rows)
{
    if (!m_OnlyStatus || !m_MarkFields || m_Afresh || !m_ImageUsable || m_HeaderEdited ||
        (m_pCatMgr && m_pCatMgr->IsModified()) || rows.size() != m_ImageSlots.size() ||
        m_ImageRowsEnd > m_Image.size() || !m_Out.empty())
        return false;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ImageSlot& slot = m_ImageSlots[i];
        if (rows[i].rec != slot.rec || slot.statusAt == 0 || slot.statusAt + 4 > m_ImageRowsEnd)
            return false;
    }
    try {
        m_Out.assign(m_Image);
    } catch (...) {
        // Without the memory for the copy the rows are written as usual.
        std::string().swap(m_Out);
        return false;
    }
    for (size_t i = 0; i < rows.size(); ++i)
        PutLE32(&m_Out[m_ImageSlots[i].statusAt], rows[i].status);
    m_MarkFields = false;
    m_Marks.clear();
    return true;
}

uint32_t PmDBUtil::Position() const
{
    if (!m_File.IsOpen())
        return 0;
    return static_cast<uint32_t>(m_Out.empty() ? m_InPos : m_Out.size());
}

std::string PmDBUtil::InputBytes(uint32_t from, uint32_t to) const
{
    if (from > to || to > m_In.size())
        return std::string();
    return m_In.substr(from, to - from);
}

bool PmDBUtil::StillAsRead(std::string* error)
{
    if (m_Mode != ModeWrite || !m_Read.valid || m_Read.host != m_File.HostPath())
        return true;
    plat::FileStamp now;
    if (!m_File.Stamp(&now)) {
        const int err = errno;
        *error = "cannot check " + m_Read.host + " before writing it: " + std::strerror(err);
        m_SaveReason = PmReasonOfErrno(err, "the file could not be checked before writing");
        return false;
    }
    // Size and time first: a file that differs in either is refused without
    // being read again.
    bool same = now.size == m_Read.stamp.size && now.modifiedNs == m_Read.stamp.modifiedNs;
    if (same) {
        uint64_t digest = 0, size = 0;
        if (!m_File.DigestAll(&digest, &size)) {
            const int err = errno;
            *error = "cannot read " + m_Read.host + " to check it before writing: " + std::strerror(err);
            m_SaveReason = PmReasonOfErrno(err, "the file could not be checked before writing");
            return false;
        }
        same = size == m_Read.stamp.size && digest == m_Read.digest;
    }
    if (!same) {
        *error = m_Read.host +
                 " is no longer what was read from it (its size, modification time or bytes changed since); "
                 "nothing was written";
        m_SaveReason = kPmReasonChanged;
        return false;
    }
    return true;
}

bool PmDBUtil::Commit(std::string* error)
{
    std::string scratch;
    if (!error)
        error = &scratch;
    m_SaveReason.clear();
    if (!m_File.IsOpen() || m_Mode == ModeRead) {
        *error = "no file is open for writing";
        m_SaveReason = "the file was not opened for writing";
        return false;
    }
    if (!StillAsRead(error))
        return false;
    int err = 0;
    if (!plat::ReplaceFileContents(m_szFileName, m_Out.data(), m_Out.size(), error, &err)) {
        m_SaveReason = PmReasonOfErrno(err, "the file could not be replaced");
        return false;
    }
    if (m_Read.valid && m_Read.host == m_File.HostPath()) {
        // The file holds this content now: a later save must find it. When
        // its stamp cannot be had, no time matches and a later save is
        // refused rather than let through unchecked.
        plat::FileStamp now;
        if (!plat::StampFile(m_szFileName, &now))
            now.modifiedNs = -1;
        m_Read.stamp.size = m_Out.size();
        m_Read.stamp.modifiedNs = now.modifiedNs;
        m_Read.digest = plat::ContentDigest::Of(m_Out.data(), m_Out.size());
    }
    return true;
}

bool PmDBUtil::ReadBytes(void* buffer, uint32_t n)
{
    if (!buffer || n == 0 || !m_File.IsOpen() || !Has(n))
        return false;
    std::memcpy(buffer, m_In.data() + m_InPos, n);
    m_InPos += n;
    return true;
}

bool PmDBUtil::ReadSome(void* buffer, uint32_t* count)
{
    if (!buffer || !count || *count == 0 || !m_File.IsOpen())
        return false;
    size_t n = std::min<size_t>(*count, m_In.size() - m_InPos);
    if (n)
        std::memcpy(buffer, m_In.data() + m_InPos, n);
    m_InPos += n;
    *count = static_cast<uint32_t>(n);
    return true;
}

bool PmDBUtil::ReadU16(uint16_t* v)
{
    uint8_t b[2];
    if (!v || !ReadBytes(b, 2))
        return false;
    *v = static_cast<uint16_t>(b[0] | b[1] << 8);
    return true;
}

bool PmDBUtil::ReadU32(uint32_t* v)
{
    uint8_t b[4];
    if (!v || !ReadBytes(b, 4))
        return false;
    *v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
}

bool PmDBUtil::ReadU64(uint64_t* v)
{
    uint8_t b[8];
    if (!v || !ReadBytes(b, 8))
        return false;
    uint64_t r = 0;
    for (int i = 7; i >= 0; --i)
        r = r << 8 | b[i];
    *v = r;
    return true;
}

bool PmDBUtil::WriteBytes(const void* buffer, uint32_t n)
{
    if (!buffer || n == 0 || !m_File.IsOpen() || m_Mode == ModeRead)
        return false;
    try {
        m_Out.append(static_cast<const char*>(buffer), n);
    } catch (...) {
        return false;
    }
    return true;
}

bool PmDBUtil::WriteU16(uint16_t v)
{
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    return WriteBytes(b, 2);
}

bool PmDBUtil::WriteU32(uint32_t v)
{
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    return WriteBytes(b, 4);
}

bool PmDBUtil::WriteU64(uint64_t v)
{
    uint8_t b[8];
    for (int i = 0; i < 8; ++i)
        b[i] = uint8_t(v >> (8 * i));
    return WriteBytes(b, 8);
}

namespace {

// The length of a counted string: one byte, or 0xFF and a 16-bit word.
bool ReadLength(PmDBUtil& u, uint32_t* length)
{
    uint8_t b;
    if (!u.ReadU8(&b))
        return false;
    if (b != 0xFF) {
        *length = b;
        return true;
    }
    uint16_t w;
    if (!u.ReadU16(&w))
        return false;
    *length = w;
    return true;
}

}  // namespace

bool PmDBUtil::ReadCountedString(char* buffer, uint32_t* capacity)
{
    if (!buffer || !capacity || *capacity == 0)
        return false;
    buffer[0] = 0;
    uint32_t length;
    if (!ReadLength(*this, &length))
        return false;
    if (*capacity < length) {
        *capacity = length;
        return false;
    }
    if (length && !ReadBytes(buffer, length))
        return false;
    buffer[length] = 0;
    return true;
}

bool PmDBUtil::ReadCountedString(std::string* text)
{
    uint32_t length;
    if (!text || !ReadLength(*this, &length))
        return false;
    if (!Has(length))
        return false;
    text->assign(m_In.data() + m_InPos, length);
    m_InPos += length;
    return true;
}

bool PmDBUtil::WriteCountedString(const char* text)
{
    return WriteCountedString(text, text ? std::strlen(text) : 0);
}

bool PmDBUtil::WriteCountedString(const char* text, size_t length)
{
    if (!text || length == 0)
        return WriteU8(0);
    if (length > 0xFFFF)
        return false;
    if (length < 255) {
        if (!WriteU8(static_cast<uint8_t>(length)))
            return false;
    } else if (!WriteU8(0xFF) || !WriteU16(static_cast<uint16_t>(length))) {
        return false;
    }
    return WriteBytes(text, static_cast<uint32_t>(length));
}

bool PmDBUtil::ReadIntField(uint32_t* value)
{
    uint32_t tag;
    if (!value || !ReadU32(&tag))
        return false;
    if (tag != PM_TAG_INT && tag != PM_TAG_DATE && tag != PM_TAG_BOOL)
        return false;
    return ReadU32(value);
}

bool PmDBUtil::ReadTextField(std::string* text, uint32_t* prefix)
{
    uint32_t tag, word;
    if (!text || !ReadU32(&tag) || tag != PM_TAG_TEXT || !ReadU32(&word))
        return false;
    if (prefix)
        *prefix = word;
    return ReadCountedString(text);
}

bool PmDBUtil::ReadTextSpan(const char** text, uint32_t* length, uint32_t* prefix)
{
    uint32_t tag, word;
    if (!text || !length || !ReadU32(&tag) || tag != PM_TAG_TEXT || !ReadU32(&word))
        return false;
    if (prefix)
        *prefix = word;
    if (!ReadLength(*this, length) || !Has(*length))
        return false;
    *text = m_In.data() + m_InPos;
    m_InPos += *length;
    return true;
}

bool PmDBUtil::ReadTextField(char* buffer, uint32_t* prefix)
{
    if (!buffer)
        return false;
    uint32_t tag, word;
    if (!ReadU32(&tag) || tag != PM_TAG_TEXT)
        return false;
    buffer[0] = 0;
    if (!ReadU32(&word))
        return false;
    if (prefix)
        *prefix = word;
    uint32_t length;
    if (!ReadLength(*this, &length) || !Has(length))
        return false;
    const char* src = m_In.data() + m_InPos;
    size_t n = length;
    if (n >= kMaxTextField)
        n = strnlen(src, kMaxTextField);
    std::memcpy(buffer, src, n);
    buffer[n] = 0;
    m_InPos += length;
    return true;
}

bool PmDBUtil::ReadBlockField(PmBlock* block)
{
    if (!block || !ReadU32(&block->Tag) || !ReadU32(&block->Form))
        return false;
    block->Word1 = block->Word2 = block->Length = 0;
    block->Data.clear();
    if (block->Form == 0)
        return true;
    if (block->Form >= 4) {
        block->Length = block->Form;
    } else if (!ReadU32(&block->Word1) || !ReadU32(&block->Word2) || !ReadU32(&block->Length)) {
        return false;
    }
    if (block->Length == 0)
        return true;
    if (!Has(block->Length))
        return false;
    const uint8_t* src = reinterpret_cast<const uint8_t*>(m_In.data() + m_InPos);
    block->Data.assign(src, src + block->Length);
    m_InPos += block->Length;
    return true;
}

bool PmDBUtil::ReadWideField(uint64_t* value)
{
    uint32_t tag;
    return value && ReadU32(&tag) && ReadU64(value);
}

bool PmDBUtil::WriteIntField(uint32_t value)
{
    MarkField(FieldKind::Int);
    return WriteU32(PM_TAG_INT) && WriteU32(value);
}

bool PmDBUtil::WriteDateField(uint32_t value)
{
    MarkField(FieldKind::Int);
    return WriteU32(PM_TAG_DATE) && WriteU32(value);
}

bool PmDBUtil::WriteBoolField(uint32_t value)
{
    MarkField(FieldKind::Int);
    return WriteU32(PM_TAG_BOOL) && WriteU32(value);
}

bool PmDBUtil::WriteTextField(const char* text, uint32_t prefix)
{
    return WriteTextField(text, text ? std::strlen(text) : 0, prefix);
}

bool PmDBUtil::WriteTextField(const char* text, size_t length, uint32_t prefix)
{
    MarkField(FieldKind::Text);
    return WriteU32(PM_TAG_TEXT) && WriteU32(prefix) && WriteCountedString(text, length);
}

bool PmDBUtil::WriteBlockField(const PmBlock* block)
{
    MarkField(FieldKind::Other);
    if (!block || !WriteU32(block->Tag) || !WriteU32(block->Form))
        return false;
    if (block->Form == 0)
        return true;
    uint32_t length = block->Form >= 4 ? block->Form : block->Length;
    if (block->Form < 4 && (!WriteU32(block->Word1) || !WriteU32(block->Word2) || !WriteU32(block->Length)))
        return false;
    if (length == 0)
        return true;
    if (block->Data.size() < length)
        return false;
    return WriteBytes(block->Data.data(), length);
}

bool PmDBUtil::WriteWideField(uint64_t value)
{
    MarkField(FieldKind::Other);
    return WriteU32(PM_TAG_WIDE) && WriteU64(value);
}

bool PmDBUtil::CategoryText(int32_t id, char* szCatText)
{
    CX_ASSERT(m_pCatMgr!=NULL && szCatText!=NULL);
    PmCategory* c = m_pCatMgr->FindById(id);
    if (!c)
        return false;
    CopyCut(szCatText, 16, c->GetName());
    return true;
}

const char* PmRepeatClassName(uint32_t repeatClass)
{
    static const char* const names[] = {"CDayName", "CWeekly", "CDayOfMonth", "CDateOfMonth", "CDateOfYear",
                                        "CDayOfYear"};
    return repeatClass >= 1 && repeatClass <= 6 ? names[repeatClass - 1] : nullptr;
}

bool PmDBUtil::ReadRepeatField(PmRepeat* r)
{
    *r = PmRepeat();
    uint32_t tag;
    uint16_t exceptions;
    if (!ReadU32(&tag) || tag != PM_TAG_REPEAT || !ReadU16(&exceptions))
        return false;
    if (size_t(exceptions) * 4 > InputLeft())
        return false;
    r->Exceptions.resize(exceptions);
    for (uint32_t& date : r->Exceptions)
        if (!ReadU32(&date))
            return false;
    if (!ReadU16(&r->ClassTag))
        return false;
    if (r->ClassTag == 0)
        return true;
    if (r->ClassTag == 0xFFFF) {
        uint16_t schema, length;
        if (!ReadU16(&schema) || schema != 1 || !ReadU16(&length) || length > InputLeft())
            return false;
        r->ClassName.resize(length);
        if (length && !ReadBytes(r->ClassName.data(), length))
            return false;
    }
    if (!ReadU32(&r->Class) || !ReadU32(&r->Interval) || !ReadU32(&r->EndDate) || !ReadU32(&r->Word4))
        return false;
    switch (r->Class) {
    case 1: return ReadU32(&r->DayIndex);
    case 2: return ReadU32(&r->DayIndex) && ReadU8(&r->DaysMask);
    case 3: return ReadU32(&r->DayIndex) && ReadU32(&r->WeekIndex);
    case 4: return ReadU32(&r->DayNumber);
    case 5: return ReadU32(&r->DayNumber) && ReadU32(&r->Month);
    default: return true;
    }
}

bool PmDBUtil::WriteRepeatField(const PmRepeat& r)
{
    MarkField(FieldKind::Other);
    if (r.Exceptions.size() > 0xFFFF)
        return false;
    if (!WriteU32(PM_TAG_REPEAT) || !WriteU16(uint16_t(r.Exceptions.size())))
        return false;
    for (uint32_t date : r.Exceptions)
        if (!WriteU32(date))
            return false;
    uint16_t classTag = r.ClassTag;
    std::string name = r.ClassName;
    if (classTag == 0 && r.Class != 0) {
        // Made afresh: the header names the class, and a class without a
        // name could be read back by no one.
        const char* known = PmRepeatClassName(r.Class);
        if (!known)
            return false;
        classTag = 0xFFFF;
        name = known;
    }
    if (!WriteU16(classTag))
        return false;
    if (classTag == 0)
        return true;
    if (classTag == 0xFFFF && (name.size() > 0xFFFF || !WriteU16(1) || !WriteU16(uint16_t(name.size())) ||
                               (!name.empty() && !WriteBytes(name.data(), uint32_t(name.size())))))
        return false;
    if (!WriteU32(r.Class) || !WriteU32(r.Interval) || !WriteU32(r.EndDate) || !WriteU32(r.Word4))
        return false;
    switch (r.Class) {
    case 1: return WriteU32(r.DayIndex);
    case 2: return WriteU32(r.DayIndex) && WriteU8(r.DaysMask);
    case 3: return WriteU32(r.DayIndex) && WriteU32(r.WeekIndex);
    case 4: return WriteU32(r.DayNumber);
    case 5: return WriteU32(r.DayNumber) && WriteU32(r.Month);
    default: return true;
    }
}

bool PmDBUtil::LoadSchemaBlock(PmSchemaEvents* events)
{
    PmSchema& s = m_Schema;
    s = PmSchema();
    using E = PmSchemaEvents;
    auto step = [&](bool ok, E::Item item) {
        if (!ok)
            events->Failed(item, -1);
        return ok && events->Read(item, s, -1);
    };
    if (!step(ReadU32(&s.ResourceID), E::ResourceID) || !step(ReadU32(&s.FieldsPerRow), E::FieldsPerRow) ||
        !step(ReadU32(&s.RecordIDPos), E::RecordIDPos) || !step(ReadU32(&s.StatusPos), E::StatusPos) ||
        !step(ReadU32(&s.PlacementPos), E::PlacementPos) || !step(ReadU16(&s.FieldsCount), E::FieldsCount))
        return false;
    // Room is made only for the entries the file can hold; a read that runs
    // out fails at the entry where it does.
    s.FieldTypes.reserve(std::min<size_t>(s.FieldsCount, InputLeft() / 2));
    for (int i = 0; i < s.FieldsCount; ++i) {
        uint16_t type;
        if (!ReadU16(&type)) {
            events->Failed(E::FieldType, i);
            return false;
        }
        s.FieldTypes.push_back(type);
        if (!events->Read(E::FieldType, s, i))
            return false;
    }
    return true;
}

bool PmDBUtil::SaveSchemaBlock(PmSchemaEvents* events)
{
    const PmSchema& s = m_Schema;
    using E = PmSchemaEvents;
    auto step = [&](bool ok, E::Item item) {
        if (!ok)
            events->Failed(item, -1);
        return ok;
    };
    if (!step(WriteU32(s.ResourceID), E::ResourceID) || !step(WriteU32(s.FieldsPerRow), E::FieldsPerRow) ||
        !step(WriteU32(s.RecordIDPos), E::RecordIDPos) || !step(WriteU32(s.StatusPos), E::StatusPos) ||
        !step(WriteU32(s.PlacementPos), E::PlacementPos) || !step(WriteU16(s.FieldsCount), E::FieldsCount))
        return false;
    for (int i = 0; i < s.FieldsCount; ++i) {
        if (!WriteU16(i < int(s.FieldTypes.size()) ? s.FieldTypes[i] : 0)) {
            events->Failed(E::FieldType, i);
            return false;
        }
    }
    return true;
}

bool PmDBUtil::LoadCategoryBlock(PmCategoryEvents* events)
{
    PmCategoryEvents silent;
    if (!events)
        events = &silent;
    m_StoredCats.clear();
    SetCategoryMgr(new (std::nothrow) PmCategoryMgr());
    if (!m_pCatMgr)
        return false;
    uint32_t nextId, count;
    if (!ReadU32(&nextId)) {
        events->Failed(PmCategoryEvents::NextId, nullptr);
        return false;
    }
    m_pCatMgr->SetNextId(static_cast<int32_t>(nextId));
    if (!ReadU32(&count)) {
        events->Failed(PmCategoryEvents::Count, nullptr);
        return false;
    }
    PmCategory unfiled(0, 0, "Unfiled");
    if (!m_pCatMgr->Add(&unfiled))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        PmCategory c;
        uint32_t index, id, dirty;
        if (!ReadU32(&index)) {
            events->Failed(PmCategoryEvents::Index, &c);
            return false;
        }
        c.SetIndex(static_cast<int32_t>(index));
        if (!ReadU32(&id)) {
            events->Failed(PmCategoryEvents::Id, &c);
            return false;
        }
        c.SetId(static_cast<int32_t>(id));
        if (!ReadU32(&dirty)) {
            events->Failed(PmCategoryEvents::Dirty, &c);
            return false;
        }
        c.SetDirty(dirty != 0);
        std::string name, fileName;
        if (!ReadCountedString(&name)) {
            events->Failed(PmCategoryEvents::Name, &c);
            return false;
        }
        events->NameRead(name.c_str());
        c.SetName(name.c_str());
        if (!ReadCountedString(&fileName)) {
            events->Failed(PmCategoryEvents::FileName, &c);
            return false;
        }
        c.SetFileName(fileName.c_str());
        if (index == 0 || index >= PmCategoryMgr::kSlots) {
            events->Failed(PmCategoryEvents::BadIndex, &c);
            return false;
        }
        if (m_pCatMgr->GetByIndex(index)) {
            events->Failed(PmCategoryEvents::RepeatedIndex, &c);
            return false;
        }
        if (!m_pCatMgr->Add(&c)) {
            events->Failed(PmCategoryEvents::Add, &c);
            return false;
        }
        m_pCatMgr->NoteStored(int32_t(index));
        m_StoredCats.push_back(StoredCategory{int32_t(index), int32_t(id), std::move(name), std::move(fileName)});
    }
    m_pCatMgr->SetModified(false);
    return true;
}

bool PmDBUtil::SaveCategoryBlock(PmCategoryEvents* events, bool* fullLoop)
{
    PmCategoryEvents silent;
    if (!events)
        events = &silent;
    if (fullLoop)
        *fullLoop = false;
    uint32_t n = m_pCatMgr ? m_pCatMgr->Count() : 1;
    int32_t nextId = m_pCatMgr ? m_pCatMgr->NextId() : PmCategoryMgr::kNewTableNextId;
    if (!WriteU32(static_cast<uint32_t>(nextId))) {
        events->Failed(PmCategoryEvents::NextId, nullptr);
        return false;
    }
    if (n < 2) {
        if (!WriteU32(0)) {
            events->Failed(PmCategoryEvents::Count, nullptr);
            return false;
        }
        return true;
    }
    // Only categories in slots 1-15 with an id other than 0 are stored; the
    // count says how many follow (a table whose "Unfiled" is missing or lies
    // elsewhere included).
    std::vector<int32_t> written;
    for (int32_t slot = 0; slot < PmCategoryMgr::kSlots; ++slot) {
        PmCategory* c = m_pCatMgr->GetByIndex(uint32_t(slot));
        if (c && c->GetId() != 0)
            written.push_back(slot);
    }
    if (!WriteU32(uint32_t(written.size()))) {
        events->Failed(PmCategoryEvents::Count, nullptr);
        return false;
    }
    for (int32_t slot : m_pCatMgr->VisitOrder(written)) {
        PmCategory* c = m_pCatMgr->GetByIndex(uint32_t(slot));
        if (!c || c->GetId() == 0) {
            events->Skipped(slot, c != nullptr);
            continue;
        }
        if (!WriteU32(static_cast<uint32_t>(slot))) {
            events->Failed(PmCategoryEvents::Index, c);
            return false;
        }
        if (!WriteU32(static_cast<uint32_t>(c->GetId()))) {
            events->Failed(PmCategoryEvents::Id, c);
            return false;
        }
        if (!WriteU32(c->IsDirty() ? 1 : 0)) {
            events->Failed(PmCategoryEvents::Dirty, c);
            return false;
        }
        // The table keeps 15 characters of a name and makes its own file
        // name: an entry still as read gets the stored texts back.
        std::string name = c->GetName();
        std::string fileName = c->GetFileName();
        for (const StoredCategory& stored : m_StoredCats) {
            if (stored.index == slot && stored.id == c->GetId() && stored.name.compare(0, 15, name) == 0 &&
                name.size() == std::min<size_t>(stored.name.size(), 15)) {
                name = stored.name;
                fileName = stored.fileName;
                break;
            }
        }
        if (!WriteCountedString(name.c_str(), name.size())) {
            events->Failed(PmCategoryEvents::Name, c);
            return false;
        }
        if (!WriteCountedString(fileName.c_str(), fileName.size())) {
            events->Failed(PmCategoryEvents::FileName, c);
            return false;
        }
        events->Saved(*c);
    }
    if (fullLoop)
        *fullLoop = true;
    return true;
}
