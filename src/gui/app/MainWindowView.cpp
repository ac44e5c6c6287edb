#include "MainWindowView.h"

#include "Icons.h"
#include "PageCounts.h"
#include "PreviewWidget.h"
#include "core/app/Layout.h"
#include "gui/ui/Accessibility.h"
#include "gui/ui/FocusFrame.h"
#include "gui/ui/FormBinder.h"
#include "gui/ui/ScreenFit.h"
#include "ui_MainWindowView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>

namespace plait::gui {

using core::app::MainWindow;

MainWindowView::MainWindowView(QWidget* parent)
    : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindowView>()) {
    ui_->setupUi(this);
    setWindowIcon(icons::application());
    setIcons();
    setUpKeyboard();
    pageCounts_ = new PageCounts(this);
    fileInfo_ = new QLabel(this);
    fileInfo_->setObjectName(QStringLiteral("selectedFileInfo"));
    statusBar()->addPermanentWidget(fileInfo_);
    // An empty list says how to start; it lets clicks and drops through to the list.
    emptyHint_ = new QLabel(tr("To start, add PDFs or images with Add, or drop them here."),
                            ui_->TreeView1->viewport());
    emptyHint_->setObjectName(QStringLiteral("emptyListHint"));
    emptyHint_->setAlignment(Qt::AlignCenter);
    emptyHint_->setWordWrap(true);
    emptyHint_->setEnabled(false); // drawn in the quieter colour of disabled text
    emptyHint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    // An answer may be for the selected input or for the output the preview shows.
    connect(pageCounts_, &PageCounts::counted, this, [this](const QString&) { showSelectedFileInfo(); });
    // Files dropped anywhere on the window are added (the output name box included, which
    // would otherwise take the dropped file's address as text).
    setAcceptDrops(true);
    ui_->txtOutfile->setAcceptDrops(false);
    // The box may be too narrow for the whole path: the tooltip has it.
    auto outputTip = [this](const QString& text) {
        ui_->txtOutfile->setToolTip(text.isEmpty()
                                        ? QStringLiteral("The PDF to build; with no name it goes to "
                                                         "PDFOut.pdf in the temporary folder")
                                        : text);
    };
    connect(ui_->txtOutfile, &QLineEdit::textChanged, this, outputTip);
    outputTip(QString());
    // The list keeps showing its selection without the focus (Qt lists always do).
    ui_->TreeView1->setUniformItemSizes(true);
    // Long paths keep their file names in view: the start of the path gives way.
    ui_->TreeView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui_->TreeView1->setTextElideMode(Qt::ElideLeft);
    showFocusOnFrame(ui_->TreeView1);
    // Enter builds whenever the build button may be pressed, as the window's default button;
    // but a button that has the keyboard focus is the one Enter presses, as in any dialog.
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* enter = new QShortcut(QKeySequence(key), this);
        connect(enter, &QShortcut::activated, this, [this] {
            if (auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
                focused != nullptr && focused != ui_->go && qobject_cast<QCheckBox*>(focused) == nullptr) {
                focused->click();
                return;
            }
            if (window_ != nullptr && ui_->go->isEnabled()) {
                window_->buildPDF();
            }
        });
    }
}

MainWindowView::~MainWindowView() = default;

PreviewWidget* MainWindowView::preview() const {
    return ui_->WebBrowser;
}

void MainWindowView::setIcons() {
    ui_->Toolbar1_1->setIcon(icons::open());
    ui_->Toolbar1_2->setIcon(icons::save());
    ui_->Toolbar1_4->setIcon(icons::add());
    ui_->Toolbar1_6->setIcon(icons::merge());
    ui_->Toolbar1_7->setIcon(icons::overlay());
    ui_->Toolbar1_8->setIcon(icons::repeat());
    ui_->Toolbar1_10->setIcon(icons::settings());
    ui_->Toolbar1->setIconSize(QSize(24, 24));
    ui_->btnUp->setIcon(icons::up());
    ui_->btnDown->setIcon(icons::down());
    ui_->btnRemove->setIcon(icons::remove());
    ui_->go->setIcon(icons::build());
    for (auto* b : {ui_->btnUp, ui_->btnDown, ui_->btnRemove}) {
        b->setIconSize(QSize(20, 20));
    }
    ui_->go->setIconSize(QSize(26, 26));
}

void MainWindowView::setUpKeyboard() {
    // The build modes: a shortcut each, named in its tooltip.
    const std::pair<QAction*, QKeySequence> modes[] = {{ui_->Toolbar1_6, QKeySequence(Qt::CTRL | Qt::Key_1)},
                                                       {ui_->Toolbar1_7, QKeySequence(Qt::CTRL | Qt::Key_2)},
                                                       {ui_->Toolbar1_8, QKeySequence(Qt::CTRL | Qt::Key_3)}};
    // Beneath each tooltip: which input is the base and what is laid where.
    const QString how[] = {
        tr("The inputs one after another, in the order of the list."),
        tr("The first input is the base; page 1 of the second is laid on its page 1, page 2 on page 2, "
           "and so on."),
        tr("The first input is the base; the pages of the second are laid on its pages and start over, "
           "so a one-page letterhead lands on every page.")};
    int n = 0;
    for (const auto& [action, keys] : modes) {
        action->setShortcut(keys);
        action->setToolTip(action->toolTip() + QStringLiteral(" (") +
                           keys.toString(QKeySequence::NativeText) + QStringLiteral(")\n") + how[n++]);
    }
    // The toolbar's buttons take the focus from Tab like every other button. The commands are
    // announced as buttons, the three modes as a choice of one (the toolbar makes them all
    // two-state buttons).
    for (QAction* action : ui_->Toolbar1->actions()) {
        if (auto* button = qobject_cast<QAbstractButton*>(ui_->Toolbar1->widgetForAction(action))) {
            button->setFocusPolicy(Qt::TabFocus);
            const bool mode =
                action == ui_->Toolbar1_6 || action == ui_->Toolbar1_7 || action == ui_->Toolbar1_8;
            setAccessibleRole(button, mode ? QAccessible::RadioButton : QAccessible::PushButton);
        }
    }
    // Delete in the list removes the selected file, as the remove button does.
    auto* remove = new QShortcut(QKeySequence::Delete, ui_->TreeView1);
    remove->setContext(Qt::WidgetShortcut);
    connect(remove, &QShortcut::activated, this, [this] {
        if (window_ != nullptr && ui_->btnRemove->isEnabled()) {
            window_->removeSelected();
        }
    });
    // Top to bottom, left to right: the toolbar, the list's buttons and the list, the output
    // row and the two options under it, then the build button that stands to their right.
    QList<QWidget*> order;
    for (QAction* action : ui_->Toolbar1->actions()) {
        if (QWidget* button = ui_->Toolbar1->widgetForAction(action);
            button != nullptr && !action->isSeparator()) {
            order << button;
        }
    }
    order << ui_->btnUp << ui_->btnDown << ui_->btnRemove << ui_->TreeView1 << ui_->txtOutfile
          << ui_->cmdOutput << ui_->chkViewer << ui_->chkPreview << ui_->go;
    for (qsizetype i = 0; i + 1 < order.size(); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
}

bool MainWindowView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->TreeView1->viewport() && event->type() == QEvent::Resize) {
        emptyHint_->setGeometry(ui_->TreeView1->viewport()->rect().adjusted(6, 6, -6, -6));
    }
    if (watched == ui_->TreeView1->viewport() && event->type() == QEvent::MouseButtonPress) {
        rowAtPress_ = ui_->TreeView1->currentRow();
    }
    // An entry's tooltip: its whole path, and what it is.
    if (watched == ui_->TreeView1->viewport() && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (QListWidgetItem* item = ui_->TreeView1->itemAt(help->pos())) {
            QToolTip::showText(help->globalPos(), entryToolTip(item->text()), ui_->TreeView1->viewport());
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

QString MainWindowView::entryToolTip(const QString& path) const {
    const std::optional<QString> info = pageCounts_->describe(path);
    return path + QLatin1Char('\n') + info.value_or(tr("counting pages..."));
}

QString MainWindowView::selectedFileInfo() const {
    const auto* entry = window_ != nullptr ? window_->inputs().selectedEntry() : nullptr;
    // After a build the preview shows the output, not the input still selected in the list.
    const QString output = window_ != nullptr ? QString::fromStdString(window_->lastOutputFile()) : QString();
    if (!output.isEmpty() && preview()->currentPath() == output &&
        (entry == nullptr || QString::fromStdString(entry->text) != output)) {
        const std::optional<QString> info = pageCounts_->describe(output);
        return tr("Showing the output %1: %2")
            .arg(QFileInfo(output).fileName(), info.value_or(tr("counting pages...")));
    }
    if (entry == nullptr) {
        return {};
    }
    return pageCounts_->describe(QString::fromStdString(entry->text)).value_or(tr("counting pages..."));
}

void MainWindowView::showCannotOpen(const QString& target) {
    const QFileInfo info(target);
    const QString name = info.fileName().isEmpty() ? target : info.fileName();
    // After the command that asked has finished with the status bar.
    QTimer::singleShot(0, this, [this, name] {
        statusBar()->showMessage(tr("The desktop has no application that could open %1.").arg(name));
    });
}

int MainWindowView::fileInfoWidthLimit() const {
    return fileInfo_->fontMetrics().averageCharWidth() * 48;
}

void MainWindowView::showSelectedFileInfo() {
    const QString full = selectedFileInfo();
    const QString shown = fileInfo_->fontMetrics().elidedText(full, Qt::ElideMiddle, fileInfoWidthLimit());
    fileInfo_->setText(shown);
    fileInfo_->setToolTip(shown == full ? QString() : full);
}

void MainWindowView::restoreFocus(QWidget* widget) {
    if (widget != nullptr && widget->window() == this && widget->isVisible() && widget->isEnabled() &&
        widget != ui_->btnUp && widget != ui_->btnDown && widget != ui_->btnRemove) {
        widget->setFocus(Qt::OtherFocusReason);
        return;
    }
    ui_->TreeView1->setFocus(Qt::OtherFocusReason);
}

void MainWindowView::updateEmptyListHint() {
    emptyHint_->setGeometry(ui_->TreeView1->viewport()->rect().adjusted(6, 6, -6, -6));
    emptyHint_->setVisible(ui_->TreeView1->count() == 0);
}

namespace {

// The local files a drag carries, in its order; none when it carries anything else.
std::vector<std::string> droppedFiles(const QMimeData* data) {
    std::vector<std::string> files;
    if (data == nullptr || !data->hasUrls()) {
        return files;
    }
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty()) {
            files.push_back(url.toLocalFile().toStdString());
        }
    }
    return files;
}

} // namespace

void MainWindowView::dragEnterEvent(QDragEnterEvent* event) {
    // Nothing is taken while a build runs: the list is what the engine is working from.
    if (window_ != nullptr && !window_->building() && !droppedFiles(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void MainWindowView::dragMoveEvent(QDragMoveEvent* event) {
    if (window_ != nullptr && !window_->building() && !droppedFiles(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void MainWindowView::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = droppedFiles(event->mimeData());
    if (window_ == nullptr || window_->building() || files.empty()) {
        return;
    }
    event->acceptProposedAction();
    // Added once the drop has ended, so that a message about a missing file does not hold
    // the file manager's drag open.
    QTimer::singleShot(0, this, [this, files] {
        if (window_ != nullptr && !window_->building()) {
            window_->openFiles(files);
        }
    });
}

void MainWindowView::attach(MainWindow& window) {
    window_ = &window;
    binder_ = new FormBinder(this, window.form(), this);
    // Once the binder has given the controls their captions: only a control left without one
    // is named from its tooltip.
    nameControlsFromToolTips(this);
    // The window opens with the design client area, under a menu bar that now has its captions.
    const int w = twips(core::app::MainDesign::clientWidth, true);
    const int h = twips(core::app::MainDesign::clientHeight, false);
    resize(fitWithin(QSize(w, h + ui_->Toolbar1->sizeHint().height() + ui_->menubar->sizeHint().height() +
                                  ui_->StatusBar1->sizeHint().height()),
                     screenRoom(this)));
    connect(binder_, &FormBinder::clicked, this, [this](const QString& name, int) { onCommand(name); });
    window.onInputsChanged = [this](MainWindow::ListChange c, std::size_t i, std::size_t o) {
        onInputsChanged(c, i, o);
    };
    window.onFocusRequest = [this] { activateWindow(); };
    // A password typed to preview a locked input is offered for the build, once the preview
    // has finished with it.
    preview()->onPasswordTyped = [this](const QString&, const QString& password) {
        QTimer::singleShot(0, this, [this, password] {
            if (window_ != nullptr) {
                window_->offerInputPassword(password.toStdString());
            }
        });
    };
    // Every move of the selection, by mouse or keys, previews the entry. A click on the entry
    // that was already selected moves nothing, yet previews it again.
    connect(ui_->TreeView1, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!syncingList_ && window_ != nullptr && row >= 0) {
            window_->clickEntry(static_cast<std::size_t>(row));
            showSelectedFileInfo();
        }
    });
    connect(ui_->TreeView1, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int row = ui_->TreeView1->row(item);
        if (!syncingList_ && window_ != nullptr && row == rowAtPress_) {
            window_->clickEntry(static_cast<std::size_t>(row));
            showSelectedFileInfo();
        }
    });
    ui_->TreeView1->viewport()->installEventFilter(this);
    rebuildList();
}

void MainWindowView::onCommand(const QString& name) {
    if (window_ == nullptr) {
        return;
    }
    MainWindow& w = *window_;
    if (name == QLatin1String("mnuAddPDF")) {
        w.openScript();
    } else if (name == QLatin1String("mnuOpen")) {
        w.loadSettings();
    } else if (name == QLatin1String("mnuSave")) {
        w.saveSettings(false);
    } else if (name == QLatin1String("mnuSaveAs")) {
        w.saveSettings(true);
    } else if (name == QLatin1String("mnuView")) {
        w.viewSelectedFile();
    } else if (name == QLatin1String("mnuRemove") || name == QLatin1String("btnRemove")) {
        w.removeSelected();
    } else if (name == QLatin1String("mnuRemoveAll")) {
        w.removeAll();
    } else if (name == QLatin1String("mnuAddOutput")) {
        w.addOutputFile();
    } else if (name == QLatin1String("mnuDispOutput")) {
        w.displayOutput();
    } else if (name == QLatin1String("mnuBuildPDF") || name == QLatin1String("go")) {
        w.buildPDF();
    } else if (name == QLatin1String("mnuExit")) {
        close();
    } else if (name == QLatin1String("mnuSettings")) {
        w.showSettings();
    } else if (name == QLatin1String("mnuManual")) {
        w.openManual();
    } else if (name == QLatin1String("mnuAbout")) {
        w.showAbout();
    } else if (name == QLatin1String("cmdOutput")) {
        w.chooseOutputFile();
    } else if (name == QLatin1String("btnUp")) {
        w.moveUp();
    } else if (name == QLatin1String("btnDown")) {
        w.moveDown();
    }
}

void MainWindowView::onInputsChanged(MainWindow::ListChange change, std::size_t index, std::size_t other) {
    QListWidget* list = ui_->TreeView1;
    const auto& inputs = window_->inputs();
    syncingList_ = true;
    switch (change) {
    case MainWindow::ListChange::Appended: {
        const QString path = QString::fromStdString(inputs.at(index).text);
        list->addItem(path);
        pageCounts_->request(path);
        break;
    }
    case MainWindow::ListChange::Moved: {
        QListWidgetItem* item = list->takeItem(static_cast<int>(index));
        list->insertItem(static_cast<int>(other), item);
        list->setCurrentRow(static_cast<int>(other));
        break;
    }
    case MainWindow::ListChange::Removed:
        delete list->takeItem(static_cast<int>(index));
        break;
    case MainWindow::ListChange::Cleared:
        list->clear();
        break;
    case MainWindow::ListChange::Selected:
        list->setCurrentRow(static_cast<int>(index));
        list->scrollToItem(list->currentItem());
        break;
    }
    syncingList_ = false;
    updateEmptyListHint();
    if (change != MainWindow::ListChange::Appended) {
        showSelectedFileInfo();
    }
}

void MainWindowView::rebuildList() {
    syncingList_ = true;
    ui_->TreeView1->clear();
    for (const auto& e : window_->inputs().entries()) {
        ui_->TreeView1->addItem(QString::fromStdString(e.text));
    }
    if (auto sel = window_->inputs().selected()) {
        ui_->TreeView1->setCurrentRow(static_cast<int>(*sel));
    }
    syncingList_ = false;
    updateEmptyListHint();
}

int MainWindowView::twips(int value, bool horizontal) const {
    // 1440 twips an inch; at 96 dots an inch that is 15 twips a pixel.
    const int dpi = horizontal ? logicalDpiX() : logicalDpiY();
    return (value * (dpi > 0 ? dpi : 96) + 720) / 1440;
}

void MainWindowView::layoutControls() {
    QWidget* area = ui_->centralArea;
    auto toTwips = [this](int px, bool horizontal) {
        const int dpi = horizontal ? logicalDpiX() : logicalDpiY();
        return px * 1440 / (dpi > 0 ? dpi : 96);
    };
    // Captions keep the design sizes unless this screen's font needs more room.
    core::app::ControlSizes sizes;
    auto fit = [&](core::app::Rect& r, QWidget* w) {
        const QSize hint = w->sizeHint();
        r.width = std::max(r.width, toTwips(hint.width(), true));
        r.height = std::max(r.height, toTwips(hint.height(), false));
    };
    fit(sizes.labOutfile, ui_->labOutfile);
    fit(sizes.chkViewer, ui_->chkViewer);
    fit(sizes.chkPreview, ui_->chkPreview);
    sizes.txtOutfile.height =
        std::max(sizes.txtOutfile.height, toTwips(ui_->txtOutfile->sizeHint().height(), false));
    // The window may not shrink below the size at which the rules keep everything inside it.
    const auto least = core::app::minimumClientSize(0, sizes);
    // ... but never more than the screen holds.
    const QSize leastPx = fitWithin(
        QSize(twips(least.width, true) + 1, twips(least.height, false) + 1),
        (screenRoom(this) - (size() - area->size()).expandedTo(QSize(0, 0))).expandedTo(QSize(1, 1)));
    if (area->minimumSize() != leastPx) {
        area->setMinimumSize(leastPx);
    }
    // The toolbar has its own strip above the central area, so the area starts at 0.
    const auto l = core::app::layoutMainWindow(toTwips(area->width(), true), toTwips(area->height(), false),
                                               toTwips(area->width(), true), 0, sizes);
    auto place = [this](QWidget* w, const core::app::Rect& r) {
        w->setGeometry(twips(r.left, true), twips(r.top, false), twips(r.width, true),
                       twips(r.height, false));
    };
    place(ui_->TreeView1, l.treeView);
    place(ui_->btnUp, l.btnUp);
    place(ui_->btnDown, l.btnDown);
    place(ui_->btnRemove, l.btnRemove);
    place(ui_->labOutfile, l.labOutfile);
    place(ui_->txtOutfile, l.txtOutfile);
    place(ui_->cmdOutput, l.cmdOutput);
    place(ui_->go, l.go);
    place(ui_->chkViewer, l.chkViewer);
    place(ui_->chkPreview, l.chkPreview);
    place(ui_->WebBrowser, l.webBrowser);
    auto line = [this](QFrame* f, const core::app::LineSegment& s) {
        const int x1 = twips(s.x1, true);
        const int y1 = twips(s.y1, false);
        const int x2 = twips(s.x2, true);
        const int y2 = twips(s.y2, false);
        f->setGeometry(std::min(x1, x2), std::min(y1, y2), std::max(2, std::abs(x2 - x1)),
                       std::max(2, std::abs(y2 - y1)));
    };
    line(ui_->Line1, l.line1);
    line(ui_->Line2, l.line2);
    line(ui_->Line3, l.line3);
    ui_->Line3->hide(); // the toolbar draws its own edge
}

void MainWindowView::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    layoutControls();
}

void MainWindowView::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    layoutControls();
}

void MainWindowView::closeEvent(QCloseEvent* event) {
    if (closeWithoutAsking || window_ == nullptr) {
        event->accept();
        return;
    }
    if (window_->building()) {
        // The engine is still writing; it must stop before the program may end.
        if (onCloseWhileBuilding) {
            onCloseWhileBuilding();
        }
        event->ignore();
        return;
    }
    if (window_->unload()) {
        event->accept();
    } else {
        event->ignore();
    }
}

} // namespace plait::gui
