#include "app/rows_tsv.h"

namespace tollenby {

namespace {

bool NeedsQuotes(const QString& cell) {
    return cell.startsWith(QLatin1Char('"')) || cell.contains(QLatin1Char('\t')) ||
           cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r'));
}

QString TsvCell(const QString& cell) {
    if (!NeedsQuotes(cell)) return cell;
    QString quoted = cell;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

QString RowsAsTsv(const std::vector<QStringList>& rows) {
    QString text;
    for (const QStringList& row : rows) {
        for (qsizetype column = 0; column < row.size(); ++column) {
            if (column > 0) text += QLatin1Char('\t');
            text += TsvCell(row[column]);
        }
        text += QLatin1Char('\n');
    }
    return text;
}

}  // namespace tollenby
