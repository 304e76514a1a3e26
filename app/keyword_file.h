// Turning keyword files into the keyword box's text.
//
// Most text files here are UTF-8, while keyword lists saved on Chinese Windows are usually GBK. A file
// that starts with a UTF-8 or UTF-16 byte-order mark, or that is valid UTF-8 and holds non-ASCII
// bytes, is decoded as such; every other file is taken as GBK bytes up to the first zero byte.
// LF, CR LF and a lone CR all end a line; the result uses LF, as the box does.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace tollenby {

QString DecodeKeywordBytes(QByteArrayView bytes);

// The decoded text of one file; none when it cannot be read (missing, a folder, no permission).
std::optional<QString> ReadKeywordFile(const QString& path);

// The files in the given order, one after another, each starting on a new line. Files that cannot
// be read are left out; none at all when not one of them could be read.
std::optional<QString> ReadKeywordFiles(const QStringList& paths);

}  // namespace tollenby
