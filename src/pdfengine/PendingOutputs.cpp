#include "PendingOutputs.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace plait::pdf {
namespace {

// A few builds at a time at most; a path that does not fit is simply not tracked.
constexpr int kSlots = 16;
constexpr std::size_t kPathMax = 4096;
enum : int { kFree, kBusy, kReady };

struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathMax];
};
Slot gSlots[kSlots];

std::mutex gListenerMutex;
std::function<void(const std::string&)> gListener;

} // namespace

void addPendingOutput(const std::string& path) {
    {
        std::lock_guard lock(gListenerMutex);
        if (gListener) {
            gListener(path);
        }
    }
    if (path.size() >= kPathMax) {
        return;
    }
    for (Slot& slot : gSlots) {
        int expected = kFree;
        if (slot.state.compare_exchange_strong(expected, kBusy)) {
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            slot.state.store(kReady);
            return;
        }
    }
}

void dropPendingOutput(const std::string& path) {
    for (Slot& slot : gSlots) {
        int expected = kReady;
        if (slot.state.load() == kReady && path == slot.path &&
            slot.state.compare_exchange_strong(expected, kBusy)) {
            slot.state.store(kFree);
            return;
        }
    }
}

void removePendingOutputs() noexcept {
    for (Slot& slot : gSlots) {
        if (slot.state.load() == kReady) {
            ::unlink(slot.path);
        }
    }
}

void setPendingOutputListener(std::function<void(const std::string&)> listener) {
    std::lock_guard lock(gListenerMutex);
    gListener = std::move(listener);
}

} // namespace plait::pdf
