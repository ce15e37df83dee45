// Detection when the engine cannot get memory for its grouping arrays: the
// throwing operator new fails while g_failNew is set, the nothrow one (which
// the record lists use) keeps working.
#include "app/Apputil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
bool g_failNew = false;
}

void* operator new(std::size_t size)
{
    if (g_failNew)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return std::malloc(size ? size : 1);
}

// What these operators allocate goes back to free(): the deletes are
// replaced with them, so that every allocation is released by its own kind.
// (GCC cannot see that the pair is replaced together and warns of a mismatch.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

TEST(DetectMemory, FallsBackToThePairwisePassWithTheSameResult)
{
    CommNoteMgr mgr;
    for (const char* subject : {"a", "b", "a", "c", "b", "a"}) {
        CommNote n{};
        n.Subject.Set(subject);
        mgr.Add(n);
    }
    AppOption opt = DefaultOption();
    CxList<CommNote> dups;
    g_failNew = true;
    bool ok = DetectNoteDups(&mgr, &dups, opt);
    g_failNew = false;
    EXPECT_TRUE(ok);
    std::vector<int> got;
    for (CommNote* n = dups.First(); n; n = dups.Next())
        got.push_back(mgr.IndexOf(n));
    EXPECT_EQ(got, (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(mgr.RecordAt(0)->Trailer.MarkFlags, uint32_t(kCommMarkDuplicate));
    EXPECT_EQ(mgr.RecordAt(5)->Trailer.MarkFlags, 0u);
}
