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
#include "palm/DmMain.h"  // the 6.x connection names its file
#include "palm/PalmCommEx2.h"
#include "palm/PalmReason.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
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

/// Copies a 6.x record's text (UTF-8) into a field of another capacity, cut
/// where its ANSI form would have been cut in that field.
template <size_t N, size_t M>
inline void PmSetField(FixedText<N>& field, const FixedText<M>& text)
{
    PmSetStoredField(field, text);
}

/// The source list and the manager of a facade, paired position by position.
/// Source is a facade's trivially copyable wrapper of one generation record:
/// a common record's native copy is a byte copy of it. Sources are owned here
/// (allocated with new); the generation record they point to is the loading
/// utility's, which must outlive them (PmInfoCore clears both together).
template <typename Source, typename Mgr>
class PmInfoRecords {
public:
    using Comm = typename Mgr::Record;

    PmInfoRecords() = default;
    PmInfoRecords(const PmInfoRecords&) = delete;
    PmInfoRecords& operator=(const PmInfoRecords&) = delete;

    /// Appends `src` (taken over) and `comm` (its texts moved into the
    /// stored record), whose native copy is made a copy of *src. Returns the
    /// stored common record, or none when either list cannot take its record;
    /// then nothing was added and `src` was not taken over.
    Comm* Append(Source* src, Comm&& comm)
    {
        comm.Trailer.NativeCopy = src;
        comm.Trailer.NativeCopySize = int32_t(sizeof(Source));
        if (!m_Sources.Add(src))
            return nullptr;
        Comm* stored = m_Mgr.Add(std::move(comm));
        if (!stored) {
            // The manager could not keep the record: take the source back out
            // so that the two lists keep describing the same records. (A record
            // stored without its native copy keeps its source: the positions
            // still match, only the viewers find nothing to show.)
            DropLastSource();
            return nullptr;
        }
        try {
            m_Positions.emplace(stored, uint32_t(m_ByPosition.size()));
            m_ByPosition.push_back(src);
        } catch (const std::bad_alloc&) {
            // Without its position the record could not be deleted: the
            // lists must then look as if it had never been added.
            m_Positions.erase(stored);
            m_Mgr.DropLast();
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
        auto found = m_Positions.find(rec);
        if (found == m_Positions.end())
            return nullptr;
        Source* src = m_ByPosition[found->second];
        if (!src || src->CommRecord != rec)
            return nullptr;
        return src;
    }

    /// Frees every source, empties both lists.
    void Clear()
    {
        for (Source* s = m_Sources.First(); s; s = m_Sources.Next())
            delete s;
        m_Sources.Clear(false);
        m_Mgr.Clear();
        m_ByPosition.clear();
        m_ByPosition.shrink_to_fit();
        m_Positions = {};
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
    // A deletion finds its source at once: the position of each stored
    // record, and the sources by position.
    std::unordered_map<const Comm*, uint32_t> m_Positions;
    std::vector<Source*> m_ByPosition;
};

/// What every facade does the same way, whatever the application: it owns
/// the three generation utilities and the paired store, remembers the loaded
/// generation, and carries out the steps of a load, a deletion and a save.
/// The facade keeps its own choices and texts: which generation to use, what
/// to log (its log lines name its own module), what a failed load gives, and
/// how a generation record becomes a common record.
///
/// Source must have the members Generation, Status, Classic, Ex, Ex2 and
/// CommRecord (see PmMemoSource).
template <typename Source, typename Mgr, typename Util, typename ExUtil, typename Ex2Util>
class PmInfoCore {
public:
    using Comm = typename Mgr::Record;
    using ClassicRecord = std::remove_pointer_t<decltype(Source::Classic)>;
    using ExRecord = std::remove_pointer_t<decltype(Source::Ex)>;
    using Ex2Record = std::remove_pointer_t<decltype(Source::Ex2)>;

    PmInfoCore() = default;
    PmInfoCore(const PmInfoCore&) = delete;
    PmInfoCore& operator=(const PmInfoCore&) = delete;
    ~PmInfoCore()
    {
        // The sources only point into the utilities' managers.
        m_Recs.Clear();
        delete m_pUtil;
        delete m_pExUtil;
        delete m_pEx2Util;
    }

    /// Makes the three utilities (once, when the facade has chosen its generation).
    void CreateUtilities()
    {
        m_pUtil = new Util();
        m_pExUtil = new ExUtil();
        m_pEx2Util = new Ex2Util();
    }

    /// Drops everything loaded; 6.x deletions not saved are undone.
    void Reset()
    {
        m_pEx2Util->DiscardWrites();
        m_LoadedGen = kPmGenNone;
        m_Changed = false;
        m_Unsaved = false;
        m_SaveFile.clear();
        m_SaveError.clear();
        m_DeleteError.clear();
        m_Recs.Clear();
        m_pUtil->GetDataMgr()->Clear();
        m_pExUtil->DataMgr()->Clear();
        m_pEx2Util->DataMgr()->Clear();
    }

    /// Loads the user's data through the utility of generation `gen` only.
    /// `known` tells whether `gen` is a generation at all (false: nothing was
    /// tried).
    bool LoadFile(int32_t gen, int32_t user, bool* known)
    {
        *known = true;
        m_FailureWords.clear();
        switch (gen) {
        case kPmGenClassic:
            return m_pUtil->LoadUserFile(user);
        case kPmGenEx2:
            if (m_pEx2Util->LoadByUser(uint32_t(user)))
                return true;
            m_FailureWords = m_pEx2Util->FailureWords();
            return false;
        case kPmGenEx:
            return m_pExUtil->LoadUserFile(uint32_t(user));
        default:
            *known = false;
            return false;
        }
    }

    /// After a successful LoadFile of `gen`: records it as loaded and turns
    /// every live record of that generation into a source and a common record,
    /// by the conversion of its generation (`Comm fromX(const XRecord&, const
    /// Source&)`).
    template <typename FromClassic, typename FromEx, typename FromEx2>
    void Build(int32_t gen, FromClassic fromClassic, FromEx fromEx, FromEx2 fromEx2)
    {
        m_LoadedGen = gen;
        m_Changed = false;
        m_Unsaved = false;
        const std::string file = LoadedFile();
        m_SaveFile = file.empty() ? std::string() : plat::ToHostPath(file);
        if (gen == kPmGenClassic)
            BuildFrom(m_pUtil->GetDataMgr(), kPmGenClassic, &Source::Classic, fromClassic);
        else if (gen == kPmGenEx)
            BuildFrom(m_pExUtil->DataMgr(), kPmGenEx, &Source::Ex, fromEx);
        else if (gen == kPmGenEx2)
            BuildFrom(m_pEx2Util->DataMgr(), kPmGenEx2, &Source::Ex2, fromEx2);
    }

    /// Marks the generation record of a stored common record deleted: its
    /// byte copy, the source and the utility's record. Classic and 4.1.x stay
    /// in memory until a save; a 6.x row is updated at once, in the
    /// transaction that Save commits, and that result returned (a failure's
    /// reason in DeleteError). False for a record that is not held;
    /// `unknownResult` when no generation is loaded.
    bool DeleteRecord(Comm* pRec, bool unknownResult)
    {
        m_DeleteError.clear();
        Source* src = pRec ? m_Recs.SourceOf(pRec) : nullptr;
        if (!src) {
            m_DeleteError = "the record is not one of those loaded";
            return false;
        }
        auto* copy = static_cast<Source*>(pRec->Trailer.NativeCopy);
        m_Changed = true;
        m_Unsaved = true;
        switch (m_LoadedGen) {
        case kPmGenClassic:
            MarkDeleted(copy, src, src->Classic);
            return true;
        case kPmGenEx:
            MarkDeleted(copy, src, src->Ex);
            return true;
        case kPmGenEx2:
            MarkDeleted(copy, src, src->Ex2);
            if (m_pEx2Util->WriteBackRecord(src->Ex2))
                return true;
            m_DeleteError = Reason(m_pEx2Util->FailureReason(), "the record could not be written");
            return false;
        default:
            if (!unknownResult)
                m_DeleteError = kNothingLoaded;
            return unknownResult;
        }
    }

    /// Writes back what the loaded generation holds; false when none is
    /// loaded. A .dat file in which nothing was deleted since the load (or
    /// the last save) is not written at all: true, the file untouched.
    bool SaveLoaded()
    {
        m_SaveError.clear();
        switch (m_LoadedGen) {
        case kPmGenEx2:
            return SaveEx2();
        case kPmGenEx:
            return SaveDat(m_pExUtil, [this] { return m_pExUtil->Save(); });
        case kPmGenClassic:
            return SaveDat(m_pUtil, [this] { return m_pUtil->Save(m_pUtil->LoadedPath().c_str()); });
        default:
            m_SaveError = kNothingLoaded;
            return false;
        }
    }

    /// Writes back the file of the chosen generation, but only one that was
    /// read whole: after a failed load or a Reset the utility holds nothing
    /// that could replace it. A .dat file in which nothing was deleted since
    /// the load (or the last save) is not written at all: true, the file
    /// untouched. 6.x: commits the rows changed by the deletions since the
    /// load (true when there is none); a failed commit leaves the database
    /// without any of them and gives false.
    bool SaveChosen(int32_t chosen)
    {
        m_SaveError.clear();
        switch (chosen) {
        case kPmGenClassic:
            if (m_LoadedGen != kPmGenClassic)
                break;
            return SaveDat(m_pUtil, [this] { return m_pUtil->Save(m_pUtil->LoadedPath().c_str()); });
        case kPmGenEx:
            if (m_LoadedGen != kPmGenEx)
                break;
            return SaveDat(m_pExUtil, [this] { return m_pExUtil->Save(); });
        case kPmGenEx2:
            return SaveEx2();
        default:
            break;
        }
        m_SaveError = kNothingLoaded;
        return false;
    }

    /// The data file of the loaded application as the user knows it: its
    /// host path (as the load named it, a link not followed; '/' only), set
    /// by a load that succeeded; empty when nothing is loaded.
    const std::string& SaveFile() const { return m_SaveFile; }
    /// Why the last Save failed, in the user's words (see PalmReason.h);
    /// empty after a Save that went through.
    const std::string& SaveError() const { return m_SaveError; }
    /// The host path of the ".bak" copy kept of the loaded file before its
    /// first change in this process (by a save of a .dat file, by the first
    /// deletion of a 6.x database), beside the file a link leads to; empty
    /// when none was made or nothing is loaded.
    std::string BackupPath()
    {
        const std::string file = LoadedFile();
        return file.empty() ? std::string() : plat::BackupPathOf(file);
    }
    /// Why the last DeleteRecord failed (a 6.x row that could not be
    /// written back, a record not held), in the user's words; empty after
    /// one that went through.
    const std::string& DeleteError() const { return m_DeleteError; }

    /// The name of a stored record's category, looked up by the category id
    /// of its generation record in the category table the loading utility
    /// read (the .dat tables always hold "Unfiled", id 0). Empty when the
    /// record is not held, its generation is not the loaded one, or the id is
    /// not in the table. In the encoding of the records' texts: the ANSI
    /// code page for the .dat generations, UTF-8 for 6.x.
    std::string CategoryName(const Comm* rec)
    {
        Source* src = rec ? m_Recs.SourceOf(rec) : nullptr;
        if (!src || src->Generation != m_LoadedGen)
            return std::string();
        switch (m_LoadedGen) {
        case kPmGenClassic:
            if (src->Classic && m_pUtil->CategoryMgr())
                if (auto* cat = m_pUtil->CategoryMgr()->FindById(int32_t(src->Classic->Category)))
                    return std::string(cat->GetName(), strnlen(cat->GetName(), 16));
            break;
        case kPmGenEx:
            if (src->Ex && m_pExUtil->CategoryMgr())
                if (auto* cat = m_pExUtil->CategoryMgr()->FindById(int32_t(src->Ex->Category)))
                    return std::string(cat->GetName(), strnlen(cat->GetName(), 16));
            break;
        case kPmGenEx2:
            if (src->Ex2 && m_pEx2Util->CategoryMgr())
                if (auto* cat = m_pEx2Util->CategoryMgr()->FindByID(src->Ex2->Category))
                    return cat->Name;  // UTF-8, as the 6.x texts are
            break;
        default:
            break;
        }
        return std::string();
    }

    /// The file the loaded generation was read from, as the program names
    /// it (Windows form); empty when none is loaded.
    /// Why the last LoadFile failed, in words a user can act on, when it
    /// was a 6.x database's (PmDBEx2Util::FailureWords); empty otherwise.
    const std::string& FailureWords() const { return m_FailureWords; }

    std::string LoadedFile()
    {
        switch (m_LoadedGen) {
        case kPmGenClassic:
            return m_pUtil->LoadedPath();
        case kPmGenEx:
            return m_pExUtil->FileName();
        case kPmGenEx2: {
            auto* accessor = m_pEx2Util->Accessor();
            auto* connection = accessor ? accessor->Connection() : nullptr;
            return connection ? connection->DataSource() : std::string();
        }
        default:
            return std::string();
        }
    }
    /// True once a record was deleted since the last load: the records held
    /// are then no longer what the file held when it was read.
    bool ChangedSinceLoad() const { return m_Changed; }

    static bool IsGeneration(int32_t gen) { return gen == kPmGenClassic || gen == kPmGenEx || gen == kPmGenEx2; }

    int32_t LoadedGeneration() const { return m_LoadedGen; }
    void SetLoadedGeneration(int32_t gen) { m_LoadedGen = gen; }
    PmInfoRecords<Source, Mgr>& Records() { return m_Recs; }
    Mgr& Manager() { return m_Recs.Manager(); }
    CxList<Source>& Sources() { return m_Recs.Sources(); }

private:
    static constexpr char kNothingLoaded[] = "nothing was loaded from this file";

    static std::string Reason(const std::string& reason, const char* otherwise)
    {
        return reason.empty() ? std::string(otherwise) : reason;
    }

    /// A .dat file's save, run only when something was deleted since the
    /// load or the last save.
    template <typename DatUtil, typename Run>
    bool SaveDat(DatUtil* util, Run run)
    {
        if (!m_Unsaved)
            return true;
        // The records change here only by DeleteRecord, in their status
        // words: the save may write the bytes read with those put in.
        util->SetOnlyStatusChanges(true);
        if (!run()) {
            m_SaveError = Reason(util->SaveReason(), "the file could not be written");
            return false;
        }
        m_Unsaved = false;
        return true;
    }

    bool SaveEx2()
    {
        if (!m_pEx2Util->Save()) {
            m_SaveError = Reason(m_pEx2Util->FailureReason(), "the database could not be written");
            return false;
        }
        m_Unsaved = false;
        return true;
    }

    template <typename DataMgr, typename Rec, typename From>
    void BuildFrom(DataMgr* mgr, int32_t gen, Rec* Source::*copySlot, From from)
    {
        for (Rec* rec = mgr->First(); rec; rec = mgr->Next()) {
            if (!PmIsLiveStatus(uint32_t(rec->Status)))
                continue;
            Source* src = new (std::nothrow) Source{};
            if (!src)
                continue;
            src->Generation = gen;
            src->Status = uint32_t(rec->Status);
            src->*copySlot = rec;
            try {
                if (!m_Recs.Append(src, from(*rec, *src)))
                    delete src;
            } catch (const std::bad_alloc&) {
                delete src;  // the record's texts could not be had: it is left out, as a failed Add
            }
        }
    }

    template <typename Rec>
    static void MarkDeleted(Source* copy, Source* src, Rec* rec)
    {
        if (copy)
            copy->Status = kPmStatusDeleted;
        src->Status = kPmStatusDeleted;
        rec->Status = decltype(rec->Status)(kPmStatusDeleted);
    }

    int32_t m_LoadedGen = kPmGenNone;
    bool m_Changed = false;
    bool m_Unsaved = false;  ///< deletions since the load or the last save that went through
    std::string m_SaveFile;
    std::string m_SaveError;
    std::string m_DeleteError;
    std::string m_FailureWords;
    PmInfoRecords<Source, Mgr> m_Recs;
    Util* m_pUtil = nullptr;
    ExUtil* m_pExUtil = nullptr;
    Ex2Util* m_pEx2Util = nullptr;
};
