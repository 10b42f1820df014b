#include "core/ini_gbk.h"

#include "core/gbk.h"
#include "core/ini_text.h"

namespace kwp::core {

std::optional<std::string> IniLookupUtf8(std::string_view file, std::string_view section, std::string_view key) {
    std::optional<std::string> value = IniLookup(file, section, key);
    if (!value) return std::nullopt;
    return GbkToUtf8(*value);
}

std::string IniStoreUtf8(std::string_view file, std::string_view section, std::string_view key,
                         std::string_view value) {
    return IniStore(file, section, key, Utf8ToGbk(value));
}

}  // namespace kwp::core
