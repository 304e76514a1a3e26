#include "app/qt_translations.h"

#include <QLibraryInfo>
#include <QLocale>

namespace tollenby {

bool InstallQtTranslations(QTranslator& translator) {
    // The window is Chinese whatever the system's language, so its dialogs are too.
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    if (!translator.load(chinese, QStringLiteral("qt"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

}  // namespace tollenby
