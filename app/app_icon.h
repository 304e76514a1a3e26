// The program's icon, drawn rather than shipped: a QR-code-like mark on a green tile.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace tollenby {

QPixmap DrawAppIcon(int size);
QIcon AppIcon();

}  // namespace tollenby
