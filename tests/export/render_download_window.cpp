// Renders DownloadWindow offscreen to PNGs, to look at it without a display:
//   QT_QPA_PLATFORM=offscreen tests/render_download_window out-prefix
// gives out-prefix-ready.png (the count), out-prefix-busy.png (image 1000 on its way) and
// out-prefix-done.png (the longest final text, with failures). The images are "fetched" by a stand-in and
// written to a scratch folder.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <future>
#include <mutex>
#include <string>

#include "export/download_window.h"

using namespace tollenby;

namespace {

bool Save(QWidget& window, const QString& path) {
    QApplication::processEvents();
    QPixmap shot = window.grab();
    if (!shot.save(path)) {
        std::fprintf(stderr, "could not write %s\n", path.toLocal8Bit().constData());
        return false;
    }
    std::printf("%s %dx%d\n", path.toLocal8Bit().constData(), shot.width(), shot.height());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    const QString prefix = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("download_window");
    QTemporaryDir folder;

    std::vector<QrRowTexts> rows;
    for (int i = 0; i < 1200; ++i)
        rows.push_back({"", "", "http://img.test/qr/" + std::to_string(i) + ".gif"});
    std::mutex listLock;
    TextArray list;
    DownloadJobs jobs;
    DownloadJobIo io;
    io.folder = [path = folder.path().toStdString()] { return path; };
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    io.fetch = [released](const Text& address, std::stop_token) {
        if (address.ends_with("/999.gif")) released.wait();
        return address.size() % 2 ? FetchedImage{"GIF89a", 200} : FetchedImage{"gone", 404};
    };
    DownloadWindow window(DownloadSelection{ExportOption::AllQrCodes, {}, rows}, {listLock, list}, jobs, io);
    window.show();
    if (!Save(window, prefix + "-ready.png")) return 1;

    window.findChild<QPushButton*>(QStringLiteral("按钮_开始下载"))->click();
    auto* label = window.findChild<QLabel*>(QStringLiteral("透明标签1"));
    while (!label->text().contains(QStringLiteral("1000"))) QApplication::processEvents();
    const bool busySaved = Save(window, prefix + "-busy.png");
    release.set_value();
    if (!busySaved) return 1;
    jobs.WaitUntilIdle(std::chrono::seconds(30));
    if (!Save(window, prefix + "-done.png")) return 1;
    return 0;
}
