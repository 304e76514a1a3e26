// Qt's own texts (file dialogs, standard buttons, the text fields' context menu) in Chinese, like the
// window around them.
#pragma once

#include <QCoreApplication>
#include <QTranslator>

namespace tollenby {

// Loads Qt's Chinese translations into `translator` and installs it. False when they are not there
// (Debian: qt6-translations-l10n); Qt's texts then stay English, and nothing else changes.
bool InstallQtTranslations(QTranslator& translator);

}  // namespace tollenby
