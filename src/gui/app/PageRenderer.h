#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QSizeF>
#include <QString>

class QProcess;
class QTimer;

namespace plait::gui {

// One `pdfplait-render` for one previewed PDF, driven without ever blocking the window: it is
// started with its memory and processor time capped, each question must be answered within
// `answerTime`, and whatever it says is checked against what was asked (render/RenderProtocol.h).
// A renderer that dies, runs over a bound or says anything out of turn is stopped, with what
// stopped it; after that it says nothing more.
class PageRenderer : public QObject {
    Q_OBJECT
public:
    struct Limits {
        int answerMilliseconds = 10000;
        unsigned long megabytes = 512;
        unsigned long cpuSeconds = 120;
    };

    PageRenderer(const QString& program, const QString& pdf, const Limits& limits, QObject* parent = nullptr);
    ~PageRenderer() override;

    // Starts the renderer; it then says how many pages there are, or that it needs a password.
    void start();
    void sendPassword(const QString& password);
    // Asks for one page `width` pixels wide; one question at a time (ignored while busy).
    void render(int page, int width);
    bool busy() const { return expecting_ != Expecting::Nothing; }
    bool stoppedForGood() const { return stopped_; }
    // Ends the renderer and everything it started now; nothing more is said.
    void stop();

    // Where the renderer is: beside `programPath`, or else at `fallback` (the build tree's);
    // empty when neither exists.
    static QString find(const QString& programPath, const QString& fallback);

signals:
    void opened(int pages, QSizeF firstPagePoints);
    void passwordNeeded();
    void unreadable(const QString& reason);
    void rendered(int page, const QImage& image);
    void renderFailed(int page);
    // The renderer is gone: why, in a few words ("it ran out of memory").
    void stoppedWith(const QString& reason);

private:
    enum class Expecting { Nothing, OpenAnswer, Image, ImageBytes };
    void ask(const QByteArray& line, Expecting answer);
    void readAnswers();
    // Handles one complete line; false when it is no answer to the question asked.
    bool answerLine(const QByteArray& line);
    void finished(int exitCode, bool crashed);
    void fail(const QString& reason);

    QProcess* process_;
    QTimer* answerTimer_;
    QString program_;
    QString pdf_;
    Limits limits_;
    Expecting expecting_ = Expecting::Nothing;
    QByteArray buffer_;
    int askedPage_ = -1;
    QSize imageSize_;
    bool stopped_ = false;
};

} // namespace plait::gui
