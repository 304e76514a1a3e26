#include "app/main_window.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QUrl>
#include <algorithm>
#include <optional>
#include <utility>

#include "app/app_icon.h"
#include "app/collect_wiring.h"
#include "app/dialogs.h"
#include "app/export_action.h"
#include "app/export_folder.h"
#include "app/folder_chooser.h"
#include "app/globals.h"
#include "app/keyword_file.h"

namespace tollenby {

namespace {

// The local files a drag carries, in drop order; empty when it carries anything else.
QStringList DroppedFiles(const QMimeData* mime) {
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (!url.isLocalFile()) return {};
        paths.append(url.toLocalFile());
    }
    return paths;
}

void Place(QWidget& widget, const char* name, int x, int y, int width, int height) {
    widget.setObjectName(QString::fromUtf8(name));
    widget.setGeometry(x, y, width, height);
}

void MakeButton(QPushButton& button, const char* name, const QString& caption, int x, int y, int width,
                int height) {
    Place(button, name, x, y, width, height);
    button.setText(caption);
    // Enter in an edit box must not press a button behind the user's back.
    button.setAutoDefault(false);
    button.setDefault(false);
}

void MakeRadio(QRadioButton& radio, const char* name, const QString& caption, int x, int y, int width,
               int height) {
    Place(radio, name, x, y, width, height);
    radio.setText(caption);
}

// The size the controls are placed for. The window may grow; the table and the status bar grow with it.
constexpr int kDesignedWidth = 968;
constexpr int kDesignedHeight = 588;

}  // namespace

MainWindow::MainWindow(std::shared_ptr<MainWindowPort> port, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      port_(port ? std::move(port) : std::make_shared<MainWindowPort>()),
      model_(port_->Rows()) {
    BuildControls();
    ConnectControls();

    // Window created: the program's folder in the path box (or, when new files cannot be made there, the
    // documents or home folder), "准备就绪" in the status bar.
    pathBox_.setText(QDir::toNativeSeparators(DefaultExportFolder()));
    pathBox_.setCursorPosition(0);
    MirrorAllControls();
    port_->Attach(this);
    port_->SetStatusText(QStringToGbk(QStringLiteral("准备就绪")));
    ApplyPortWrites();
}

MainWindow::~MainWindow() {
    // From here on workers write into the port alone; nothing is posted to a window that is going.
    port_->Detach();
}

void MainWindow::BuildControls() {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Tollenby"));
    setWindowIcon(AppIcon());
    QFont windowFont = font();
    windowFont.setPixelSize(12);
    setFont(windowFont);
    move(50, 50);
    setMinimumSize(kDesignedWidth, kDesignedHeight);
    resize(kDesignedWidth, kDesignedHeight);
    setAcceptDrops(true);

    Place(keywordGroup_, "分组框1", 4, 5, 164, 121);
    keywordGroup_.setTitle(QStringLiteral("关键词(将TXT文档拖拽进来)"));
    Place(keywordBox_, "编辑框_关键词", 7, 13, 149, 101);
    keywordBox_.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    keywordBox_.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    keywordBox_.setTabChangesFocus(true);

    Place(settingsGroup_, "分组框2", 167, 5, 201, 121);
    settingsGroup_.setTitle(QStringLiteral("采集配置"));
    Place(pageCountLabel_, "透明标签1", 8, 14, 64, 32);
    pageCountLabel_.setText(QStringLiteral("采集页数："));
    pageCountLabel_.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Place(pageCountBox_, "编辑框_采集页数", 64, 20, 30, 19);
    pageCountBox_.setText(QStringLiteral("1"));
    pageCountBox_.setAlignment(Qt::AlignCenter);
    pageCountBox_.setMaxLength(3);
    pageCountBox_.setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), &pageCountBox_));
    Place(threadCountLabel_, "透明标签2", 101, 14, 56, 32);
    threadCountLabel_.setText(QStringLiteral("线程总数："));
    threadCountLabel_.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Place(threadCountBox_, "组合框1", 156, 21, 40, 20);
    threadCountBox_.addItems({QStringLiteral("5"), QStringLiteral("10"), QStringLiteral("20")});
    threadCountBox_.setCurrentIndex(0);
    MakeButton(collectButton_, "按钮_采集", QStringLiteral("采集"), 23, 50, 72, 24);
    MakeButton(stopButton_, "按钮_停止", QStringLiteral("停止"), 121, 50, 72, 24);
    MakeButton(importButton_, "按钮_导入", QStringLiteral("导入关键词"), 23, 86, 72, 24);
    MakeButton(clearButton_, "按钮_清空", QStringLiteral("清空"), 121, 86, 72, 24);

    Place(timeGroup_, "分组框4", 373, 5, 99, 121);
    timeGroup_.setTitle(QStringLiteral("二维码发布时间"));
    MakeRadio(oneDay_, "单选框_一天内", QStringLiteral("1天内"), 7, 16, 80, 24);
    MakeRadio(oneWeek_, "单选框_一周内", QStringLiteral("1周内"), 7, 39, 80, 24);
    MakeRadio(oneMonth_, "单选框_一个月内", QStringLiteral("1个月内"), 6, 65, 80, 24);
    MakeRadio(allTime_, "单选框_全部时间", QStringLiteral("全部时间"), 6, 91, 80, 24);
    allTime_.setChecked(true);

    Place(exportGroup_, "分组框3", 475, 5, 245, 121);
    exportGroup_.setTitle(QStringLiteral("导出选项(XLS/GIF)"));
    MakeRadio(exportSpreadsheet_, "单选框1", QStringLiteral("全部"), 14, 19, 80, 16);
    MakeRadio(exportAllQr_, "单选框2", QStringLiteral("全部二维码"), 110, 14, 88, 20);
    MakeRadio(exportPersonal_, "单选框_个人微信", QStringLiteral("个人二维码"), 15, 37, 94, 20);
    MakeRadio(exportGroupQr_, "单选框_微信群", QStringLiteral("微信群二维码"), 109, 38, 94, 20);
    MakeRadio(exportByRegion_, "单选框_地区", QStringLiteral("按地区"), 15, 56, 80, 24);
    exportSpreadsheet_.setChecked(true);
    Place(regionBox_, "组合框2", 78, 59, 72, 20);
    Place(pathBox_, "编辑框_路径", 14, 84, 103, 21);
    MakeButton(savePathButton_, "按钮_保存路径", QStringLiteral("保存路径"), 120, 87, 62, 28);
    MakeButton(exportButton_, "按钮_导出", QStringLiteral("导出"), 186, 87, 48, 28);

    // The radio buttons of one group box form one group: exactly one is checked.
    int id = 0;
    for (QRadioButton* radio : {&oneMonth_, &oneWeek_, &oneDay_, &allTime_})
        timeButtons_.addButton(radio, id++);
    id = 0;
    for (QRadioButton* radio :
         {&exportSpreadsheet_, &exportAllQr_, &exportPersonal_, &exportGroupQr_, &exportByRegion_}) {
        exportButtons_.addButton(radio, id++);
    }
    timeButtons_.setExclusive(true);
    exportButtons_.setExclusive(true);

    Place(resultList_, "超级列表框1", 0, 130, 968, 441);
    resultList_.setModel(&model_);
    resultList_.setSelectionBehavior(QAbstractItemView::SelectRows);
    resultList_.setSelectionMode(QAbstractItemView::ExtendedSelection);
    resultList_.setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultList_.setShowGrid(false);
    resultList_.setWordWrap(false);
    resultList_.setCornerButtonEnabled(false);
    resultList_.verticalHeader()->hide();
    resultList_.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    resultList_.verticalHeader()->setDefaultSectionSize(20);
    QHeaderView* header = resultList_.horizontalHeader();
    header->setMinimumSectionSize(0);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    for (int column = 0; column < kColumnCount; ++column) {
        resultList_.setColumnWidth(column, ResultTableModel::ColumnWidth(column));
    }

    Place(statusBar_, "状态条1", 0, 568, 968, 20);
    statusBar_.setSizeGripEnabled(false);

    Place(pictureBox_, "图片框1", 728, 16, 120, 109);
    pictureBox_.setPixmap(DrawAppIcon(96));
    pictureBox_.setAlignment(Qt::AlignCenter);
    Place(hintLabel_, "标签1", 856, 24, 104, 96);
    hintLabel_.setText(QStringLiteral("拖入或导入关键词\n点击采集后导出"));
    hintLabel_.setWordWrap(true);
    hintLabel_.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Files dropped anywhere on the window fill the keyword box, also over the widgets that take drops
    // of their own (the edit boxes would otherwise insert the file's address as text).
    for (QWidget* child : findChildren<QWidget*>()) {
        if (child->acceptDrops()) child->installEventFilter(this);
    }
}

void MainWindow::ConnectControls() {
    connect(&keywordBox_, &QPlainTextEdit::textChanged, this,
            [this] { port_->MirrorKeywords(keywordBox_.toPlainText()); });
    connect(&pageCountBox_, &QLineEdit::textChanged, this,
            [this](const QString& text) { port_->MirrorPageCount(text); });
    connect(&threadCountBox_, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { port_->MirrorThreadCount(text); });
    connect(&timeButtons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) port_->MirrorTimeFilter(CheckedTimeFilterOnWidgets());
    });
    connect(&exportButtons_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) port_->MirrorExportOption(CheckedExportOption());
    });
    connect(&pathBox_, &QLineEdit::textChanged, this,
            [this](const QString& text) { port_->MirrorPath(text); });
    connect(&regionBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { port_->MirrorRegionSelection(shownRegionVersion_, index); });

    connect(&importButton_, &QPushButton::clicked, this, &MainWindow::ImportKeywords);
    connect(&clearButton_, &QPushButton::clicked, this, &MainWindow::ClearResults);
    connect(&savePathButton_, &QPushButton::clicked, this, &MainWindow::SavePath);
    connect(&collectButton_, &QPushButton::clicked, this, &MainWindow::CollectClicked);
    connect(&stopButton_, &QPushButton::clicked, this, &MainWindow::StopClicked);
    connect(&exportButton_, &QPushButton::clicked, this, &MainWindow::ExportClicked);
}

void MainWindow::MirrorAllControls() {
    port_->MirrorKeywords(keywordBox_.toPlainText());
    port_->MirrorPageCount(pageCountBox_.text());
    port_->MirrorThreadCount(threadCountBox_.currentText());
    port_->MirrorTimeFilter(CheckedTimeFilterOnWidgets());
    port_->MirrorExportOption(CheckedExportOption());
    port_->MirrorPath(pathBox_.text());
}

TimeFilter MainWindow::CheckedTimeFilterOnWidgets() const {
    // Tested in the order the search job uses.
    if (oneMonth_.isChecked()) return TimeFilter::OneMonth;
    if (oneWeek_.isChecked()) return TimeFilter::OneWeek;
    if (oneDay_.isChecked()) return TimeFilter::OneDay;
    return TimeFilter::AllTime;
}

ExportOption MainWindow::CheckedExportOption() const {
    if (exportAllQr_.isChecked()) return ExportOption::AllQrCodes;
    if (exportPersonal_.isChecked()) return ExportOption::PersonalQrCodes;
    if (exportGroupQr_.isChecked()) return ExportOption::GroupQrCodes;
    if (exportByRegion_.isChecked()) return ExportOption::ByRegion;
    return ExportOption::Spreadsheet;
}

void MainWindow::ApplyPortWrites() {
    MainWindowPort::Pending pending = port_->TakePending();
    if (pending.status) statusBar_.showMessage(GbkToQString(*pending.status));
    if (pending.collectEnabled) collectButton_.setEnabled(*pending.collectEnabled);
    if (pending.regionItems) {
        QStringList items;
        items.reserve(static_cast<qsizetype>(pending.regionItems->size()));
        for (const Text& item : *pending.regionItems) items.append(GbkToQString(item));
        // The port already holds the new list with its first item selected; the box only follows.
        QSignalBlocker quiet(regionBox_);
        regionBox_.clear();
        regionBox_.addItems(items);
        regionBox_.setCurrentIndex(items.isEmpty() ? -1 : 0);
        shownRegionVersion_ = pending.regionVersion;
    }
}

void MainWindow::DropFiles(const QStringList& paths) {
    if (std::optional<QString> text = ReadKeywordFiles(paths)) keywordBox_.setPlainText(*text);
}

void MainWindow::ImportKeywords() {
    QString path = Dialogs::OpenFileName(this, QStringLiteral("导入关键词"),
                                         QStringLiteral("文本文档 (*.txt)"), QStringLiteral("txt"));
    if (path.isEmpty()) return;
    if (std::optional<QString> text = ReadKeywordFile(path)) keywordBox_.setPlainText(*text);
}

void MainWindow::ClearResults() {
    port_->ClearRows();
    model_.Poll();
}

void MainWindow::SavePath() {
    pathBox_.setText(ChooseFolder(QStringLiteral("保存路径")));
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList paths = DroppedFiles(event->mimeData());
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    DropFiles(paths);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (DroppedFiles(drag->mimeData()).isEmpty()) break;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            QStringList paths = DroppedFiles(drop->mimeData());
            if (paths.isEmpty()) break;
            drop->acceptProposedAction();
            DropFiles(paths);
            return true;
        }
        default:
            break;
    }
    return QDialog::eventFilter(watched, event);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    // Escape would close a dialog; this one is the program's main window.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int extraWidth = std::max(0, width() - kDesignedWidth);
    const int extraHeight = std::max(0, height() - kDesignedHeight);
    resultList_.setGeometry(0, 130, 968 + extraWidth, 441 + extraHeight);
    statusBar_.setGeometry(0, 568 + extraHeight, 968 + extraWidth, 20);
}

QString MainWindow::PathText() const {
    return ExpandHomeFolder(pathBox_.text());
}

int ShowMainWindowModal() {
    Globals& globals = AppGlobals();
    if (!globals.MainPort) globals.MainPort = std::make_shared<MainWindowPort>();
    MainWindow window(globals.MainPort);
    // Both go before the window does: closing it cancels and joins every collection and download thread.
    CollectionWiring collection(window, globals.Shared);
    ExportAction exportAction(window);
    window.exec();
    return 0;
}

}  // namespace tollenby
