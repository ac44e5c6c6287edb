#include "QtServices.h"

#include "gui/ui/CoreTexts.h"
#include "gui/ui/FormBinder.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QUrl>

namespace plait::gui {

QWidget* dialogOwner(QWidget* fallback) {
    // The window the user is working in owns the box: it opens over that window and hands the
    // focus back to it, so that an about box or a settings dialog stays the active window.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        return modal;
    }
    if (QWidget* active = QApplication::activeWindow(); active != nullptr && active->isVisible()) {
        return active;
    }
    return fallback;
}

ui::Answer QtMessageBox::show(const std::string& text, const std::string& caption, ui::Icon icon,
                              ui::Buttons buttons) {
    return showDetailed(text, {}, caption, icon, buttons);
}

void QtMessageBox::fill(QMessageBox& box, const std::string& text, const std::string& details,
                        const std::string& caption, ui::Icon icon, ui::Buttons buttons) {
    box.setText(coreText(text));
    // Which file, and why, beneath the message that stays as it is.
    box.setInformativeText(QString::fromStdString(details));
    box.setWindowTitle(coreText(caption));
    switch (icon) {
    case ui::Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case ui::Icon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case ui::Icon::Exclamation:
        box.setIcon(QMessageBox::Warning);
        break;
    case ui::Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case ui::Icon::None:
        break;
    }
    switch (buttons) {
    case ui::Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case ui::Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case ui::Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    }
}

ui::Answer QtMessageBox::showDetailed(const std::string& text, const std::string& details,
                                      const std::string& caption, ui::Icon icon, ui::Buttons buttons) {
    QMessageBox box(dialogOwner(parent_));
    fill(box, text, details, caption, icon, buttons);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return ui::Answer::Yes;
    case QMessageBox::No:
        return ui::Answer::No;
    case QMessageBox::Cancel:
        return ui::Answer::Cancel;
    default:
        // Closing a Yes/No/Cancel box with Escape or its close control is a cancel.
        return buttons == ui::Buttons::Ok
                   ? ui::Answer::Ok
                   : (buttons == ui::Buttons::YesNo ? ui::Answer::No : ui::Answer::Cancel);
    }
}

QStringList QtFileDialog::nameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList result;
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        description.remove(trailingPatterns);
        QStringList patterns;
        for (QString p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            p = p.trimmed();
            if (p == QLatin1String("*.*") || p == QLatin1String("*")) {
                patterns << QStringLiteral("*");
                continue;
            }
            patterns << p;
            if (p.toLower() != p) {
                patterns << p.toLower();
            }
            if (p.toUpper() != p) {
                patterns << p.toUpper();
            }
        }
        patterns.removeDuplicates();
        if (patterns.isEmpty()) {
            patterns << QStringLiteral("*");
        }
        result << description.trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                      QLatin1Char(')');
    }
    return result;
}

void QtFileDialog::showOpen(ui::FileDialogState& state) {
    run(state, false);
}

void QtFileDialog::showSave(ui::FileDialogState& state) {
    run(state, true);
}

void QtFileDialog::run(ui::FileDialogState& state, bool save) {
    QFileDialog dialog(dialogOwner(parent_));
    // Qt's own dialog: it behaves the same on every desktop and honours every option below.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const bool multi = !save && (state.flags & ui::FileDialogState::kAllowMultiSelect) != 0;
    dialog.setFileMode(save ? QFileDialog::AnyFile
                            : (multi ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile));
    if (save && (state.flags & ui::FileDialogState::kOverwritePrompt) == 0) {
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    }
    const QStringList filters = nameFilters(state.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
    }
    QString ext = QString::fromStdString(state.defaultExt);
    if (ext.startsWith(QLatin1Char('.'))) {
        ext.remove(0, 1);
    }
    dialog.setDefaultSuffix(ext);
    if (!state.initDir.empty()) {
        dialog.setDirectory(QString::fromStdString(state.initDir));
    }
    if (!state.fileName.empty()) {
        const QFileInfo proposed(QString::fromStdString(state.fileName));
        if (proposed.isAbsolute()) {
            dialog.setDirectory(proposed.absolutePath());
        }
        dialog.selectFile(proposed.fileName());
    }

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        state.fileName.clear();
        return;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.size() == 1) {
        state.fileName = QDir::toNativeSeparators(chosen.front()).toStdString();
        return;
    }
    // Several files: the folder, then each name, separated by NULs.
    std::string joined = QFileInfo(chosen.front()).absolutePath().toStdString();
    for (const QString& file : chosen) {
        joined.push_back('\0');
        joined += QFileInfo(file).fileName().toStdString();
    }
    state.fileName = joined;
}

std::optional<ui::ColorValue> QtColorDialog::pickColor() {
    // Not preset with the field's colour: the dialog always opens on white.
    const QColor color = QColorDialog::getColor(Qt::white, dialogOwner(parent_));
    if (!color.isValid()) {
        return std::nullopt;
    }
    return FormBinder::fromQColor(color);
}

void QtShellOpen::open(const std::string& path) {
    const QString p = QString::fromStdString(path);
    QUrl url = QUrl(p, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().size() <= 1) {
        url = QUrl::fromLocalFile(QFileInfo(p).absoluteFilePath());
    }
    const bool opened = opener ? opener(url) : QDesktopServices::openUrl(url);
    if (!opened && onFailure) {
        onFailure(url.isLocalFile() ? url.toLocalFile() : url.toString());
    }
}

} // namespace plait::gui
