#pragma once

#include "core/ui/Interfaces.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace Ui {
class AboutDialog;
}

namespace plait::gui {

// The about box: title, version, and a launcher for the desktop's system information tool.
class AboutDialog : public QDialog {
    Q_OBJECT
public:
    AboutDialog(ui::MessageBox& messages, QWidget* parent = nullptr);
    ~AboutDialog() override;

    // How a program is started; returns false when it could not be. Tests replace it.
    std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
    // Finds a program by name ("" when not installed). Tests replace it.
    std::function<QString(const QString& name)> findProgram;

    void startSysInfo();

private:
    std::unique_ptr<Ui::AboutDialog> ui_;
    ui::MessageBox& messages_;
};

} // namespace plait::gui
