#include "tests/export/table_readback.h"

#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <sstream>

namespace tollenby::testing {
namespace {

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

TableCell ParseCell(const std::string& field) {
    TableCell cell;
    std::size_t first = field.find('|');
    std::size_t second = field.find('|', first + 1);
    cell.type = field.substr(0, first);
    cell.format = field.substr(first + 1, second - first - 1);
    cell.text = FromHex(field.substr(second + 1));
    return cell;
}

}  // namespace

ReadTable ReadTableBack(const std::string& format, const std::string& path) {
    ReadTable table;
    const std::string command =
        // Debian's own interpreter, which the python3-openpyxl package serves.
        "/usr/bin/python3 " TOLLENBY_SOURCE_DIR "/tests/export/read_table.py " + format + " '" + path + "'";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return table;
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) table.output.append(buffer, got);
    int status = ::pclose(pipe);
    table.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;

    std::istringstream lines(table.output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string tag;
        words >> tag;
        std::string rest;
        std::getline(words, rest);
        if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        if (tag == "bom") {
            table.byteOrderMark = rest == "yes";
        } else if (tag == "keys") {
            table.keys.push_back(rest);
        } else if (tag == "sheet") {
            table.sheets.push_back({rest, {}});
        } else if (tag == "row" && !table.sheets.empty()) {
            std::vector<TableCell> row;
            std::istringstream fields(rest);
            std::string field;
            while (fields >> field) row.push_back(ParseCell(field));
            table.sheets.back().rows.push_back(std::move(row));
        }
    }
    return table;
}

}  // namespace tollenby::testing
