#pragma once
// The settings file through the system's private-profile functions. Section
// and key are the file's bytes, passed through unchanged; values are UTF-8
// here and GBK (code page 936) in the file. A bare file name means the
// Windows directory.
#include <string>

namespace kwp::platform::win32 {

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& fallback);
bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value);

}  // namespace kwp::platform::win32
