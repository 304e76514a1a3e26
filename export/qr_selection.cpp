#include "export/qr_selection.h"

#include <optional>
#include <string>

#include "collect/collect_texts.h"
#include "collect/result_rows.h"
#include "export/download_texts.h"

namespace tollenby {

std::vector<QrRowTexts> QrRowsOf(const ResultRows& rows) {
    const std::size_t count = rows.Count();
    std::vector<QrRowTexts> snapshot;
    snapshot.reserve(count);
    for (std::size_t position = 0; position < count; ++position) {
        std::optional<RowCells> cells = rows.Cells(rows.IdAt(position));
        if (!cells) continue;
        snapshot.push_back({std::move((*cells)[kColumnSource]), std::move((*cells)[kColumnRegion]),
                            std::move((*cells)[kColumnQrImage]), std::move((*cells)[kColumnId]),
                            std::move((*cells)[kColumnTitle])});
    }
    return snapshot;
}

bool QrRowPasses(ExportOption option, const QrRowTexts& row, std::string_view selectedRegion) {
    // An empty address is no link: nothing to fetch (a row not read yet, or one that failed).
    if (row.qrImage.empty()) return false;
    const bool present = !TextContains(row.qrImage, kDeletedMarker);
    switch (option) {
        case ExportOption::AllQrCodes:
            return present;
        case ExportOption::GroupQrCodes:
            return present && TextContains(row.source, kGroupSourceSign);
        case ExportOption::PersonalQrCodes:
            return present && TextContains(row.source, kPersonalSourceSign);
        case ExportOption::ByRegion:
            return row.region == selectedRegion;
        case ExportOption::Spreadsheet:
            break;
    }
    return false;
}

TextArray SelectQrAddresses(ExportOption option, std::string_view selectedRegion,
                            const std::vector<QrRowTexts>& rows) {
    TextArray addresses;
    for (const QrRowTexts& row : rows) {
        if (QrRowPasses(option, row, selectedRegion)) addresses.push_back(row.qrImage);
    }
    return addresses;
}

std::vector<QrRowTexts> SelectQrRows(ExportOption option, std::string_view selectedRegion,
                                     const std::vector<QrRowTexts>& rows) {
    std::vector<QrRowTexts> passing;
    for (const QrRowTexts& row : rows) {
        if (QrRowPasses(option, row, selectedRegion)) passing.push_back(row);
    }
    return passing;
}

Text UrlCountLabel(std::size_t count) {
    Text label(kUrlCountBefore);
    label += std::to_string(count);
    label += kUrlCountAfter;
    return label;
}

}  // namespace tollenby
