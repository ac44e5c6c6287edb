#include "SettingsDialog.h"

#include "gui/ui/ScreenFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>

#include <algorithm>
#include <cmath>
#include <cstdlib>

// The settings dialog's geometry: its size and minimum size, the two rows of tab captions, the
// place of the frame's buttons and the layout of the Bookmarks tab.

namespace plait::gui {

namespace settings = core::settings;

namespace {

// The window's own geometry, in twips.
constexpr int kMinWidth = 8880;
constexpr int kMinHeight = 5820;
constexpr int kTabLeft = 480;
constexpr int kTabTop = 240;
constexpr int kButtonGap = 160;
constexpr int kButtonDrop = 80;

// The designed place of each control of the Bookmarks tab, in twips relative to the tab
// control, whose two rows of tabs take the first 600 twips.
constexpr int kTabArea = 600;
struct Designed {
    const char* name;
    int left, top, width, height;
};
constexpr Designed kBookmarkGeometry[] = {
    {"btnUp", 120, 720, 735, 495},          {"cmdLeft", 840, 720, 735, 495},
    {"cmdRight", 1560, 720, 735, 495},      {"btnDown", 2280, 720, 735, 495},
    {"btnDelOutline", 3000, 720, 615, 495}, {"TreeOutline", 120, 1200, 3495, 1815},
    {"btnInsBefore", 360, 3120, 1335, 375}, {"btnLoadOutline", 2160, 3120, 1215, 375},
    {"lblOutline1", 120, 3600, 615, 255},   {"txtOutlineText", 840, 3600, 2055, 285},
    {"lblOutline2", 240, 3960, 495, 255},   {"txtOutlinePage", 840, 3960, 855, 285},
    {"chkOutline", 2040, 3960, 855, 315},   {"WebBrowser1", 3720, 720, 3855, 3495},
};

} // namespace

int SettingsDialog::twipsToPixels(int twips, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

int SettingsDialog::twipsX(int twips) const {
    return twipsToPixels(twips, logicalDpiX());
}

int SettingsDialog::twipsY(int twips) const {
    return twipsToPixels(twips, logicalDpiY());
}

void SettingsDialog::openAtDesignedSize() {
    setMinimumSize(fitWithin(minimumDialogSize(), screenRoom(this)));
    resize(fitWithin(QSize(twipsX(kMinWidth * 5 / 4), twipsY(kMinHeight * 5 / 4)), screenRoom(this)));
    layoutWindow();
}

void SettingsDialog::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    layoutWindow();
}

QSize SettingsDialog::minimumDialogSize() const {
    // The designed minimum, raised where a tab's fields need more room in this font: below what
    // its layout asks for, boxes are squeezed flat and captions run into one another.
    const int left = twipsX(kTabLeft);
    const int top = twipsY(kTabTop);
    const int frame = 2 * stack_->frameWidth();
    int pageWidth = 0;
    for (const QWidget* page : pages_) {
        pageWidth = std::max(pageWidth, page->minimumSizeHint().width());
    }
    const int width = std::max(twipsX(kMinWidth), pageWidth + frame + 2 * left);
    int pageHeight = 0;
    for (const QWidget* page : pages_) {
        int needed = page->minimumSizeHint().height();
        if (page->hasHeightForWidth()) {
            // Wrapped notes take more lines in a narrow tab.
            needed = std::max(needed, page->heightForWidth(width - 2 * left - frame));
        }
        pageHeight = std::max(pageHeight, needed);
    }
    const int buttons = std::max(btnOK_->sizeHint().height(), btnReset_->sizeHint().height());
    const int height =
        std::max(twipsY(kMinHeight), tabRows_->minimumSizeHint().height() + pageHeight + frame + 2 * top +
                                         buttons + status_->sizeHint().height());
    return {width, height};
}

void SettingsDialog::layoutWindow() {
    // Never smaller than the minimum; the window system normally sees to that already. The tab
    // captions wrap at other widths than before, so the minimum height may have moved.
    fitTabCaptions((width() - 2 * twipsX(kTabLeft)) / 8);
    if (const QSize needed = fitWithin(minimumDialogSize(), screenRoom(this)); needed != minimumSize()) {
        setMinimumSize(needed);
    }
    const QSize least = minimumSize();
    if (width() < least.width() || height() < least.height()) {
        resize(std::max(width(), least.width()), std::max(height(), least.height()));
    }
    const int left = twipsX(kTabLeft);
    const int top = twipsY(kTabTop);
    const QSize okSize(std::max(btnOK_->sizeHint().width(), twipsX(1215)), btnOK_->sizeHint().height());
    const QSize resetSize(std::max(btnReset_->sizeHint().width(), twipsX(1215)),
                          btnReset_->sizeHint().height());
    const int statusHeight = status_->sizeHint().height();

    const int tabWidth = width() - 2 * left;
    const int tabHeight = height() - 2 * top - resetSize.height() - statusHeight;
    fitTabCaptions(tabWidth / 8);
    tabControl_->setGeometry(left, top, tabWidth, tabHeight);
    const int buttonTop = top + tabHeight + twipsY(kButtonDrop);
    const int okLeft = left + tabWidth - okSize.width();
    btnOK_->setGeometry(okLeft, buttonTop, okSize.width(), okSize.height());
    btnReset_->setGeometry(okLeft - twipsX(kButtonGap) - resetSize.width(), buttonTop, resetSize.width(),
                           resetSize.height());
    status_->setGeometry(0, height() - statusHeight, width(), statusHeight);

    browserwait();
    if (bookmarksShowing()) {
        setBookmarkPositions();
    }
}

void SettingsDialog::fitTabCaptions(int tabWidth) {
    // A caption too long for its tab breaks onto a second line, and when a word is still too
    // long the tabs take a smaller font; every tab then takes the height of the tallest, so
    // that the two rows stay even.
    const int room = tabWidth - 8;
    QStringList captions;
    for (std::string_view c : settings::kTabCaptions) {
        QString caption = QString::fromUtf8(c.data(), static_cast<qsizetype>(c.size()));
        QFont bold = tabRows_->font();
        bold.setBold(true);
        if (QFontMetrics(bold).horizontalAdvance(caption) > room) {
            const qsizetype middle = caption.size() / 2;
            qsizetype best = -1;
            for (qsizetype at = caption.indexOf(QLatin1Char(' ')); at >= 0;
                 at = caption.indexOf(QLatin1Char(' '), at + 1)) {
                if (best < 0 || std::abs(at - middle) < std::abs(best - middle)) {
                    best = at;
                }
            }
            if (best >= 0) {
                caption[best] = QLatin1Char('\n');
            }
        }
        captions << caption;
    }
    QFont font = tabRows_->font();
    for (;;) {
        QFont bold = font;
        bold.setBold(true);
        const QFontMetrics metrics(bold);
        int widest = 0;
        for (const QString& caption : captions) {
            for (const QString& line : caption.split(QLatin1Char('\n'))) {
                widest = std::max(widest, metrics.horizontalAdvance(line));
            }
        }
        if (widest <= room || font.pointSizeF() <= 6.5) {
            break;
        }
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    int tallest = 0;
    for (int i = 0; i < kTabCount; ++i) {
        QAbstractButton* tab = tabButtons_[static_cast<std::size_t>(i)];
        tab->setFont(font);
        if (tab->text() != captions[i]) {
            tab->setText(captions[i]);
        }
        tab->setMinimumHeight(0);
        tallest = std::max(tallest, tab->sizeHint().height());
    }
    for (QAbstractButton* tab : tabButtons_) {
        tab->setFixedHeight(tallest);
    }
}

void SettingsDialog::placeBookmarkControls() {
    QWidget* page = pages_[settings::kTabBookmarks];
    for (const Designed& d : kBookmarkGeometry) {
        if (auto* w = page->findChild<QWidget*>(QLatin1String(d.name))) {
            // Captions keep their designed left edge but take the room their text needs.
            int width = twipsX(d.width);
            if (qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w)) {
                width = std::max(width, w->sizeHint().width());
            }
            const int h = std::max(twipsY(d.height), w->minimumSizeHint().height());
            w->setGeometry(twipsX(d.left), twipsY(d.top - kTabArea), width, h);
        }
    }
}

void SettingsDialog::setBookmarkPositions() {
    QWidget* page = pages_[settings::kTabBookmarks];
    auto get = [page](const char* name) { return page->findChild<QWidget*>(QLatin1String(name)); };
    QWidget* browser = get("WebBrowser1");
    QWidget* tree = get("TreeOutline");
    QWidget* insert = get("btnInsBefore");
    QWidget* import = get("btnLoadOutline");
    QWidget* text = get("txtOutlineText");
    QWidget* pageNo = get("txtOutlinePage");
    QWidget* closed = get("chkOutline");
    QWidget* textLabel = get("lblOutline1");
    QWidget* pageLabel = get("lblOutline2");
    if (!browser || !tree || !insert || !import || !text || !pageNo || !closed || !textLabel || !pageLabel) {
        return;
    }
    // The rules work in the tab control's coordinates; the controls live on the page inside it.
    tabControl_->layout()->activate();
    const QPoint origin = page->mapTo(tabControl_, QPoint(0, 0));
    const int tabW = tabControl_->width();
    const int tabH = tabControl_->height();
    const int h = tabHeight();

    browserwait();
    const int browserTop = browser->y() + origin.y();
    const int browserLeft = browser->x() + origin.x();
    browserwait();
    browser->resize(std::max(0, tabW - browserLeft - (browserTop - h)),
                    std::max(0, tabH - 2 * (browserTop - h)));

    const int treeTop = tree->y() + origin.y();
    const int treeHeight =
        tabH - treeTop - insert->height() - text->height() - pageNo->height() - twipsY(160);
    tree->resize(tree->width(), std::max(0, treeHeight));

    const int insertTop = tree->y() + tree->height() + twipsY(40);
    insert->move(insert->x(), insertTop);
    import->move(import->x(), insertTop);
    text->move(text->x(), insertTop + insert->height() + twipsY(40));
    pageNo->move(pageNo->x(), text->y() + text->height() + twipsY(40));
    closed->move(closed->x(), pageNo->y() - twipsY(20));
    textLabel->move(textLabel->x(), text->y() + (text->height() - textLabel->height()) / 2);
    pageLabel->move(pageLabel->x(), pageNo->y() + (pageNo->height() - pageLabel->height()) / 2);
}

} // namespace plait::gui
