// Turning keyword files into the keyword box's text, decoded as text/keyword_text.h decodes them; the
// result uses LF, as the box does.
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
