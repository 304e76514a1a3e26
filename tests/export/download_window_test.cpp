// The download window and the Export button, driven on the offscreen platform against the demo site.
#include <freexl.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/dialogs.h"
#include "app/export_action.h"
#include "app/globals.h"
#include "app/main_window.h"
#include "app/main_window_port.h"
#include "demo/demo_content.h"
#include "demo/demo_site.h"
#include "export/download_window.h"
#include "tests/export/xls_readback.h"
#include "tests/support/widget_lookup.h"
#include "text/encoding.h"
#include "web/fetch_control.h"

namespace tollenby {
namespace {

using namespace std::chrono_literals;
using testing::Control;

QString LabelText(QWidget& window) {
    return Control<QLabel>(window, "透明标签1")->text();
}

std::vector<QrRowTexts> ImageRows(const demo::DemoSite& site, std::initializer_list<std::uint32_t> ids) {
    std::vector<QrRowTexts> rows;
    for (std::uint32_t id : ids)
        rows.push_back({"", "", site.BaseUrl() + "/qr/" + std::to_string(id) + ".gif"});
    return rows;
}

// A download window with its own DownloadUrlList and job registry, writing into a scratch folder.
struct WindowFixture {
    std::mutex listLock;
    TextArray list;
    testing::ScratchDir dir;
    DownloadJobs jobs;  // outlives every window made here

    std::unique_ptr<DownloadWindow> Open(std::vector<QrRowTexts> rows,
                                         ExportOption option = ExportOption::AllQrCodes) {
        DownloadJobIo io;
        io.folder = [this] { return dir.Path(); };
        io.retry.waitScale = 0.01;  // a refused address is tried three times
        return std::make_unique<DownloadWindow>(DownloadSelection{option, {}, std::move(rows)},
                                                UrlListRef{listLock, list}, jobs, std::move(io));
    }
    TextArray List() {
        std::lock_guard guard(listLock);
        return list;
    }
};

class DownloadWindowTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(InitHttp()); }
    void SetUp() override { ASSERT_TRUE(site.Start()); }

    demo::DemoSite site;
    WindowFixture fixture;
};

TEST_F(DownloadWindowTest, OpensWithItsControlsAndTheCount) {
    auto window = fixture.Open(ImageRows(site, {1, 2, 3}));
    EXPECT_TRUE(window->isModal());
    EXPECT_TRUE(window->windowTitle().isEmpty());
    EXPECT_EQ(window->size(), QSize(346, 173));
    EXPECT_EQ(window->pos(), QPoint(50, 50));

    struct Expected {
        const char* name;
        QRect geometry;
        const char* text;
    };
    for (const Expected& e : {Expected{"透明标签1", {8, 8, 320, 40}, "共计：3个有效二维码链接"},
                              Expected{"进度条1", {8, 56, 320, 24}, nullptr},
                              Expected{"按钮_开始下载", {152, 96, 80, 32}, "开始下载"},
                              Expected{"按钮1", {248, 96, 80, 32}, "完成"}}) {
        QWidget* control = Control(*window, e.name);
        ASSERT_NE(control, nullptr) << e.name;
        EXPECT_EQ(control->parentWidget(), window.get()) << e.name;
        EXPECT_EQ(control->geometry(), e.geometry) << e.name;
        if (e.text != nullptr) {
            EXPECT_EQ(control->property("text").toString(), QString::fromUtf8(e.text)) << e.name;
        }
    }
    QFont labelFont = Control<QLabel>(*window, "透明标签1")->font();
    EXPECT_EQ(labelFont.pixelSize(), 21);
    EXPECT_EQ(labelFont.weight(), QFont::Normal);
    EXPECT_EQ(Control<QProgressBar>(*window, "进度条1")->value(), 0);
    EXPECT_TRUE(Control<QPushButton>(*window, "按钮_开始下载")->isEnabled());
    EXPECT_EQ(fixture.List().size(), 3u);

    // Done closes the window.
    window->show();
    Control<QPushButton>(*window, "按钮1")->click();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(DownloadWindowTest, ShowsEachImageBeforeItsFetchAndCountsWhatArrived) {
    // Twelve addresses: 6 is missing on the site, the last one is refused.
    std::vector<QrRowTexts> rows = ImageRows(site, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    demo::DemoSite closed;
    ASSERT_TRUE(closed.Start());
    rows.push_back({"", "", closed.BaseUrl() + "/qr/1.gif"});
    closed.Stop();
    auto window = fixture.Open(rows);
    window->show();
    ASSERT_EQ(LabelText(*window), QStringLiteral("共计：12个有效二维码链接"));

    site.PauseResponses([](const std::string& target) { return target == "/qr/10.gif"; });
    auto* start = Control<QPushButton>(*window, "按钮_开始下载");
    auto* bar = Control<QProgressBar>(*window, "进度条1");
    start->click();
    EXPECT_FALSE(start->isEnabled()) << "disabled at the click, before the job reports";
    ASSERT_TRUE(site.WaitForInFlight(1, 10s));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return LabelText(*window) == QStringLiteral("正在下载第10个二维码图片"); }, 10000));
    EXPECT_EQ(bar->value(), 9) << "nine images are done";
    EXPECT_EQ(bar->maximum(), 12);
    EXPECT_FALSE(start->isEnabled());
    start->click();  // refused while the job runs
    site.ResumeResponses();

    ASSERT_TRUE(QTest::qWaitFor([&] { return start->isEnabled(); }, 10000));
    EXPECT_EQ(LabelText(*window), QStringLiteral("下载完成！共计下载:10个，失败:2个"));
    // Too wide for the label at 21 pixels: drawn smaller rather than cut off.
    auto* label = Control<QLabel>(*window, "透明标签1");
    EXPECT_LT(label->font().pixelSize(), 21);
    EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width());
    EXPECT_EQ(bar->value(), 12);
    EXPECT_EQ(site.RequestTargetsStartingWith("/qr/").size(), 11u) << "one job, each image asked for once";
    EXPECT_EQ(testing::ReadBytes(fixture.dir.File("10.gif")), *demo::QrImageGif(10));
    EXPECT_EQ(testing::ReadBytes(fixture.dir.File("1.gif")), *demo::QrImageGif(1));
    EXPECT_EQ(fixture.dir.Names().size(), 11u) << "ten images and images.csv";
}

TEST_F(DownloadWindowTest, FinalTextWithoutFailuresAndWithNothingToFetch) {
    auto window = fixture.Open(ImageRows(site, {1, 2, 3}));
    window->show();
    Control<QPushButton>(*window, "按钮_开始下载")->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return LabelText(*window).startsWith(QStringLiteral("下载完成")); }, 10000));
    EXPECT_EQ(LabelText(*window), QStringLiteral("下载完成！共计下载:3个"));

    // Deleted entries only: nothing chosen, and Start Download finishes at once without a file.
    const std::vector<std::string> written = fixture.dir.Names();
    ASSERT_EQ(written.size(), 4u) << "three images and images.csv";
    auto empty = fixture.Open({{"", "", Utf8ToLocal("文章已经删除")}});
    empty->show();
    EXPECT_EQ(LabelText(*empty), QStringLiteral("共计：0个有效二维码链接"));
    Control<QPushButton>(*empty, "按钮_开始下载")->click();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return LabelText(*empty).startsWith(QStringLiteral("下载完成")); }, 10000));
    EXPECT_EQ(LabelText(*empty), QStringLiteral("下载完成！共计下载:0个"));
    EXPECT_EQ(fixture.dir.Names(), written);
}

TEST_F(DownloadWindowTest, AJobOutlivesItsClosedWindowOnItsOwnList) {
    auto first = fixture.Open(ImageRows(site, {1, 2}));
    first->show();
    site.PauseResponses();
    Control<QPushButton>(*first, "按钮_开始下载")->click();
    ASSERT_TRUE(site.WaitForInFlight(1, 10s));
    QApplication::processEvents();
    first.reset();  // Done while the first image is on its way

    // A later window rebuilds DownloadUrlList; the running job keeps its own copy.
    auto second = fixture.Open(ImageRows(site, {7}));
    EXPECT_EQ(fixture.List().size(), 1u);
    site.ResumeResponses();
    ASSERT_TRUE(fixture.jobs.WaitUntilIdle(10s));
    QTest::qWait(100);  // deliver whatever was queued

    EXPECT_EQ(fixture.dir.Names(), (std::vector<std::string>{"1.gif", "2.gif", "images.csv"}));
    EXPECT_EQ(testing::ReadBytes(fixture.dir.File("2.gif")), *demo::QrImageGif(2));
    EXPECT_EQ(LabelText(*second), QStringLiteral("共计：1个有效二维码链接"))
        << "the old job never wrote here";
}

// --- The Export button. ---

class ExportButtonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Dialogs::clearNextAnswers();
        window = std::make_unique<MainWindow>();
        pathBox = Control<QLineEdit>(*window, "编辑框_路径");
        exportButton = Control<QPushButton>(*window, "按钮_导出");
        ASSERT_NE(pathBox, nullptr);
        ASSERT_NE(exportButton, nullptr);
    }
    void TearDown() override { Dialogs::clearNextAnswers(); }

    void AddRow(const std::vector<std::string>& utf8) {
        WindowPort& port = window->Port();
        RowId row = port.AppendRow(Utf8ToLocal(utf8.at(1)), Utf8ToLocal(utf8.at(2)), Utf8ToLocal(utf8.at(3)));
        for (int column = 4; column < kColumnCount; ++column)
            port.SetCell(row, column, Utf8ToLocal(utf8.at(static_cast<std::size_t>(column))));
    }

    // Clicks Export and waits for the one message it leads to.
    QString ExportAndWait() {
        const int before = Dialogs::messageCount();
        Dialogs::setNextAnswer(QMessageBox::Ok);
        exportButton->click();
        EXPECT_TRUE(QTest::qWaitFor([&] { return Dialogs::messageCount() > before; }, 10000));
        EXPECT_EQ(Dialogs::messageCount(), before + 1);
        return Dialogs::lastMessage();
    }

    std::unique_ptr<MainWindow> window;
    QLineEdit* pathBox = nullptr;
    QPushButton* exportButton = nullptr;
    testing::ScratchDir dir;
};

const std::vector<std::vector<std::string>> kRows = {
    {"1", "美食交流群", "http://a.test/1", "微信群", "每天分享", "生活", "2024-05-01", "上海", "美食",
     "00123", "http://a.test/qr/1.gif", "采集完成"},
    {"2", "读书会", "http://a.test/2", "公众号", "", "", "", "", "", "", "", "正在采集中"},
};

TEST_F(ExportButtonTest, EmptyPathBoxAsksForAFolder) {
    ExportAction action(*window);
    AddRow(kRows[0]);
    pathBox->setText(QString());
    EXPECT_EQ(ExportAndWait(), QStringLiteral("请先选择要保存的路径"));
    EXPECT_FALSE(action.SpreadsheetRunning());
    EXPECT_TRUE(dir.Names().empty());
}

TEST_F(ExportButtonTest, WritesDataXlsBesideATrailingSeparator) {
    ExportAction action(*window);
    for (const auto& row : kRows) AddRow(row);
    pathBox->setText(QString::fromStdString(dir.Path()) + "/");
    EXPECT_EQ(ExportAndWait(), QStringLiteral("导出完成"));
    EXPECT_TRUE(exportButton->isEnabled());

    testing::ReadSheet sheet = testing::ReadWithFreexl(dir.File("data.xls"));
    ASSERT_EQ(sheet.error, FREEXL_OK);
    ASSERT_EQ(sheet.rows, 3u);
    ASSERT_EQ(sheet.columns, 12u);
    EXPECT_EQ(sheet.cells[0][1].text, "群/公众号名称");
    for (std::size_t r = 0; r < kRows.size(); ++r) {
        for (std::size_t c = 0; c < 12; ++c) {
            const testing::ReadCell& cell = sheet.cells[r + 1][c];
            if (kRows[r][c].empty()) {
                EXPECT_EQ(cell.type, FREEXL_CELL_NULL) << r << "," << c;
            } else {
                EXPECT_EQ(cell.type, FREEXL_CELL_SST_TEXT) << r << "," << c;
                EXPECT_EQ(cell.text, kRows[r][c]) << r << "," << c;
            }
        }
    }
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"data.xls"}));
}

TEST_F(ExportButtonTest, FailuresAreReportedAndLeaveTheOldFile) {
    ExportAction action(*window);
    AddRow(kRows[0]);
    pathBox->setText(QString::fromStdString(dir.File("missing")));
    QString missing = ExportAndWait();
    EXPECT_TRUE(missing.startsWith(QStringLiteral("导出失败："))) << missing.toStdString();
    EXPECT_GT(missing.size(), QStringLiteral("导出失败：").size()) << "the reason follows";

    // A write that fails half-way (past the file-size limit, as on a full disk): the previous data.xls
    // stays as it was.
    testing::WriteBytes(dir.File("data.xls"), "previous export");
    for (int i = 0; i < 3000; ++i) window->Port().AppendRow("t" + std::to_string(i), "u", "s");
    pathBox->setText(QString::fromStdString(dir.Path()));
    QString full;
    {
        testing::FileSizeLimit limit(16 * 1024);
        full = ExportAndWait();
    }
    EXPECT_TRUE(full.startsWith(QStringLiteral("导出失败："))) << full.toStdString();
    EXPECT_EQ(testing::ReadBytes(dir.File("data.xls")), "previous export");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"data.xls"}));
}

TEST_F(ExportButtonTest, MoreRowsThanASheetHoldsGoOnInTheNextSheet) {
    ExportAction action(*window);
    for (int i = 0; i < 65536; ++i) window->Port().AppendRow("t", "u", "s");
    pathBox->setText(QString::fromStdString(dir.Path()));
    EXPECT_EQ(ExportAndWait(), QStringLiteral("导出完成"));
    testing::ReadSheet second = testing::ReadWithFreexl(dir.File("data.xls"), 1);
    ASSERT_EQ(second.error, FREEXL_OK);
    EXPECT_EQ(second.sheetCount, 2u);
    ASSERT_EQ(second.rows, 2u) << "the title row and the one row past the first sheet";
    EXPECT_EQ(second.cells[0][0].text, "ID");
    EXPECT_EQ(second.cells[1][0].text, "65536");
}

TEST_F(ExportButtonTest, ASecondExportWhileOneIsWrittenIsRefused) {
    std::mutex lock;
    std::condition_variable changed;
    bool release = false;
    int calls = 0;
    ExportActionOptions options;
    options.writeSpreadsheet = [&](const std::vector<SpreadsheetRow>& rows, const std::string& path,
                                   const TextArray&) {
        std::unique_lock guard(lock);
        ++calls;
        changed.wait(guard, [&] { return release; });
        EXPECT_EQ(rows.size(), 1u);
        EXPECT_EQ(path, dir.File("data.xls"));
        return WriteResult::Success();
    };
    ExportAction action(*window, options);
    AddRow(kRows[0]);
    pathBox->setText(QString::fromStdString(dir.Path()));
    const int before = Dialogs::messageCount();
    Dialogs::setNextAnswer(QMessageBox::Ok);
    exportButton->click();
    EXPECT_TRUE(action.SpreadsheetRunning());
    EXPECT_FALSE(exportButton->isEnabled());
    QTest::qWait(50);
    exportButton->click();         // a disabled button
    emit window->ExportClicked();  // and the handler itself
    QTest::qWait(50);
    {
        std::lock_guard guard(lock);
        EXPECT_EQ(calls, 1);
        release = true;
    }
    changed.notify_all();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Dialogs::messageCount() > before; }, 10000));
    EXPECT_EQ(Dialogs::lastMessage(), QStringLiteral("导出完成"));
    EXPECT_TRUE(exportButton->isEnabled());
    EXPECT_FALSE(action.SpreadsheetRunning());
    QTest::qWait(50);
    EXPECT_EQ(Dialogs::messageCount(), before + 1);
    EXPECT_EQ(ExportAndWait(), QStringLiteral("导出完成"));  // free again afterwards
    EXPECT_EQ(calls, 2);
}

TEST_F(ExportButtonTest, AnImageOptionOpensTheDownloadWindowModally) {
    ExportAction action(*window);
    for (const auto& row : kRows) AddRow(row);
    AddRow({"3", "t", "u", "个人微信", "", "", "", "上海", "", "", "", ""});
    window->Port().SetRegionItems({Utf8ToLocal("上海"), Utf8ToLocal("北京")});
    Control<QRadioButton>(*window, "单选框_地区")->setChecked(true);
    pathBox->setText(QString::fromStdString(dir.Path()));

    QString shownLabel;
    bool modal = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* opened = qobject_cast<DownloadWindow*>(QApplication::activeModalWidget());
        if (opened == nullptr) return;
        shownLabel = LabelText(*opened);
        modal = opened->isModal();
        Control<QPushButton>(*opened, "按钮1")->click();
    });
    poll.start(10);
    const int messages = Dialogs::messageCount();
    exportButton->click();  // returns when the window has been closed
    poll.stop();
    EXPECT_TRUE(modal);
    EXPECT_EQ(shownLabel, QStringLiteral("共计：1个有效二维码链接")) << "an empty address is no link";
    EXPECT_EQ(Dialogs::messageCount(), messages) << "no message for an image option";
    std::lock_guard guard(AppGlobals().DownloadUrlListLock);
    EXPECT_EQ(AppGlobals().DownloadUrlList, (TextArray{"http://a.test/qr/1.gif"}));
}

}  // namespace
}  // namespace tollenby
