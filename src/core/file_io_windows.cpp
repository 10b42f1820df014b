// The core's whole-file reads and replacement on Windows, through the C
// runtime. (The Windows program itself uses platform/win32/files.*.)
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

#include "core/error.h"
#include "core/file_io.h"

namespace kwp::core {
namespace fs = std::filesystem;

namespace {

fs::path PathFromUtf8(const std::string& path) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

[[noreturn]] void ThrowCannotCreate(const std::string& path, const std::string& reason) {
    throw Error(FillTemplate(kCannotCreateFile, {path, reason}));
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) _close(fd_);
    }
    int Get() const { return fd_; }
    bool Close() { return _close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

// The file's bytes, or the reason it cannot be read.
std::pair<std::optional<Bytes>, std::string> ReadFile(const std::string& path, size_t maxSize) {
    Descriptor file(_wopen(PathFromUtf8(path).c_str(), _O_RDONLY | _O_BINARY));
    if (file.Get() < 0) return {std::nullopt, ErrnoText(errno)};
    struct _stat64 st{};
    if (_fstat64(file.Get(), &st) != 0) return {std::nullopt, ErrnoText(errno)};
    if ((st.st_mode & _S_IFMT) != _S_IFREG) return {std::nullopt, std::string(kNotRegularFile)};
    Bytes bytes;
    constexpr size_t kChunk = 64 * 1024;
    for (;;) {
        const size_t had = bytes.size();
        bytes.resize(had + kChunk);
        const int got = _read(file.Get(), bytes.data() + had, kChunk);
        if (got < 0) return {std::nullopt, ErrnoText(errno)};
        bytes.resize(had + static_cast<size_t>(got));
        if (bytes.size() > maxSize) return {std::nullopt, ErrnoText(EFBIG)};
        if (got == 0) return {std::move(bytes), ""};
    }
}

class DescriptorSink final : public FileSink {
public:
    DescriptorSink(int fd, const std::string& path) : fd_(fd), path_(path) {}
    void Write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        while (size > 0) {
            const int wrote = _write(fd_, bytes, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
            if (wrote <= 0) ThrowCannotCreate(path_, ErrnoText(wrote < 0 ? errno : EIO));
            bytes += wrote;
            size -= static_cast<size_t>(wrote);
        }
    }

private:
    int fd_;
    const std::string& path_;
};

}  // namespace

Bytes ReadWholeFile(const std::string& path) {
    auto [bytes, reason] = ReadFile(path, SIZE_MAX);
    if (!bytes) throw Error(FillTemplate(kCannotOpenFile, {path, reason}));
    return std::move(*bytes);
}

std::optional<Bytes> TryReadWholeFile(const std::string& path, size_t maxSize) {
    return ReadFile(path, maxSize).first;
}

void ReplaceFileWith(const std::string& path, Durability durability, const std::function<void(FileSink&)>& fill) {
    const fs::path target = PathFromUtf8(path);
    std::error_code error;
    const fs::file_status old = fs::status(target, error);
    if (fs::exists(old) && !fs::is_regular_file(old)) ThrowCannotCreate(path, std::string(kNotRegularFile));

    std::random_device entropy;
    fs::path temporary = target;
    temporary.replace_filename(L"." + target.filename().wstring() + L"." + std::to_wstring(entropy()) + L".tmp");
    // Owner read and write only: the replacement's mode is the owner's.
    Descriptor file(_wopen(temporary.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE));
    if (file.Get() < 0) ThrowCannotCreate(path, ErrnoText(errno));
    struct RemoveUnlessKept {
        const fs::path& path;
        bool kept = false;
        ~RemoveUnlessKept() {
            std::error_code ignored;
            if (!kept) fs::remove(path, ignored);
        }
    } cleanup{temporary};
    DescriptorSink sink(file.Get(), path);
    fill(sink);
    if (durability == Durability::Flushed && _commit(file.Get()) != 0) ThrowCannotCreate(path, ErrnoText(errno));
    if (!file.Close()) ThrowCannotCreate(path, ErrnoText(errno));
    fs::rename(temporary, target, error);
    if (error) ThrowCannotCreate(path, error.message());
    cleanup.kept = true;
}

void ReplaceWholeFile(const std::string& path, const Bytes& bytes) {
    ReplaceFileWith(path, Durability::Flushed, [&](FileSink& sink) { sink.Write(bytes.data(), bytes.size()); });
}

}  // namespace kwp::core
#endif
