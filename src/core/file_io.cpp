// Whole-file reads and atomic replacement on Linux and other POSIX systems.
// (file_io_windows.cpp holds the Windows side.)
#ifndef _WIN32
#include "core/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <random>
#include <system_error>
#include <utility>

#include "core/error.h"

namespace kwp::core {

namespace {

// Links followed before giving up, as the kernel does.
constexpr int kMaxLinks = 40;

std::string ErrnoText(int error) { return std::generic_category().message(error); }

[[noreturn]] void ThrowCannotCreate(const std::string& path, std::string_view reason) {
    throw Error(FillTemplate(kCannotCreateFile, {path, reason}));
}

// An open file descriptor, closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }

    bool Valid() const { return fd_ >= 0; }
    int Get() const { return fd_; }
    // Closes now; false (with errno set) when the close reports an error.
    bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

// Why a file was not read: an errno, or a file that is not a regular one.
std::string RefusalOf(const struct stat& st) {
    return S_ISDIR(st.st_mode) ? ErrnoText(EISDIR) : std::string(kNotRegularFile);
}

// The file's bytes, or the reason they cannot be had. A FIFO or a device is
// refused before it is opened; the open does not wait (a FIFO swapped in
// meanwhile would block it) and what was opened is checked again.
std::pair<std::optional<Bytes>, std::string> ReadFile(const std::string& path, size_t maxSize) {
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) return {std::nullopt, ErrnoText(errno)};
    if (!S_ISREG(st.st_mode)) return {std::nullopt, RefusalOf(st)};
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.Valid()) return {std::nullopt, ErrnoText(errno)};
    if (::fstat(file.Get(), &st) != 0) return {std::nullopt, ErrnoText(errno)};
    if (!S_ISREG(st.st_mode)) return {std::nullopt, RefusalOf(st)};
    if (static_cast<uint64_t>(st.st_size) > maxSize) return {std::nullopt, ErrnoText(EFBIG)};

    Bytes bytes;
    constexpr size_t kChunk = 64 * 1024;
    for (;;) {
        const size_t had = bytes.size();
        bytes.resize(had + kChunk);
        const ssize_t got = ::read(file.Get(), bytes.data() + had, kChunk);
        bytes.resize(had + static_cast<size_t>(std::max<ssize_t>(got, 0)));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return {std::nullopt, ErrnoText(errno)};
        if (bytes.size() > maxSize) return {std::nullopt, ErrnoText(EFBIG)};  // it grew meanwhile
        if (got == 0) return {std::move(bytes), ""};
    }
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The path whose file is to be replaced: `path`, or where its symbolic links
// lead. In a sticky folder that all may write, another user could have
// planted the link to turn the write onto one of this user's files; such a
// link is followed only when the user or the folder's owner owns it.
std::string FollowLinks(const std::string& path, const std::string& shown) {
    std::string current = path;
    for (int links = 0;; ++links) {
        struct stat link{};
        if (::lstat(current.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return current;
        if (links == kMaxLinks) ThrowCannotCreate(shown, ErrnoText(ELOOP));

        const std::string folder = FolderOf(current);
        struct stat dir{};
        if (::stat(folder.c_str(), &dir) != 0) ThrowCannotCreate(shown, ErrnoText(errno));
        const bool shared = (dir.st_mode & S_ISVTX) && (dir.st_mode & S_IWOTH);
        if (shared && link.st_uid != ::geteuid() && link.st_uid != dir.st_uid)
            ThrowCannotCreate(shown, ErrnoText(EACCES));

        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0) ThrowCannotCreate(shown, ErrnoText(errno));
        if (static_cast<size_t>(length) >= target.size()) ThrowCannotCreate(shown, ErrnoText(ENAMETOOLONG));
        target.resize(static_cast<size_t>(length));
        current = target.starts_with('/') ? target : (folder == "/" ? "" : folder) + "/" + target;
    }
}

// What the replacement must keep of the file it replaces.
struct OldFile {
    mode_t mode;  // permission bits
    uid_t owner;
    gid_t group;
};

// The file now at `name`, if any. It must be a regular file that this user
// may write: a file the user may not change stays as it is, even though its
// folder would let it be replaced.
std::optional<OldFile> InspectOld(int folder, const std::string& name, const std::string& shown) {
    struct stat st{};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return std::nullopt;
        ThrowCannotCreate(shown, ErrnoText(errno));
    }
    if (!S_ISREG(st.st_mode)) ThrowCannotCreate(shown, S_ISLNK(st.st_mode) ? ErrnoText(ELOOP) : RefusalOf(st));
    Descriptor probe(::openat(folder, name.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (!probe.Valid()) ThrowCannotCreate(shown, ErrnoText(errno));
    if (::fstat(probe.Get(), &st) != 0) ThrowCannotCreate(shown, ErrnoText(errno));
    if (!S_ISREG(st.st_mode)) ThrowCannotCreate(shown, RefusalOf(st));
    return OldFile{st.st_mode & 0777, st.st_uid, st.st_gid};
}

// A name beside the target for a file on its way in.
std::string TemporaryName(const std::string& name) {
    static std::mt19937_64 pick(std::random_device{}() ^ (uint64_t{std::random_device{}()} << 32));
    std::string temporary = "." + name + ".";
    uint64_t tag = pick();
    for (int i = 0; i < 10; ++i, tag /= 36) temporary += "0123456789abcdefghijklmnopqrstuvwxyz"[tag % 36];
    return temporary + ".tmp";
}

// The file being written: unnamed until it is complete, or named beside the
// target where the file system has no unnamed files. Going out of scope
// without Place() removes it.
class Replacement {
public:
    Replacement(int folder, std::string name, mode_t mode, const std::string& shown)
        : folder_(folder), name_(std::move(name)), shown_(shown) {
        // An unnamed file can be linked in only through /proc.
        file_ = Descriptor(::openat(folder_, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (file_.Valid() && ::access(ProcPath().c_str(), F_OK) == 0) return;
        if (!file_.Valid() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT)
            ThrowCannotCreate(shown_, ErrnoText(errno));
        file_ = Descriptor();
        for (int attempt = 0; !file_.Valid(); ++attempt) {
            temporary_ = TemporaryName(name_);
            file_ = Descriptor(
                ::openat(folder_, temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
            if (!file_.Valid() && (errno != EEXIST || attempt == 100)) {
                temporary_.clear();
                ThrowCannotCreate(shown_, ErrnoText(errno));
            }
        }
    }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;
    ~Replacement() {
        if (!temporary_.empty()) ::unlinkat(folder_, temporary_.c_str(), 0);
    }

    int Get() const { return file_.Get(); }

    // Puts the complete file in the target's place.
    //
    // An unnamed file has no name to leave behind while it is written. It is
    // linked straight to the target's name when that name is free; linkat
    // cannot replace a name, so otherwise it is linked to a temporary name and
    // renamed over the target at once: a kill can leave a stray name only
    // between those two system calls. A named temporary has been there all
    // along and is renamed the same way.
    void Place() {
        if (temporary_.empty()) {
            if (::linkat(AT_FDCWD, ProcPath().c_str(), folder_, name_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                if (!file_.Close()) {
                    const int error = errno;
                    ::unlinkat(folder_, name_.c_str(), 0);
                    ThrowCannotCreate(shown_, ErrnoText(error));
                }
                return;
            }
            if (errno != EEXIST) ThrowCannotCreate(shown_, ErrnoText(errno));
            for (int attempt = 0;; ++attempt) {
                const std::string temporary = TemporaryName(name_);
                if (::linkat(AT_FDCWD, ProcPath().c_str(), folder_, temporary.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                    temporary_ = temporary;
                    break;
                }
                if (errno != EEXIST || attempt == 100) ThrowCannotCreate(shown_, ErrnoText(errno));
            }
        }
        if (!file_.Close()) ThrowCannotCreate(shown_, ErrnoText(errno));
        if (::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0)
            ThrowCannotCreate(shown_, ErrnoText(errno));
        temporary_.clear();
    }

private:
    std::string ProcPath() const { return "/proc/self/fd/" + std::to_string(file_.Get()); }

    int folder_;
    std::string name_;
    const std::string& shown_;
    Descriptor file_;
    std::string temporary_;  // the name it has beside the target, if any
};

// Gives the new file the old one's owner, group and permission bits before it
// holds a byte. Where the group cannot be kept, the group gets no rights, so
// no one can read the new file who could not read the old one.
void TakeOverOld(int file, const OldFile& old, const std::string& shown) {
    struct stat st{};
    if (::fstat(file, &st) != 0) ThrowCannotCreate(shown, ErrnoText(errno));
    mode_t mode = old.mode;
    if (st.st_uid != old.owner || st.st_gid != old.group) {
        // Only root may give a file away; anyone may choose one of their groups.
        if (::fchown(file, old.owner, old.group) != 0 && ::fchown(file, static_cast<uid_t>(-1), old.group) != 0)
            mode &= ~mode_t{070};
    }
    if (::fstat(file, &st) != 0) ThrowCannotCreate(shown, ErrnoText(errno));
    if ((st.st_mode & 07777) != mode && ::fchmod(file, mode) != 0) ThrowCannotCreate(shown, ErrnoText(errno));
}

class DescriptorSink final : public FileSink {
public:
    DescriptorSink(int fd, const std::string& shown) : fd_(fd), shown_(shown) {}
    void Write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        while (size > 0) {
            const ssize_t wrote = ::write(fd_, bytes, size);
            if (wrote < 0 && errno == EINTR) continue;
            if (wrote <= 0) ThrowCannotCreate(shown_, ErrnoText(wrote < 0 ? errno : EIO));
            bytes += wrote;
            size -= static_cast<size_t>(wrote);
        }
    }

private:
    int fd_;
    const std::string& shown_;
};

// Makes a rename inside the folder durable.
void FlushFolderToDisk(const std::string& folder) {
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) ::fsync(dir.Get());
}

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
    const std::string target = FollowLinks(path, path);
    const std::string folderPath = FolderOf(target);
    const std::string name = NameOf(target);
    if (name.empty() || name == "." || name == "..") ThrowCannotCreate(path, ErrnoText(EISDIR));
    Descriptor folder(::open(folderPath.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid()) ThrowCannotCreate(path, ErrnoText(errno));

    const std::optional<OldFile> old = InspectOld(folder.Get(), name, path);
    // Only the owner's bits until the old file's owner, group and bits are
    // taken over; a new file gets 0666 less the umask.
    Replacement file(folder.Get(), name, old ? old->mode & 0700 : 0666, path);
    if (old) TakeOverOld(file.Get(), *old, path);
    DescriptorSink sink(file.Get(), path);
    fill(sink);
    if (durability == Durability::Flushed && ::fsync(file.Get()) != 0) ThrowCannotCreate(path, ErrnoText(errno));
    file.Place();
    if (durability == Durability::Flushed) FlushFolderToDisk(folderPath);
}

void ReplaceWholeFile(const std::string& path, const Bytes& bytes) {
    ReplaceFileWith(path, Durability::Flushed, [&](FileSink& sink) { sink.Write(bytes.data(), bytes.size()); });
}

}  // namespace kwp::core
#endif
