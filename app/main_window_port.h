// MainWindow's side of WindowPort: what collection and download threads see of the window.
//
// Reads come from a snapshot that the window refreshes on its own thread whenever a control changes,
// so they never wait for the GUI thread. Writes land in the port's state at once (a read right after
// sees them) and reach the widgets through one coalesced queued call. Rows go straight into the
// ResultRows store that the window's table model polls. After Detach() (the window is closing) the
// port keeps working in memory and posts nothing, so late workers neither block nor crash.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "collect/result_rows.h"
#include "collect/window_port.h"
#include "text/gbk_text.h"

namespace tollenby {

class MainWindow;

class MainWindowPort : public WindowPort {
  public:
    MainWindowPort();

    // --- GUI thread: the window mirrors its controls here. ---
    void Attach(MainWindow* window);
    void Detach();
    void MirrorKeywords(const QString& boxText);
    void MirrorPageCount(const QString& text);
    void MirrorThreadCount(const QString& text);
    void MirrorTimeFilter(TimeFilter filter);
    void MirrorExportOption(ExportOption option);
    void MirrorPath(const QString& path);
    void MirrorRegionSelection(std::uint64_t itemsVersion, int index);

    // What the window must show, taken on the GUI thread when the queued call arrives.
    struct Pending {
        std::optional<Text> status;
        std::optional<bool> collectEnabled;
        std::optional<TextArray> regionItems;  // selection of the first item follows
        std::uint64_t regionVersion = 0;
    };
    Pending TakePending();

    // --- Any thread: reads beyond WindowPort that the export code needs. ---
    Text StatusText();
    bool CollectEnabled();
    TextArray RegionItems();
    Text SelectedRegionText();  // empty when nothing is selected
    ExportOption CheckedExportOption();
    QString PathText();  // native path, as typed or chosen; a leading "~" is the home folder

    std::shared_ptr<ResultRows> Rows() const { return rows_; }

    // WindowPort.
    Text KeywordText() override;
    Text PageCountText() override;
    Text ThreadCountText() override;
    TimeFilter CheckedTimeFilter() override;
    void SetStatusText(const Text& text) override;
    void SetCollectEnabled(bool enabled) override;
    void ClearRegionBox() override;
    void SetRegionItems(const TextArray& items) override;
    void ClearRows() override;
    RowId AppendRow(const Text& title, const Text& url, const Text& source) override;
    std::size_t RowCount() override;
    RowId RowAt(std::size_t index) override;
    Text Cell(RowId row, int column) override;
    void SetCell(RowId row, int column, const Text& text) override;

  private:
    void PostApplyLocked();

    std::mutex lock_;
    MainWindow* window_ = nullptr;  // null once detached
    bool applyPosted_ = false;

    // Mirrored controls. The keyword box is kept as the window's own text and converted on the reader's
    // thread: QString copies are cheap and safe to hand between threads.
    QString keywords_;
    Text pageCount_ = "1";
    Text threadCount_ = "5";
    TimeFilter timeFilter_ = TimeFilter::AllTime;
    ExportOption exportOption_ = ExportOption::Spreadsheet;
    QString path_;

    // Written by workers; the widgets follow.
    Text status_;
    bool collectEnabled_ = true;
    TextArray regionItems_;
    std::optional<std::size_t> regionSelection_;
    std::uint64_t regionVersion_ = 0;
    Pending pending_;

    std::shared_ptr<ResultRows> rows_;  // has its own lock; shared with the table model
};

// GBK text <-> the window's strings.
QString GbkToQString(const Text& text);
Text QStringToGbk(const QString& text);

}  // namespace tollenby
