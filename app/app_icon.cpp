#include "app/app_icon.h"

#include <QPainter>

namespace tollenby {

namespace {

// One QR finder pattern: a ring with a solid centre, 7 modules wide.
void AddFinder(std::vector<IconShape>& shapes, double x, double y, double module) {
    shapes.push_back({QRectF(x, y, 7 * module, 7 * module), 0, Qt::black});
    shapes.push_back({QRectF(x + module, y + module, 5 * module, 5 * module), 0, Qt::white});
    shapes.push_back({QRectF(x + 2 * module, y + 2 * module, 3 * module, 3 * module), 0, Qt::black});
}

QString Number(double value) {
    return QString::number(value, 'g', 6);
}

}  // namespace

std::vector<IconShape> AppIconShapes(double edge) {
    std::vector<IconShape> shapes;
    // The green of chat apps.
    shapes.push_back({QRectF(0, 0, edge, edge), edge * 0.18, QColor(0x1A, 0xAD, 0x19)});

    // A white card holding a 21-module code with a one-module margin.
    const double margin = edge * 0.12;
    const double card = edge - 2 * margin;
    shapes.push_back({QRectF(margin, margin, card, card), edge * 0.05, Qt::white});

    const double module = card / 23.0;
    const double origin = margin + module;
    AddFinder(shapes, origin, origin, module);
    AddFinder(shapes, origin + 14 * module, origin, module);
    AddFinder(shapes, origin, origin + 14 * module, module);

    // A fixed scatter of data modules, so every build draws the same mark.
    static constexpr unsigned kData[] = {0x0A5B3u, 0x15A4Cu, 0x0B36Du, 0x1C9A2u, 0x06E59u, 0x13B47u, 0x09D2Eu,
                                         0x1E635u, 0x0C5DAu, 0x12AB6u, 0x07B49u, 0x1D2E5u, 0x0A6D3u};
    for (int row = 0; row < 13; ++row) {
        for (int col = 0; col < 13; ++col) {
            if ((kData[row] >> col) & 1u) {
                int r = row + 8;
                int c = col + 8;
                shapes.push_back(
                    {QRectF(origin + c * module, origin + r * module, module, module), 0, Qt::black});
            }
        }
    }
    for (int i = 8; i < 13; i += 2) {  // timing patterns
        shapes.push_back({QRectF(origin + i * module, origin + 6 * module, module, module), 0, Qt::black});
        shapes.push_back({QRectF(origin + 6 * module, origin + i * module, module, module), 0, Qt::black});
    }
    return shapes;
}

QImage DrawAppIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setPen(Qt::NoPen);
    for (const IconShape& shape : AppIconShapes(size)) {
        if (shape.cornerRadius > 0) {
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setBrush(shape.color);
            painter.drawRoundedRect(shape.rect, shape.cornerRadius, shape.cornerRadius);
        } else {
            painter.setRenderHint(QPainter::Antialiasing, false);
            painter.fillRect(shape.rect, shape.color);
        }
    }
    return image;
}

QPixmap DrawAppIcon(int size) {
    return QPixmap::fromImage(DrawAppIconImage(size));
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(DrawAppIcon(size));
    return icon;
}

QString AppIconSvg(int size) {
    QString svg =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%1\" viewBox=\"0 0 %1 %1\">\n")
            .arg(size);
    for (const IconShape& shape : AppIconShapes(size)) {
        svg += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"")
                   .arg(Number(shape.rect.x()), Number(shape.rect.y()), Number(shape.rect.width()),
                        Number(shape.rect.height()));
        if (shape.cornerRadius > 0) {
            svg += QStringLiteral(" rx=\"%1\"").arg(Number(shape.cornerRadius));
        } else {
            // Neighbouring modules meet without hairline seams, as in the pixel drawing.
            svg += QStringLiteral(" shape-rendering=\"crispEdges\"");
        }
        svg += QStringLiteral(" fill=\"%1\"/>\n").arg(shape.color.name());
    }
    svg += QStringLiteral("</svg>\n");
    return svg;
}

}  // namespace tollenby
