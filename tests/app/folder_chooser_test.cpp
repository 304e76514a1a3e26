#include "app/folder_chooser.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QString>

#include "app/dialogs.h"
#include "app/globals.h"

namespace tollenby {
namespace {

TEST(ChooseFolder, KeepsTheStartFolderAndMapsItsSwitches) {
    Dialogs::setNextDirectory(QStringLiteral("\t/x\t"));
    EXPECT_EQ(ChooseFolder(QStringLiteral("t"), true, QStringLiteral("/start"), false, false), "\t/x\t");
    Dialogs::DirectoryRequest asked = Dialogs::lastDirectoryRequest();
    EXPECT_EQ(asked.startDirectory, "/start");
    EXPECT_EQ(AppGlobals().FolderStartPath, "/start");
    EXPECT_FALSE(asked.options.testFlag(QFileDialog::ShowDirsOnly));
    EXPECT_TRUE(asked.options.testFlag(QFileDialog::DontUseNativeDialog));

    Dialogs::setNextDirectory(QString());
    EXPECT_EQ(ChooseFolder(), "");
    EXPECT_EQ(Dialogs::lastDirectoryRequest().title, "请选择一个文件夹");
}

}  // namespace
}  // namespace tollenby
