// The window on a desktop: its start folder, its size, the path box's "~", the page-count box and Qt's
// own texts in Chinese.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <cerrno>
#include <cstring>
#include <map>

#include "app/export_folder.h"
#include "app/main_window.h"
#include "app/main_window_port.h"
#include "app/qt_translations.h"

namespace tollenby {
namespace {

TEST(DefaultExportFolder, TheProgramsFolderOnlyWhenItTakesNewFiles) {
    QTemporaryDir documents;
    ASSERT_TRUE(documents.isValid());
    const QString missing = documents.filePath(QStringLiteral("not-there"));
    struct Case {
        const char* name;
        bool programFolderTakesFiles;
        QString documentsFolder;
        QString expected;
    };
    const Case cases[] = {
        {"unpacked into the user's folder", true, documents.path(), "/opt/prog"},
        {"installed", false, documents.path(), documents.path()},
        {"installed, no documents folder yet", false, missing, "/home/u"},
        {"installed, no documents folder named", false, QString(), "/home/u"},
    };
    for (const Case& c : cases) {
        QStringList asked;
        auto takes = [&](const QString& folder) {
            asked.append(folder);
            return c.programFolderTakesFiles;
        };
        EXPECT_EQ(DefaultExportFolder("/opt/prog", c.documentsFolder, "/home/u", takes), c.expected)
            << c.name;
        EXPECT_EQ(asked, QStringList({"/opt/prog"})) << c.name;
    }
}

TEST(FolderTakesNewFiles, TriesAFileAndLeavesNothingBehind) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    EXPECT_TRUE(FolderTakesNewFiles(folder.path()));
    EXPECT_TRUE(
        QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());

    // Refused whoever runs the test, the superuser included.
    QFile plain(folder.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_FALSE(FolderTakesNewFiles(folder.filePath(QStringLiteral("plain"))));         // a file
    EXPECT_FALSE(FolderTakesNewFiles(folder.filePath(QStringLiteral("missing"))));       // no folder
    EXPECT_FALSE(FolderTakesNewFiles(folder.filePath(QStringLiteral("plain/inside"))));  // under a file
    EXPECT_FALSE(FolderTakesNewFiles(QString()));
}

// A folder on a read-only mount refuses new files to the superuser too, as /usr/bin does to a user.
// Mounting needs privileges a test run may lack; then there is nothing to test here.
class ReadOnlyMount {
  public:
    explicit ReadOnlyMount(const QString& folder) : folder_(QFile::encodeName(folder)) {
        mounted_ = ::mount("tmpfs", folder_.constData(), "tmpfs", MS_RDONLY, "size=64k") == 0;
        error_ = errno;
    }
    ~ReadOnlyMount() {
        if (mounted_) ::umount(folder_.constData());
    }
    bool Mounted() const { return mounted_; }
    int Error() const { return error_; }

  private:
    QByteArray folder_;
    bool mounted_ = false;
    int error_ = 0;
};

TEST(DefaultExportFolder, AProgramFolderOnAReadOnlyMountIsPassedOver) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    const QString program = home.filePath(QStringLiteral("program"));
    const QString documents = home.filePath(QStringLiteral("Documents"));
    ASSERT_TRUE(QDir().mkpath(program) && QDir().mkpath(documents));
    ASSERT_TRUE(FolderTakesNewFiles(program));
    ReadOnlyMount readOnly(program);
    if (!readOnly.Mounted()) GTEST_SKIP() << "cannot mount here: " << std::strerror(readOnly.Error());

    EXPECT_FALSE(FolderTakesNewFiles(program));
    EXPECT_EQ(DefaultExportFolder(program, documents, home.path()), documents);
    EXPECT_EQ(DefaultExportFolder(program, QString(), home.path()), home.path());
}

TEST(ExpandHomeFolder, OnlyALeadingTildeAlone) {
    const std::map<QString, QString> cases = {
        {"~", "/home/u"},
        {"~/", "/home/u/"},
        {"~/导出/a", "/home/u/导出/a"},
        {"~user/x", "~user/x"},
        {"/data/~/x", "/data/~/x"},
        {" ~/x", " ~/x"},
        {"", ""},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(ExpandHomeFolder(path, "/home/u"), expected) << path.toStdString();
}

TEST(MainWindowFit, TheExportsReadTildeAsTheHomeFolder) {
    MainWindow window;
    auto* pathBox = window.findChild<QLineEdit*>(QStringLiteral("编辑框_路径"));
    ASSERT_NE(pathBox, nullptr);
    pathBox->setText(QStringLiteral("~/导出"));
    EXPECT_EQ(pathBox->text(), QStringLiteral("~/导出"));  // shown as typed
    EXPECT_EQ(window.PathText(), QDir::homePath() + QStringLiteral("/导出"));
    EXPECT_EQ(window.WindowSidePort().PathText(), QDir::homePath() + QStringLiteral("/导出"));
}

TEST(MainWindowFit, ThePageCountBoxTakesDigitsOnly) {
    MainWindow window;
    auto* pages = window.findChild<QLineEdit*>(QStringLiteral("编辑框_采集页数"));
    ASSERT_NE(pages, nullptr);
    pages->clear();
    QTest::keyClicks(pages, QStringLiteral("a1- x2+3"));
    EXPECT_EQ(pages->text(), QStringLiteral("123"));
    pages->clear();
    pages->insert(QStringLiteral("4"));
    pages->insert(QStringLiteral("５"));  // a full-width digit is no ASCII digit either
    pages->insert(QStringLiteral("1"));
    pages->insert(QStringLiteral("23"));  // beyond three characters
    EXPECT_EQ(pages->text(), QStringLiteral("412"));
    EXPECT_EQ(window.WindowSidePort().PageCountText(), "412");
}

TEST(MainWindowFit, OnlyTheTableAndTheStatusBarGrow) {
    MainWindow window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.minimumSize(), QSize(968, 588));
    EXPECT_EQ(window.size(), QSize(968, 588));
    auto* table = window.findChild<QTableView*>(QStringLiteral("超级列表框1"));
    auto* status = window.findChild<QStatusBar*>(QStringLiteral("状态条1"));
    ASSERT_TRUE(table && status);
    auto grows = [&](QWidget* child) {
        return child == table || child == status || table->isAncestorOf(child) || status->isAncestorOf(child);
    };
    std::map<QWidget*, QRect> before;
    for (QWidget* child : window.findChildren<QWidget*>())
        if (!grows(child)) before[child] = child->geometry();
    ASSERT_GT(before.size(), 25u);

    // Bounded: the platform reports the new size within a few event rounds.
    auto resizeTo = [&](QSize size) {
        window.resize(size);
        for (int i = 0; i < 50 && table->width() != window.width(); ++i) QTest::qWait(10);
    };
    resizeTo(QSize(1300, 900));
    EXPECT_EQ(window.size(), QSize(1300, 900));
    EXPECT_EQ(table->geometry(), QRect(0, 130, 1300, 441 + 312));
    EXPECT_EQ(status->geometry(), QRect(0, 880, 1300, 20));
    for (const auto& [child, geometry] : before)
        EXPECT_EQ(child->geometry(), geometry) << child->objectName().toStdString();

    // Asked to shrink below its designed size, it stops there.
    resizeTo(QSize(600, 400));
    EXPECT_EQ(window.size(), QSize(968, 588));
    EXPECT_EQ(table->geometry(), QRect(0, 130, 968, 441));
    EXPECT_EQ(status->geometry(), QRect(0, 568, 968, 20));
}

TEST(QtTranslations, QtsOwnTextsAreChinese) {
    QTranslator translator;
    ASSERT_TRUE(InstallQtTranslations(translator));
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    QCoreApplication::removeTranslator(&translator);
}

}  // namespace
}  // namespace tollenby
