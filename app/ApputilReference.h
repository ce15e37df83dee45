// The straightforward pairwise detection pass, kept for checking the engine
// (tests compare the two on random managers; bench/bench_detect times both).
// The program only falls back on it when the engine cannot get the memory
// for its grouping: it costs up to n * (n - 1) / 2 record comparisons plus a
// linear SetCurrent per record.
//
// The pass: clear bit 0 of every record; then for every record R whose bit 0
// is clear, make R current and let the keeper be R; for each following Q,
// when keeper and Q match, mark and list the keeper and let Q be the keeper;
// finally make R current again so that the outer walk goes on after R.
#pragma once

#include "app/Apputil.h"

#include <vector>

namespace reference {

/// With `keepers`, each listed record's keeper (the last record of its
/// group) goes to the same place there.
template <typename R, typename Match>
bool DetectPairwise(CommMgr<R>* mgr, CxList<R>* dups, Match match, std::vector<const void*>* keepers = nullptr)
{
    if (!mgr || !dups)
        return false;
    dups->Clear(false);
    if (keepers)
        keepers->clear();
    for (R* r = mgr->First(); r; r = mgr->Next())
        r->Trailer.MarkFlags &= ~uint32_t(kCommMarkDuplicate);
    for (R* r = mgr->First(); r; r = mgr->Next()) {
        if (r->Trailer.MarkFlags & kCommMarkDuplicate)
            continue;
        mgr->SetCurrent(r);
        R* keeper = r;
        const size_t groupStart = keepers ? keepers->size() : 0;
        for (R* q = mgr->Next(); q; q = mgr->Next()) {
            if (match(*keeper, *q)) {
                keeper->Trailer.MarkFlags |= kCommMarkDuplicate;
                dups->Add(keeper);
                if (keepers)
                    keepers->push_back(nullptr);
                keeper = q;
            }
        }
        if (keepers)
            for (size_t k = groupStart; k < keepers->size(); ++k)
                (*keepers)[k] = keeper;
        mgr->SetCurrent(r);
    }
    return true;
}

inline bool DetectAddrDups(CommAddrMgr* mgr, CxList<CommAddr>* dups, const AppOption& opt)
{
    return DetectPairwise(mgr, dups, [&](const CommAddr& a, const CommAddr& b) { return AddrRecordsMatch(a, b, opt); });
}

inline bool DetectDateDups(CommDateMgr* mgr, CxList<CommDate>* dups, const AppOption& opt)
{
    return DetectPairwise(mgr, dups, [&](const CommDate& a, const CommDate& b) { return DateRecordsMatch(a, b, opt); });
}

inline bool DetectTaskDups(CommTaskMgr* mgr, CxList<CommTask>* dups, const AppOption& opt)
{
    return DetectPairwise(mgr, dups, [&](const CommTask& a, const CommTask& b) { return TaskRecordsMatch(a, b, opt); });
}

inline bool DetectNoteDups(CommNoteMgr* mgr, CxList<CommNote>* dups, const AppOption& opt)
{
    return DetectPairwise(mgr, dups, [&](const CommNote& a, const CommNote& b) { return NoteRecordsMatch(a, b, opt); });
}

}  // namespace reference
