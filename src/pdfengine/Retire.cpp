#include "Retire.h"

#include <qpdf/QPDF.hh>

#include <atomic>
#include <mutex>
#include <vector>

namespace plait::pdf {

namespace {

std::atomic<bool> gOneBuild{false};

// Never destroyed: what it holds stays reachable, and is freed by the end of the process.
struct Kept {
    std::mutex mutex;
    std::vector<std::unique_ptr<QPDF>> docs;
};
Kept& kept() {
    static Kept* k = new Kept;
    return *k;
}

} // namespace

void setOneBuildPerProcess(bool on) {
    gOneBuild.store(on);
}

void retire(std::unique_ptr<QPDF> doc) {
    if (!doc || !gOneBuild.load()) {
        return; // freed here
    }
    Kept& k = kept();
    std::lock_guard lock(k.mutex);
    k.docs.push_back(std::move(doc));
}

} // namespace plait::pdf
