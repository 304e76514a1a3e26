#include "app/keyword_file.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <string_view>

#include "text/encoding.h"
#include "text/gbk_text.h"

namespace tollenby {

namespace {

bool StartsWith(QByteArrayView bytes, std::string_view prefix) {
    return bytes.size() >= static_cast<qsizetype>(prefix.size()) &&
           std::string_view(bytes.data(), prefix.size()) == prefix;
}

bool HasNonAscii(QByteArrayView bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    }
    return false;
}

QByteArrayView UpToZero(QByteArrayView bytes) {
    qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.first(zero);
}

QString UpToNul(QString text) {
    qsizetype nul = text.indexOf(QChar(u'\0'));
    if (nul >= 0) text.truncate(nul);
    return text;
}

QString Decode(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding);
    return decoder.decode(bytes);
}

// Valid UTF-8 as a whole, or none.
std::optional<QString> StrictUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringConverter::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

QString Lines(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

}  // namespace

QString DecodeKeywordBytes(QByteArrayView bytes) {
    if (StartsWith(bytes, "\xEF\xBB\xBF")) {
        return Lines(Decode(QStringConverter::Utf8, UpToZero(bytes.sliced(3))));
    }
    if (StartsWith(bytes, "\xFF\xFE"))
        return Lines(UpToNul(Decode(QStringConverter::Utf16LE, bytes.sliced(2))));
    if (StartsWith(bytes, "\xFE\xFF"))
        return Lines(UpToNul(Decode(QStringConverter::Utf16BE, bytes.sliced(2))));

    QByteArrayView text = UpToZero(bytes);
    if (HasNonAscii(text)) {
        if (auto utf8 = StrictUtf8(text)) return Lines(*utf8);
    }
    std::u16string wide = GbkToUtf16(std::string_view(text.data(), text.size()));
    return Lines(QString::fromStdU16String(wide));
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
