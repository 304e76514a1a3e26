#include "cli/cli_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#include "collect/search_phase.h"

namespace tollenby::cli {
namespace {

enum class Key {
    Keywords,
    Pages,
    Threads,
    Since,
    Output,
    Format,
    Images,
    Host,
    Retries,
    Proxy,
    CsvNoBom,
    Quiet,
    Help,
    Version
};

struct OptionRule {
    Key key;
    char shortName;  // 0 when none
    std::string_view longName;
    bool takesValue;
};

constexpr OptionRule kOptionRules[] = {
    {Key::Keywords, 'k', "keywords", true},  {Key::Pages, 'p', "pages", true},
    {Key::Threads, 't', "threads", true},    {Key::Since, 's', "since", true},
    {Key::Output, 'o', "output", true},      {Key::Format, 'f', "format", true},
    {Key::Images, 'i', "images", true},      {Key::Host, 0, "host", true},
    {Key::Retries, 0, "retries", true},      {Key::Proxy, 0, "proxy", true},
    {Key::CsvNoBom, 0, "csv-no-bom", false}, {Key::Quiet, 'q', "quiet", false},
    {Key::Help, 'h', "help", false},         {Key::Version, 'V', "version", false},
};

const OptionRule* FindShort(char c) {
    for (const OptionRule& rule : kOptionRules)
        if (rule.shortName == c) return &rule;
    return nullptr;
}

const OptionRule* FindLong(std::string_view name) {
    for (const OptionRule& rule : kOptionRules)
        if (rule.longName == name) return &rule;
    return nullptr;
}

std::string Spelled(const OptionRule& rule) {
    return "--" + std::string(rule.longName);
}

// A whole decimal number, nothing else.
std::optional<int> WholeNumber(std::string_view text) {
    int value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Whether the page-count box would find a number at the start of the text.
bool HasLeadingInteger(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
    return pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]));
}

bool ValidHost(std::string_view host) {
    if (host.empty()) return false;
    return std::none_of(host.begin(), host.end(), [](char c) {
        return c == '/' || c == '?' || c == '#' || c == '@' || std::isspace(static_cast<unsigned char>(c));
    });
}

bool ValidProxy(std::string_view url) {
    constexpr std::string_view kSchemes[] = {"http://",    "https://",  "socks4://",
                                             "socks4a://", "socks5://", "socks5h://"};
    for (std::string_view scheme : kSchemes) {
        if (url.size() > scheme.size() && url.substr(0, scheme.size()) == scheme) return true;
    }
    return false;
}

// Applies one option with its value; returns the error text, empty when it was fine.
std::string Apply(const OptionRule& rule, const std::string& value, ParsedCommandLine& parsed) {
    CliOptions& o = parsed.options;
    const std::string name = Spelled(rule);
    switch (rule.key) {
        case Key::Keywords:
            if (value.empty()) return name + " 需要一个文件名（- 表示标准输入）";
            o.keywordFiles.push_back(value);
            return {};
        case Key::Pages:
            if (!HasLeadingInteger(value)) return name + " 需要一个整数，而不是 \"" + value + "\"";
            o.pagesText = value;
            return {};
        case Key::Threads: {
            std::optional<int> n = WholeNumber(value);
            if (!n || *n < 1 || *n > kMaxThreads) {
                return name + " 需要 1 到 " + std::to_string(kMaxThreads) + " 之间的整数，而不是 \"" + value +
                       "\"";
            }
            o.threads = *n;
            return {};
        }
        case Key::Since:
            if (value == "day")
                o.since = TimeFilter::OneDay;
            else if (value == "week")
                o.since = TimeFilter::OneWeek;
            else if (value == "month")
                o.since = TimeFilter::OneMonth;
            else if (value == "all")
                o.since = TimeFilter::AllTime;
            else
                return name + " 只能是 day、week、month 或 all，而不是 \"" + value + "\"";
            return {};
        case Key::Output:
            if (value.empty()) return name + " 需要一个文件夹（- 表示标准输出）";
            o.output = value;
            return {};
        case Key::Format: {
            std::optional<ExportFormat> format = ExportFormatNamed(value);
            if (!format) return name + " 只能是 xls、xlsx、csv 或 jsonl，而不是 \"" + value + "\"";
            if (std::find(o.formats.begin(), o.formats.end(), *format) == o.formats.end())
                o.formats.push_back(*format);
            return {};
        }
        case Key::Images:
            if (value == "all")
                o.images = ImageChoice{ExportOption::AllQrCodes, {}};
            else if (value == "group")
                o.images = ImageChoice{ExportOption::GroupQrCodes, {}};
            else if (value == "personal")
                o.images = ImageChoice{ExportOption::PersonalQrCodes, {}};
            else if (value.rfind("region=", 0) == 0)
                o.images = ImageChoice{ExportOption::ByRegion, value.substr(7)};
            else
                return name + " 只能是 all、group、personal 或 region=地区，而不是 \"" + value + "\"";
            return {};
        case Key::Host:
            if (!ValidHost(value)) return name + " 需要 主机[:端口]，而不是 \"" + value + "\"";
            o.host = value;
            return {};
        case Key::Retries: {
            std::optional<int> n = WholeNumber(value);
            if (!n || *n < 0 || *n > kMaxRetries) {
                return name + " 需要 0 到 " + std::to_string(kMaxRetries) + " 之间的整数，而不是 \"" + value +
                       "\"";
            }
            o.retries = *n;
            return {};
        }
        case Key::Proxy:
            if (!ValidProxy(value)) {
                return name + " 需要 http://、https://、socks5h:// 等开头的代理地址，而不是 \"" + value +
                       "\"";
            }
            o.proxy = value;
            return {};
        case Key::CsvNoBom:
            o.csvByteOrderMark = false;
            return {};
        case Key::Quiet:
            o.quiet = true;
            return {};
        case Key::Help:
            parsed.action = ParsedCommandLine::Action::Help;
            return {};
        case Key::Version:
            if (parsed.action != ParsedCommandLine::Action::Help)
                parsed.action = ParsedCommandLine::Action::Version;
            return {};
    }
    return {};
}

// The checks that look at the options together.
std::string CheckTogether(const CliOptions& o) {
    if (!o.ToStandardOutput()) return {};
    if (o.formats.size() != 1 ||
        (o.formats[0] != ExportFormat::Csv && o.formats[0] != ExportFormat::JsonLines)) {
        return "-o - 只能与一个文本格式一起使用：-f csv 或 -f jsonl";
    }
    if (o.images) return "-o - 写到标准输出，不能同时下载二维码图片（--images 需要一个文件夹）";
    return {};
}

ParsedCommandLine UsageError(std::string error) {
    ParsedCommandLine parsed;
    parsed.action = ParsedCommandLine::Action::UsageError;
    parsed.error = std::move(error);
    return parsed;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
    ParsedCommandLine parsed;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        // Keywords: everything after "--", a lone "-", and anything that does not start with "-".
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            parsed.options.keywords.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        // An option's value: attached to it, or else the next argument.
        auto valueAfter = [&](std::optional<std::string> attached) -> std::optional<std::string> {
            if (attached) return attached;
            if (i + 1 < arguments.size()) return arguments[++i];
            return std::nullopt;
        };
        if (argument[1] == '-') {
            std::string_view body = std::string_view(argument).substr(2);
            std::size_t equals = body.find('=');
            const std::string_view name = body.substr(0, equals);
            const OptionRule* rule = FindLong(name);
            if (!rule) {
                return UsageError("不认识的选项 \"--" + std::string(name) +
                                  "\"（以 - 开头的关键词请写在 -- 之后）");
            }
            std::optional<std::string> attached;
            if (equals != std::string_view::npos) attached = std::string(body.substr(equals + 1));
            if (!rule->takesValue) {
                if (attached) return UsageError(Spelled(*rule) + " 不带参数");
                if (std::string error = Apply(*rule, {}, parsed); !error.empty()) return UsageError(error);
                continue;
            }
            std::optional<std::string> value = valueAfter(attached);
            if (!value) return UsageError(Spelled(*rule) + " 缺少参数");
            if (std::string error = Apply(*rule, *value, parsed); !error.empty()) return UsageError(error);
            continue;
        }
        // A cluster of short options: "-q", "-qV", "-p3", "-p 3".
        for (std::size_t pos = 1; pos < argument.size(); ++pos) {
            const OptionRule* rule = FindShort(argument[pos]);
            if (!rule) {
                return UsageError("不认识的选项 \"-" + std::string(1, argument[pos]) +
                                  "\"（以 - 开头的关键词请写在 -- 之后）");
            }
            if (!rule->takesValue) {
                if (std::string error = Apply(*rule, {}, parsed); !error.empty()) return UsageError(error);
                continue;
            }
            std::optional<std::string> attached;
            if (pos + 1 < argument.size()) attached = argument.substr(pos + 1);
            std::optional<std::string> value = valueAfter(attached);
            if (!value) return UsageError("-" + std::string(1, rule->shortName) + " 缺少参数");
            if (std::string error = Apply(*rule, *value, parsed); !error.empty()) return UsageError(error);
            break;
        }
    }
    if (parsed.options.formats.empty()) parsed.options.formats.push_back(ExportFormat::Xls);
    if (parsed.action == ParsedCommandLine::Action::Run) {
        if (std::string error = CheckTogether(parsed.options); !error.empty()) return UsageError(error);
    }
    return parsed;
}

}  // namespace tollenby::cli
