// What the user can do with ResultList's rows: copy them (Ctrl+C and the context menu's "复制") and
// open a row's detail page in the browser (the context menu's "打开详情页" and a double-click).
//
// The context menu shows the view's own actions in the order they were added, so further items are
// added with QTableView::addAction and appear after these; an action that must not be offered at
// the moment hides itself with setVisible(false). Each action's enabled state is refreshed just
// before the menu opens. GUI thread only.
#pragma once

#include <QAction>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <vector>

class QTableView;

namespace tollenby {

class ResultTableActions : public QObject {
    Q_OBJECT

  public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    explicit ResultTableActions(QTableView& view);

    QAction& CopyAction() { return copy_; }
    QAction& OpenAction() { return open_; }
    // Tests hand in their own opener so no browser starts. By default the desktop's browser.
    void SetUrlOpener(UrlOpener opener) { opener_ = std::move(opener); }

    // The selected rows in table order, each with all twelve columns.
    std::vector<int> SelectedRows() const;
    QString SelectedRowsText() const;

  public slots:
    void CopySelectedRows();
    // Opens the detail page of the current row (the one last clicked).
    void OpenCurrentDetailPage();
    void OpenDetailPage(int row);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void RefreshEnabled();
    void ShowMenu(const QPoint& position);

    QTableView& view_;
    QAction copy_;
    QAction open_;
    UrlOpener opener_;
};

// The address a row's detail page can be opened at: only http and https addresses, so that a text
// from the site cannot start some other program. Empty when the text is no such address.
QUrl DetailPageAddress(const QString& text);

}  // namespace tollenby
