#include "palm/CommMgr.h"

#include <cstdlib>
#include <cstring>
#include <new>

template <typename R>
void CommMgr<R>::Clear()
{
    for (R* rec : m_Recs) {
        if (rec->Trailer.NativeCopy && rec->Trailer.NativeCopySize != 0)
            std::free(rec->Trailer.NativeCopy);
        delete rec;
    }
    m_Recs.clear();
    m_Recs.shrink_to_fit();
    m_current = 0;
}

template <typename R>
R* CommMgr<R>::Add(const R* tmpl)
{
    if (!tmpl)
        return nullptr;
    R* rec = new (std::nothrow) R;
    if (!rec)
        return nullptr;
    std::memcpy(static_cast<void*>(rec), tmpl, sizeof(R));
    rec->Trailer.NativeCopy = nullptr;
    const CommTrailer& src = tmpl->Trailer;
    if (src.NativeCopy && src.NativeCopySize > 0) {
        void* block = std::malloc(size_t(src.NativeCopySize));
        if (block)
            std::memcpy(block, src.NativeCopy, size_t(src.NativeCopySize));
        rec->Trailer.NativeCopy = block;
    }
    try {
        m_Recs.push_back(rec);
    } catch (const std::bad_alloc&) {
        std::free(rec->Trailer.NativeCopy);
        delete rec;
        return nullptr;
    }
    m_current = m_Recs.size() - 1;
    return rec;
}

template class CommMgr<CommAddr>;
template class CommMgr<CommDate>;
template class CommMgr<CommTask>;
template class CommMgr<CommNote>;
