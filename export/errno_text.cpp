#include "export/errno_text.h"

#include <system_error>

namespace tollenby {

std::string ErrnoText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

}  // namespace tollenby
