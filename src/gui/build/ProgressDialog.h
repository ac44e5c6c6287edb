#pragma once

#include "core/build/ProgressWindow.h"

#include <QDialog>
#include <QTimer>

#include <memory>

namespace Ui {
class ProgressDialog;
}

namespace plait::gui {

// Shows a build's progress window: polls the engine every 250 ms and offers Cancel.
class ProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProgressDialog(core::build::WatchedBuild build, QWidget* parent = nullptr);
    ~ProgressDialog() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void showChange(const ui::Control& c, ui::Property p);

    std::unique_ptr<Ui::ProgressDialog> ui_;
    core::build::WatchedBuild build_;
    core::build::ProgressWindow& model_;
    QTimer timer_;
    ui::Subscription listener_;
};

} // namespace plait::gui
