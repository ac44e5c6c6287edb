#include "AboutDialog.h"

#include "core/about/About.h"
#include "gui/app/Icons.h"
#include "ui_AboutDialog.h"

#include <QProcess>
#include <QStandardPaths>

namespace plait::gui {

AboutDialog::AboutDialog(ui::MessageBox& messages, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::AboutDialog>()), messages_(messages) {
    ui_->setupUi(this);
    setWindowTitle(QString::fromStdString(core::about::caption()));
    ui_->lblTitle->setText(QString::fromStdString(core::about::title()));
    ui_->lblVersion->setText(QString::fromStdString(core::about::versionText()));
    ui_->picIcon->setPixmap(icons::application().pixmap(64, 64));
    // Enter and Esc both press OK.
    connect(ui_->cmdOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui_->cmdSysInfo, &QPushButton::clicked, this, &AboutDialog::startSysInfo);
    startProgram = [](const QString& program, const QStringList& arguments) {
        return QProcess::startDetached(program, arguments);
    };
    findProgram = [](const QString& name) { return QStandardPaths::findExecutable(name); };
}

AboutDialog::~AboutDialog() = default;

void AboutDialog::startSysInfo() {
    auto tool = core::about::findSystemInfoTool(
        [this](const std::string& name) { return findProgram(QString::fromStdString(name)).toStdString(); });
    bool started = false;
    if (tool) {
        QStringList args;
        for (const auto& a : tool->arguments) {
            args << QString::fromStdString(a);
        }
        started = startProgram(QString::fromStdString(tool->program), args);
    }
    if (!started) {
        messages_.show(core::about::kSysInfoUnavailable, core::about::title(), ui::Icon::None,
                       ui::Buttons::Ok);
    }
}

} // namespace plait::gui
