#pragma once

#include <QToolButton>

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
    const QStringList& warnings() const { return warnings_; }
    // The text the list shows.
    QString details() const;

private:
    void showDetails();
    QStringList warnings_;
};

} // namespace plait::gui
