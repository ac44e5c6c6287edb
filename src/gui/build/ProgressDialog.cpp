#include "ProgressDialog.h"

#include "gui/ui/FormBinder.h"
#include "ui_ProgressDialog.h"

#include <QCloseEvent>

namespace plait::gui {

ProgressDialog::ProgressDialog(core::build::ProgressWindow& model, engine::MergeEngine& engine,
                               QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::ProgressDialog>()), model_(model), engine_(engine) {
    ui_->setupUi(this);
    setModal(false);
    setCursor(Qt::ArrowCursor); // the main window keeps its busy cursor
    setWindowTitle(QString::fromStdString(model_.caption()));
    for (const ui::Control& c : model_.controls()) {
        FormBinder::showCaption(findChild<QObject*>(QString::fromStdString(c.name)), c);
    }
    listener_ = model_.subscribe([this](const ui::Control& c, ui::Property p) { showChange(c, p); });
    connect(ui_->CancelButton, &QPushButton::clicked, this, [this] { model_.cancel(engine_); });
    timer_.setInterval(core::build::ProgressWindow::kTickMilliseconds);
    connect(&timer_, &QTimer::timeout, this, [this] { model_.tick(engine_); });
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
    model_.cancel(engine_);
}

void ProgressDialog::closeEvent(QCloseEvent* event) {
    // Closing the window is Cancel.
    if (model_.loaded()) {
        model_.cancel(engine_);
    }
    event->accept();
}

} // namespace plait::gui
