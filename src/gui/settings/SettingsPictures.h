#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>

// The pictures of the settings dialog, drawn by the program so that they follow the screen's
// scale and need no image files.
namespace plait::gui::pictures {

// Position picture n (4 top right, 5 bottom left, 6 bottom right, 7 top left): a page with an
// arrow pointing from the origin corner into it. Other numbers give a plain page.
QPixmap originPicture(int n, QSize size = QSize(48, 60));

// Stamp picture n: 1..21 the stamp's name in a coloured stamp frame, 13..16 with a line of
// sample wording under the name; 22 (and anything else) is blank.
QPixmap stampPicture(int n, const QString& name, QSize size = QSize(148, 78));

// The small page under the page-number alignment options, with the three number positions.
QPixmap alignPagePicture(QSize size = QSize(120, 70));

// A padlock, shown on the security tab.
QPixmap lockPicture(QSize size = QSize(48, 48));

// Text alignment: button 1 left, 2 centre, 3 right.
QIcon alignIcon(int button);

// The outline editor's picture buttons: "up", "down", "left", "right", "delete".
QIcon outlineIcon(const QString& which);

} // namespace plait::gui::pictures
