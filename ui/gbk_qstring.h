// GBK texts <-> the strings the windows show.
#pragma once

#include <QString>

#include "text/gbk_text.h"

namespace tollenby {

QString GbkToQString(const Text& text);
Text QStringToGbk(const QString& text);

}  // namespace tollenby
