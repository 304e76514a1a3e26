// The folder chooser: a folder picker that hands back a native path (UTF-8 file names on this
// platform, never GBK), trimmed of blanks, or empty text when the user cancels.
#pragma once

#include <QString>

class QWidget;

namespace tollenby {

// includeFiles lists files beside the folders; newStyle allows the platform's own dialog, otherwise
// Qt's. The edit box is always there in either dialog, so editBox has no effect of its own.
// initialFolder is kept in FolderStartPath and preselected.
QString ChooseFolder(const QString& title = QStringLiteral("请选择一个文件夹"), bool includeFiles = false,
                     const QString& initialFolder = QString(), bool editBox = false, bool newStyle = true,
                     QWidget* owner = nullptr);

// Removes ASCII spaces and full-width spaces (U+3000) at both ends; nothing else.
QString TrimBlanks(const QString& text);

}  // namespace tollenby
