// The outcome of writing a file: success, or the reason it failed in words the user can read.
#pragma once

#include <string>
#include <utility>

namespace tollenby {

struct WriteResult {
    bool ok = false;
    std::string reason;  // UTF-8; empty on success

    static WriteResult Success() { return {true, {}}; }
    static WriteResult Failure(std::string reason) { return {false, std::move(reason)}; }
    explicit operator bool() const { return ok; }
};

}  // namespace tollenby
