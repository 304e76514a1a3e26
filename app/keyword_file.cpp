#include "app/keyword_file.h"

#include <QFile>
#include <QFileInfo>
#include <string_view>

#include "text/keyword_text.h"

namespace tollenby {

QString DecodeKeywordBytes(QByteArrayView bytes) {
    return QString::fromStdString(DecodeKeywordBytes(std::string_view(bytes.data(), bytes.size())));
}

std::optional<QString> ReadKeywordFile(const QString& path) {
    if (!QFileInfo(path).isFile()) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return DecodeKeywordBytes(bytes);
}

std::optional<QString> ReadKeywordFiles(const QStringList& paths) {
    std::optional<QString> joined;
    for (const QString& path : paths) {
        std::optional<QString> text = ReadKeywordFile(path);
        if (!text) continue;
        if (!joined) {
            joined = std::move(text);
            continue;
        }
        if (!joined->isEmpty() && !joined->endsWith(QLatin1Char('\n'))) joined->append(QLatin1Char('\n'));
        joined->append(*text);
    }
    return joined;
}

}  // namespace tollenby
