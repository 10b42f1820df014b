#pragma once
// The settings file as the program sees it where core reads and writes it
// (Linux, headless): section and key names are the file's own bytes, values
// are the program's UTF-8 text, held in the file as GBK (code page 936) as
// the Windows program holds them.
#include <optional>
#include <string>
#include <string_view>

namespace kwp::core {

// IniLookup, with the value converted from GBK to UTF-8 (see GbkToUtf8).
std::optional<std::string> IniLookupUtf8(std::string_view file, std::string_view section, std::string_view key);

// IniStore of a UTF-8 value, written as GBK (see Utf8ToGbk).
std::string IniStoreUtf8(std::string_view file, std::string_view section, std::string_view key,
                         std::string_view value);

}  // namespace kwp::core
