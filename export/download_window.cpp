#include "export/download_window.h"

#include <QFont>
#include <QFontMetrics>
#include <QMetaObject>
#include <QString>
#include <algorithm>
#include <climits>
#include <tuple>
#include <utility>

#include "ui/gbk_qstring.h"
#include "ui/place.h"

namespace tollenby {

namespace {

constexpr int kMessagePixelSize = 21;
constexpr int kSmallestMessagePixelSize = 12;

int ProgressMaximum(std::size_t total) {
    // A range of 0..0 would turn the bar into a busy indicator; with nothing to fetch it just stays empty.
    return static_cast<int>(std::clamp<std::size_t>(total, 1, INT_MAX));
}

}  // namespace

// The one way from a job's thread to the window. Severed by the window's destructor; a post made
// before that runs on the GUI thread only if the window still exists when it arrives (Qt drops the
// events of a deleted receiver), one made after it is not made at all.
class DownloadWindowLink {
  public:
    explicit DownloadWindowLink(DownloadWindow* window) : window_(window) {}

    void Sever() {
        std::lock_guard guard(lock_);
        window_ = nullptr;
    }

    template <typename Change>
    void Post(Change change) {
        std::lock_guard guard(lock_);
        if (window_ == nullptr) return;
        // Posting under the lock: the window cannot be destroyed while its event is being queued.
        QMetaObject::invokeMethod(
            window_, [window = window_, change = std::move(change)] { change(*window); },
            Qt::QueuedConnection);
    }

  private:
    std::mutex lock_;
    DownloadWindow* window_;
};

DownloadWindow::DownloadWindow(const DownloadSelection& selection, UrlListRef urlList, DownloadJobs& jobs,
                               DownloadJobIo io, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      urlList_(urlList),
      jobs_(jobs),
      io_(std::move(io)),
      link_(std::make_shared<DownloadWindowLink>(this)) {
    BuildControls();
    connect(&startButton_, &QPushButton::clicked, this, &DownloadWindow::StartDownload);
    connect(&doneButton_, &QPushButton::clicked, this, &QDialog::accept);

    // On opening, DownloadUrlList is rebuilt by the option. A job of an earlier window works on its
    // own copy, so replacing the list here cannot change what it downloads.
    TextArray addresses = SelectQrAddresses(selection.option, selection.selectedRegion, selection.rows);
    // The same rows, for images.csv.
    io_.rows = SelectQrRows(selection.option, selection.selectedRegion, selection.rows);
    const std::size_t count = addresses.size();
    {
        std::lock_guard guard(urlList_.lock);
        urlList_.list.swap(addresses);
    }
    ShowMessage(UrlCountLabel(count));
}

DownloadWindow::~DownloadWindow() {
    link_->Sever();
}

void DownloadWindow::BuildControls() {
    setObjectName(QStringLiteral("DownloadWindow"));
    setWindowTitle(QString());
    setModal(true);
    QFont windowFont = font();
    windowFont.setPixelSize(12);
    setFont(windowFont);
    setFixedSize(346, 173);
    // Without an owner it opens at 50, 50; over MainWindow Qt centres it on its owner.
    if (parentWidget() == nullptr) move(50, 50);

    Place(messageLabel_, "透明标签1", 8, 8, 320, 40);
    messageLabel_.setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    messageLabel_.setAttribute(Qt::WA_TranslucentBackground);
    QFont messageFont = messageLabel_.font();
    messageFont.setPixelSize(kMessagePixelSize);
    messageFont.setWeight(QFont::Normal);
    messageLabel_.setFont(messageFont);

    Place(progressBar_, "进度条1", 8, 56, 320, 24);
    progressBar_.setRange(0, 100);
    progressBar_.setValue(0);
    progressBar_.setTextVisible(false);

    for (auto [button, name, caption, x] :
         {std::tuple{&startButton_, "按钮_开始下载", QStringLiteral("开始下载"), 152},
          std::tuple{&doneButton_, "按钮1", QStringLiteral("完成"), 248}}) {
        Place(*button, name, x, 96, 80, 32);
        button->setText(caption);
        button->setAutoDefault(false);
        button->setDefault(false);
    }
}

void DownloadWindow::ShowMessage(const Text& text) {
    // The label keeps its 21-pixel font; only a text too wide for it (long counts) is drawn smaller,
    // so the counts stay readable instead of being cut off.
    const QString shown = GbkToQString(text);
    QFont fitted = messageLabel_.font();
    fitted.setPixelSize(kMessagePixelSize);
    while (fitted.pixelSize() > kSmallestMessagePixelSize &&
           QFontMetrics(fitted).horizontalAdvance(shown) > messageLabel_.width()) {
        fitted.setPixelSize(fitted.pixelSize() - 1);
    }
    messageLabel_.setFont(fitted);
    messageLabel_.setText(shown);
}

void DownloadWindow::StartDownload() {
    if (!startButton_.isEnabled()) return;
    // Disabled here at once, not only when the job's first report arrives: a second click before that
    // must not start a second job.
    startButton_.setEnabled(false);
    TextArray addresses;
    {
        std::lock_guard guard(urlList_.lock);
        addresses = urlList_.list;
    }
    jobs_.Start([addresses = std::move(addresses), io = io_, link = link_](std::stop_token stop) {
        DownloadJobView view;
        view.started = [&link](std::size_t total) {
            link->Post([total](DownloadWindow& window) { window.JobStarted(total); });
        };
        view.imageStarting = [&link](std::size_t number) {
            link->Post([number](DownloadWindow& window) { window.ImageStarting(number); });
        };
        view.finished = [&link](const DownloadCounts& counts) {
            link->Post([counts](DownloadWindow& window) { window.JobFinished(counts); });
        };
        RunDownloadJob(addresses, io, view, stop);
    });
}

void DownloadWindow::JobStarted(std::size_t total) {
    startButton_.setEnabled(false);
    progressBar_.setRange(0, ProgressMaximum(total));
    progressBar_.setValue(0);
}

void DownloadWindow::ImageStarting(std::size_t number) {
    // The bar follows the images finished; the label names the next one.
    progressBar_.setValue(static_cast<int>(std::min<std::size_t>(number - 1, INT_MAX)));
    ShowMessage(DownloadingLabel(number));
}

void DownloadWindow::JobFinished(const DownloadCounts& counts) {
    startButton_.setEnabled(true);
    if (counts.folderFailure.empty())
        progressBar_.setValue(
            static_cast<int>(std::min<std::size_t>(counts.written + counts.failed, INT_MAX)));
    ShowMessage(DownloadDoneLabel(counts));
}

}  // namespace tollenby
