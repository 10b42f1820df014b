#pragma once
#include <string>
#include <string_view>

namespace kwp::core {

// Removes every occurrence of the five-character filler token, always looking
// again from the start, until the token no longer occurs.
std::string RestoreScrambledAddress(std::string_view scrambled, std::string_view filler);

}  // namespace kwp::core
