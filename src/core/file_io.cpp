#include "core/file_io.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

#include "core/error.h"

// The few calls standard C++ has no word for (flushing to disk, exclusive
// creation, opening by a wide path on Windows) go through this shim.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kwp::core {
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
int OpenForReading(const fs::path& path) { return _wopen(path.c_str(), _O_RDONLY | _O_BINARY); }
int OpenForWriting(const fs::path& path) { return _wopen(path.c_str(), _O_WRONLY | _O_BINARY); }
int CreateNew(const fs::path& path) {
    return _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
}
long ReadSome(int fd, uint8_t* data, size_t size) {
    return _read(fd, data, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
}
long WriteSome(int fd, const uint8_t* data, size_t size) {
    return _write(fd, data, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
}
int FlushToDisk(int fd) { return _commit(fd); }
int CloseFile(int fd) { return _close(fd); }
void FlushFolderToDisk(const fs::path&) {}  // NTFS journals the rename itself
#else
int OpenForReading(const fs::path& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }
// Non-blocking, so that a FIFO in the file's place cannot hang the program.
int OpenForWriting(const fs::path& path) { return ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); }
int CreateNew(const fs::path& path) { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); }
long ReadSome(int fd, uint8_t* data, size_t size) { return ::read(fd, data, size); }
long WriteSome(int fd, const uint8_t* data, size_t size) { return ::write(fd, data, size); }
int FlushToDisk(int fd) { return ::fsync(fd); }
int CloseFile(int fd) { return ::close(fd); }
// Makes a rename inside the folder durable.
void FlushFolderToDisk(const fs::path& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}
#endif

// An open file descriptor, closed when it goes.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~FileDescriptor() {
        if (fd_ >= 0) CloseFile(fd_);
    }

    bool Valid() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    // Closes now; false (with errno set) when the close reports an error.
    bool Close() { return CloseFile(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

// A temporary file that is removed unless it is kept.
class TemporaryFile {
public:
    explicit TemporaryFile(fs::path path) : path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        std::error_code ignored;
        if (!kept_) fs::remove(path_, ignored);
    }
    const fs::path& Path() const { return path_; }
    void Keep() { kept_ = true; }

private:
    fs::path path_;
    bool kept_ = false;
};

fs::path PathFromUtf8(const std::string& path) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

std::string ErrorCodeText(const std::error_code& error) {
    std::string text = error.message();
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

[[noreturn]] void ThrowCannotOpen(const std::string& path, const std::string& reason) {
    throw Error(FillTemplate(kCannotOpenFile, {path, reason}));
}

[[noreturn]] void ThrowCannotCreate(const std::string& path, const std::string& reason) {
    throw Error(FillTemplate(kCannotCreateFile, {path, reason}));
}

// The file's bytes, or the errno of the failure.
std::pair<std::optional<Bytes>, int> ReadFile(const std::string& path) {
    FileDescriptor file(OpenForReading(PathFromUtf8(path)));
    if (!file.Valid()) return {std::nullopt, errno};
    Bytes bytes;
    constexpr size_t kChunk = 64 * 1024;
    for (;;) {
        size_t had = bytes.size();
        bytes.resize(had + kChunk);
        long got = ReadSome(file.Get(), bytes.data() + had, kChunk);
        if (got < 0 && errno == EINTR) {
            bytes.resize(had);
            continue;
        }
        if (got < 0) return {std::nullopt, errno};
        bytes.resize(had + static_cast<size_t>(got));
        if (got == 0) return {std::move(bytes), 0};
    }
}

// A new, empty file next to `target` that no one else has opened.
std::pair<FileDescriptor, fs::path> CreateTemporaryBeside(const fs::path& target, const std::string& path) {
    std::random_device entropy;
    std::mt19937_64 pick((uint64_t{entropy()} << 32) ^ entropy());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::u8string name = std::u8string(u8".").append(target.filename().u8string()).append(u8".");
        uint64_t tag = pick();
        for (int i = 0; i < 10; ++i, tag /= 36) name += u8"0123456789abcdefghijklmnopqrstuvwxyz"[tag % 36];
        name += u8".tmp";
        fs::path temporary = target;
        temporary.replace_filename(name);
        FileDescriptor file(CreateNew(temporary));
        if (file.Valid()) return {std::move(file), temporary};
        if (errno != EEXIST) ThrowCannotCreate(path, ErrnoText(errno));
    }
    ThrowCannotCreate(path, ErrnoText(EEXIST));
}

void WriteAll(FileDescriptor& file, const Bytes& bytes, const std::string& path) {
    size_t done = 0;
    while (done < bytes.size()) {
        long wrote = WriteSome(file.Get(), bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) ThrowCannotCreate(path, ErrnoText(wrote < 0 ? errno : EIO));
        done += static_cast<size_t>(wrote);
    }
}

}  // namespace

Bytes ReadWholeFile(const std::string& path) {
    auto [bytes, error] = ReadFile(path);
    if (!bytes) ThrowCannotOpen(path, ErrnoText(error));
    return std::move(*bytes);
}

std::optional<Bytes> TryReadWholeFile(const std::string& path) { return ReadFile(path).first; }

void ReplaceWholeFile(const std::string& path, const Bytes& bytes) {
    fs::path target = PathFromUtf8(path);
    std::error_code error;

    // A symbolic link stays a link: the file it points to is replaced.
    if (fs::is_symlink(target, error)) {
        fs::path resolved = fs::weakly_canonical(target, error);
        if (!error) target = resolved;
    }

    // A file that may not be written stays as it is, even though its folder
    // would let it be replaced.
    fs::file_status old = fs::status(target, error);
    bool exists = fs::exists(old);
    if (fs::is_regular_file(old)) {
        FileDescriptor probe(OpenForWriting(target));
        if (!probe.Valid()) ThrowCannotCreate(path, ErrnoText(errno));
    }

    auto [file, temporaryPath] = CreateTemporaryBeside(target, path);
    TemporaryFile temporary(temporaryPath);
    WriteAll(file, bytes, path);
    if (FlushToDisk(file.Get()) != 0) ThrowCannotCreate(path, ErrnoText(errno));
    if (!file.Close()) ThrowCannotCreate(path, ErrnoText(errno));

    // Best effort: some file systems keep no permission bits.
    if (exists) fs::permissions(temporary.Path(), old.permissions() & fs::perms::mask, fs::perm_options::replace, error);

    fs::rename(temporary.Path(), target, error);
    if (error) ThrowCannotCreate(path, ErrorCodeText(error));
    temporary.Keep();
    FlushFolderToDisk(target.parent_path());
}

}  // namespace kwp::core
