// Writes the installed icons from the drawing the window uses: make_icons <png path> <svg path>.
#include <QFile>
#include <cstdio>

#include "app/app_icon.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <icon.png> <icon.svg>\n", argv[0]);
        return 2;
    }
    constexpr int kSize = 256;
    if (!tollenby::DrawAppIconImage(kSize).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "make_icons: cannot write %s\n", argv[1]);
        return 1;
    }
    QFile svg(QString::fromLocal8Bit(argv[2]));
    const QByteArray document = tollenby::AppIconSvg(kSize).toUtf8();
    if (!svg.open(QIODevice::WriteOnly | QIODevice::Truncate) || svg.write(document) != document.size()) {
        std::fprintf(stderr, "make_icons: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
