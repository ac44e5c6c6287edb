#include "PageRenderer.h"

#include "render/RenderProtocol.h"
#include "worker/ProcessLimits.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <cstring>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace plait::gui {

namespace {

// The renderer's own words are shown on a card: printable characters only, and not many.
QString plainWords(const QByteArray& bytes) {
    QString text;
    for (const char c : bytes.left(200)) {
        text += (c >= 0x20 && c < 0x7f) ? QChar::fromLatin1(c) : QChar(u'?');
    }
    return text;
}

// A whole decimal number within [0, max], or -1.
long long number(const QByteArray& text, long long max) {
    if (text.isEmpty() || text.size() > 12) {
        return -1;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
    }
    const long long value = text.toLongLong();
    return value <= max ? value : -1;
}

} // namespace

PageRenderer::PageRenderer(const QString& program, const QString& pdf, const Limits& limits, QObject* parent)
    : QObject(parent), process_(new QProcess(this)), answerTimer_(new QTimer(this)), program_(program),
      pdf_(pdf), limits_(limits) {
    answerTimer_->setSingleShot(true);
    connect(answerTimer_, &QTimer::timeout, this, [this] {
        fail(tr("the page renderer did not answer within %n second(s)", nullptr,
                (limits_.answerMilliseconds + 999) / 1000));
    });
    connect(process_, &QProcess::readyReadStandardOutput, this, &PageRenderer::readAnswers);
    connect(process_, &QProcess::finished, this,
            [this](int code, QProcess::ExitStatus status) { finished(code, status == QProcess::CrashExit); });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            fail(tr("the page renderer could not be started"));
        }
    });
}

PageRenderer::~PageRenderer() {
    stop();
}

QString PageRenderer::find(const QString& programPath, const QString& fallback) {
    const QFileInfo beside(QFileInfo(programPath).dir(), QStringLiteral("pdfplait-render"));
    if (!programPath.isEmpty() && beside.isFile() && beside.isExecutable()) {
        return beside.filePath();
    }
    if (!fallback.isEmpty() && QFileInfo(fallback).isFile()) {
        return fallback;
    }
    return {};
}

void PageRenderer::start() {
    process_->setProgram(program_);
    process_->setArguments({QStringLiteral("--memory-limit"), QString::number(limits_.megabytes),
                            QStringLiteral("--cpu-seconds"), QString::number(limits_.cpuSeconds), pdf_});
    process_->setStandardErrorFile(QProcess::nullDevice());
    // The bounds hold from the first instruction of the renderer, whatever it does itself: its
    // own process group (so that it goes with what it starts), memory, processor time, and
    // death with this process.
    const rlim_t bytes = worker::sanitized() ? 0 : static_cast<rlim_t>(limits_.megabytes) << 20;
    const rlim_t seconds = limits_.cpuSeconds;
    process_->setChildProcessModifier([bytes, seconds] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (bytes != 0) {
            const struct rlimit memory { bytes, bytes };
            ::setrlimit(RLIMIT_AS, &memory);
        }
        if (seconds != 0) {
            const struct rlimit cpu { seconds, seconds + 2 };
            ::setrlimit(RLIMIT_CPU, &cpu);
        }
    });
    expecting_ = Expecting::OpenAnswer;
    answerTimer_->start(limits_.answerMilliseconds);
    process_->start(QIODevice::ReadWrite);
}

void PageRenderer::ask(const QByteArray& line, Expecting answer) {
    if (stopped_ || busy()) {
        return;
    }
    expecting_ = answer;
    answerTimer_->start(limits_.answerMilliseconds);
    process_->write(line);
}

void PageRenderer::sendPassword(const QString& password) {
    ask("password " + password.toUtf8().toHex() + "\n", Expecting::OpenAnswer);
}

void PageRenderer::render(int page, int width) {
    if (stopped_ || busy()) {
        return;
    }
    askedPage_ = page;
    ask("render " + QByteArray::number(page) + " " + QByteArray::number(width) + "\n", Expecting::Image);
}

void PageRenderer::readAnswers() {
    buffer_ += process_->readAllStandardOutput();
    while (!stopped_ && !buffer_.isEmpty()) {
        if (expecting_ == Expecting::ImageBytes) {
            const qsizetype need = qsizetype(imageSize_.width()) * imageSize_.height() * 4;
            if (buffer_.size() < need) {
                return;
            }
            QImage image(imageSize_, QImage::Format_RGB32);
            for (int y = 0; y < imageSize_.height(); ++y) {
                std::memcpy(image.scanLine(y), buffer_.constData() + qsizetype(y) * imageSize_.width() * 4,
                            std::size_t(imageSize_.width()) * 4);
            }
            buffer_.remove(0, need);
            expecting_ = Expecting::Nothing;
            answerTimer_->stop();
            emit rendered(askedPage_, image);
            continue;
        }
        const qsizetype end = buffer_.indexOf('\n');
        if (end < 0) {
            if (buffer_.size() > render::kMaxLineBytes) {
                fail(tr("the page renderer answered nonsense"));
            }
            return;
        }
        const QByteArray line = buffer_.left(end);
        buffer_.remove(0, end + 1);
        if (!answerLine(line)) {
            fail(tr("the page renderer answered nonsense"));
            return;
        }
    }
}

bool PageRenderer::answerLine(const QByteArray& line) {
    if (line.size() > render::kMaxLineBytes) {
        return false;
    }
    const QList<QByteArray> words = line.split(' ');
    const QByteArray& word = words.front();
    if (expecting_ == Expecting::OpenAnswer) {
        if (word == "pages" && words.size() == 4) {
            const long long pages = number(words[1], 100'000'000);
            const long long width = number(words[2], 1'000'000);
            const long long height = number(words[3], 1'000'000);
            if (pages < 0 || width < 0 || height < 0) {
                return false;
            }
            expecting_ = Expecting::Nothing;
            answerTimer_->stop();
            emit opened(int(pages), QSizeF(double(width), double(height)));
            return true;
        }
        if (word == "password" && words.size() == 1) {
            expecting_ = Expecting::Nothing;
            answerTimer_->stop();
            emit passwordNeeded();
            return true;
        }
        if (word == "unreadable") {
            expecting_ = Expecting::Nothing;
            answerTimer_->stop();
            emit unreadable(plainWords(line.mid(word.size() + 1)));
            return true;
        }
        return false;
    }
    if (expecting_ == Expecting::Image) {
        if (word == "image" && words.size() == 4 && number(words[1], 100'000'000) == askedPage_) {
            const long long width = number(words[2], render::kMaxWidth);
            const long long height = number(words[3], render::kMaxPixels);
            if (width <= 0 || height <= 0 || width * height > render::kMaxPixels) {
                return false;
            }
            imageSize_ = QSize(int(width), int(height));
            expecting_ = Expecting::ImageBytes;
            return true;
        }
        if (word == "failed" && words.size() == 2 && number(words[1], 100'000'000) == askedPage_) {
            expecting_ = Expecting::Nothing;
            answerTimer_->stop();
            emit renderFailed(askedPage_);
            return true;
        }
    }
    return false; // nothing was asked
}

void PageRenderer::finished(int exitCode, bool crashed) {
    if (stopped_) {
        return;
    }
    if (!crashed && exitCode == render::kOutOfMemoryStatus) {
        fail(tr("it needs more memory than a preview may take"));
    } else if (crashed && exitCode == SIGXCPU) {
        fail(tr("it needs more processor time than a preview may take"));
    } else if (crashed) {
        fail(tr("the page renderer stopped (signal %1)").arg(exitCode));
    } else {
        fail(tr("the page renderer ended (exit status %1)").arg(exitCode));
    }
}

void PageRenderer::fail(const QString& reason) {
    if (stopped_) {
        return;
    }
    stop();
    emit stoppedWith(reason);
}

void PageRenderer::stop() {
    stopped_ = true;
    expecting_ = Expecting::Nothing;
    answerTimer_->stop();
    process_->disconnect(this);
    if (process_->state() != QProcess::NotRunning) {
        if (const qint64 pid = process_->processId(); pid > 0) {
            ::kill(-pid_t(pid), SIGKILL);
        }
        process_->kill();
        // Killed, it is reaped at once; the bound is for a process the kernel holds.
        process_->waitForFinished(1000);
    }
}

} // namespace plait::gui
