// Tollenby: collects directory-site entries into a table and exports them.
#include <QApplication>

#include "app/main_window.h"
#include "web/fetch_page.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollenby"));
    // Before any thread that fetches is started. Without it every fetch fails quietly, as any failed
    // fetch does.
    tollenby::InitHttp();
    // Returns when MainWindow has been closed, after closing it has cancelled and joined every
    // collection and download thread; the globals are released when the program ends.
    return tollenby::ShowMainWindowModal();
}
