// The keywords of a command-line run: the arguments first, then the lines of each keyword file, all
// decoded as a file dropped on the window is (byte-order marks, UTF-8, else GBK), then put into the
// keyword box's form.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_options.h"
#include "text/gbk_text.h"

namespace tollenby::cli {

// The keywords (UTF-8) in decoded text with LF line ends: one per line; a last line counts only when it
// is not empty, as in the keyword box.
std::vector<std::string> KeywordLines(std::string_view decoded);

// One argument's keywords: an empty argument is one empty keyword; an argument holding line ends is one
// keyword per line.
std::vector<std::string> ArgumentKeywords(std::string_view argument);

// The keyword box's text: each keyword as GBK, each ended by CR LF (so an empty last one still counts).
Text KeywordBoxText(const std::vector<std::string>& keywords);

struct GatheredKeywords {
    std::vector<std::string> keywords;  // UTF-8
    std::string error;                  // a file that could not be read, in Chinese; empty when all were
};

// Arguments, then every -k file in order ("-" reads `standardInput` to its end).
GatheredKeywords GatherKeywords(const CliOptions& options, std::FILE* standardInput);

}  // namespace tollenby::cli
