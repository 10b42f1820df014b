#pragma once
// Whole-file reads and atomic whole-file replacement, for the desktop
// backends. Paths are UTF-8.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kwp::core {

using Bytes = std::vector<uint8_t>;

inline constexpr std::string_view kCannotOpenFile = "Cannot open file \"%s\". %s";
inline constexpr std::string_view kCannotCreateFile = "Cannot create file \"%s\". %s";

// The file's bytes; throws Error("Cannot open file "<path>". <reason>").
Bytes ReadWholeFile(const std::string& path);

// The file's bytes, or nothing when it does not exist or cannot be read.
std::optional<Bytes> TryReadWholeFile(const std::string& path);

// Receives the new file's bytes in order.
class FileSink {
public:
    virtual void Write(const void* data, size_t size) = 0;

protected:
    ~FileSink() = default;
};

enum class Durability { Flushed, Unflushed };  // Flushed: fsync the data before the rename

// Creates the replacement, hands it to `fill`, then puts it in place
// atomically; throws Error("Cannot create file "<path>". <reason>") like
// ReplaceWholeFile. If `fill` throws, nothing changes.
void ReplaceFileWith(const std::string& path, Durability durability, const std::function<void(FileSink&)>& fill);

// = ReplaceFileWith(path, Durability::Flushed, write `bytes`).
// Writes `bytes` to a temporary file in the same folder, flushes it to disk,
// then renames it over `path`: a crash or a full disk leaves either the old
// file or the new one, never a torn one. An existing file's permission bits
// are kept; an existing file that may not be written is left alone and
// refused; a symbolic link is followed and the file it points to replaced.
// Throws Error("Cannot create file "<path>". <reason>").
void ReplaceWholeFile(const std::string& path, const Bytes& bytes);

}  // namespace kwp::core
