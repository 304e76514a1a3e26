#include "app/export_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace tollenby {

bool FolderTakesNewFiles(const QString& folder) {
    if (folder.isEmpty()) return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tollenby-probe-XXXXXX")));
    // The file is removed again when `probe` goes.
    return probe.open();
}

QString DefaultExportFolder(const QString& programFolder, const QString& documentsFolder,
                            const QString& homeFolder,
                            const std::function<bool(const QString&)>& takesNewFiles) {
    if (takesNewFiles(programFolder)) return programFolder;
    // The documents folder is named by the desktop but may not exist yet; an export into a missing
    // folder would fail just the same.
    if (!documentsFolder.isEmpty() && QDir(documentsFolder).exists()) return documentsFolder;
    return homeFolder;
}

QString DefaultExportFolder() {
    return DefaultExportFolder(QCoreApplication::applicationDirPath(),
                               QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
                               QDir::homePath());
}

QString ExpandHomeFolder(const QString& path, const QString& homeFolder) {
    if (path == QLatin1String("~")) return homeFolder;
    if (path.startsWith(QLatin1String("~/"))) return homeFolder + path.mid(1);
    return path;
}

QString ExpandHomeFolder(const QString& path) {
    return ExpandHomeFolder(path, QDir::homePath());
}

}  // namespace tollenby
