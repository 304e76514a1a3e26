// Tollenby: collects directory-site entries into a table and exports them.
#include <QApplication>

#include "app/globals.h"
#include "app/main_window.h"
#include "web/fetch_page.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollenby"));
    tollenby::InitGlobals();
    // Before any thread that fetches is started. Without it every fetch fails quietly, as any failed
    // fetch does.
    tollenby::InitHttp();
    // Returns when MainWindow has been closed. Threads still running end with the process; the exit
    // hook empties the globals, which stay valid for them until the very end.
    return tollenby::ShowMainWindowModal();
}
