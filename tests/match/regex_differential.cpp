// Differential test of RegexMatcher against V8's ECMAScript engine (node): random cases from a fixed
// seed run through both, and the match count, every match's span and every group's span must agree.
// Both engines see the same pattern and subject: the texts as they come back from GBK, since that is
// all RegexMatcher ever sees (an emoji reaches it as "?"). Spans are compared in UTF-16 units, which
// for those texts are characters.
//
//   regex_differential --node node --oracle regex_oracle.js [--cases 5000] [--seed 1] [--show 20]
//                      [--all-constructs]
//
// --all-constructs also repeats groups that can match empty or that capture, where the two engines
// differ by design (CONTRIBUTING.md says why no page pattern can meet that).
// Exit status 0 when every case agrees.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "match/regex_matcher.h"
#include "tests/match/regex_case_generator.h"
#include "text/encoding.h"

namespace {

using namespace tollenby;
using tollenby::testing::RegexCase;

struct Options {
    std::string node = "node";
    std::string oracle;
    long cases = 5000;
    unsigned long long seed = 1;
    long show = 20;
    bool allConstructs = false;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options o;
    for (int a = 1; a < argc; a += 2) {
        std::string key = argv[a];
        if (key == "--all-constructs") {
            o.allConstructs = true;
            --a;
            continue;
        }
        if (a + 1 >= argc) return std::nullopt;
        std::string value = argv[a + 1];
        if (key == "--node") {
            o.node = value;
        } else if (key == "--oracle") {
            o.oracle = value;
        } else if (key == "--cases") {
            o.cases = std::stol(value);
        } else if (key == "--seed") {
            o.seed = std::stoull(value);
        } else if (key == "--show") {
            o.show = std::stol(value);
        } else {
            return std::nullopt;
        }
    }
    if (o.oracle.empty()) return std::nullopt;
    return o;
}

std::string Hex(std::u16string_view units) {
    std::string out;
    char buffer[5];
    for (char16_t u : units) {
        std::snprintf(buffer, sizeof buffer, "%04X", static_cast<unsigned>(u));
        out += buffer;
    }
    return out;
}

// A readable form of a text for the report: printable ASCII as it is, everything else escaped.
std::string Shown(std::u16string_view units) {
    std::string out;
    char buffer[8];
    for (char16_t u : units) {
        if (u == '\r') {
            out += "<CR>";
        } else if (u == '\n') {
            out += "<LF>";
        } else if (u >= 0x20 && u < 0x7F) {
            out += static_cast<char>(u);
        } else {
            std::snprintf(buffer, sizeof buffer, "<%04X>", static_cast<unsigned>(u));
            out += buffer;
        }
    }
    return out;
}

std::string Flags(const RegexCase& c) {
    std::string flags =
        std::string(c.ignoreCase ? "i" : "") + (c.multiline ? "m" : "") + (c.global ? "g" : "");
    return flags.empty() ? "-" : flags;
}

// What both engines are given: the text as it comes back from GBK.
std::u16string ThroughGbk(std::u16string_view text) {
    return GbkToUtf16(Utf16ToGbk(text));
}

// RegexMatcher's answer in the oracle's notation.
std::string MatcherResult(const RegexCase& c) {
    RegexMatcher m;
    if (!m.Search(Utf16ToGbk(c.pattern), Utf16ToGbk(c.subject), !c.ignoreCase, c.multiline, c.global))
        return "E";
    std::string out;
    for (int k = 1; k <= m.MatchCount(); ++k) {
        if (k > 1) out += '|';
        for (int g = 0; g <= m.SubmatchCount(); ++g) {
            std::optional<CharSpan> span = m.SubmatchSpan(k, g);
            if (g > 0) out += ',';
            out += span ? std::to_string(span->begin) + "," + std::to_string(span->end) : "-1,-1";
        }
    }
    return out;
}

std::optional<std::vector<std::string>> OracleResults(const Options& o, const std::vector<RegexCase>& cases) {
    const std::filesystem::path input =
        std::filesystem::temp_directory_path() / ("tollenby_regex_cases_" + std::to_string(::getpid()));
    {
        std::ofstream file(input, std::ios::binary);
        for (const RegexCase& c : cases)
            file << Flags(c) << '\t' << Hex(c.pattern) << '\t' << Hex(c.subject) << '\n';
    }
    const std::string command = "\"" + o.node + "\" \"" + o.oracle + "\" \"" + input.string() + "\"";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return std::nullopt;
    std::string all;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) all.append(buffer, n);
    int status = ::pclose(pipe.release());
    std::filesystem::remove(input);
    if (status != 0) return std::nullopt;
    std::vector<std::string> lines;
    std::istringstream stream(all);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    if (lines.size() != cases.size()) return std::nullopt;
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::cerr
            << "usage: regex_differential --oracle regex_oracle.js [--node node] [--cases N] [--seed S] "
               "[--show N] [--all-constructs]\n";
        return 2;
    }
    tollenby::testing::RegexCaseGenerator generator(options->seed, options->allConstructs);
    std::vector<RegexCase> cases;
    for (long n = 0; n < options->cases; ++n) {
        RegexCase c = generator.Next();
        c.pattern = ThroughGbk(c.pattern);
        c.subject = ThroughGbk(c.subject);
        cases.push_back(std::move(c));
    }
    std::optional<std::vector<std::string>> expected = OracleResults(*options, cases);
    if (!expected) {
        std::cerr << "the ECMAScript engine could not be run: " << options->node << " " << options->oracle
                  << "\n";
        return 2;
    }
    long divergences = 0;
    long rejected = 0;
    long matched = 0;
    for (std::size_t n = 0; n < cases.size(); ++n) {
        const std::string& want = (*expected)[n];
        std::string got = MatcherResult(cases[n]);
        rejected += want == "E";
        matched += !want.empty() && want != "E";
        if (got == want) continue;
        if (++divergences <= options->show) {
            std::cout << "case " << n << " /" << Shown(cases[n].pattern) << "/" << Flags(cases[n]) << " on \""
                      << Shown(cases[n].subject) << "\"\n  ECMAScript:    " << want
                      << "\n  RegexMatcher:  " << got << "\n";
        }
    }
    std::cout << cases.size() << " cases (seed " << options->seed << "): " << matched << " with matches, "
              << rejected << " patterns rejected, " << divergences << " divergences\n";
    return divergences == 0 ? 0 : 1;
}
