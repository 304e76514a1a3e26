// Renders MainWindow offscreen to a PNG with a few sample rows, to look at the layout without a
// display:  QT_QPA_PLATFORM=offscreen ./render_main_window out.png
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <cstdio>

#include "app/main_window.h"
#include "app/main_window_port.h"
#include "ui/gbk_qstring.h"

using namespace tollenby;

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("main_window.png");

    MainWindow window;
    WindowPort& port = window.Port();
    const char* titles[] = {"美食交流群", "上海同城生活", "读书会公众号", "旅行摄影分享", "健身打卡群"};
    const char* sources[] = {"微信群", "个人微信", "公众号", "微信群", "个人微信"};
    int n = 0;
    for (const char* title : titles) {
        RowId row = port.AppendRow(QStringToGbk(QString::fromUtf8(title)),
                                   "http://example.test/detail/" + std::to_string(n),
                                   QStringToGbk(QString::fromUtf8(sources[n])));
        port.SetCell(row, kColumnDescription, QStringToGbk(QStringLiteral("每天分享")));
        port.SetCell(row, kColumnIndustry, QStringToGbk(QStringLiteral("生活")));
        port.SetCell(row, kColumnTime, "2024-05-0" + std::to_string(n + 1));
        port.SetCell(row, kColumnRegion, QStringToGbk(QStringLiteral("上海")));
        port.SetCell(row, kColumnAccountId,
                     n % 2 ? QStringToGbk(QStringLiteral("无")) : "wx00" + std::to_string(n));
        port.SetCell(row, kColumnQrImage, "http://img.example.test/qr/" + std::to_string(n) + ".gif");
        port.SetCell(row, kColumnStatus,
                     QStringToGbk(n == 4 ? QStringLiteral("正在采集中") : QStringLiteral("采集完成")));
        ++n;
    }
    window.WindowSidePort().MirrorKeywords(QString());
    window.findChild<QWidget*>(QStringLiteral("编辑框_关键词"))
        ->setProperty("plainText", QStringLiteral("美食\n旅行\n读书"));
    port.SetRegionItems({QStringToGbk(QStringLiteral("上海")), QStringToGbk(QStringLiteral("北京"))});
    window.show();
    QApplication::processEvents();
    window.ResultModel().Poll();
    QApplication::processEvents();

    QPixmap shot = window.grab();
    if (!shot.save(out)) {
        std::fprintf(stderr, "could not write %s\n", out.toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s %dx%d\n", out.toLocal8Bit().constData(), shot.width(), shot.height());
    return 0;
}
