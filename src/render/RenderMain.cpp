// pdfplait-render: draws the pages of one PDF for the preview pane (RenderProtocol.h).
//
//   pdfplait-render [--memory-limit MB] [--cpu-seconds S] FILE
//
// The file may be hostile: the renderer caps its own address space and processor time before
// it opens it, dies with the program that started it, and is the only process a page that
// inflates without end can take down.

#include "render/RenderProtocol.h"
#include "worker/ProcessLimits.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPdfDocument>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace plait::render;

constexpr unsigned long kDefaultMegabytes = 512;
constexpr unsigned long kDefaultCpuSeconds = 120;

void limitCpu(unsigned long seconds) {
    if (seconds == 0) {
        return;
    }
    // SIGXCPU at the soft limit; should that be caught or ignored, SIGKILL a little later.
    struct rlimit limit {};
    limit.rlim_cur = seconds;
    limit.rlim_max = seconds + 2;
    ::setrlimit(RLIMIT_CPU, &limit);
}

bool writeAll(const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool say(const std::string& line) {
    return writeAll(line.data(), line.size());
}

// What opening the file found, as its first line.
std::string openAnswer(QPdfDocument& doc, const QString& file) {
    const QPdfDocument::Error error = doc.load(file);
    if (error == QPdfDocument::Error::IncorrectPassword) {
        return "password\n";
    }
    if (error != QPdfDocument::Error::None) {
        return error == QPdfDocument::Error::FileNotFound ? "unreadable the file cannot be opened\n"
                                                          : "unreadable it is damaged or not a PDF\n";
    }
    const QSizeF first = doc.pageCount() > 0 ? doc.pagePointSize(0) : QSizeF();
    return "pages " + std::to_string(doc.pageCount()) + " " +
           std::to_string(static_cast<long long>(std::lround(first.width()))) + " " +
           std::to_string(static_cast<long long>(std::lround(first.height()))) + "\n";
}

// Page `page` drawn `width` pixels wide on white, within the protocol's bounds.
QImage drawPage(QPdfDocument& doc, int page, int width) {
    const QSizeF points = doc.pagePointSize(page);
    if (points.width() <= 0 || points.height() <= 0) {
        return {};
    }
    width = std::clamp(width, 1, kMaxWidth);
    double height = width * points.height() / points.width();
    if (static_cast<double>(width) * height > static_cast<double>(kMaxPixels)) {
        // A page far taller than wide: narrower, so that the picture keeps its bound.
        const double scale = std::sqrt(static_cast<double>(kMaxPixels) / (width * height));
        width = std::max(1, static_cast<int>(width * scale));
        height *= scale;
    }
    const QSize size(width, std::max(1, static_cast<int>(std::lround(height))));
    const QImage drawn = doc.render(page, size);
    if (drawn.isNull()) {
        return {};
    }
    QImage onWhite(size, QImage::Format_RGB32);
    onWhite.fill(Qt::white);
    QPainter painter(&onWhite);
    painter.drawImage(0, 0, drawn);
    painter.end();
    return onWhite;
}

QByteArray fromHex(const char* text) {
    return QByteArray::fromHex(QByteArray(text));
}

int serve(const QString& file) {
    QPdfDocument doc;
    if (!say(openAnswer(doc, file))) {
        return 0;
    }
    char line[kMaxLineBytes + 2];
    while (std::fgets(line, sizeof line, stdin) != nullptr) {
        const std::size_t length = std::strlen(line);
        if (length == 0 || line[length - 1] != '\n') {
            return 2; // longer than any request
        }
        line[length - 1] = '\0';
        int page = 0;
        int width = 0;
        char extra = 0;
        if (std::strncmp(line, "password ", 9) == 0) {
            doc.setPassword(QString::fromUtf8(fromHex(line + 9)));
            if (!say(openAnswer(doc, file))) {
                return 0;
            }
        } else if (std::sscanf(line, "render %d %d%c", &page, &width, &extra) == 2 && page >= 0 &&
                   page < doc.pageCount() && width > 0) {
            const QImage image = drawPage(doc, page, width);
            if (image.isNull()) {
                if (!say("failed " + std::to_string(page) + "\n")) {
                    return 0;
                }
                continue;
            }
            std::string head = "image " + std::to_string(page) + " " + std::to_string(image.width()) + " " +
                               std::to_string(image.height()) + "\n";
            if (!say(head)) {
                return 0;
            }
            for (int y = 0; y < image.height(); ++y) {
                if (!writeAll(reinterpret_cast<const char*>(image.constScanLine(y)),
                              static_cast<std::size_t>(image.width()) * 4)) {
                    return 0;
                }
            }
        } else {
            return 2;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    // Gone with the program that asked: a renderer left drawing a hostile page would run on.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() == 1) {
        return 1;
    }
    unsigned long megabytes = kDefaultMegabytes;
    unsigned long cpuSeconds = kDefaultCpuSeconds;
    const char* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--memory-limit") == 0 && i + 1 < argc) {
            megabytes = std::strtoul(argv[++i], nullptr, 10);
        } else if (std::strcmp(argv[i], "--cpu-seconds") == 0 && i + 1 < argc) {
            cpuSeconds = std::strtoul(argv[++i], nullptr, 10);
        } else if (file == nullptr) {
            file = argv[i];
        } else {
            file = nullptr;
            break;
        }
    }
    if (file == nullptr) {
        std::fputs("usage: pdfplait-render [--memory-limit MB] [--cpu-seconds S] FILE\n", stderr);
        return 2;
    }
    plait::worker::applyMemoryLimit(megabytes);
    limitCpu(cpuSeconds);
    try {
        QCoreApplication app(argc, argv);
        return serve(QString::fromLocal8Bit(file));
    } catch (const std::bad_alloc&) {
        return kOutOfMemoryStatus;
    }
}
