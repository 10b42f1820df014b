#include "profile_store.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "core/error.h"
#include "core/file_io.h"
#include "core/ini_gbk.h"

namespace kwp::qt {

namespace {

// A settings file larger than this is taken as unreadable: it is no file this
// program wrote, and a link to an endless device must not be read forever.
constexpr size_t kMaxFileSize = 1024 * 1024;

std::string_view AsText(const core::Bytes& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// mkdir -p, folders made 0700 like the desktop makes ~/.config.
bool MakeFolders(const std::string& folder) {
    for (size_t slash = 1; slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

bool Exists(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

std::string ConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') return config;  // relative values are ignored, as XDG says
    const char* home = std::getenv("HOME");
    return std::string(home && home[0] ? home : "/") + "/.config";
}

std::string ProfileStore::PathOf(const std::string& file) { return ConfigFolder() + "/" + file; }

std::string ProfileStore::Read(const std::string& file, const std::string& section, const std::string& key,
                               const std::string& fallback) const {
    std::optional<core::Bytes> bytes = core::TryReadWholeFile(PathOf(file), kMaxFileSize);
    if (!bytes) return fallback;
    return core::IniLookupUtf8(AsText(*bytes), section, key).value_or(fallback);
}

bool ProfileStore::Write(const std::string& file, const std::string& section, const std::string& key,
                         const std::string& value) const {
    const std::string path = PathOf(file);
    std::optional<core::Bytes> old = core::TryReadWholeFile(path, kMaxFileSize);
    // A file that is there but cannot be read (or is too large, or is a FIFO
    // or a device) is not replaced by one that holds only this value.
    if (!old && Exists(path)) return false;
    const std::string text = core::IniStoreUtf8(old ? AsText(*old) : std::string_view{}, section, key, value);
    try {
        if (!MakeFolders(ConfigFolder())) return false;
        core::ReplaceWholeFile(path, core::Bytes(text.begin(), text.end()));
        return true;
    } catch (const core::Error&) {
        return false;
    }
}

}  // namespace kwp::qt
