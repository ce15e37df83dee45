// What the four application facades (PmAddrInfo, PmDateInfo, PmTodoInfo,
// PmMemoInfo) share: the generation codes, the choice of a generation from
// the installed Palm Desktop version, the live and deleted status words, and
// the paired store of source records and common records.
//
// A facade keeps one source record per live generation record and one common
// record per source record, both in load order: position i of the source
// list and position i of the manager are the same record, which is how a
// deletion finds its generation record again. PmInfoRecords keeps that pairing
// even when a common record cannot be stored.
#pragma once

#include "misc/CxList.h"
#include "palm/CommMgr.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

/// Generation codes of the facades.
enum : int32_t {
    kPmGenNone = 0,
    kPmGenClassic = 1,  ///< Palm Desktop 4.1 and earlier
    kPmGenEx = 2,       ///< Palm Desktop 4.1.x, "PalmSG Database" files
    kPmGenEx2 = 3,      ///< Palm Desktop 6.x databases
    kPmGenUnknown = 255,  ///< the last load met an unknown version
};

/// The status word every deletion writes.
inline constexpr uint32_t kPmStatusDeleted = 0x84;

/// A generation record whose status has bit 0x04 or 0x80 is deleted or
/// archived: it never becomes a common record.
inline bool PmIsLiveStatus(uint32_t status) { return (status & 0x84u) == 0; }

/// The generation for an installed version number (major * 10000 + minor *
/// 100 + build, 0xFFFFFFFF when unreadable, which counts as 6.x). Versions
/// below 3.5 give none when `allowNone`, else the classic generation.
inline int32_t PmChooseGeneration(uint32_t version, bool allowNone)
{
    if (version >= 60000u)
        return kPmGenEx2;
    if (version >= 40102u)
        return kPmGenEx;
    if (version >= 30500u || !allowNone)
        return kPmGenClassic;
    return kPmGenNone;
}

/// The first line of a text for a subject: everything before the first CR LF
/// pair (a lone CR or LF does not end it); the field cuts it to its capacity.
inline std::string_view PmFirstLine(std::string_view text)
{
    size_t crlf = text.find("\r\n");
    return crlf == std::string_view::npos ? text : text.substr(0, crlf);
}

/// Copies a generation record's text array into a field, reading no further
/// than the array even when it is not terminated.
template <size_t N, size_t M>
inline void PmSetField(FixedText<N>& field, const char (&text)[M])
{
    field.Set(text, strnlen(text, M));
}

/// The source list and the manager of a facade, paired position by position.
/// Source is a facade's trivially copyable wrapper of one generation record:
/// a common record's native copy is a byte copy of it. Sources are owned here
/// (allocated with new); freeing the generation record copy they point to is
/// the facade's business (see Clear).
template <typename Source, typename Mgr>
class PmInfoRecords {
public:
    using Comm = typename Mgr::Record;

    PmInfoRecords() = default;
    PmInfoRecords(const PmInfoRecords&) = delete;
    PmInfoRecords& operator=(const PmInfoRecords&) = delete;

    /// Appends `src` (taken over) and a stored copy of `comm`, whose native
    /// copy is made a copy of *src. Returns the stored common record, or none
    /// when either list cannot take its record; then nothing was added and
    /// `src` was not taken over.
    Comm* Append(Source* src, Comm* comm)
    {
        comm->Trailer.NativeCopy = src;
        comm->Trailer.NativeCopySize = int32_t(sizeof(Source));
        if (!m_Sources.Add(src))
            return nullptr;
        Comm* stored = m_Mgr.Add(comm);
        if (!stored) {
            // The manager could not keep the record: take the source back out
            // so that the two lists keep describing the same records. (A record
            // stored without its native copy keeps its source: the positions
            // still match, only the viewers find nothing to show.)
            DropLastSource();
            return nullptr;
        }
        src->CommRecord = stored;
        return stored;
    }

    /// The source record of a stored common record: the one at the same
    /// position, checked to describe that record. None when it is not held.
    Source* SourceOf(const Comm* rec)
    {
        int32_t i = m_Mgr.IndexOf(rec);
        if (i < 0)
            return nullptr;
        Source* src = m_Sources.GetAt(uint32_t(i));
        if (!src || src->CommRecord != rec)
            return nullptr;
        return src;
    }

    /// Frees every source (after `freeNative(src)`), empties both lists.
    template <typename F>
    void Clear(F freeNative)
    {
        for (Source* s = m_Sources.First(); s; s = m_Sources.Next()) {
            freeNative(s);
            delete s;
        }
        m_Sources.Clear(false);
        m_Mgr.Clear();
    }

    CxList<Source>& Sources() { return m_Sources; }
    Mgr& Manager() { return m_Mgr; }

private:
    void DropLastSource()
    {
        std::vector<Source*> keep;
        keep.reserve(m_Sources.Count());
        for (Source* s = m_Sources.First(); s; s = m_Sources.Next())
            keep.push_back(s);
        keep.pop_back();
        m_Sources.Clear(false);
        for (Source* s : keep)
            m_Sources.Add(s);
    }
    CxList<Source> m_Sources;
    Mgr m_Mgr;
};
