#include "ProgressDialog.h"

#include "gui/ui/FormBinder.h"
#include "ui_ProgressDialog.h"

#include <QCloseEvent>

namespace plait::gui {

ProgressDialog::ProgressDialog(core::build::WatchedBuild build, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ProgressDialog>()), build_(build), model_(build.window()) {
    ui_->setupUi(this);
    setModal(false);
    setCursor(Qt::ArrowCursor); // the main window keeps its busy cursor
    setWindowTitle(QString::fromStdString(model_.caption()));
    for (const ui::Control& c : model_.controls()) {
        FormBinder::showCaption(findChild<QObject*>(QString::fromStdString(c.name)), c);
    }
    listener_ = model_.subscribe([this](const ui::Control& c, ui::Property p) { showChange(c, p); });
    connect(ui_->CancelButton, &QPushButton::clicked, this, [this] { build_.cancel(); });
    timer_.setInterval(core::build::ProgressWindow::kTickMilliseconds);
    connect(&timer_, &QTimer::timeout, this, [this] { build_.tick(); });
    timer_.start();
}

ProgressDialog::~ProgressDialog() = default;

void ProgressDialog::showChange(const ui::Control& c, ui::Property p) {
    if (c.name == "frmPDFProcess") {
        if (p == ui::Property::Text) {
            setWindowTitle(QString::fromStdString(c.text));
        } else if (p == ui::Property::Visible && !c.visible) {
            timer_.stop();
            hide();
        }
    } else if (c.name == "StatusBar1") {
        ui_->StatusBar1->showMessage(QString::fromStdString(c.text));
    } else if (c.name == "ProgressBar1") {
        // The engine's numbers are shown as they come; the bar widens to hold them.
        if (c.value > ui_->ProgressBar1->maximum()) {
            ui_->ProgressBar1->setMaximum(c.value);
        }
        ui_->ProgressBar1->setValue(std::max(c.value, ui_->ProgressBar1->minimum()));
    }
}

void ProgressDialog::reject() {
    build_.cancel();
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
    // Closing the window is Cancel.
    if (model_.loaded()) {
        build_.cancel();
    }
    event->accept();
}

} // namespace plait::gui
