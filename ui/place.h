// Puts a control of a window in place: its object name (tests and the window's code find controls by
// it) and its geometry inside its parent, in pixels.
#pragma once

#include <QWidget>

namespace tollenby {

void Place(QWidget& widget, const char* name, int x, int y, int width, int height);

}  // namespace tollenby
