#include "ProcessLimits.h"

#include <sys/resource.h>

namespace plait::worker {

bool sanitized() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

void applyMemoryLimit(unsigned long megabytes) {
    if (megabytes == 0 || sanitized()) {
        return;
    }
    struct rlimit limit {};
    ::getrlimit(RLIMIT_AS, &limit);
    const rlim_t wanted = static_cast<rlim_t>(megabytes) * 1024 * 1024;
    if (limit.rlim_max == RLIM_INFINITY || wanted < limit.rlim_max) {
        limit.rlim_cur = wanted;
        ::setrlimit(RLIMIT_AS, &limit);
    }
}

} // namespace plait::worker
