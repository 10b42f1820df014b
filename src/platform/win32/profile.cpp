#include "platform/win32/profile.h"

#include "core/ini_text.h"
#include "platform/win32/win32.h"

namespace kwp::platform::win32 {

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& fallback) {
    // 2048 bytes with the terminating zero: a longer value is cut to 2047.
    char buffer[2048];
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer,
                                                  sizeof buffer, file.c_str());
    return std::string(buffer, length);
}

bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    // The system trims blanks from values it reads back; quoted as the Linux
    // program writes them, " 50" reads back as " 50" on both.
    const std::string written = core::IniValueAsWritten(value);
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), written.c_str(), file.c_str()) != FALSE;
}

}  // namespace kwp::platform::win32
