#include "Heap.h"

#include <malloc.h>

#include <mutex>

namespace plait::pdf {

void settleHeapThresholds() {
    static std::once_flag once;
    std::call_once(once, [] {
        constexpr int kThreshold = 1 << 20;
        ::mallopt(M_TRIM_THRESHOLD, kThreshold);
        ::mallopt(M_MMAP_THRESHOLD, kThreshold);
    });
}

} // namespace plait::pdf
