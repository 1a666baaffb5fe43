// Counting heap allocations in the book benchmark binary: allocCount.cpp
// replaces the global operator new and delete with versions that count the
// allocations of the calling thread.  Linked into zu_zozov_book_bench only.
#ifndef ZU_ZOZOV_BENCH_ALLOCCOUNT_H
#define ZU_ZOZOV_BENCH_ALLOCCOUNT_H

#include <cstddef>

namespace bookbench {

// The number of operator new calls (every form) this thread has made so far.
std::size_t allocationCount();

}  // namespace bookbench

#endif  // ZU_ZOZOV_BENCH_ALLOCCOUNT_H
