// plait-engine-worker: runs one build of the real engine for the program, which talks to it
// over descriptor 3 (see Channel.h) and may kill it at any moment. No Qt.

#include "Channel.h"
#include "PageCountProcess.h"
#include "ProcessLimits.h"
#include "engine/WatchedRun.h"
#include "pdfengine/PageCount.h"
#include "pdfengine/PendingOutputs.h"
#include "pdfengine/PlaitEngine.h"
#include "pdfengine/Retire.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <thread>

#include <sys/prctl.h>
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
    // Cancel arrives while the build runs.
    std::thread([&reader, &engine] {
        char buffer[4096];
        for (;;) {
            while (auto m = reader.next()) {
                if (m->kind == 'X' && !m->fields.empty()) {
                    engine.setCancelBuild(std::atoi(m->fields[0].c_str()));
                }
            }
            const ssize_t n = ::read(kChannel, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                // Nobody to report to: stop the build.
                engine.setCancelBuild(1);
                return;
            }
            reader.feed(buffer, static_cast<std::size_t>(n));
        }
    }).detach();

    std::string msg, bar, title;
    std::size_t warningsSent = 0;
    const auto relay = [&] {
        std::string m = engine.stsMsg(), b = engine.stsBar(), t = engine.stsTitle();
        if (m != msg || b != bar || t != title) {
            msg = m;
            bar = b;
            title = t;
            reply({'S', {msg, bar, title}});
        }
        const auto warnings = engine.warnings();
        for (; warningsSent < warnings.size(); ++warningsSent) {
            reply({'W', {warnings[warningsSent]}});
        }
    };
    std::string result;
    try {
        result = engine::buildWatched(engine, std::chrono::milliseconds(50), relay);
    } catch (const std::exception& e) {
        reply({'W', {std::string("The build failed: ") + e.what()}});
        result = "-4";
    }
    relay();
    reply({'R', {result}});
    std::fflush(nullptr);
    ::_exit(0);
}
