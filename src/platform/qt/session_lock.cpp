#include "session_lock.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kwp::qt {

namespace {

bool UsableRuntimeDir(const char* dir) {
    struct stat st{};
    return dir && dir[0] == '/' && stat(dir, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
           access(dir, W_OK | X_OK) == 0;
}

// A real folder (not a link) of the user's, with none of `closed` in its
// mode.
bool OwnFolder(const std::string& path, mode_t closed) {
    struct stat st{};
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
           (st.st_mode & closed) == 0;
}

// Only the user can create, rename or remove what is in it: a folder of the
// user's that others cannot write to (its group may, when that group is the
// user's own, as with a user-private group).
bool OnlyUserWrites(const std::string& path) {
    struct stat st{};
    return OwnFolder(path, S_IWOTH) && lstat(path.c_str(), &st) == 0 &&
           ((st.st_mode & S_IWGRP) == 0 || st.st_gid == getgid());
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && entry->pw_dir[0] == '/')
        return entry->pw_dir;
    return {};
}

std::string CacheFolder() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return cache;
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.cache";
}

// A cache folder may be shared by several machines (a home folder on the
// network); each machine's sessions get their own folder.
std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "localhost";
    std::string host = name;
    for (char& c : host)
        if (c == '/') c = '_';
    return host;
}

UniqueFd OpenLockFile(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
}

int FlockRetrying(int fd, int operation) {
    int rc;
    do rc = ::flock(fd, operation);
    while (rc != 0 && errno == EINTR);
    return rc;
}

}  // namespace

std::string SessionLockFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (UsableRuntimeDir(runtime)) return runtime;

    const std::string cache = CacheFolder();
    if (cache.empty()) return {};
    ::mkdir(cache.c_str(), 0700);  // as the cache folder is made where missing
    // Nobody else may be able to rename or replace what is inside.
    if (!OnlyUserWrites(cache)) return {};
    const std::string folder = cache + "/kwpshot-" + HostName();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    // lstat: a symbolic link is not followed.
    if (!OwnFolder(folder, 077)) return {};
    return folder;
}

std::string SessionDisplayName(const std::string& xDisplay) {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (wayland && wayland[0] != '\0') return wayland;
    return xDisplay;
}

std::string SessionLockBaseName(const std::string& name, const std::string& display) {
    std::string session = display;
    const size_t colon = session.rfind(':');
    if (colon != std::string::npos) {
        const size_t dot = session.find('.', colon);
        if (dot != std::string::npos) session.erase(dot);
    }
    for (char& c : session)
        if (c == '/') c = '_';
    return name + "-" + session;
}

FlockSessionLock::FlockSessionLock(const std::string& name, const std::string& display, std::string folder) {
    if (folder.empty()) folder = SessionLockFolder();
    if (folder.empty()) return;
    const std::string base = folder + "/" + SessionLockBaseName(name, display);
    UniqueFd gate = OpenLockFile(base + ".gate");
    hold_ = OpenLockFile(base + ".hold");
    if (!gate.Valid() || !hold_.Valid() || FlockRetrying(gate.Get(), LOCK_EX) != 0) {
        hold_ = UniqueFd();
        return;
    }
    basePath_ = base;
    // Under the gate no other start runs, and holders only ever hold the lock
    // shared, so these two steps see a stable picture.
    if (FlockRetrying(hold_.Get(), LOCK_EX | LOCK_NB) == 0) {
        FlockRetrying(hold_.Get(), LOCK_SH);  // now one holder among many
    } else {
        alreadyExisted_ = true;
        FlockRetrying(hold_.Get(), LOCK_SH);
    }
    // Closing `gate` lets the next start in.
}

}  // namespace kwp::qt
