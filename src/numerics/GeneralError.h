#pragma once
#include <stdexcept>
#include <string>

namespace ksn {

// The system's general error: one exception type carrying the message text. Conditions
// that must stop the current action throw it; the front end shows the text.
class EGeneralError : public std::runtime_error {
public:
    explicit EGeneralError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace ksn
