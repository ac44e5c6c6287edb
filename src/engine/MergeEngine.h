#pragma once

#include "Operations.h"
#include "TagReader.h"

#include <atomic>
#include <cstddef>
#include <initializer_list>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace plait::engine {

// Raised when a caller names an operation that is not in the table or passes the wrong
// number of arguments. It is a programming error, never a user error: tests catch it.
class EngineCallError : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

// The merge engine as the program sees it: set-operations called by name with text
// arguments, one run (BuildPDF), a tag reader, and status that another thread may read
// while the run is under way.
//
// Threading: call(), BuildPDF() and the tag reader belong to one thread at a time. The
// status getters, setCancelBuild() and warnings() may be called from any thread at any
// moment, including while BuildPDF() runs on another thread.
class MergeEngine {
public:
    MergeEngine() = default;
    MergeEngine(const MergeEngine&) = delete;
    MergeEngine& operator=(const MergeEngine&) = delete;
    virtual ~MergeEngine() = default;

    // Checks the name and arity against the operation table, then hands the call on.
    void call(std::string_view operation, std::vector<std::string> args);
    void call(std::string_view operation, std::initializer_list<std::string_view> args = {});

    // Runs the engine. Returns a failure result of Results.h, another number on success, or,
    // for a "membuild" run with setBookmarkOut, the bookmark tags as text.
    std::string BuildPDF();

    // Tag reader over the text given to setTags.
    int getNextTag();
    std::string getTagParams(std::string_view name);

    // Status, readable from any thread.
    std::string stsMsg() const;
    std::string stsBar() const;
    std::string stsTitle() const;
    // The status message for a signal handler, which may neither lock nor allocate: at most
    // kSignalTextSize - 1 bytes of it, still valid while the engine is alive.
    const char* stsMsgForSignal() const noexcept { return signalText_[signalTextIndex_.load()]; }
    // Also safe in a signal handler.
    void setCancelBuild(int value) { cancel_.store(value); }
    int cancelBuild() const { return cancel_.load(); }

    // Notes the engine made on the way (repaired input, unknown parameter, ...): the first
    // kMaxWarnings, each cut at kMaxWarningBytes, and then a last one that counts those left
    // out. A hostile input cannot make them fill the memory.
    std::vector<std::string> warnings() const;
    static constexpr std::size_t kMaxWarnings = 1000;
    static constexpr std::size_t kMaxWarningBytes = 8192;

protected:
    virtual void onCall(const Operation& op, const std::vector<std::string>& args) = 0;
    virtual std::string onBuild() = 0;
    // The recording engine logs the reader's calls as well; others need not care.
    virtual void onTagCall(std::string_view /*operation*/, const std::vector<std::string>& /*args*/) {}

    // For implementations: publish status (empty bar or title leave the reader's view alone).
    void setStatus(std::string message, std::string bar = {}, std::string title = {});
    void setStatusMessage(std::string message);
    void setStatusBar(int percent);
    void setStatusTitle(std::string title);
    bool cancelRequested() const { return cancel_.load() != 0; }
    void addWarning(std::string warning);
    void clearWarnings();

private:
    TagReader tags_;
    mutable std::mutex statusMutex_;
    std::string msg_;
    std::string bar_;
    std::string title_;
    std::vector<std::string> warnings_;
    std::size_t droppedWarnings_ = 0;
    std::atomic<int> cancel_{0};
    static_assert(std::atomic<int>::is_always_lock_free, "the cancel is set from signal handlers");

    // Two copies of the status message: a handler reads the one not being written.
    void copyForSignal(const std::string& message);
    static constexpr std::size_t kSignalTextSize = 200;
    char signalText_[2][kSignalTextSize] = {};
    std::atomic<int> signalTextIndex_{0};
};

} // namespace plait::engine
