#pragma once
// The INI-file object of the settings: a file name and four operations over the
// platform's private-profile functions. It keeps no copy of the file: every
// read sees the file's current content, every write is done when it returns.
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kwp {

class IniFile {
public:
    // Touches no file and cannot fail.
    IniFile(platform::Platform& platform, std::string fileName);

    const std::string& FileName() const { return fileName_; }

    std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback);
    // A missing key and a value that is not an integer both give `fallback`.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback);
    // Throws core::Error("Unable to write to <file name>") when the write fails.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);

private:
    platform::Platform& platform_;
    std::string fileName_;
};

}  // namespace kwp
