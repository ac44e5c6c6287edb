#include "SettingsDialog.h"

#include "gui/ui/FocusFrame.h"

#include "SettingsPictures.h"
#include "core/ui/PreviewWait.h"
#include "core/ui/Titles.h"
#include "gui/app/PreviewWidget.h"
#include "gui/ui/Accessibility.h"
#include "gui/ui/FormBinder.h"

#include "ui_TabAttachments.h"
#include "ui_TabBookmarks.h"
#include "ui_TabDescription.h"
#include "ui_TabFiles.h"
#include "ui_TabHighlights.h"
#include "ui_TabImposition.h"
#include "ui_TabMedia.h"
#include "ui_TabNotes.h"
#include "ui_TabOverlay.h"
#include "ui_TabPageNumbers.h"
#include "ui_TabPageSize.h"
#include "ui_TabPageSizeAdvanced.h"
#include "ui_TabSecurity.h"
#include "ui_TabStamps.h"
#include "ui_TabText.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QStatusBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace plait::gui {

namespace settings = core::settings;

namespace {

using ui::kAppTitle;
using ui::kShortTitle;

template <class Ui> QWidget* makePage() {
    auto* page = new QWidget;
    Ui ui;
    ui.setupUi(page);
    return page;
}

// A focus move the user made: keys and clicks, not the program or another window.
bool userFocusMove(Qt::FocusReason reason) {
    switch (reason) {
    case Qt::MouseFocusReason:
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
        return true;
    default:
        return false;
    }
}

int attachmentRow(const QString& name, const QString& prefix) {
    if (!name.startsWith(prefix)) {
        return 0;
    }
    bool ok = false;
    const int row = name.mid(prefix.size()).toInt(&ok);
    return ok && row >= 1 && row <= 5 ? row : 0;
}

} // namespace

SettingsDialog::SettingsDialog(settings::SettingsModel& model, SettingsDialogServices services,
                               QWidget* parent)
    : QDialog(parent), model_(&model), s_(std::move(services)) {
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(QStringLiteral("Build Settings"));
    setSizeGripEnabled(false);

    buildFrame();
    buildTabs();
    decorate();
    bindModel();
    // Measured only now that the binder has given the captions their text.
    placeBookmarkControls();

    nameControlsFromToolTips(this);
    openAtDesignedSize();
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::buildFrame() {
    // SSTab1: two rows of eight tabs over the pages.
    tabControl_ = new QWidget(this);
    tabControl_->setObjectName(QStringLiteral("SSTab1"));
    auto* column = new QVBoxLayout(tabControl_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    tabRows_ = new QWidget(tabControl_);
    tabRows_->setObjectName(QStringLiteral("SSTab1Tabs"));
    auto* grid = new QGridLayout(tabRows_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (int i = 0; i < kTabCount; ++i) {
        auto* tab = new QToolButton(tabRows_);
        tab->setObjectName(QStringLiteral("SSTab1Tab%1").arg(i));
        tab->setText(QString::fromUtf8(settings::kTabCaptions[static_cast<std::size_t>(i)].data(),
                                       static_cast<qsizetype>(settings::kTabCaptions[i].size())));
        tab->setCheckable(true);
        tab->setAutoRaise(false);
        tab->setToolButtonStyle(Qt::ToolButtonTextOnly);
        tab->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        tab->setFocusPolicy(Qt::TabFocus);
        setAccessibleRole(tab, QAccessible::PageTab);
        group->addButton(tab, i);
        grid->addWidget(tab, i / 8, i % 8);
        tabButtons_[static_cast<std::size_t>(i)] = tab;
    }
    for (int c = 0; c < 8; ++c) {
        grid->setColumnStretch(c, 1);
    }
    tabRows_->setStyleSheet(QStringLiteral(
        "QToolButton { border: 1px solid palette(mid); border-bottom: none; padding: 2px 1px;"
        " border-top-left-radius: 3px; border-top-right-radius: 3px; background: palette(button); }"
        "QToolButton:checked { background: palette(window); font-weight: bold; }"
        // A style sheet's border replaces the style's focus frame: the tab with the focus shows it
        // in its own border.
        "QToolButton:focus { border: 2px solid palette(highlight); border-bottom: none; }"));
    connect(group, &QButtonGroup::idClicked, this, &SettingsDialog::userChangedTab);
    // The keys that page through tabs everywhere else.
    const std::pair<QKeySequence, int> pageKeys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}};
    for (const auto& [keys, step] : pageKeys) {
        auto* shortcut = new QShortcut(keys, this);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] {
            const int next = (currentTab() + step + kTabCount) % kTabCount;
            userChangedTab(next);
            tabButtons_[static_cast<std::size_t>(next)]->setFocus(Qt::ShortcutFocusReason);
        });
    }
    column->addWidget(tabRows_);

    stack_ = new QStackedWidget(tabControl_);
    stack_->setObjectName(QStringLiteral("SSTab1Pages"));
    stack_->setFrameShape(QFrame::StyledPanel);
    column->addWidget(stack_, 1);

    btnOK_ = new QPushButton(this);
    btnOK_->setObjectName(QStringLiteral("btnOK"));
    btnOK_->setDefault(true);
    btnOK_->setAutoDefault(true);
    btnReset_ = new QPushButton(this);
    btnReset_->setObjectName(QStringLiteral("btnReset"));
    btnReset_->setAutoDefault(false);
    status_ = new QStatusBar(this);
    status_->setObjectName(QStringLiteral("StatusBar1"));
    status_->setSizeGripEnabled(true);
}

void SettingsDialog::buildTabs() {
    pages_ = {
        makePage<Ui::TabFiles>(),       makePage<Ui::TabPageNumbers>(), makePage<Ui::TabOverlay>(),
        makePage<Ui::TabBookmarks>(),   makePage<Ui::TabHighlights>(),  makePage<Ui::TabDescription>(),
        makePage<Ui::TabSecurity>(),    makePage<Ui::TabImposition>(),  makePage<Ui::TabNotes>(),
        makePage<Ui::TabAttachments>(), makePage<Ui::TabPageSize>(),    makePage<Ui::TabPageSizeAdvanced>(),
        makePage<Ui::TabText>(),        makePage<Ui::TabStamps>(),      makePage<Ui::TabMedia>(),
    };
    for (QWidget* page : pages_) {
        stack_->addWidget(page);
    }
    setCurrentTab(0);
}

void SettingsDialog::decorate() {
    using namespace pictures;
    if (auto* label = findChild<QLabel*>(QStringLiteral("lblTextColor"))) {
        QFont font = label->font();
        font.setPointSizeF(13.5);
        label->setFont(font);
    }
    if (auto* page = findChild<QLabel*>(QStringLiteral("imgAlignPage"))) {
        page->setPixmap(alignPagePicture());
    }
    for (int b = 1; b <= 3; ++b) {
        if (auto* button = findChild<QToolButton*>(QStringLiteral("tbTextAlign_%1").arg(b))) {
            button->setIcon(alignIcon(b));
        }
    }
    const std::pair<const char*, const char*> outlineButtons[] = {{"btnUp", "up"},
                                                                  {"btnDown", "down"},
                                                                  {"cmdLeft", "left"},
                                                                  {"cmdRight", "right"},
                                                                  {"btnDelOutline", "delete"}};
    for (const auto& [name, which] : outlineButtons) {
        if (auto* button = findChild<QAbstractButton*>(QLatin1String(name))) {
            button->setIcon(outlineIcon(QLatin1String(which)));
        }
    }
    if (auto* tree = outlineTree()) {
        tree->setHeaderHidden(true);
        tree->setColumnCount(1);
        showFocusOnFrame(tree);
    }
    // The two boxes that only carry stored look templates never show.
    for (const char* name : {"txtPassword", "txtStandard"}) {
        if (auto* box = findChild<QLineEdit*>(QLatin1String(name))) {
            box->hide();
        }
    }
}

void SettingsDialog::bindModel() {
    binder_ = std::make_unique<FormBinder>(this, *model_, nullptr);
    binder_->setSliderClick(
        [this](ui::Form&, const ui::Control&, int position) { settings::sliderClicked(*model_, position); });
    binder_->setPictureSource([this](const ui::Control& c, QSize) -> QPixmap {
        if (c.name == "picStamp") {
            const ui::Control* list = model_->find("cmbStamp");
            QString name;
            if (list != nullptr && c.value >= 0 && static_cast<std::size_t>(c.value) < list->items.size()) {
                name = QString::fromStdString(list->items[static_cast<std::size_t>(c.value)]);
            }
            return pictures::stampPicture(c.value, name);
        }
        if (c.name == "imgFromPage") {
            return pictures::originPicture(c.value);
        }
        if (c.name == "Image2") {
            return pictures::lockPicture();
        }
        return {};
    });
    connect(binder_.get(), &FormBinder::clicked, this, &SettingsDialog::onClicked);

    for (const char* name : {"open2_txt", "perm2_txt"}) {
        if (auto* box = findChild<QLineEdit*>(QLatin1String(name))) {
            box->installEventFilter(this);
        }
    }

    watchMasking();
}

// Masks or unmasks the password boxes now and whenever "Mask Passwords" changes in the
// current model (a replaced model's listener falls silent).
void SettingsDialog::watchMasking() {
    masking_ = model_->subscribe([this](const ui::Control& c, ui::Property p) {
        if (c.name == "Check1" && p == ui::Property::Value) {
            applyMasking();
        }
    });
    applyMasking();
}

void SettingsDialog::rebind(settings::SettingsModel& model) {
    // The old model may be gone already; the handle knows and leaves it alone.
    masking_.reset();
    model_ = &model;
    binder_->rebind(model);
    watchMasking();
    // A fresh dialog: the first tab, a blank preview, nothing in the status bar. The outline
    // tree belongs to the outline editor's view, which rebinds to the new outline itself.
    if (auto* pane = preview()) {
        pane->navigate("about:blank");
    }
    status_->clearMessage();
    setCurrentTab(0);
}

void SettingsDialog::applyMasking() {
    const bool masked = settings::passwordsMasked(*model_);
    for (std::string_view name : settings::kPasswordBoxes) {
        if (auto* box =
                findChild<QLineEdit*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())))) {
            box->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
        }
    }
}

void SettingsDialog::userChangedTab(int tab) {
    setCurrentTab(tab);
    browserwait();
    if (bookmarksShowing()) {
        setBookmarkPositions();
    }
}

int SettingsDialog::currentTab() const {
    return stack_->currentIndex();
}

void SettingsDialog::setCurrentTab(int tab) {
    if (tab < 0 || tab >= kTabCount) {
        return;
    }
    tabButtons_[static_cast<std::size_t>(tab)]->setChecked(true);
    if (stack_->currentIndex() != tab) {
        stack_->setCurrentIndex(tab);
        emit tabChanged(tab);
    }
}

QWidget* SettingsDialog::tabPage(int tab) const {
    return tab >= 0 && tab < kTabCount ? pages_[static_cast<std::size_t>(tab)] : nullptr;
}

QAbstractButton* SettingsDialog::tabButton(int tab) const {
    return tab >= 0 && tab < kTabCount ? tabButtons_[static_cast<std::size_t>(tab)] : nullptr;
}

int SettingsDialog::tabHeight() const {
    const QAbstractButton* first = tabButtons_[0];
    return std::max(first->height(), first->sizeHint().height());
}

PreviewWidget* SettingsDialog::preview() const {
    return findChild<PreviewWidget*>(QStringLiteral("WebBrowser1"));
}

QTreeWidget* SettingsDialog::outlineTree() const {
    return findChild<QTreeWidget*>(QStringLiteral("TreeOutline"));
}

bool SettingsDialog::bookmarksShowing() const {
    return stack_->currentIndex() == settings::kTabBookmarks;
}

void SettingsDialog::onClicked(const QString& name, int) {
    if (name == QLatin1String("btnOK")) {
        accept();
    } else if (name == QLatin1String("btnReset")) {
        confirmReset();
    } else if (name == QLatin1String("btnColor") || name == QLatin1String("btnTextColor")) {
        settings::clickColorButton(*model_, name.toStdString(), s_.colors);
    } else if (const int row = attachmentRow(name, QStringLiteral("btnAttach")); row > 0) {
        settings::browseAttachment(*model_, row, s_.files, s_.firstOpenDialog);
    } else if (const int open = attachmentRow(name, QStringLiteral("btnOpen")); open > 0) {
        settings::openAttachment(*model_, open, s_.shell);
    }
}

void SettingsDialog::confirmReset() {
    if (s_.messages.show("Clear all current settings?", kShortTitle, ui::Icon::Question,
                         ui::Buttons::YesNo) != ui::Answer::Yes) {
        return;
    }
    // The options go with this dialog's model; the owner puts a fresh one in its place and
    // rebinds, and the dialog that shows next starts from the defaults.
    done(QDialog::Rejected);
    if (s_.resetSettings) {
        s_.resetSettings();
    }
}

bool SettingsDialog::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::FocusOut && userFocusMove(static_cast<QFocusEvent*>(e)->reason())) {
        // After the focus has settled where the user sent it: a box shown from inside the focus
        // change would fight it.
        const QString box = watched->objectName();
        QMetaObject::invokeMethod(
            this, [this, box] { checkConfirmation(box); }, Qt::QueuedConnection);
    }
    return QDialog::eventFilter(watched, e);
}

void SettingsDialog::checkConfirmation(const QString& box) {
    if (auto message = settings::confirmationMessage(*model_, box.toStdString())) {
        s_.messages.show(*message, kAppTitle, ui::Icon::Exclamation, ui::Buttons::Ok);
    }
}

bool SettingsDialog::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::Show:
        activatedSinceShow_ = false;
        break;
    case QEvent::WindowActivate:
        // Once per showing: the message and file boxes the dialog opens itself hand the
        // activation back without anything having changed.
        if (!activatedSinceShow_) {
            activatedSinceShow_ = true;
            activate();
        }
        break;
    default:
        break;
    }
    return QDialog::event(e);
}

void SettingsDialog::activate() {
    PreviewWidget* pane = preview();
    if (pane == nullptr) {
        return;
    }
    browserwait();
    pane->navigate("about:blank");
    browserwait();
    pane->setBackgroundColor("#FFFFFF");
    browserwait();
    pane->setBodyHtml(s_.blankPreviewHtml ? s_.blankPreviewHtml() : std::string());
    if (s_.events != nullptr) {
        s_.events->processEvents();
    }
    const std::string target = s_.previewTarget ? s_.previewTarget() : std::string();
    if (!target.empty()) {
        browserwait();
        pane->navigate(target);
        if (s_.events != nullptr) {
            s_.events->processEvents();
        }
    }
}

void SettingsDialog::browserwait() {
    PreviewWidget* pane = preview();
    if (pane == nullptr || s_.events == nullptr) {
        return;
    }
    ui::waitForPreview(*pane, *s_.events, s_.messages);
}

} // namespace plait::gui
