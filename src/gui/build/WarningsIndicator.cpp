#include "WarningsIndicator.h"

#include <QMessageBox>
#include <QStyle>

namespace plait::gui {

WarningsIndicator::WarningsIndicator(QWidget* parent) : QToolButton(parent) {
    setObjectName(QStringLiteral("buildWarnings"));
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    setIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));
    setIconSize(QSize(16, 16));
    setToolTip(tr("What the last build could not do as asked"));
    connect(this, &QToolButton::clicked, this, &WarningsIndicator::showDetails);
    hide();
}

void WarningsIndicator::setWarnings(const std::vector<std::string>& warnings) {
    warnings_.clear();
    for (const auto& w : warnings) {
        warnings_ << QString::fromStdString(w);
    }
    setText(warnings_.size() == 1 ? tr("1 note from the last build") : tr("%n notes from the last build", "", static_cast<int>(warnings_.size())));
    setVisible(!warnings_.isEmpty());
}

QString WarningsIndicator::details() const { return QStringLiteral("• ") + warnings_.join(QStringLiteral("\n• ")); }

void WarningsIndicator::showDetails() {
    QMessageBox box(QMessageBox::Information, tr("PDF Plait"), tr("The last build noted:"), QMessageBox::Ok,
                    window());
    box.setInformativeText(details());
    box.exec();
}

} // namespace plait::gui
