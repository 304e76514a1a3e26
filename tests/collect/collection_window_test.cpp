// One collection run through the real MainWindow on the offscreen platform, against the demo site.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>

#include "app/collect_wiring.h"
#include "app/dialogs.h"
#include "app/main_window.h"
#include "app/main_window_port.h"
#include "collect/collect_texts.h"
#include "collect/search_phase.h"
#include "demo/demo_site.h"
#include "text/encoding.h"
#include "web/fetch_control.h"

namespace tollenby {
namespace {

using namespace std::chrono_literals;

template <typename T>
T* Control(QWidget& window, const char* name) {
    return window.findChild<T*>(QString::fromUtf8(name));
}

// Types text as key presses; QTest::keyClicks knows only ASCII.
void Type(QWidget* widget, const QString& text) {
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QCoreApplication::sendEvent(widget, &press);
        QCoreApplication::sendEvent(widget, &release);
    }
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class CollectionWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(site_.Start());
        CollectorOptions options;
        options.searchHost = site_.HostPort();
        options.completionPause = 200ms;
        options.restrictToFirstProcessor = false;
        wiring_ = std::make_unique<CollectionWiring>(window_, state_, options);
        window_.show();
    }
    void TearDown() override { wiring_.reset(); }

    demo::DemoSite site_;
    SharedState state_;
    MainWindow window_{std::make_shared<MainWindowPort>()};
    std::unique_ptr<CollectionWiring> wiring_;
};

TEST_F(CollectionWindow, TypedKeywordsAreCollectedUntilTheCompletionText) {
    auto* keywords = Control<QPlainTextEdit>(window_, "编辑框_关键词");
    auto* pages = Control<QLineEdit>(window_, "编辑框_采集页数");
    auto* collect = Control<QPushButton>(window_, "按钮_采集");
    auto* status = Control<QStatusBar>(window_, "状态条1");
    auto* regions = Control<QComboBox>(window_, "组合框2");
    auto* table = Control<QTableView>(window_, "超级列表框1");
    ASSERT_TRUE(keywords && pages && collect && status && regions && table);

    keywords->setFocus();
    Type(keywords, QString::fromUtf8("美食"));
    QTest::keyClick(keywords, Qt::Key_Return);
    Type(keywords, QString::fromUtf8("旅游"));
    pages->selectAll();
    QTest::keyClicks(pages, "2");
    QTest::mouseClick(collect, Qt::LeftButton);

    std::size_t expected = 0;
    for (const char* keyword : {"美食", "旅游"})
        for (int page = 1; page <= 2; ++page) expected += site_.ExpectedEntries(keyword, page).size();
    QString done = GbkToQString(RunCompleteStatusText(expected));
    ASSERT_TRUE(PumpUntil([&] { return status->currentMessage() == done; }))
        << status->currentMessage().toStdString();
    EXPECT_FALSE(collect->isEnabled());  // the completion pause is still running
    ASSERT_TRUE(PumpUntil([&] { return collect->isEnabled() && regions->count() > 0; }));
    EXPECT_EQ(regions->currentIndex(), 0);
    ASSERT_TRUE(wiring_->Collection().WaitUntilIdle(30s));
    ASSERT_TRUE(PumpUntil([&] { return table->model()->rowCount() == static_cast<int>(expected); }));

    demo::DemoEntry first = site_.ExpectedEntries("美食", 1).front();
    auto cell = [&](int column) { return table->model()->index(0, column).data().toString().toStdString(); };
    ASSERT_TRUE(PumpUntil([&] { return cell(kColumnStatus) == "采集完成"; }));
    EXPECT_EQ(cell(kColumnTitle), first.title);
    EXPECT_EQ(cell(kColumnUrl), first.url);
    EXPECT_EQ(cell(kColumnRegion), first.region);
    EXPECT_EQ(site_.RequestTargetsStartingWith("/cse/search?q=%E7%BE%8E%E9%A3%9F&p=").size(), 2u);
}

TEST_F(CollectionWindow, AnEmptyKeywordBoxShowsTheMessage) {
    Dialogs::setNextAnswer(QMessageBox::Ok);
    int before = Dialogs::messageCount();
    QTest::mouseClick(Control<QPushButton>(window_, "按钮_采集"), Qt::LeftButton);
    EXPECT_EQ(Dialogs::messageCount(), before + 1);
    EXPECT_EQ(Dialogs::lastMessage(), QString::fromUtf8("请输入关键词或导入关键词"));
    EXPECT_TRUE(site_.RequestTargets().empty());
}

TEST_F(CollectionWindow, StopEnablesCollectAndSaysTheRunStopped) {
    QTest::keyClicks(Control<QPlainTextEdit>(window_, "编辑框_关键词"), "abc");
    site_.PauseResponses();
    QTest::mouseClick(Control<QPushButton>(window_, "按钮_采集"), Qt::LeftButton);
    auto* collect = Control<QPushButton>(window_, "按钮_采集");
    ASSERT_TRUE(site_.WaitForInFlight(1, 20s));
    ASSERT_TRUE(PumpUntil([&] { return !collect->isEnabled(); }));
    QTest::mouseClick(Control<QPushButton>(window_, "按钮_停止"), Qt::LeftButton);
    ASSERT_TRUE(PumpUntil([&] { return collect->isEnabled(); }));
    EXPECT_TRUE(wiring_->Collection().WaitUntilIdle(10s));
    site_.ResumeResponses();
    QCoreApplication::processEvents();
    EXPECT_EQ(Control<QStatusBar>(window_, "状态条1")->currentMessage(),
              QString::fromUtf8("采集已停止！共计采集结果：0条"));
    EXPECT_EQ(Control<QComboBox>(window_, "组合框2")->count(), 0);
}

}  // namespace
}  // namespace tollenby
