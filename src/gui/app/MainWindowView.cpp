#include "MainWindowView.h"

#include "Icons.h"
#include "PreviewWidget.h"
#include "core/app/Layout.h"
#include "gui/ui/FormBinder.h"
#include "ui_MainWindowView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QListWidget>
#include <QShortcut>
#include <QToolBar>

namespace plait::gui {

using core::app::MainWindow;

MainWindowView::MainWindowView(QWidget* parent) : QMainWindow(parent), ui_(std::make_unique<Ui::MainWindowView>()) {
    ui_->setupUi(this);
    setWindowIcon(icons::application());
    setIcons();
    // The list keeps showing its selection without the focus (Qt lists always do).
    ui_->TreeView1->setUniformItemSizes(true);
    // Long paths keep their file names in view: the start of the path gives way.
    ui_->TreeView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ui_->TreeView1->setTextElideMode(Qt::ElideLeft);
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
    // The window opens with the design client area.
    const int w = twips(core::app::MainDesign::clientWidth, true);
    const int h = twips(core::app::MainDesign::clientHeight, false);
    resize(w, h + ui_->Toolbar1->sizeHint().height() + ui_->menubar->sizeHint().height() +
                  ui_->StatusBar1->sizeHint().height());
}

MainWindowView::~MainWindowView() = default;

PreviewWidget* MainWindowView::preview() const { return ui_->WebBrowser; }

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

void MainWindowView::attach(MainWindow& window) {
    window_ = &window;
    binder_ = new FormBinder(this, window.form(), this);
    connect(binder_, &FormBinder::clicked, this, [this](const QString& name, int) { onCommand(name); });
    window.onInputsChanged = [this](MainWindow::ListChange c, std::size_t i, std::size_t o) {
        onInputsChanged(c, i, o);
    };
    window.onFocusRequest = [this] { activateWindow(); };
    connect(ui_->TreeView1, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (!syncingList_ && window_ != nullptr) {
            window_->clickEntry(static_cast<std::size_t>(ui_->TreeView1->row(item)));
        }
    });
    // Keyboard moves in the list change the selection without previewing (a preview per
    // arrow key would load every file on the way); a click previews.
    connect(ui_->TreeView1, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!syncingList_ && window_ != nullptr && row >= 0) {
            window_->inputs().select(static_cast<std::size_t>(row));
        }
    });
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
    case MainWindow::ListChange::Appended:
        list->addItem(QString::fromStdString(inputs.at(index).text));
        list->item(list->count() - 1)->setToolTip(list->item(list->count() - 1)->text());
        break;
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
    sizes.txtOutfile.height = std::max(sizes.txtOutfile.height, toTwips(ui_->txtOutfile->sizeHint().height(), false));
    // The window may not shrink below the size at which the rules keep everything inside it.
    const auto least = core::app::minimumClientSize(0, sizes);
    const QSize leastPx(twips(least.width, true) + 1, twips(least.height, false) + 1);
    if (area->minimumSize() != leastPx) {
        area->setMinimumSize(leastPx);
    }
    // The toolbar has its own strip above the central area, so the area starts at 0.
    const auto l = core::app::layoutMainWindow(toTwips(area->width(), true), toTwips(area->height(), false),
                                               toTwips(area->width(), true), 0, sizes);
    auto place = [this](QWidget* w, const core::app::Rect& r) {
        w->setGeometry(twips(r.left, true), twips(r.top, false), twips(r.width, true), twips(r.height, false));
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
