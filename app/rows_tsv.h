// Rows as tab-separated text, the form spreadsheets and text editors take from the clipboard.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace tollenby {

// One line per row, cells separated by tabs, every line ended by LF. A cell holding a tab, a line
// break or a leading double quote is put in double quotes with its own quotes doubled, as spreadsheets
// write and read it, so its row keeps its shape when pasted.
QString RowsAsTsv(const std::vector<QStringList>& rows);

}  // namespace tollenby
