#include "MergeEngine.h"
#include "StatusListener.h"

#include <algorithm>
#include <cstring>

namespace plait::engine {

namespace {

std::function<void()> gStatusListener;

// Declared before a setter takes the status lock, so that the listener runs once it is let
// go. A listener that cannot allocate (the build may be at its memory ceiling) misses one
// change; the next one, or the end of the build, carries it.
struct TellListener {
    TellListener() = default;
    TellListener(const TellListener&) = delete;
    TellListener& operator=(const TellListener&) = delete;
    ~TellListener() {
        if (gStatusListener) {
            try {
                gStatusListener();
            } catch (const std::exception&) {
            }
        }
    }
};

} // namespace

void setStatusListener(std::function<void()> listener) {
    gStatusListener = std::move(listener);
}

void MergeEngine::call(std::string_view operation, std::vector<std::string> args) {
    const Operation* op = findOperation(operation);
    if (op == nullptr) {
        throw EngineCallError("unknown engine operation '" + std::string(operation) + "'");
    }
    if (static_cast<int>(args.size()) != op->arity) {
        throw EngineCallError("engine operation '" + std::string(operation) + "' takes " +
                              std::to_string(op->arity) + " argument(s), got " + std::to_string(args.size()));
    }
    if (op->name == "setTags") {
        tags_.setText(args[0]);
    }
    onCall(*op, args);
}

void MergeEngine::call(std::string_view operation, std::initializer_list<std::string_view> args) {
    std::vector<std::string> list;
    list.reserve(args.size());
    for (auto a : args) {
        list.emplace_back(a);
    }
    call(operation, std::move(list));
}

std::string MergeEngine::BuildPDF() {
    return onBuild();
}

int MergeEngine::getNextTag() {
    onTagCall("getNextTag", {});
    return tags_.next() ? 1 : 0;
}

std::string MergeEngine::getTagParams(std::string_view name) {
    onTagCall("getTagParams", {std::string(name)});
    return tags_.param(name);
}

std::string MergeEngine::stsMsg() const {
    std::lock_guard lock(statusMutex_);
    return msg_;
}

std::string MergeEngine::stsBar() const {
    std::lock_guard lock(statusMutex_);
    return bar_;
}

std::string MergeEngine::stsTitle() const {
    std::lock_guard lock(statusMutex_);
    return title_;
}

std::vector<std::string> MergeEngine::warnings() const {
    std::lock_guard lock(statusMutex_);
    std::vector<std::string> all = warnings_;
    if (droppedWarnings_ > 0) {
        all.push_back(std::to_string(droppedWarnings_) + " further notes were left out");
    }
    return all;
}

void MergeEngine::setStatus(std::string message, std::string bar, std::string title) {
    const TellListener tell;
    std::lock_guard lock(statusMutex_);
    msg_ = std::move(message);
    copyForSignal(msg_);
    if (!bar.empty()) {
        bar_ = std::move(bar);
    }
    if (!title.empty()) {
        title_ = std::move(title);
    }
}

void MergeEngine::setStatusMessage(std::string message) {
    const TellListener tell;
    std::lock_guard lock(statusMutex_);
    msg_ = std::move(message);
    copyForSignal(msg_);
}

void MergeEngine::copyForSignal(const std::string& message) {
    const int next = 1 - signalTextIndex_.load();
    char* text = signalText_[next];
    std::size_t n = std::min(message.size(), kSignalTextSize - 1);
    while (n < message.size() && n > 0 && (static_cast<unsigned char>(message[n]) & 0xC0) == 0x80) {
        --n; // not in the middle of a character
    }
    std::memcpy(text, message.data(), n);
    text[n] = '\0';
    signalTextIndex_.store(next);
}

void MergeEngine::setStatusBar(int percent) {
    const TellListener tell;
    std::lock_guard lock(statusMutex_);
    bar_ = std::to_string(percent);
}

void MergeEngine::setStatusTitle(std::string title) {
    const TellListener tell;
    std::lock_guard lock(statusMutex_);
    title_ = std::move(title);
}

void MergeEngine::addWarning(std::string warning) {
    const TellListener tell;
    std::lock_guard lock(statusMutex_);
    if (warnings_.size() >= kMaxWarnings) {
        ++droppedWarnings_;
        return;
    }
    if (warning.size() > kMaxWarningBytes) {
        std::size_t n = kMaxWarningBytes;
        while (n > 0 && (static_cast<unsigned char>(warning[n]) & 0xC0) == 0x80) {
            --n; // not in the middle of a character
        }
        warning.resize(n);
        warning += "...";
    }
    warnings_.push_back(std::move(warning));
}

void MergeEngine::clearWarnings() {
    const TellListener tell;
    std::lock_guard lock(statusMutex_);
    warnings_.clear();
    droppedWarnings_ = 0;
}

} // namespace plait::engine
