#pragma once

#include "PageRenderer.h"
#include "core/ui/Interfaces.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>
#include <vector>

class QLabel;
class QScrollArea;
class QStackedWidget;

namespace plait::gui {

// The preview pane: PDFs as pages drawn by a renderer process, images as pictures, and a card
// with the facts of anything else (audio, video). PDFs are never opened in this process: each
// previewed PDF has a `pdfplait-render` of its own (PageRenderer), which draws the pages as
// they come into view at the pane's width; a renderer that dies, runs over its bounds or
// stops answering leaves a card saying the PDF cannot be previewed. Nothing here waits for
// it, so the pane is always ready.
class PreviewWidget : public QWidget, public ui::PreviewPane {
    Q_OBJECT
public:
    explicit PreviewWidget(QWidget* parent = nullptr);
    ~PreviewWidget() override;

    int readyState() override { return 4; }
    void navigate(const std::string& target) override;
    void setBackgroundColor(const std::string& color) override;
    void setBodyHtml(const std::string& html) override;

    // The renderer every pane starts for a PDF (empty: PDFs are not previewed), and its bounds.
    static void useRenderer(const QString& program);
    static QString rendererPath();
    PageRenderer::Limits rendererLimits;

    // What the pane shows now: "blank", "loading" (a PDF whose renderer has not yet said how
    // many pages it has), "pdf", "image" or "card".
    QString mode() const { return mode_; }
    QString currentPath() const { return path_; }
    int pdfPageCount() const;
    // Documents up to this many pages scroll through all their pages; longer ones show one
    // page at a time.
    static constexpr int kScrollingPageLimit = 2000;
    bool pdfScrolls() const;
    int pdfCurrentPage() const;
    // The picture as it is drawn now (scaled down to fit the pane).
    QSize shownPictureSize() const;
    // The drawing of a PDF page the pane holds now (null when it has none), and the card's text.
    QImage pdfPageImage(int page) const;
    QString cardText() const;

    // Passwords to try on an encrypted PDF before asking (the one the last build used).
    std::function<QStringList()> knownPasswords;
    // Told the password the user typed when it opened `path`.
    std::function<void(const QString& path, const QString& password)> onPasswordTyped;
    // Asks the user for the open password of `fileName`; nothing when they cancel. `again` is
    // set after a password that did not open the file. By default a password box.
    std::function<std::optional<QString>(const QString& fileName, bool again)> askPassword;

signals:
    // What a navigation to a PDF led to is on show: its pages, or a card.
    void settled();
    // A page's drawing arrived and is on show.
    void pageShown(int page);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct PageImage {
        QImage image; // null when the renderer could not draw the page
        int forWidth = 0;
    };
    void fitPicture();
    void showBlank(const QColor& color);
    void showCard(const QString& title, const QString& body);
    void showPdf(const QString& path);
    void closePdf();
    // The renderer's answers, each from the renderer of the PDF on show.
    void opened(int pages, QSizeF firstPage);
    void passwordNeeded();
    void pageRendered(int page, const QImage& image);
    void rendererStopped(const QString& reason);
    // The page layout: one slot per page (one slot in all when pages are shown one at a time).
    int pageWidth() const;
    int slotCount() const;
    int pageOfSlot(int slot) const { return single_ ? current_ : slot; }
    int slotHeight(int slot) const;
    void layoutPages();
    std::pair<int, int> visibleSlots() const;
    void paintPages(QPainter& painter, const QRect& area);
    // Asks for the first page in view (then the one after) not drawn at the pane's width.
    void requestPages();
    void keepFewPages();

    QStackedWidget* stack_;
    QWidget* blank_;
    QScrollArea* pdfArea_;
    QWidget* pages_;
    QPointer<PageRenderer> renderer_;
    int pageCount_ = 0;
    bool single_ = false;
    int current_ = 0;
    double firstAspect_ = 1.414;
    QHash<int, double> aspects_;
    QHash<int, PageImage> drawn_;
    std::vector<int> tops_;
    int askedWidth_ = 0;
    QStringList passwordsToTry_;
    QString passwordTried_;
    bool passwordTyped_ = false;
    int passwordAsks_ = 0;
    QScrollArea* imageArea_;
    QLabel* image_;
    QPixmap picture_;
    QLabel* card_;
    QString mode_ = QStringLiteral("blank");
    QString path_;
    bool greyBody_ = false;
    QHash<QString, QString> passwords_; // per file, what opened it this run
};

} // namespace plait::gui
