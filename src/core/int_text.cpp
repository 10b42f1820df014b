#include "core/int_text.h"

#include "core/error.h"

namespace kwp::core {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The length of the hexadecimal prefix at the start of `digits`, or 0.
size_t HexPrefixLength(std::string_view digits) {
    if (digits.starts_with('$') || digits.starts_with('x') || digits.starts_with('X')) return 1;
    if (digits.starts_with("0x") || digits.starts_with("0X")) return 2;
    return 0;
}

std::optional<uint32_t> ParseHex(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    uint32_t value = 0;
    int significant = 0;
    for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        if (significant > 0 || d != 0) ++significant;
        if (significant > 8) return std::nullopt;
        value = (value << 4) | static_cast<uint32_t>(d);
    }
    return value;
}

// The magnitude of a decimal number, or nothing when a digit is missing or the
// magnitude passes 2^31 (the largest any signed 32-bit value needs).
std::optional<uint32_t> ParseDecimalMagnitude(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    constexpr uint32_t kLimit = 0x80000000u;
    uint32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        uint32_t d = static_cast<uint32_t>(c - '0');
        if (value > (kLimit - d) / 10) return std::nullopt;
        value = value * 10 + d;
    }
    return value;
}

}  // namespace

std::optional<int32_t> TryParseInt(std::string_view text) {
    std::string_view rest = text;
    while (rest.starts_with(' ')) rest.remove_prefix(1);

    bool negative = false;
    if (rest.starts_with('+') || rest.starts_with('-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }

    if (size_t prefix = HexPrefixLength(rest)) {
        std::optional<uint32_t> bits = ParseHex(rest.substr(prefix));
        if (!bits) return std::nullopt;
        uint32_t value = negative ? 0u - *bits : *bits;  // modulo 2^32
        return static_cast<int32_t>(value);
    }

    std::optional<uint32_t> magnitude = ParseDecimalMagnitude(rest);
    if (!magnitude) return std::nullopt;
    if (negative) return static_cast<int32_t>(0u - *magnitude);
    if (*magnitude > 0x7FFFFFFFu) return std::nullopt;
    return static_cast<int32_t>(*magnitude);
}

int32_t ParseInt(std::string_view text) {
    if (std::optional<int32_t> value = TryParseInt(text)) return *value;
    throw Error(FillTemplate(kInvalidIntegerText, {text}));
}

}  // namespace kwp::core
