#include "WarningsIndicator.h"

#include "NoteWording.h"
#include "gui/ui/ScreenFit.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStyle>
#include <QVBoxLayout>

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
    setText(warnings_.size() == 1
                ? tr("1 note from the last build")
                : tr("%n notes from the last build", "", static_cast<int>(warnings_.size())));
    setVisible(!warnings_.isEmpty());
}

QString WarningsIndicator::details() const {
    QStringList lines;
    for (const QString& w : warnings_) {
        lines << QStringLiteral("• ") + noteInUserWords(w);
    }
    return lines.join(QLatin1Char('\n'));
}

QDialog* WarningsIndicator::makeDetailsDialog() {
    // Wide enough for a path, wrapped at words, and never larger than the screen.
    auto* dialog = new QDialog(window());
    dialog->setObjectName(QStringLiteral("buildNotes"));
    dialog->setWindowTitle(tr("PDF Plait"));
    auto* layout = new QVBoxLayout(dialog);
    auto* heading = new QLabel(tr("The last build noted:"), dialog);
    auto* text = new QPlainTextEdit(dialog);
    text->setObjectName(QStringLiteral("buildNotesText"));
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text->setWordWrapMode(QTextOption::WordWrap);
    text->setPlainText(details());
    text->setAccessibleName(tr("Build notes"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, dialog);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    layout->addWidget(heading);
    layout->addWidget(text, 1);
    layout->addWidget(buttons);
    const QFontMetrics fm(text->font());
    dialog->resize(fitWithin(QSize(fm.averageCharWidth() * 90, fm.lineSpacing() * 16), screenRoom(dialog)));
    return dialog;
}

void WarningsIndicator::showDetails() {
    QDialog* dialog = makeDetailsDialog();
    dialog->exec();
    delete dialog;
}

} // namespace plait::gui
