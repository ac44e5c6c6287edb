#include "WarningsIndicator.h"

#include "NoteWording.h"
#include "gui/ui/ScreenFit.h"
#include "pdfengine/Soundness.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QHash>
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

QStringList WarningsIndicator::foldRepairs(const std::vector<std::string>& warnings) {
    // "name is damaged and was repaired: what", one line for each thing repaired, becomes one
    // line for each file, naming every repair once, where the file's first note stood.
    const std::string repaired(pdf::kRepairedNote);
    QStringList notes;
    QHash<QString, qsizetype> lineOfFile;
    for (const std::string& w : warnings) {
        const std::size_t at = w.find(repaired);
        if (at == std::string::npos) {
            notes << QString::fromStdString(w);
            continue;
        }
        const QString file = QString::fromStdString(w.substr(0, at));
        const QString what = QString::fromStdString(w.substr(at + repaired.size()));
        if (auto it = lineOfFile.constFind(file); it != lineOfFile.constEnd()) {
            QString& line = notes[*it];
            if (!line.sliced(file.size() + static_cast<qsizetype>(repaired.size()))
                     .split(QStringLiteral("; "))
                     .contains(what)) {
                line += QStringLiteral("; ") + what;
            }
            continue;
        }
        lineOfFile.insert(file, notes.size());
        notes << QString::fromStdString(w);
    }
    return notes;
}

void WarningsIndicator::setWarnings(const std::vector<std::string>& warnings) {
    warnings_ = foldRepairs(warnings);
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
