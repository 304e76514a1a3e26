// Tollenby: collects directory-site entries into a table and exports them.
#include <QApplication>
#include <QTranslator>
#include <optional>

#include "app/globals.h"
#include "app/main_window.h"
#include "app/qt_translations.h"
#include "app/start_up.h"
#include "web/fetch_page.h"

int main(int argc, char** argv) {
    if (std::optional<int> status = tollenby::AnswerCommandLine(argc, argv)) return *status;
    if (std::optional<int> status = tollenby::RefuseWithoutDisplay(argc, argv)) return *status;
    std::optional<tollenby::GuardedStart> guard(std::in_place);
    QApplication application(argc, argv);
    guard.reset();
    if (!tollenby::AcceptRemainingArguments(application)) return 1;
    QApplication::setApplicationName(QStringLiteral("Tollenby"));
    // Ties the window to the installed menu entry and its icon (Wayland finds the icon by it).
    QApplication::setDesktopFileName(QStringLiteral("org.tollenby.Tollenby"));
    QTranslator qtTexts;
    tollenby::InstallQtTranslations(qtTexts);
    tollenby::InitGlobals();
    // Before any thread that fetches is started. Without it every fetch fails quietly, as any failed
    // fetch does.
    tollenby::InitHttp();
    // Returns when MainWindow has been closed. Threads still running end with the process; the exit
    // hook empties the globals, which stay valid for them until the very end.
    return tollenby::ShowMainWindowModal();
}
