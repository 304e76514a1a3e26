// The export folder as the path box holds it: where it starts, and how a leading "~" is read.
#pragma once

#include <QString>
#include <functional>

namespace tollenby {

// True when a new file can be made in `folder` right now. It really makes one (and removes it again),
// because permission bits say nothing for the superuser and nothing about read-only mounts.
bool FolderTakesNewFiles(const QString& folder);

// The folder the path box starts with: the program's own folder when it takes new files (a program
// unpacked into a folder of the user's), else the user's documents folder, else the home folder.
// An installed program lives in a system folder where the first export would fail.
QString DefaultExportFolder(const QString& programFolder, const QString& documentsFolder,
                            const QString& homeFolder,
                            const std::function<bool(const QString&)>& takesNewFiles = FolderTakesNewFiles);
// The same for this program on this machine.
QString DefaultExportFolder();

// "~" alone or at the start of "~/..." stands for the home folder, as in a shell. Anything else,
// "~user" included, is returned unchanged.
QString ExpandHomeFolder(const QString& path, const QString& homeFolder);
QString ExpandHomeFolder(const QString& path);

}  // namespace tollenby
