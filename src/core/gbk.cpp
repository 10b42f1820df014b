#include "core/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>

#include "core/error.h"

namespace kwp::core {
namespace {

// Windows' code page 936; glibc maps 0x80 to the euro sign as Windows does.
constexpr const char* kGbk = "CP936";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {
        if (handle_ == reinterpret_cast<iconv_t>(-1))
            throw Error(std::string("No text conversion from ") + from + " to " + to);
    }
    ~Converter() { iconv_close(handle_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much of `in` as it can, appending to `out`; `in` is left at
    // the first byte that could not be converted. False when it stopped there
    // (an invalid or cut-off sequence), true when everything was converted.
    bool Convert(std::string_view& in, std::string& out) {
        char buffer[1024];
        while (!in.empty()) {
            char* source = const_cast<char*>(in.data());
            size_t sourceLeft = in.size();
            char* target = buffer;
            size_t targetLeft = sizeof buffer;
            const size_t result = iconv(handle_, &source, &sourceLeft, &target, &targetLeft);
            const int error = errno;
            out.append(buffer, size_t(target - buffer));
            in.remove_prefix(in.size() - sourceLeft);
            if (result != size_t(-1)) continue;
            if (error == E2BIG) continue;
            iconv(handle_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
            return false;
        }
        return true;
    }

private:
    iconv_t handle_;
};

// The length of the UTF-8 sequence at the start of `s` and whether it needs a
// surrogate pair in UTF-16; 0 when it is not a valid sequence.
struct Utf8Sequence {
    size_t length = 0;
    bool supplementary = false;
};

Utf8Sequence SequenceAt(std::string_view s) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(s[i]); };
    const uint8_t lead = byte(0);
    size_t length;
    uint32_t code;
    if (lead < 0x80) return {1, false};
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07;
    else return {};
    if (s.size() < length) return {};
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return {};
        code = code << 6 | (byte(i) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    if (overlong || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
    return {length, code >= 0x10000};
}

// ASCII is the same in both, so the usual settings need no converter.
bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<uint8_t>(c) >= 0x80) return false;
    return true;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
    if (IsAscii(gbk)) return std::string(gbk);
    Converter converter("UTF-8", kGbk);
    std::string out;
    out.reserve(gbk.size() * 3 / 2);
    while (!converter.Convert(gbk, out)) {
        out += kReplacement;
        gbk.remove_prefix(1);
    }
    return out;
}

std::string Utf8ToGbk(std::string_view utf8) {
    if (IsAscii(utf8)) return std::string(utf8);
    Converter converter(kGbk, "UTF-8");
    std::string out;
    out.reserve(utf8.size());
    while (!converter.Convert(utf8, out)) {
        const Utf8Sequence sequence = SequenceAt(utf8);
        if (sequence.length == 0) {
            out += '?';
            utf8.remove_prefix(1);
        } else {
            out += sequence.supplementary ? "??" : "?";
            utf8.remove_prefix(sequence.length);
        }
    }
    return out;
}

}  // namespace kwp::core
