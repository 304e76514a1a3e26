#include "ui/gbk_qstring.h"

#include <string>

#include "text/encoding.h"

namespace tollenby {

QString GbkToQString(const Text& text) {
    return QString::fromStdU16String(GbkToUtf16(text));
}

Text QStringToGbk(const QString& text) {
    return Utf16ToGbk(text.toStdU16String());
}

}  // namespace tollenby
