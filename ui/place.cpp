#include "ui/place.h"

#include <QString>

namespace tollenby {

void Place(QWidget& widget, const char* name, int x, int y, int width, int height) {
    widget.setObjectName(QString::fromUtf8(name));
    widget.setGeometry(x, y, width, height);
}

}  // namespace tollenby
