#include "cli/progress_view.h"

#include "text/encoding.h"

namespace tollenby::cli {

std::string ProgressLine(const std::string& status, const RunProgress& progress, const Failures& failures,
                         std::chrono::seconds elapsed) {
    const long long seconds = elapsed.count();
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02lld:%02lld", seconds / 60, seconds % 60);
    std::string line = status;
    line += " | 结果 " + std::to_string(progress.rows);
    if (progress.detailPhase) {
        line += " | 详细 " + std::to_string(progress.detailsDone) + "/" + std::to_string(progress.rows);
    }
    line += " | 失败 " + std::to_string(failures.Total());
    line += " | ";
    line += clock;
    return line;
}

ProgressView::ProgressView(std::FILE* out, ProgressMode mode) : out_(out), mode_(mode) {}

void ProgressView::Status(const Text& status) {
    std::string utf8 = AnsiToUtf8(status);
    std::lock_guard guard(lock_);
    if (mode_ == ProgressMode::Lines) {
        std::fprintf(out_, "%s\n", utf8.c_str());
        std::fflush(out_);
    }
    lastStatus_ = std::move(utf8);
}

void ProgressView::Activity(const Text& text) {
    std::string utf8 = AnsiToUtf8(text);
    std::lock_guard guard(lock_);
    lastStatus_ = std::move(utf8);
}

void ProgressView::Tick(const RunProgress& progress, const Failures& failures) {
    if (mode_ != ProgressMode::Terminal) return;
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_);
    std::lock_guard guard(lock_);
    // Carriage return, the line, then erase whatever an older, longer line left to its right.
    std::fprintf(out_, "\r%s\x1b[K", ProgressLine(lastStatus_, progress, failures, elapsed).c_str());
    std::fflush(out_);
    lineShowing_ = true;
}

void ProgressView::Line(const std::string& utf8) {
    if (mode_ == ProgressMode::Quiet) return;
    std::lock_guard guard(lock_);
    ClearLineLocked();
    std::fprintf(out_, "%s\n", utf8.c_str());
    std::fflush(out_);
}

void ProgressView::Error(const std::string& utf8) {
    std::lock_guard guard(lock_);
    ClearLineLocked();
    std::fprintf(out_, "%s\n", utf8.c_str());
    std::fflush(out_);
}

void ProgressView::Finish() {
    if (mode_ != ProgressMode::Terminal) return;
    std::lock_guard guard(lock_);
    ClearLineLocked();
    if (!lastStatus_.empty()) std::fprintf(out_, "%s\n", lastStatus_.c_str());
    std::fflush(out_);
}

void ProgressView::ClearLineLocked() {
    if (!lineShowing_) return;
    std::fputs("\r\x1b[K", out_);
    lineShowing_ = false;
}

}  // namespace tollenby::cli
