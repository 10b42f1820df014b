#pragma once
// The settings file on Linux: one file in $XDG_CONFIG_HOME (~/.config when
// unset), read and written by the core INI codec and replaced atomically.
// A file that is not a regular one, or is over 1 MiB, counts as unreadable:
// the defaults are read and every write fails.
#include <string>

namespace kwp::qt {

// The folder that holds the settings file.
std::string ConfigFolder();

class ProfileStore {
public:
    // The value, or `fallback` when the file, section or key is missing.
    std::string Read(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& fallback) const;
    // False when the file could not be written (nothing changed then).
    bool Write(const std::string& file, const std::string& section, const std::string& key,
               const std::string& value) const;

private:
    static std::string PathOf(const std::string& file);
};

}  // namespace kwp::qt
