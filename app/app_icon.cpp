#include "app/app_icon.h"

#include <QColor>
#include <QPainter>
#include <QRectF>

namespace tollenby {

namespace {

// One QR finder pattern: a ring with a solid centre, 7 modules wide.
void DrawFinder(QPainter& painter, double x, double y, double module) {
    painter.fillRect(QRectF(x, y, 7 * module, 7 * module), Qt::black);
    painter.fillRect(QRectF(x + module, y + module, 5 * module, 5 * module), Qt::white);
    painter.fillRect(QRectF(x + 2 * module, y + 2 * module, 3 * module, 3 * module), Qt::black);
}

}  // namespace

QPixmap DrawAppIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    const double edge = size;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1A, 0xAD, 0x19));  // the green of chat apps
    painter.drawRoundedRect(QRectF(0, 0, edge, edge), edge * 0.18, edge * 0.18);

    // A white card holding a 21-module code with a one-module margin.
    const double margin = edge * 0.12;
    const double card = edge - 2 * margin;
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(margin, margin, card, card), edge * 0.05, edge * 0.05);
    painter.setRenderHint(QPainter::Antialiasing, false);

    const double module = card / 23.0;
    const double origin = margin + module;
    DrawFinder(painter, origin, origin, module);
    DrawFinder(painter, origin + 14 * module, origin, module);
    DrawFinder(painter, origin, origin + 14 * module, module);

    // A fixed scatter of data modules, so every build draws the same mark.
    static constexpr unsigned kData[] = {0x0A5B3u, 0x15A4Cu, 0x0B36Du, 0x1C9A2u, 0x06E59u, 0x13B47u, 0x09D2Eu,
                                         0x1E635u, 0x0C5DAu, 0x12AB6u, 0x07B49u, 0x1D2E5u, 0x0A6D3u};
    for (int row = 0; row < 13; ++row) {
        for (int col = 0; col < 13; ++col) {
            if ((kData[row] >> col) & 1u) {
                int r = row + 8;
                int c = col + 8;
                painter.fillRect(QRectF(origin + c * module, origin + r * module, module, module), Qt::black);
            }
        }
    }
    for (int i = 8; i < 13; i += 2) {  // timing patterns
        painter.fillRect(QRectF(origin + i * module, origin + 6 * module, module, module), Qt::black);
        painter.fillRect(QRectF(origin + 6 * module, origin + i * module, module, module), Qt::black);
    }
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(DrawAppIcon(size));
    return icon;
}

}  // namespace tollenby
