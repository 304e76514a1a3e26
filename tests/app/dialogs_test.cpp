#include "app/dialogs.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QString>

namespace tollenby {
namespace {

TEST(ShowInfoMessage, IsAnsweredByTheHookAndRemembered) {
    int before = Dialogs::messageCount();
    Dialogs::setNextAnswer(QMessageBox::Ok);
    ShowInfoMessage(QStringLiteral("请输入关键词或导入关键词"));
    EXPECT_EQ(Dialogs::lastMessage(), "请输入关键词或导入关键词");
    EXPECT_EQ(Dialogs::messageCount(), before + 1);
}

}  // namespace
}  // namespace tollenby
