#pragma once

#include <QToolButton>

class QDialog;

#include <string>
#include <vector>

namespace plait::gui {

// A button on the status bar that appears when the last build's engine noted something (an
// option it does not carry out yet, damage it repaired in an input, a bookmark past the last
// page) and lists the notes when clicked. A build with nothing to note hides it.
class WarningsIndicator : public QToolButton {
    Q_OBJECT
public:
    explicit WarningsIndicator(QWidget* parent = nullptr);

    void setWarnings(const std::vector<std::string>& warnings);
    // The notes with each damaged file's repairs on one line, every repair named once.
    static QStringList foldRepairs(const std::vector<std::string>& warnings);
    const QStringList& warnings() const { return warnings_; }
    // The text the list shows, in the user's words.
    QString details() const;
    // The window that lists the notes (shown modally by a click; the caller owns it).
    QDialog* makeDetailsDialog();

private:
    void showDetails();
    QStringList warnings_;
};

} // namespace plait::gui
