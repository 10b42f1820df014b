#include "read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/error.h"

namespace kwp::qt {
namespace {

[[noreturn]] void CannotOpen(const std::string& path, int error) {
    throw core::Error(core::FillTemplate(core::kCannotOpenFile, {path, std::generic_category().message(error)}));
}

}  // namespace

// Non-blocking, so that a FIFO put in the file's place cannot hang the program.
ReadOnlyFile::ReadOnlyFile(const std::string& path)
    : path_(path), file_(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)) {
    if (!file_.Valid()) CannotOpen(path_, errno);
    struct stat info {};
    if (::fstat(file_.Get(), &info) != 0) CannotOpen(path_, errno);
    if (S_ISDIR(info.st_mode)) CannotOpen(path_, EISDIR);
    size_ = S_ISREG(info.st_mode) ? static_cast<uint64_t>(info.st_size) : 0;
}

void ReadOnlyFile::ReadAt(uint64_t offset, void* data, size_t size) {
    auto* out = static_cast<char*>(data);
    while (size > 0) {
        const ssize_t got = ::pread(file_.Get(), out, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) CannotOpen(path_, errno);
        if (got == 0) throw core::Error(std::string(core::kBitmapNotValid));
        out += got;
        offset += static_cast<uint64_t>(got);
        size -= static_cast<size_t>(got);
    }
}

}  // namespace kwp::qt
