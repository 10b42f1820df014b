#pragma once
// Whole-file reads and atomic whole-file replacement, for the desktop
// backends. Paths are UTF-8.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kwp::core {

using Bytes = std::vector<uint8_t>;

inline constexpr std::string_view kCannotOpenFile = "Cannot open file \"%s\". %s";
inline constexpr std::string_view kCannotCreateFile = "Cannot create file \"%s\". %s";
// The reason given for a FIFO, a device or a socket where a file should be.
inline constexpr std::string_view kNotRegularFile = "Not a regular file";

// The file's bytes; throws Error("Cannot open file "<path>". <reason>").
// Anything but a regular file is refused at once, never waited on.
Bytes ReadWholeFile(const std::string& path);

// The file's bytes, or nothing when it does not exist, cannot be read, is not
// a regular file or holds more than `maxSize` bytes.
std::optional<Bytes> TryReadWholeFile(const std::string& path, size_t maxSize);

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
//
// The bytes go to a file that has no name (Linux, where the file system
// allows) or a temporary one beside `path`, then take the name in one rename:
// a crash, a kill or a full disk leaves either the old file or the new one,
// never a torn one. The new file gets the old one's permission bits (and
// group, where the user may set it) before it holds a byte, so it is never
// readable by more people than the old one was; a new file gets 0666 less the
// umask. A file that may not be written, or is not a regular file, is left
// alone and refused. A symbolic link stays a link and the file it leads to is
// replaced, except that in a folder that is sticky and writable by all (as
// /tmp) a link is followed only when it belongs to the user or to the folder's
// owner, as the Linux kernel's protected_symlinks rule has it.
void ReplaceFileWith(const std::string& path, Durability durability, const std::function<void(FileSink&)>& fill);

// = ReplaceFileWith(path, Durability::Flushed, write `bytes`).
void ReplaceWholeFile(const std::string& path, const Bytes& bytes);

}  // namespace kwp::core
