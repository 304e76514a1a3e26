// The program's icon, drawn rather than shipped: a QR-code-like mark on a green tile.
//
// The mark is a list of plain shapes, so the window's pixmaps, the installed PNG and the installed
// SVG all come from the one drawing.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <vector>

namespace tollenby {

struct IconShape {
    QRectF rect;
    double cornerRadius = 0;  // 0: a plain rectangle, drawn without antialiasing
    QColor color;
};

// The shapes of the icon on a square of `edge` pixels, back to front.
std::vector<IconShape> AppIconShapes(double edge);

QImage DrawAppIconImage(int size);  // needs no QGuiApplication
QPixmap DrawAppIcon(int size);
QIcon AppIcon();
// The icon as a scalable SVG document with a viewBox of `size` units.
QString AppIconSvg(int size);

}  // namespace tollenby
