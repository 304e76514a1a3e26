// Finding a window's controls in tests by their object names (the names the window gives its widgets).
#pragma once

#include <QString>
#include <QWidget>

namespace tollenby::testing {

// The child of `window` named `name` (UTF-8) that is a T; nullptr when there is none.
template <typename T = QWidget>
T* Control(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromUtf8(name));
}

}  // namespace tollenby::testing
