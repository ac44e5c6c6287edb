#include "PreviewWidget.h"

#include "render/RenderProtocol.h"

#include <QFileInfo>
#include <QImageReader>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeDatabase>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace plait::gui {

namespace {

// Room around and between the pages, in pixels.
constexpr int kMargin = 6;
// Drawings kept: those in view, and the nearest others up to this count and these bytes (a
// wide pane's page is some 12 MB); the others are asked for again when they come back.
constexpr int kKeptPages = 16;
constexpr qsizetype kKeptBytes = 96 << 20;

QString gRendererPath;

// The pages of a PDF, drawn by whoever owns them.
class PageStrip : public QWidget {
public:
    using QWidget::QWidget;
    std::function<void(QPainter&, const QRect&)> paint;

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), QColor(0x80, 0x80, 0x80));
        if (paint) {
            paint(painter, event->rect());
        }
    }
};

} // namespace

void PreviewWidget::useRenderer(const QString& program) {
    gRendererPath = program;
}

QString PreviewWidget::rendererPath() {
    return gRendererPath;
}

PreviewWidget::PreviewWidget(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("WebBrowser"));
    setAccessibleName(tr("Preview"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    stack_ = new QStackedWidget(this);
    layout->addWidget(stack_);

    blank_ = new QWidget(stack_);
    blank_->setAutoFillBackground(true);
    stack_->addWidget(blank_);

    pdfArea_ = new QScrollArea(stack_);
    pdfArea_->setObjectName(QStringLiteral("pdfPages"));
    pdfArea_->setWidgetResizable(false);
    pdfArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pdfArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* strip = new PageStrip(pdfArea_);
    strip->paint = [this](QPainter& painter, const QRect& area) { paintPages(painter, area); };
    pages_ = strip;
    pdfArea_->setWidget(pages_);
    pdfArea_->installEventFilter(this);
    pdfArea_->viewport()->installEventFilter(this);
    connect(pdfArea_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { requestPages(); });
    stack_->addWidget(pdfArea_);

    imageArea_ = new QScrollArea(stack_);
    imageArea_->setAlignment(Qt::AlignCenter);
    image_ = new QLabel(imageArea_);
    image_->setAlignment(Qt::AlignCenter);
    imageArea_->setWidget(image_);
    imageArea_->setWidgetResizable(true);
    stack_->addWidget(imageArea_);

    card_ = new QLabel(stack_);
    card_->setAlignment(Qt::AlignCenter);
    card_->setWordWrap(true);
    card_->setTextFormat(Qt::RichText);
    card_->setMargin(24);
    stack_->addWidget(card_);

    showBlank(QColor(0x78, 0x78, 0x78));
}

PreviewWidget::~PreviewWidget() {
    closePdf();
}

bool PreviewWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pdfArea_->viewport() && event->type() == QEvent::Resize) {
        // The page at the top of the view stays there, as far into it as it was.
        const int slot = visibleSlots().first;
        const double into = tops_.size() < 2
                                ? 0.0
                                : double(pdfArea_->verticalScrollBar()->value() - tops_[std::size_t(slot)]) /
                                      slotHeight(slot);
        layoutPages();
        if (tops_.size() >= 2 && slot + 1 < int(tops_.size())) {
            pdfArea_->verticalScrollBar()->setValue(tops_[std::size_t(slot)] + int(into * slotHeight(slot)));
        }
        requestPages();
    } else if (watched == pdfArea_ && event->type() == QEvent::KeyPress && single_) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
            const int page = current_ + (key == Qt::Key_PageDown ? 1 : -1);
            if (page >= 0 && page < pageCount_) {
                current_ = page;
                layoutPages();
                pages_->update();
                requestPages();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool PreviewWidget::pdfScrolls() const {
    return !single_;
}

int PreviewWidget::pdfCurrentPage() const {
    if (single_ || tops_.size() < 2) {
        return single_ ? current_ : 0;
    }
    const int top = pdfArea_->verticalScrollBar()->value();
    const auto it = std::upper_bound(tops_.begin(), tops_.end() - 1, top);
    return std::max(0, int(it - tops_.begin()) - 1);
}

QSize PreviewWidget::shownPictureSize() const {
    return mode_ == QLatin1String("image") ? image_->pixmap().size() : QSize();
}

QImage PreviewWidget::pdfPageImage(int page) const {
    return drawn_.value(page).image;
}

QString PreviewWidget::cardText() const {
    return mode_ == QLatin1String("card") ? card_->text() : QString();
}

int PreviewWidget::pdfPageCount() const {
    return mode_ == QLatin1String("pdf") ? pageCount_ : 0;
}

void PreviewWidget::closePdf() {
    if (renderer_ != nullptr) {
        renderer_->disconnect(this);
        renderer_->stop();
        renderer_->deleteLater();
        renderer_ = nullptr;
    }
    pageCount_ = 0;
    current_ = 0;
    single_ = false;
    aspects_.clear();
    drawn_.clear();
    tops_.clear();
    passwordsToTry_.clear();
    passwordTried_.clear();
    passwordTyped_ = false;
    passwordAsks_ = 0;
}

void PreviewWidget::showBlank(const QColor& color) {
    closePdf();
    QPalette pal = blank_->palette();
    pal.setColor(QPalette::Window, color);
    blank_->setPalette(pal);
    stack_->setCurrentWidget(blank_);
    mode_ = QStringLiteral("blank");
    path_.clear();
}

void PreviewWidget::showCard(const QString& title, const QString& body) {
    closePdf();
    card_->setText(QStringLiteral("<h3>%1</h3><p>%2</p>").arg(title.toHtmlEscaped(), body));
    stack_->setCurrentWidget(card_);
    mode_ = QStringLiteral("card");
}

void PreviewWidget::navigate(const std::string& target) {
    const QString path = QString::fromStdString(target);
    if (path == QLatin1String("about:blank")) {
        greyBody_ = false;
        showBlank(Qt::white);
        return;
    }
    path_ = path;
    const QFileInfo info(path);
    if (!info.exists()) {
        showCard(info.fileName(), tr("The file cannot be found."));
        return;
    }
    const QString mime = QMimeDatabase().mimeTypeForFile(info).name();
    if (mime == QLatin1String("application/pdf")) {
        showPdf(path);
        return;
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (reader.canRead()) {
        const QImage img = reader.read();
        if (!img.isNull()) {
            closePdf();
            picture_ = QPixmap::fromImage(img);
            stack_->setCurrentWidget(imageArea_);
            mode_ = QStringLiteral("image");
            fitPicture();
            return;
        }
    }
    // Audio, video and anything else: what the file is, and that it goes into the build.
    const QString kind = QMimeDatabase().mimeTypeForFile(info).comment();
    const QString body = tr("%1<br>%2<br><br>%3")
                             .arg(kind.toHtmlEscaped(), QLocale().formattedDataSize(info.size()),
                                  tr("Included in the build as a media file."));
    showCard(info.fileName(), body);
    path_ = path;
}

void PreviewWidget::showPdf(const QString& path) {
    // A renderer of its own for every file: nothing drawn for the last one can arrive after
    // the switch and stand in for the new document's page.
    closePdf();
    if (gRendererPath.isEmpty()) {
        showCard(QFileInfo(path).fileName(),
                 tr("This PDF cannot be previewed: %1.").arg(tr("the page renderer is not installed")));
        emit settled();
        return;
    }
    // A white page until the renderer has said what the file holds.
    mode_ = QStringLiteral("loading");
    QPalette pal = blank_->palette();
    pal.setColor(QPalette::Window, Qt::white);
    blank_->setPalette(pal);
    stack_->setCurrentWidget(blank_);
    auto* renderer = new PageRenderer(gRendererPath, path, rendererLimits, this);
    renderer_ = renderer;
    connect(renderer, &PageRenderer::opened, this, &PreviewWidget::opened);
    connect(renderer, &PageRenderer::rendered, this, &PreviewWidget::pageRendered);
    connect(renderer, &PageRenderer::renderFailed, this, [this](int page) { pageRendered(page, QImage()); });
    connect(renderer, &PageRenderer::stoppedWith, this, &PreviewWidget::rendererStopped);
    connect(renderer, &PageRenderer::unreadable, this, [this] {
        showCard(QFileInfo(path_).fileName(),
                 tr("This PDF cannot be shown here. It is damaged or not a PDF."));
        emit settled();
    });
    // The password box waits for the user: it opens once the renderer's answer has been
    // read, not inside it.
    connect(
        renderer, &PageRenderer::passwordNeeded, this,
        [this, asking = QPointer<PageRenderer>(renderer)] {
            if (asking != nullptr && asking == renderer_) {
                passwordNeeded();
            }
        },
        Qt::QueuedConnection);
    renderer->start();
}

void PreviewWidget::opened(int pages, QSizeF firstPage) {
    if (!passwordTried_.isNull()) {
        passwords_.insert(path_, passwordTried_);
        if (passwordTyped_ && onPasswordTyped) {
            onPasswordTyped(path_, passwordTried_);
        }
    }
    pageCount_ = pages;
    if (firstPage.width() > 0 && firstPage.height() > 0) {
        firstAspect_ = std::clamp(firstPage.height() / firstPage.width(), 0.05, 20.0);
    }
    // A very long document shows one page at a time, turned with Page Up and Page Down.
    single_ = pages > kScrollingPageLimit;
    mode_ = QStringLiteral("pdf");
    stack_->setCurrentWidget(pdfArea_);
    layoutPages();
    pdfArea_->verticalScrollBar()->setValue(0);
    pages_->update();
    emit settled();
    requestPages();
}

void PreviewWidget::passwordNeeded() {
    PageRenderer* renderer = renderer_;
    if (renderer == nullptr || renderer->stoppedForGood()) {
        return;
    }
    const QString fileName = QFileInfo(path_).fileName();
    if (passwordTried_.isNull()) {
        // The first answer: the passwords known to open it are tried before anyone is asked.
        if (auto it = passwords_.constFind(path_); it != passwords_.constEnd()) {
            passwordsToTry_ << *it;
        }
        if (knownPasswords) {
            passwordsToTry_ << knownPasswords();
        }
        passwordsToTry_.removeAll(QString());
    }
    if (!passwordsToTry_.isEmpty()) {
        passwordTried_ = passwordsToTry_.takeFirst();
        passwordTyped_ = false;
        renderer->sendPassword(passwordTried_);
        return;
    }
    // Three tries, as a viewer gives.
    std::optional<QString> given;
    if (passwordAsks_ < 3) {
        const bool again = passwordAsks_ > 0;
        ++passwordAsks_;
        if (askPassword) {
            given = askPassword(fileName, again);
        } else {
            bool ok = false;
            const QString text =
                QInputDialog::getText(this, tr("Password"),
                                      (again ? tr("That password does not open the file.\n") : QString()) +
                                          tr("\"%1\" is protected by a password. Password:").arg(fileName),
                                      QLineEdit::Password, QString(), &ok);
            if (ok) {
                given = text;
            }
        }
        if (renderer_ != renderer) {
            return; // another file was chosen meanwhile
        }
    }
    if (!given) {
        showCard(fileName, tr("This PDF is protected by a password. Select it again to enter the password."));
        emit settled();
        return;
    }
    passwordTried_ = *given;
    passwordTyped_ = true;
    renderer->sendPassword(*given);
}

void PreviewWidget::rendererStopped(const QString& reason) {
    showCard(QFileInfo(path_).fileName(),
             tr("This PDF cannot be previewed: %1.").arg(reason.toHtmlEscaped()));
    emit settled();
}

int PreviewWidget::pageWidth() const {
    return std::max(32, pdfArea_->viewport()->width() - 2 * kMargin);
}

int PreviewWidget::slotCount() const {
    return single_ ? std::min(pageCount_, 1) : pageCount_;
}

int PreviewWidget::slotHeight(int slot) const {
    const double aspect = aspects_.value(pageOfSlot(slot), firstAspect_);
    return std::max(1, int(pageWidth() * aspect + 0.5));
}

void PreviewWidget::layoutPages() {
    // Pages not yet drawn take the first page's proportions; each drawing brings its own.
    const int count = mode_ == QLatin1String("pdf") ? slotCount() : 0;
    tops_.assign(std::size_t(count) + 1, kMargin);
    long long top = kMargin;
    for (int slot = 0; slot < count; ++slot) {
        top += slotHeight(slot) + kMargin;
        tops_[std::size_t(slot) + 1] = int(std::min<long long>(top, QWIDGETSIZE_MAX));
    }
    if (top > QWIDGETSIZE_MAX && !single_) {
        // Taller than a widget may be: one page at a time.
        single_ = true;
        layoutPages();
        return;
    }
    pages_->resize(pdfArea_->viewport()->width(), int(std::min<long long>(top, QWIDGETSIZE_MAX)));
}

std::pair<int, int> PreviewWidget::visibleSlots() const {
    if (tops_.size() < 2) {
        return {0, -1};
    }
    const int top = pdfArea_->verticalScrollBar()->value();
    const int bottom = top + pdfArea_->viewport()->height();
    auto slotAt = [this](int y) {
        const auto it = std::upper_bound(tops_.begin(), tops_.end() - 1, y);
        return std::max(0, int(it - tops_.begin()) - 1);
    };
    return {slotAt(top), slotAt(bottom)};
}

void PreviewWidget::paintPages(QPainter& painter, const QRect& area) {
    if (tops_.size() < 2) {
        return;
    }
    const int width = pageWidth();
    for (int slot = 0; slot + 1 < int(tops_.size()); ++slot) {
        const QRect page(kMargin, tops_[std::size_t(slot)], width, slotHeight(slot));
        if (page.top() > area.bottom()) {
            break;
        }
        if (!page.intersects(area)) {
            continue;
        }
        painter.fillRect(page, Qt::white);
        const auto it = drawn_.constFind(pageOfSlot(slot));
        if (it != drawn_.constEnd() && !it->image.isNull()) {
            // Drawn for another width, it stands in, scaled, until the new drawing arrives.
            painter.drawImage(page, it->image);
        }
    }
}

void PreviewWidget::requestPages() {
    if (renderer_ == nullptr || renderer_->busy() || renderer_->stoppedForGood() ||
        mode_ != QLatin1String("pdf")) {
        return;
    }
    const auto [first, last] = visibleSlots();
    const int wanted = std::min(render::kMaxWidth, int(pageWidth() * devicePixelRatioF() + 0.5));
    for (int slot = first; slot <= std::min(last + 1, slotCount() - 1); ++slot) {
        const int page = pageOfSlot(slot);
        const auto it = drawn_.constFind(page);
        if (it == drawn_.constEnd() || it->forWidth != wanted) {
            askedWidth_ = wanted;
            renderer_->render(page, wanted);
            return;
        }
    }
}

void PreviewWidget::pageRendered(int page, const QImage& image) {
    drawn_.insert(page, {image, askedWidth_});
    if (!image.isNull()) {
        const double aspect = std::clamp(double(image.height()) / image.width(), 0.05, 20.0);
        if (std::abs(aspects_.value(page, firstAspect_) - aspect) * pageWidth() >= 1.0) {
            aspects_.insert(page, aspect);
            layoutPages();
        }
    }
    keepFewPages();
    pages_->update();
    emit pageShown(page);
    requestPages();
}

void PreviewWidget::keepFewPages() {
    const auto [first, last] = visibleSlots();
    const int firstPage = pageOfSlot(first);
    const int lastPage = pageOfSlot(std::max(first, last));
    const int middle = (firstPage + lastPage) / 2;
    QList<int> pages = drawn_.keys();
    std::sort(pages.begin(), pages.end(),
              [middle](int a, int b) { return std::abs(a - middle) < std::abs(b - middle); });
    int kept = 0;
    qsizetype bytes = 0;
    for (const int page : pages) {
        bytes += drawn_.value(page).image.sizeInBytes();
        ++kept;
        const bool inView = page >= firstPage && page <= lastPage;
        if (!inView && (kept > kKeptPages || bytes > kKeptBytes)) {
            drawn_.remove(page);
        }
    }
}

void PreviewWidget::fitPicture() {
    // A picture larger than the pane is shown whole. The room is the pane's own: the picture
    // area's viewport keeps a stale size while another page of the stack shows.
    const int frame = 2 * imageArea_->frameWidth();
    const QSize room(std::max(1, width() - frame), std::max(1, height() - frame));
    QPixmap shown = picture_;
    if (shown.width() > room.width() || shown.height() > room.height()) {
        shown = picture_.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    image_->setPixmap(shown);
}

void PreviewWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (mode_ == QLatin1String("image")) {
        fitPicture();
    }
}

void PreviewWidget::setBackgroundColor(const std::string& color) {
    // The grey page covers the whole document, whatever colour lies behind it.
    if (mode_ == QLatin1String("blank") && !greyBody_) {
        showBlank(QColor(QString::fromStdString(color)));
    }
}

void PreviewWidget::setBodyHtml(const std::string& /*html*/) {
    // The only page the program writes is the grey blank page.
    greyBody_ = true;
    showBlank(QColor(0x78, 0x78, 0x78));
}

} // namespace plait::gui
