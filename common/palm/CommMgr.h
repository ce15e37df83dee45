// Owning, ordered stores of common records: CommAddrMgr, CommDateMgr,
// CommTaskMgr and CommNoteMgr.
//
// Position i of a manager is the i-th record added since the last Clear; a
// facade adds one record per generation record it accepts, in its own order,
// so the position finds the generation record again.
//
// Ownership: Add stores a copy of the template (or takes over its texts). The stored record gets its
// own malloc'd copy of the native copy when the template's pointer and size
// are both non-zero (otherwise the stored record has none); the template keeps
// its block. Clear frees every stored record and its native copy. Pointers
// returned are the stored records: callers may change their mark flags and
// must not free them.
//
// First and Next share one cursor per manager, with the semantics of CxList
// (Add moves it to the new record, Next at the end keeps it there): a caller
// that walks a manager while another walk is in progress restores it with
// SetCurrent. The records are held in an array rather than a linked list so
// that RecordAt reaches any position at once, without moving the cursor.
#pragma once

#include "misc/CxList.h"  // the duplicate lists of records
#include "palm/CommRecord.h"

#include <cstdint>
#include <vector>

template <typename R>
class CommMgr {
public:
    using Record = R;

    CommMgr() = default;
    ~CommMgr() { Clear(); }
    CommMgr(const CommMgr&) = delete;
    CommMgr& operator=(const CommMgr&) = delete;

    /// Frees every stored record with its native copy; positions restart at 0.
    void Clear();

    /// Stores a copy of the template; none for a missing template or when
    /// the record cannot be stored.
    R* Add(const R* tmpl);
    R* Add(const R& tmpl) { return Add(&tmpl); }
    /// Stores the template's texts without copying them (the template is
    /// left valid but unspecified; its native copy block stays its own).
    R* Add(R&& tmpl);

    /// The first record, which becomes current; none when empty.
    R* First()
    {
        m_current = 0;
        return m_Recs.empty() ? nullptr : m_Recs[0];
    }
    /// The record after the current one; none at the end (the cursor stays).
    R* Next()
    {
        if (m_Recs.empty() || m_current + 1 >= m_Recs.size())
            return nullptr;
        return m_Recs[++m_current];
    }
    /// Record at a position, which becomes the current one; none past the end.
    R* GetAt(uint32_t position)
    {
        if (position >= m_Recs.size())
            return nullptr;
        m_current = position;
        return m_Recs[position];
    }
    /// Record at a position without touching the cursor; none past the end.
    R* RecordAt(uint32_t position) const { return position < m_Recs.size() ? m_Recs[position] : nullptr; }
    uint32_t Count() const { return uint32_t(m_Recs.size()); }
    /// Frees the record added last (with its native copy).
    void DropLast();
    /// Makes the first position holding this record current; false, with
    /// the cursor unchanged, when the record is not held.
    bool SetCurrent(const R* rec)
    {
        int32_t i = IndexOf(rec);
        if (i < 0)
            return false;
        m_current = size_t(i);
        return true;
    }
    /// Position of the record, or -1 when it is not held (a linear search).
    int32_t IndexOf(const R* rec) const
    {
        if (!rec)
            return -1;
        for (size_t i = 0; i < m_Recs.size(); ++i)
            if (m_Recs[i] == rec)
                return int32_t(i);
        return -1;
    }

private:
    template <typename T>
    R* Store(T&& tmpl);

    std::vector<R*> m_Recs;  // owned; position i is the i-th record added
    size_t m_current = 0;
};

class CommAddrMgr : public CommMgr<CommAddr> {};
class CommDateMgr : public CommMgr<CommDate> {};
class CommTaskMgr : public CommMgr<CommTask> {};
class CommNoteMgr : public CommMgr<CommNote> {};

extern template class CommMgr<CommAddr>;
extern template class CommMgr<CommDate>;
extern template class CommMgr<CommTask>;
extern template class CommMgr<CommNote>;
