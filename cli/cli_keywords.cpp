#include "cli/cli_keywords.h"

#include <cerrno>
#include <cstring>

#include "text/encoding.h"
#include "text/keyword_text.h"

namespace tollenby::cli {
namespace {

bool ReadWhole(std::FILE* file, std::string& bytes) {
    char buffer[65536];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, got);
    return !std::ferror(file);
}

}  // namespace

std::vector<std::string> KeywordLines(std::string_view decoded) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < decoded.size()) {
        std::size_t end = decoded.find('\n', start);
        if (end == std::string_view::npos) end = decoded.size();
        lines.emplace_back(decoded.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> ArgumentKeywords(std::string_view argument) {
    if (argument.empty()) return {std::string()};
    return KeywordLines(DecodeKeywordBytes(argument));
}

Text KeywordBoxText(const std::vector<std::string>& keywords) {
    Text box;
    for (const std::string& keyword : keywords) {
        box += Utf8ToLocal(keyword);
        box += "\r\n";
    }
    return box;
}

GatheredKeywords GatherKeywords(const CliOptions& options, std::FILE* standardInput) {
    GatheredKeywords gathered;
    for (const std::string& argument : options.keywords) {
        for (std::string& keyword : ArgumentKeywords(argument))
            gathered.keywords.push_back(std::move(keyword));
    }
    for (const std::string& path : options.keywordFiles) {
        std::string bytes;
        if (path == "-") {
            if (!ReadWhole(standardInput, bytes)) {
                gathered.error = "无法读取标准输入：" + std::string(std::strerror(errno));
                return gathered;
            }
        } else {
            std::FILE* file = std::fopen(path.c_str(), "rb");
            if (!file) {
                gathered.error = "无法读取关键词文件 " + path + "：" + std::strerror(errno);
                return gathered;
            }
            const bool read = ReadWhole(file, bytes);
            const int error = errno;
            std::fclose(file);
            if (!read) {
                gathered.error = "无法读取关键词文件 " + path + "：" + std::strerror(error);
                return gathered;
            }
        }
        for (std::string& keyword : KeywordLines(DecodeKeywordBytes(bytes))) {
            gathered.keywords.push_back(std::move(keyword));
        }
    }
    return gathered;
}

}  // namespace tollenby::cli
