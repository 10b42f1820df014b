#pragma once
// The settings-file codec: INI text as bytes in, bytes out. Used where the
// system has no private-profile functions of its own (Linux, headless); the
// Windows program uses the system's functions, which follow the same rules.
// The rules for the finer points are written at the top of ini_text.cpp.
#include <optional>
#include <string>
#include <string_view>

namespace kwp::core {

// At most this many bytes of a value are returned (a 2048-byte buffer with its
// terminating zero).
inline constexpr size_t kMaxProfileValue = 2047;

// A value as it is written to the file so that a read gives it back: line
// breaks become spaces, and a value with a blank at an end (or one that is
// itself enclosed in quotes) is put inside double quotes. The Windows program
// writes its values through this too, so both systems write the same bytes.
std::string IniValueAsWritten(std::string_view value);

// The value of `key` in `section` (section names match without regard to ASCII
// case), with one pair of enclosing quotes removed and cut to 2047 bytes; or
// nothing when the section or key is missing.
std::optional<std::string> IniLookup(std::string_view file, std::string_view section, std::string_view key);

// The file with `key` in `section` set to `value`: the section is appended when
// missing, the key added at the end of its section when missing, an existing
// value replaced. Every other line is kept as it was. New lines end in CR LF.
// A value that a read would change (a blank at either end, or a pair of
// enclosing quotes) is written inside double quotes, so it reads back as given.
std::string IniStore(std::string_view file, std::string_view section, std::string_view key, std::string_view value);

}  // namespace kwp::core
