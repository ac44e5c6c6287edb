#pragma once

#include "core/ui/Interfaces.h"

#include <QColor>
#include <QHash>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPdfDocument;
class QPdfView;
class QScrollArea;
class QStackedWidget;

namespace plait::gui {

// The preview pane: PDFs in a page view, images as pictures, and a card with the facts of
// anything else (audio, video). Loading is synchronous, so the pane is always ready.
class PreviewWidget : public QWidget, public ui::PreviewPane {
    Q_OBJECT
public:
    explicit PreviewWidget(QWidget* parent = nullptr);
    ~PreviewWidget() override;

    int readyState() override { return 4; }
    void navigate(const std::string& target) override;
    void setBackgroundColor(const std::string& color) override;
    void setBodyHtml(const std::string& html) override;

    // What the pane shows now: "blank", "pdf", "image" or "card".
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

    // Passwords to try on an encrypted PDF before asking (the one the last build used).
    std::function<QStringList()> knownPasswords;
    // Told the password the user typed when it opened `path`.
    std::function<void(const QString& path, const QString& password)> onPasswordTyped;
    // Asks the user for the open password of `fileName`; nothing when they cancel. `again` is
    // set after a password that did not open the file. By default a password box.
    std::function<std::optional<QString>(const QString& fileName, bool again)> askPassword;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fitPicture();
    void showBlank(const QColor& color);
    void showCard(const QString& title, const QString& body);
    QPdfView* makePdfView(int pageCount);
    bool showPdf(const QString& path);
    // Opens an encrypted PDF with a known or asked-for password; false when none opened it.
    bool unlock(QPdfDocument& doc, const QString& path);

    QStackedWidget* stack_;
    QWidget* blank_;
    QPdfView* pdfView_;
    QPdfDocument* pdf_;
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
