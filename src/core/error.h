#pragma once
// Errors carry the system's own text (UTF-8). Handlers let them travel; the
// platform's event dispatch shows them in the default error report.
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kwp::core {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Fills the "%s" / "%d" placeholders of a message template, in order.
std::string FillTemplate(std::string_view pattern, std::initializer_list<std::string_view> values);

// The text the default error report shows: a full stop is appended unless the
// text is empty or its last byte is "." or sorts before ".".
std::string ErrorReportText(std::string_view message);

}  // namespace kwp::core
