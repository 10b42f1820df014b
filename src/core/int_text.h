#pragma once
// The integer text rule: how every text of the program becomes a number.
//   leading spaces (the space character only) are skipped; then at most one
//   sign; then decimal digits in -2147483648..2147483647, or after "$", "x",
//   "X", "0x" or "0X" hexadecimal digits of either case, at most 8 significant
//   ones, whose 32-bit pattern is the value ("-" negates it modulo 2^32).
//   Nothing may follow the digits, not even a space.
#include <cstdint>
#include <optional>
#include <string_view>

namespace kwp::core {

inline constexpr std::string_view kInvalidIntegerText = "'%s' is not a valid integer value";

// The value, or nothing when the text breaks the rule.
std::optional<int32_t> TryParseInt(std::string_view text);

// The value; throws Error("'<text>' is not a valid integer value") when the
// text breaks the rule.
int32_t ParseInt(std::string_view text);

}  // namespace kwp::core
