#include "FocusFrame.h"

#include <QAbstractItemView>

namespace plait::gui {

void showFocusOnFrame(QAbstractItemView* view) {
    view->setStyleSheet(QStringLiteral("QAbstractItemView { border: 1px solid palette(mid); }"
                                       "QAbstractItemView:focus { border: 1px solid palette(highlight); }"));
}

} // namespace plait::gui
