#include "PreviewWidget.h"

#include "PageCounts.h"
#include "worker/PageCountProcess.h"

#include <QFileInfo>
#include <QImageReader>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMimeDatabase>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <memory>

namespace plait::gui {

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

    pdf_ = new QPdfDocument(this);
    pdfView_ = makePdfView(0);
    pdfView_->setDocument(pdf_);
    stack_->addWidget(pdfView_);

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

PreviewWidget::~PreviewWidget() = default;

QPdfView* PreviewWidget::makePdfView(int pageCount) {
    auto* view = new QPdfView(stack_);
    // The scrolling view measures every page before it shows the first, about a second for
    // each ten thousand pages, and the window waits for it; a longer document shows one page
    // at a time, turned with Page Up and Page Down.
    view->setPageMode(pageCount > kScrollingPageLimit ? QPdfView::PageMode::SinglePage
                                                      : QPdfView::PageMode::MultiPage);
    view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    view->installEventFilter(this);
    return view;
}

bool PreviewWidget::eventFilter(QObject* watched, QEvent* event) {
    if (watched == pdfView_ && event->type() == QEvent::KeyPress &&
        pdfView_->pageMode() == QPdfView::PageMode::SinglePage) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_PageDown || key == Qt::Key_PageUp) {
            const int page = pdfView_->pageNavigator()->currentPage() + (key == Qt::Key_PageDown ? 1 : -1);
            if (page >= 0 && page < pdf_->pageCount()) {
                pdfView_->pageNavigator()->jump(page, QPointF(), 0);
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool PreviewWidget::pdfScrolls() const {
    return pdfView_->pageMode() == QPdfView::PageMode::MultiPage;
}

int PreviewWidget::pdfCurrentPage() const {
    return pdfView_->pageNavigator()->currentPage();
}

QSize PreviewWidget::shownPictureSize() const {
    return mode_ == QLatin1String("image") ? image_->pixmap().size() : QSize();
}

int PreviewWidget::pdfPageCount() const {
    return mode_ == QLatin1String("pdf") ? pdf_->pageCount() : 0;
}

void PreviewWidget::showBlank(const QColor& color) {
    pdf_->close();
    QPalette pal = blank_->palette();
    pal.setColor(QPalette::Window, color);
    blank_->setPalette(pal);
    stack_->setCurrentWidget(blank_);
    mode_ = QStringLiteral("blank");
    path_.clear();
}

void PreviewWidget::showCard(const QString& title, const QString& body) {
    pdf_->close();
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
        if (!showPdf(path)) {
            showCard(info.fileName(), tr("This PDF cannot be shown here. It is damaged or not a PDF."));
        }
        return;
    }
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (reader.canRead()) {
        const QImage img = reader.read();
        if (!img.isNull()) {
            pdf_->close();
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

bool PreviewWidget::showPdf(const QString& path) {
    // A fresh document and page view for every file: a view keeps pictures of the pages it
    // has drawn, and one still being drawn for the last document can arrive after the switch
    // and stand in for the new document's page.
    //
    // The viewer decodes in this process: a PDF whose pages would cost it more than a preview
    // may take (nested compressed streams that inflate to gigabytes) is measured first in the
    // engine worker, bounded in memory and time, and not shown.
    if (const std::string worker = PageCounts::workerPath(); !worker.empty()) {
        const auto probe = worker::probePreviewInWorker(worker, QFile::encodeName(path).toStdString());
        if (probe.kind == worker::PageCountAnswer::Kind::TooLarge ||
            (probe.kind == worker::PageCountAnswer::Kind::Stopped && probe.started)) {
            showCard(QFileInfo(path).fileName(),
                     tr("This PDF cannot be previewed: %1.")
                         .arg(QString::fromStdString(probe.reason).toHtmlEscaped()));
            return true;
        }
    }
    auto doc = std::make_unique<QPdfDocument>(this);
    QPdfDocument::Error error = doc->load(path);
    if (error == QPdfDocument::Error::IncorrectPassword) {
        if (!unlock(*doc, path)) {
            showCard(QFileInfo(path).fileName(),
                     tr("This PDF is protected by a password. Select it again to enter the password."));
            return true;
        }
        error = QPdfDocument::Error::None;
    }
    if (error != QPdfDocument::Error::None) {
        return false;
    }
    auto* view = makePdfView(doc->pageCount());
    view->setDocument(doc.get());
    stack_->addWidget(view);
    stack_->setCurrentWidget(view);
    stack_->removeWidget(pdfView_);
    pdfView_->deleteLater();
    pdf_->deleteLater();
    pdfView_ = view;
    pdf_ = doc.release();
    mode_ = QStringLiteral("pdf");
    return true;
}

bool PreviewWidget::unlock(QPdfDocument& doc, const QString& path) {
    auto tryPassword = [&](const QString& password) {
        doc.setPassword(password);
        if (doc.load(path) == QPdfDocument::Error::None) {
            passwords_.insert(path, password);
            return true;
        }
        return false;
    };
    QStringList known;
    if (auto it = passwords_.constFind(path); it != passwords_.constEnd()) {
        known << *it;
    }
    if (knownPasswords) {
        known << knownPasswords();
    }
    for (const QString& password : known) {
        if (!password.isEmpty() && tryPassword(password)) {
            return true;
        }
    }
    // Three tries, as a viewer gives.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::optional<QString> given;
        if (askPassword) {
            given = askPassword(QFileInfo(path).fileName(), attempt > 0);
        } else {
            bool ok = false;
            const QString text = QInputDialog::getText(
                this, tr("Password"),
                (attempt > 0 ? tr("That password does not open the file.\n") : QString()) +
                    tr("\"%1\" is protected by a password. Password:").arg(QFileInfo(path).fileName()),
                QLineEdit::Password, QString(), &ok);
            if (ok) {
                given = text;
            }
        }
        if (!given) {
            return false;
        }
        if (tryPassword(*given)) {
            if (onPasswordTyped) {
                onPasswordTyped(path, *given);
            }
            return true;
        }
    }
    return false;
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
