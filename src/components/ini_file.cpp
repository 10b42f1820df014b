#include "components/ini_file.h"

#include "core/error.h"
#include "core/int_text.h"

namespace kwp {

IniFile::IniFile(platform::Platform& platform, std::string fileName)
    : platform_(platform), fileName_(std::move(fileName)) {}

std::string IniFile::ReadString(const std::string& section, const std::string& key, const std::string& fallback) {
    return platform_.ProfileRead(fileName_, section, key, fallback);
}

int32_t IniFile::ReadInteger(const std::string& section, const std::string& key, int32_t fallback) {
    return core::TryParseInt(ReadString(section, key, "")).value_or(fallback);
}

void IniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    if (!platform_.ProfileWrite(fileName_, section, key, value))
        throw core::Error(core::FillTemplate("Unable to write to %s", {fileName_}));
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

}  // namespace kwp
