#include "session_lock.h"

#include <fcntl.h>
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
    const std::string folder = "/tmp/kwpshot-" + std::to_string(getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    struct stat st{};
    // lstat: a symbolic link planted by someone else is not followed.
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 077) != 0)
        return {};
    return folder;
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
