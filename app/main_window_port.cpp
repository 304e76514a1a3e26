#include "app/main_window_port.h"

#include <QMetaObject>
#include <string>
#include <utility>

#include "app/export_folder.h"
#include "app/main_window.h"
#include "text/encoding.h"

namespace tollenby {

QString GbkToQString(const Text& text) {
    std::u16string wide = GbkToUtf16(text);
    return QString::fromStdU16String(wide);
}

Text QStringToGbk(const QString& text) {
    return Utf16ToGbk(text.toStdU16String());
}

MainWindowPort::MainWindowPort() : rows_(std::make_shared<ResultRows>()) {}

void MainWindowPort::Attach(MainWindow* window) {
    std::lock_guard guard(lock_);
    window_ = window;
    applyPosted_ = false;
}

void MainWindowPort::Detach() {
    std::lock_guard guard(lock_);
    window_ = nullptr;
}

void MainWindowPort::MirrorKeywords(const QString& boxText) {
    std::lock_guard guard(lock_);
    keywords_ = boxText;
}

void MainWindowPort::MirrorPageCount(const QString& text) {
    Text gbk = QStringToGbk(text);
    std::lock_guard guard(lock_);
    pageCount_ = std::move(gbk);
}

void MainWindowPort::MirrorThreadCount(const QString& text) {
    Text gbk = QStringToGbk(text);
    std::lock_guard guard(lock_);
    threadCount_ = std::move(gbk);
}

void MainWindowPort::MirrorTimeFilter(TimeFilter filter) {
    std::lock_guard guard(lock_);
    timeFilter_ = filter;
}

void MainWindowPort::MirrorExportOption(ExportOption option) {
    std::lock_guard guard(lock_);
    exportOption_ = option;
}

void MainWindowPort::MirrorPath(const QString& path) {
    std::lock_guard guard(lock_);
    path_ = path;
}

void MainWindowPort::MirrorRegionSelection(std::uint64_t itemsVersion, int index) {
    std::lock_guard guard(lock_);
    // A selection in a list that a worker has already replaced says nothing about the new list.
    if (itemsVersion != regionVersion_) return;
    if (index >= 0 && static_cast<std::size_t>(index) < regionItems_.size()) {
        regionSelection_ = static_cast<std::size_t>(index);
    } else {
        regionSelection_.reset();
    }
}

MainWindowPort::Pending MainWindowPort::TakePending() {
    std::lock_guard guard(lock_);
    applyPosted_ = false;
    Pending taken = std::move(pending_);
    taken.regionVersion = regionVersion_;
    pending_ = Pending{};
    return taken;
}

void MainWindowPort::PostApplyLocked() {
    if (window_ == nullptr || applyPosted_) return;
    applyPosted_ = true;
    // Posting does not wait for the GUI thread; the window is alive while window_ is set, because
    // Detach() takes this lock before the window goes away.
    // A call still queued when the window is destroyed is dropped with it.
    MainWindow* window = window_;
    QMetaObject::invokeMethod(
        window, [window] { window->ApplyPortWrites(); }, Qt::QueuedConnection);
}

Text MainWindowPort::StatusText() {
    std::lock_guard guard(lock_);
    return status_;
}

bool MainWindowPort::CollectEnabled() {
    std::lock_guard guard(lock_);
    return collectEnabled_;
}

TextArray MainWindowPort::RegionItems() {
    std::lock_guard guard(lock_);
    return regionItems_;
}

Text MainWindowPort::SelectedRegionText() {
    std::lock_guard guard(lock_);
    return regionSelection_ ? regionItems_[*regionSelection_] : Text{};
}

ExportOption MainWindowPort::CheckedExportOption() {
    std::lock_guard guard(lock_);
    return exportOption_;
}

QString MainWindowPort::PathText() {
    QString path;
    {
        std::lock_guard guard(lock_);
        path = path_;
    }
    return ExpandHomeFolder(path);
}

Text MainWindowPort::KeywordText() {
    QString text;
    {
        std::lock_guard guard(lock_);
        text = keywords_;
    }
    // The box separates lines by LF; keyword lists are CR LF throughout the collection code.
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return QStringToGbk(text);
}

Text MainWindowPort::PageCountText() {
    std::lock_guard guard(lock_);
    return pageCount_;
}

Text MainWindowPort::ThreadCountText() {
    std::lock_guard guard(lock_);
    return threadCount_;
}

TimeFilter MainWindowPort::CheckedTimeFilter() {
    std::lock_guard guard(lock_);
    return timeFilter_;
}

void MainWindowPort::SetStatusText(const Text& text) {
    std::lock_guard guard(lock_);
    status_ = text;
    pending_.status = text;
    PostApplyLocked();
}

void MainWindowPort::SetCollectEnabled(bool enabled) {
    std::lock_guard guard(lock_);
    collectEnabled_ = enabled;
    pending_.collectEnabled = enabled;
    PostApplyLocked();
}

void MainWindowPort::ClearRegionBox() {
    SetRegionItems({});
}

void MainWindowPort::SetRegionItems(const TextArray& items) {
    std::lock_guard guard(lock_);
    regionItems_ = items;
    regionSelection_ = items.empty() ? std::nullopt : std::optional<std::size_t>(0);
    ++regionVersion_;
    pending_.regionItems = items;
    PostApplyLocked();
}

void MainWindowPort::ClearRows() {
    rows_->Clear();
}

RowId MainWindowPort::AppendRow(const Text& title, const Text& url, const Text& source) {
    return rows_->Append(title, url, source);
}

std::size_t MainWindowPort::RowCount() {
    return rows_->Count();
}

RowId MainWindowPort::RowAt(std::size_t index) {
    return rows_->IdAt(index);
}

Text MainWindowPort::Cell(RowId row, int column) {
    return rows_->Cell(row, column);
}

void MainWindowPort::SetCell(RowId row, int column, const Text& text) {
    rows_->SetCell(row, column, text);
}

}  // namespace tollenby
