// The texts of -h and -V.
#pragma once

#include <string>

namespace tollenby::cli {

std::string HelpText();     // UTF-8, grouped, in Chinese with the option names in English
std::string VersionText();  // "tollenby-cli <version>"

}  // namespace tollenby::cli
