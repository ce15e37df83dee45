// Owning, ordered stores of common records: CommAddrMgr, CommDateMgr,
// CommTaskMgr and CommNoteMgr.
//
// Position i of a manager is the i-th record added since the last Clear; a
// facade adds one record per generation record it accepts, in its own order,
// so the position finds the generation record again.
//
// Ownership: Add stores a deep copy of the template. The stored record gets its
// own malloc'd copy of the native copy when the template's pointer and size
// are both non-zero (otherwise the stored record has none); the template keeps
// its block. Clear frees every stored record and its native copy. Pointers
// returned are the stored records: callers may change their mark flags and
// must not free them.
//
// First and Next share the one cursor of the underlying list: a caller that
// walks a manager while another walk is in progress restores it with
// SetCurrent.
#pragma once

#include "misc/CxList.h"
#include "palm/CommRecord.h"

#include <cstdint>

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

    /// Stores a deep copy of the template; none for a missing template or when
    /// the record cannot be stored.
    R* Add(const R* tmpl);
    R* Add(const R& tmpl) { return Add(&tmpl); }

    R* First() { return m_Recs.First(); }
    /// The record after the current one; none at the end (the cursor stays).
    R* Next() { return m_Recs.Next(); }
    /// Record at a position, which becomes the current one; none past the end.
    R* GetAt(uint32_t position) { return m_Recs.GetAt(position); }
    uint32_t Count() const { return m_Recs.Count(); }
    /// False, with the cursor unchanged, when the record is not held.
    bool SetCurrent(const R* rec) { return m_Recs.SetCurrent(rec); }
    int32_t IndexOf(const R* rec) const { return m_Recs.IndexOf(rec); }

private:
    CxList<R> m_Recs;
};

class CommAddrMgr : public CommMgr<CommAddr> {};
class CommDateMgr : public CommMgr<CommDate> {};
class CommTaskMgr : public CommMgr<CommTask> {};
class CommNoteMgr : public CommMgr<CommNote> {};

extern template class CommMgr<CommAddr>;
extern template class CommMgr<CommDate>;
extern template class CommMgr<CommTask>;
extern template class CommMgr<CommNote>;
