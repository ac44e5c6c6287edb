// plait-engine-worker: runs one build of the real engine for the program, which talks to it
// over descriptor 3 (see Channel.h) and may kill it at any moment. No Qt. The build runs on the
// process's first thread with no other thread of the worker's beside it (engine/WatchedRun.h
// says why that is faster): cancels arrive by SIGIO, and the status is sent as it changes.

#include "Channel.h"
#include "PageCountProcess.h"
#include "ProcessLimits.h"
#include "engine/StatusListener.h"
#include "engine/WatchedRun.h"
#include "pdfengine/PageCount.h"
#include "pdfengine/PendingOutputs.h"
#include "pdfengine/PlaitEngine.h"
#include "pdfengine/Retire.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace plait;

constexpr int kChannel = 3;
// What the content, forms, images and fonts of a preview's pages may decode to.
constexpr std::uint64_t kPreviewBudgetBytes = std::uint64_t{256} << 20;

std::mutex gSendMutex;

void reply(const worker::Message& m) {
    std::lock_guard lock(gSendMutex);
    worker::send(kChannel, m);
}

// The program went away (or asked to stop by signal): take the temporary output along.
extern "C" void onTerminate(int /*signal*/) {
    pdf::removePendingOutputs();
    ::_exit(1);
}

// Reads messages until one of `kind` arrives; calls go to the engine on the way. False at
// the end of input.
bool readUntilBuild(worker::MessageReader& reader, pdf::PlaitEngine& engine) {
    char buffer[65536];
    for (;;) {
        while (auto m = reader.next()) {
            if (m->kind == 'B') {
                return true;
            }
            if (m->kind == 'C' && !m->fields.empty()) {
                std::vector<std::string> args(m->fields.begin() + 1, m->fields.end());
                try {
                    engine.call(m->fields[0], std::move(args));
                } catch (const engine::EngineCallError&) {
                    // The program checked the call before recording it; a mismatch means an
                    // older program, and the call is dropped.
                }
            }
        }
        const ssize_t n = ::read(kChannel, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || reader.broken()) {
            return false;
        }
        reader.feed(buffer, static_cast<std::size_t>(n));
    }
}

// While the build runs, the program sends nothing but cancels ('X' value). They arrive as
// SIGIO on the build thread, whose handler reads them with recv() alone: the build keeps the
// process to itself, with no thread of the worker's beside it. The end of the channel (the
// program went away) cancels the build, as there is nobody to report to.
struct CancelChannel {
    pdf::PlaitEngine* engine = nullptr;
    char bytes[512] = {};
    std::size_t have = 0;
    bool broken = false; // something other than a cancel: the rest is not read as messages
};
CancelChannel gCancels;

std::size_t numberAt(const char* at) {
    std::size_t n = 0;
    for (int i = 0; i < 4; ++i) {
        n = (n << 8) | static_cast<unsigned char>(at[i]);
    }
    return n;
}

// The value of a cancel, as atoi() reads it, with what a signal handler may use.
int cancelValue(const char* text, std::size_t size) {
    std::size_t i = 0;
    while (i < size && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    const bool negative = i < size && text[i] == '-';
    if (i < size && (text[i] == '-' || text[i] == '+')) {
        ++i;
    }
    int value = 0;
    for (; i < size && text[i] >= '0' && text[i] <= '9' && value < 100000000; ++i) {
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

// Takes the whole messages at the front of the buffer.
void takeCancelMessages() {
    CancelChannel& c = gCancels;
    std::size_t at = 0;
    while (!c.broken && c.have - at >= 5) {
        const char kind = c.bytes[at];
        const std::size_t count = numberAt(c.bytes + at + 1);
        if (count > worker::MessageReader::kMaxFields) {
            c.broken = true;
            return;
        }
        std::size_t end = at + 5;
        const char* first = nullptr;
        std::size_t firstSize = 0;
        bool whole = true;
        for (std::size_t i = 0; i < count && whole; ++i) {
            if (c.have - end < 4) {
                whole = false;
                break;
            }
            const std::size_t length = numberAt(c.bytes + end);
            if (length > sizeof c.bytes) {
                c.broken = true;
                return;
            }
            if (c.have - end - 4 < length) {
                whole = false;
                break;
            }
            if (i == 0) {
                first = c.bytes + end + 4;
                firstSize = length;
            }
            end += 4 + length;
        }
        if (!whole) {
            break;
        }
        if (kind == 'X' && first != nullptr) {
            c.engine->setCancelBuild(cancelValue(first, firstSize));
        }
        at = end;
    }
    std::memmove(c.bytes, c.bytes + at, c.have - at);
    c.have -= at;
    if (c.have == sizeof c.bytes) {
        c.broken = true; // a message longer than any cancel
    }
}

// Reads what has arrived, without waiting; safe in a signal handler.
void readCancels() {
    CancelChannel& c = gCancels;
    for (;;) {
        char scratch[512];
        char* into = c.broken ? scratch : c.bytes + c.have;
        const std::size_t room = c.broken ? sizeof scratch : sizeof c.bytes - c.have;
        const ssize_t n = ::recv(kChannel, into, room, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0) {
            c.engine->setCancelBuild(1);
            return;
        }
        if (n < 0) {
            return; // nothing more for now
        }
        if (!c.broken) {
            c.have += static_cast<std::size_t>(n);
            takeCancelMessages();
        }
    }
}

extern "C" void onChannel(int /*signal*/) {
    const int saved = errno;
    readCancels();
    errno = saved;
}

// From here on the program's cancels arrive by signal, on this thread.
void listenForCancels(worker::MessageReader& reader, pdf::PlaitEngine& engine) {
    gCancels.engine = &engine;
    sigset_t io, before;
    sigemptyset(&io);
    sigaddset(&io, SIGIO);
    sigprocmask(SIG_BLOCK, &io, &before);
    struct sigaction sa {};
    sa.sa_handler = onChannel;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGIO, &sa, nullptr);
    // Only this thread takes the signal, so the handler never runs beside itself.
    struct f_owner_ex owner {};
    owner.type = F_OWNER_TID;
    owner.pid = static_cast<pid_t>(::gettid());
    ::fcntl(kChannel, F_SETOWN_EX, &owner);
    ::fcntl(kChannel, F_SETFL, ::fcntl(kChannel, F_GETFL) | O_ASYNC);
    // What came with the build's own message, and what arrived before the signal was asked for.
    while (auto m = reader.next()) {
        if (m->kind == 'X' && !m->fields.empty()) {
            engine.setCancelBuild(std::atoi(m->fields[0].c_str()));
        }
    }
    const std::string rest = reader.unread();
    if (reader.broken() || rest.size() > sizeof gCancels.bytes) {
        gCancels.broken = true;
    } else {
        std::memcpy(gCancels.bytes, rest.data(), rest.size());
        gCancels.have = rest.size();
    }
    readCancels();
    sigprocmask(SIG_SETMASK, &before, nullptr);
}

// `--count-pages FILE`: the page count of one PDF for the program's list, on standard output
// (PageCountProcess.h). The program bounds the time; the memory limit is applied here.
int countPages(const char* file, unsigned long megabytes) {
    worker::applyMemoryLimit(megabytes);
    worker::PageCountAnswer answer;
    try {
        const pdf::PageCount count = pdf::countPages(file);
        switch (count.problem) {
        case pdf::PageCount::Problem::None:
            answer.kind = worker::PageCountAnswer::Kind::Pages;
            answer.pages = count.pages;
            break;
        case pdf::PageCount::Problem::NeedsPassword:
            answer.kind = worker::PageCountAnswer::Kind::NeedsPassword;
            break;
        case pdf::PageCount::Problem::CannotOpen:
        case pdf::PageCount::Problem::Damaged:
            answer.kind = worker::PageCountAnswer::Kind::Unreadable;
            answer.reason = count.reason.substr(0, 1000);
            break;
        }
    } catch (const std::bad_alloc&) {
        answer.kind = worker::PageCountAnswer::Kind::Unreadable;
        answer.reason = "it needs more memory than a preview may take";
    } catch (const std::exception& e) {
        answer.kind = worker::PageCountAnswer::Kind::Unreadable;
        answer.reason = std::string(e.what()).substr(0, 1000);
    }
    for (char& c : answer.reason) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    const std::string text = worker::encodePageCount(answer);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    std::_Exit(0); // the document is let go with the process
}

// `--probe-preview FILE`: whether a viewer could show the PDF within a preview's bounds.
int probePreview(const char* file, unsigned long megabytes) {
    worker::applyMemoryLimit(megabytes);
    worker::PageCountAnswer answer;
    try {
        const pdf::PreviewProbe probe = pdf::probePreview(file, kPreviewBudgetBytes);
        answer.kind = probe.outcome == pdf::PreviewProbe::Outcome::Fits ? worker::PageCountAnswer::Kind::Fits
                      : probe.outcome == pdf::PreviewProbe::Outcome::TooLarge
                          ? worker::PageCountAnswer::Kind::TooLarge
                          : worker::PageCountAnswer::Kind::Unreadable;
        answer.reason = probe.reason.substr(0, 1000);
    } catch (const std::bad_alloc&) {
        answer.kind = worker::PageCountAnswer::Kind::TooLarge;
        answer.reason = "it needs more memory than a preview may take";
    }
    for (char& c : answer.reason) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    const std::string text = worker::encodePageCount(answer);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    std::_Exit(0);
}

} // namespace

int main(int argc, char** argv) {
    unsigned long megabytes = worker::kDefaultBuildMegabytes;
    const char* countFile = nullptr;
    const char* probeFile = nullptr;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--memory-limit") == 0) {
            megabytes = std::strtoul(argv[i + 1], nullptr, 10);
        } else if (std::strcmp(argv[i], "--count-pages") == 0) {
            countFile = argv[i + 1];
        } else if (std::strcmp(argv[i], "--probe-preview") == 0) {
            probeFile = argv[i + 1];
        }
    }
    if (countFile != nullptr) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL); // it writes nothing: nothing to clean up
        return countPages(countFile, megabytes);
    }
    if (probeFile != nullptr) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        return probePreview(probeFile, megabytes);
    }
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    for (int s : {SIGTERM, SIGHUP, SIGINT}) {
        std::signal(s, onTerminate);
    }
    std::signal(SIGPIPE, SIG_IGN);
    // Past a file-size limit a write fails with EFBIG and the build reports it.
    std::signal(SIGXFSZ, SIG_IGN);
    worker::applyMemoryLimit(megabytes);
    pdf::setOneBuildPerProcess(true); // the process ends after its build
    pdf::setPendingOutputListener([](const std::string& path) { reply({'T', {path}}); });

    pdf::PlaitEngine engine;
    worker::MessageReader reader;
    if (!readUntilBuild(reader, engine)) {
        return 1;
    }
    listenForCancels(reader, engine);

    // The status goes out as it changes, from the thread that changed it (the build's, or the
    // engine's reading thread for a warning), under the lock that keeps messages whole. The
    // warnings are looked at no more than every 50 ms (and at the end): a copy of all of them for
    // each new one would cost an input with many warnings the square of their number.
    using Clock = std::chrono::steady_clock;
    std::string msg, bar, title;
    std::size_t warningsSent = 0;
    Clock::time_point warningsLooked{};
    const auto relay = [&](bool last) {
        std::lock_guard lock(gSendMutex);
        std::string m = engine.stsMsg(), b = engine.stsBar(), t = engine.stsTitle();
        if (m != msg || b != bar || t != title) {
            msg = std::move(m);
            bar = std::move(b);
            title = std::move(t);
            worker::send(kChannel, {'S', {msg, bar, title}});
        }
        const auto now = Clock::now();
        if (!last && now - warningsLooked < std::chrono::milliseconds(50)) {
            return;
        }
        warningsLooked = now;
        const auto warnings = engine.warnings();
        for (; warningsSent < warnings.size(); ++warningsSent) {
            worker::send(kChannel, {'W', {warnings[warningsSent]}});
        }
    };
    engine::setStatusListener([&relay] { relay(false); });
    std::string result;
    try {
        engine::reserveBuildStack();
        result = engine.BuildPDF();
    } catch (const std::exception& e) {
        engine::setStatusListener({});
        reply({'W', {std::string("The build failed: ") + e.what()}});
        result = "-4";
    }
    engine::setStatusListener({});
    relay(true);
    reply({'R', {result}});
    std::fflush(nullptr);
    ::_exit(0);
}
