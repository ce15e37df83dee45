#include "palm/CommMgr.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

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
void CommMgr<R>::DropLast()
{
    if (m_Recs.empty())
        return;
    R* rec = m_Recs.back();
    if (rec->Trailer.NativeCopy && rec->Trailer.NativeCopySize != 0)
        std::free(rec->Trailer.NativeCopy);
    delete rec;
    m_Recs.pop_back();
    if (m_current >= m_Recs.size())
        m_current = m_Recs.empty() ? 0 : m_Recs.size() - 1;
}

template <typename R>
R* CommMgr<R>::Add(const R* tmpl)
{
    if (!tmpl)
        return nullptr;
    try {
        return Store(*tmpl);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

template <typename R>
R* CommMgr<R>::Add(R&& tmpl)
{
    try {
        return Store(std::move(tmpl));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

template <typename R>
template <typename T>
R* CommMgr<R>::Store(T&& tmpl)
{
    // The template keeps its block: the stored record gets a copy of its own.
    // (Without one, because malloc failed, the record is still stored: the
    // positions must keep matching the facade's sources.)
    void* native = tmpl.Trailer.NativeCopy;
    int32_t size = tmpl.Trailer.NativeCopySize;
    std::unique_ptr<R> rec(new R(std::forward<T>(tmpl)));
    rec->Trailer.NativeCopy = nullptr;
    if (native && size > 0) {
        rec->Trailer.NativeCopy = std::malloc(size_t(size));
        if (rec->Trailer.NativeCopy)
            std::memcpy(rec->Trailer.NativeCopy, native, size_t(size));
    }
    m_Recs.push_back(rec.get());  // on failure the record is still the unique_ptr's
    m_current = m_Recs.size() - 1;
    return rec.release();
}

template class CommMgr<CommAddr>;
template class CommMgr<CommDate>;
template class CommMgr<CommTask>;
template class CommMgr<CommNote>;
