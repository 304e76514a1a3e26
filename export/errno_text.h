// The system's text for an errno value, for the messages of a file that could not be written.
#pragma once

#include <string>

namespace tollenby {

std::string ErrnoText(int error);

}  // namespace tollenby
