#pragma once
// The pictures of the ground station, all drawn here with QPainter: toolbar icons, the program
// icon and the splash picture. No image file is shipped.

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace orvex {

// The toolbar icon of a command id (a blank icon for ids without a picture).
QIcon toolbarIcon(int commandId);
// The program icon: an aircraft seen from above on a blue disc.
QIcon programIcon();
// The program icon at one size (the desktop's icon files are drawn from it at build time).
QImage programIconImage(int size);
// The splash picture at the given size.
QPixmap splashPicture(int width, int height);

} // namespace orvex
