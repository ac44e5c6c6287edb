#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace plait::gui {

// What each input is, in a few words: its page count ("12 pages"), "image", "audio", "video",
// or why it cannot be read. PDFs are opened on a worker thread of their own, one at a time,
// so that adding thousands of files costs the window no more than a queue entry each; the
// answers are kept until the file changes. Where the engine worker is found (useWorker), each
// PDF is opened in a worker process with its memory and time bounded, so that a hostile file
// costs the program nothing; it is then said not to be readable.
class PageCounts : public QObject {
    Q_OBJECT
public:
    explicit PageCounts(QObject* parent = nullptr);
    ~PageCounts() override;

    // Queues a file to be looked at (nothing happens when its answer is known).
    void request(const QString& path);
    // The answer for a file; nothing while it is still being counted (it is queued then).
    std::optional<QString> describe(const QString& path);
    // Blocks until the queue is empty (for tests and benchmarks).
    void waitUntilIdle();

    // The words for a file that is not a PDF, by its extension; nothing for a PDF or anything
    // else that is opened to be counted.
    static std::optional<QString> kindOf(const QString& path);
    // True for a file whose first bytes are those of an image the engine reads.
    static bool isImage(const QString& path);

    // Counts pages in the engine worker at `path` from now on (empty: in this process).
    static void useWorker(std::string path);
    static std::string workerPath();

signals:
    // A file's answer is known (emitted on the worker thread; connect with a queued connection).
    void counted(const QString& path);

private:
    struct Answer {
        qint64 size = -1;
        qint64 modified = 0;
        QString text;
    };
    void run();
    static Answer look(const QString& path);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<QString> queue_;
    QHash<QString, Answer> answers_;
    bool busy_ = false;
    bool stop_ = false;
    std::thread worker_;
};

} // namespace plait::gui
