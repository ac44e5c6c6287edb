#include "PageCounts.h"

#include "pdfengine/InputType.h"
#include "pdfengine/PageCount.h"
#include "worker/PageCountProcess.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

namespace plait::gui {

namespace {

// A file is looked at again once its length or time of change differ from when it was counted.
std::pair<qint64, qint64> stamp(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return {-1, 0};
    }
    return {info.size(), info.lastModified().toMSecsSinceEpoch()};
}

std::mutex gWorkerMutex;
std::string gWorkerPath;

// The page count as this process would find it, from the worker.
pdf::PageCount countInWorker(const std::string& worker, const std::string& path) {
    const worker::PageCountAnswer answer = worker::countPagesInWorker(worker, path);
    pdf::PageCount count;
    switch (answer.kind) {
    case worker::PageCountAnswer::Kind::Pages:
        count.pages = answer.pages;
        break;
    case worker::PageCountAnswer::Kind::NeedsPassword:
        count.problem = pdf::PageCount::Problem::NeedsPassword;
        break;
    case worker::PageCountAnswer::Kind::Unreadable:
    case worker::PageCountAnswer::Kind::Stopped:
    case worker::PageCountAnswer::Kind::Fits:
    case worker::PageCountAnswer::Kind::TooLarge:
        count.problem = pdf::PageCount::Problem::Damaged;
        count.reason = answer.reason;
        break;
    }
    return count;
}

} // namespace

void PageCounts::useWorker(std::string path) {
    std::lock_guard lock(gWorkerMutex);
    gWorkerPath = std::move(path);
}

std::string PageCounts::workerPath() {
    std::lock_guard lock(gWorkerMutex);
    return gWorkerPath;
}

PageCounts::PageCounts(QObject* parent) : QObject(parent), worker_([this] { run(); }) {}

PageCounts::~PageCounts() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        queue_.clear();
    }
    wake_.notify_all();
    worker_.join();
}

std::optional<QString> PageCounts::kindOf(const QString& path) {
    const QString ext = QFileInfo(path).suffix().toLower();
    static const QStringList images{"gif", "jpg", "jpeg", "png", "tif", "tiff"};
    static const QStringList audio{"mp3", "wav", "wma"};
    static const QStringList video{"avi", "swf", "mp4", "mpg", "mpeg", "mov", "wmv"};
    if (images.contains(ext)) {
        return tr("image");
    }
    if (audio.contains(ext)) {
        return tr("audio");
    }
    if (video.contains(ext)) {
        return tr("video");
    }
    return std::nullopt;
}

bool PageCounts::isImage(const QString& path) {
    // Only a regular file is opened: a pipe would hold the counting thread until written to.
    if (!QFileInfo(path).isFile()) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(static_cast<qint64>(pdf::kSniffBytes));
    return pdf::sniffInput(std::string_view(head.constData(), static_cast<std::size_t>(head.size()))).type ==
           pdf::InputType::Image;
}

void PageCounts::request(const QString& path) {
    {
        std::lock_guard lock(mutex_);
        if (answers_.contains(path)) {
            return;
        }
        queue_.push_back(path);
    }
    wake_.notify_one();
}

std::optional<QString> PageCounts::describe(const QString& path) {
    {
        std::lock_guard lock(mutex_);
        auto it = answers_.constFind(path);
        if (it != answers_.constEnd()) {
            const auto [size, modified] = stamp(path);
            if (it->size == size && it->modified == modified) {
                return it->text;
            }
            answers_.remove(path); // changed since: counted again
        }
    }
    request(path);
    return std::nullopt;
}

void PageCounts::waitUntilIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return (queue_.empty() && !busy_) || stop_; });
}

PageCounts::Answer PageCounts::look(const QString& path) {
    Answer answer;
    std::tie(answer.size, answer.modified) = stamp(path);
    if (answer.size < 0) {
        answer.text = tr("cannot be read: there is no such file");
    } else if (auto kind = kindOf(path)) {
        answer.text = *kind;
    } else if (isImage(path)) {
        // The engine takes an image by its first bytes, whatever its name says.
        answer.text = tr("image");
    } else {
        const std::string file = QFile::encodeName(path).toStdString();
        const std::string worker = workerPath();
        const pdf::PageCount count = worker.empty() ? pdf::countPages(file) : countInWorker(worker, file);
        switch (count.problem) {
        case pdf::PageCount::Problem::None:
            answer.text = count.pages == 1 ? tr("1 page") : tr("%1 pages").arg(count.pages);
            break;
        case pdf::PageCount::Problem::NeedsPassword:
            answer.text = tr("protected by a password");
            break;
        case pdf::PageCount::Problem::CannotOpen:
        case pdf::PageCount::Problem::Damaged:
            answer.text = tr("cannot be read: %1").arg(QString::fromStdString(count.reason));
            break;
        }
    }
    return answer;
}

void PageCounts::run() {
    for (;;) {
        QString path;
        {
            std::unique_lock lock(mutex_);
            busy_ = false;
            if (queue_.empty()) {
                idle_.notify_all();
            }
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_) {
                idle_.notify_all();
                return;
            }
            path = queue_.front();
            queue_.pop_front();
            if (answers_.contains(path)) {
                continue; // queued twice
            }
            busy_ = true;
        }
        Answer answer = look(path);
        {
            std::lock_guard lock(mutex_);
            answers_.insert(path, std::move(answer));
        }
        emit counted(path);
    }
}

} // namespace plait::gui
