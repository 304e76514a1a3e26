#include "app/folder_chooser.h"

#include <QChar>
#include <QDir>
#include <QFileDialog>
#include <mutex>

#include "app/dialogs.h"
#include "app/globals.h"

namespace tollenby {

namespace {
bool IsBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QChar(0x3000);
}
}  // namespace

QString TrimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.mid(begin, end - begin);
}

QString ChooseFolder(const QString& title, bool includeFiles, const QString& initialFolder, bool editBox,
                     bool newStyle, QWidget* owner) {
    (void)editBox;
    Globals& globals = AppGlobals();
    QString startFolder;
    {
        std::lock_guard guard(globals.FolderStartPathLock);
        globals.FolderStartPath = initialFolder;
        startFolder = globals.FolderStartPath;
    }

    QFileDialog::Options options;
    if (!includeFiles) options |= QFileDialog::ShowDirsOnly;
    if (!newStyle) options |= QFileDialog::DontUseNativeDialog;

    QString chosen = Dialogs::ExistingDirectory(owner, title, startFolder, options);
    return TrimBlanks(QDir::toNativeSeparators(chosen));
}

}  // namespace tollenby
