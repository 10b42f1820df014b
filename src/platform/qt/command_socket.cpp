#include "command_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>
#include <utility>

#include "core/error.h"
#include "qt_dispatch.h"
#include "unique_fd.h"

namespace kwp::qt {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A copy that has just taken the guard binds its socket a moment later.
constexpr auto kConnectWait = 3s;
// A running copy answers from its loop, which may still be starting.
constexpr auto kAnswerWait = 10s;
// A connection that names no command in time is dropped.
constexpr int kServerReadMs = 5000;
constexpr size_t kLongestLine = 32;

bool Address(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

bool PeerIsThisUser(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

bool SendLine(int fd, const std::string& line) {
    return ::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == ssize_t(line.size());
}

// One line, up to its "\n", or nothing when it does not come in time.
std::optional<std::string> ReadLine(int fd, Clock::time_point deadline) {
    std::string line;
    while (line.size() <= kLongestLine) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return std::nullopt;
        pollfd wait{fd, POLLIN, 0};
        if (::poll(&wait, 1, int(left)) < 0 && errno != EINTR) return std::nullopt;
        char chunk[kLongestLine];
        const ssize_t got = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (got == 0) return std::nullopt;
        if (got < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return std::nullopt;
        }
        line.append(chunk, size_t(got));
        if (const size_t end = line.find('\n'); end != std::string::npos) return line.substr(0, end);
    }
    return std::nullopt;
}

UniqueFd ConnectWaiting(const sockaddr_un& address) {
    const auto deadline = Clock::now() + kConnectWait;
    for (;;) {
        UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!fd.Valid()) return {};
        if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return fd;
        // Not there yet, left over from a copy that died, or its queue full.
        const bool worthWaiting = errno == ENOENT || errno == ECONNREFUSED || errno == EAGAIN;
        if (!worthWaiting || Clock::now() >= deadline) return {};
        std::this_thread::sleep_for(50ms);
    }
}

}  // namespace

std::optional<platform::Command> CommandFromWord(std::string_view word) {
    if (word == "capture") return platform::Command::Capture;
    if (word == "show") return platform::Command::Show;
    return std::nullopt;
}

const char* CommandWord(platform::Command command) {
    return command == platform::Command::Capture ? "capture" : "show";
}

bool SendCommand(const std::string& socketPath, platform::Command command) {
    sockaddr_un address;
    if (!Address(socketPath, address)) return false;
    UniqueFd fd = ConnectWaiting(address);
    if (!fd.Valid() || !PeerIsThisUser(fd.Get())) return false;
    if (!SendLine(fd.Get(), std::string(CommandWord(command)) + "\n")) return false;
    return ReadLine(fd.Get(), Clock::now() + kAnswerWait) == "ok";
}

// The listening socket: accepts connections of the same user, reads one
// line from each without blocking the loop, answers and closes.
class CommandServer {
public:
    CommandServer(const std::string& path, std::function<bool(platform::Command)> take)
        : path_(path), take_(std::move(take)) {
        sockaddr_un address;
        if (!Address(path, address)) throw core::Error("the socket path is too long: " + path);
        listening_ = UniqueFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!listening_.Valid()) throw core::Error(std::string("socket: ") + std::strerror(errno));
        // Only the guard's first holder gets here: a socket file left by a
        // copy that died is stale.
        ::unlink(path.c_str());
        if (::bind(listening_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listening_.Get(), 8) != 0)
            throw core::Error(path + ": " + std::strerror(errno));
        bound_ = true;
        notifier_ = std::make_unique<QSocketNotifier>(listening_.Get(), QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { Accept(); });
    }

    ~CommandServer() {
        notifier_.reset();
        if (bound_) ::unlink(path_.c_str());
    }

private:
    struct Connection {
        UniqueFd fd;
        std::string line;
    };

    void Accept() {
        for (;;) {
            UniqueFd fd(::accept4(listening_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (!fd.Valid()) return;  // none left (EAGAIN), or a failed one
            if (!PeerIsThisUser(fd.Get())) continue;
            Watch(std::make_shared<Connection>(Connection{std::move(fd), {}}));
        }
    }

    void Watch(std::shared_ptr<Connection> connection) {
        auto* notifier = new QSocketNotifier(connection->fd.Get(), QSocketNotifier::Read, &connections_);
        auto finish = [notifier] {
            notifier->setEnabled(false);
            notifier->deleteLater();  // takes the connection with it
        };
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [this, connection, finish] {
            char chunk[kLongestLine];
            const ssize_t got = ::recv(connection->fd.Get(), chunk, sizeof chunk, 0);
            if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
            if (got <= 0) return finish();
            connection->line.append(chunk, size_t(got));
            const size_t end = connection->line.find('\n');
            if (end == std::string::npos) {
                if (connection->line.size() > kLongestLine) finish();
                return;
            }
            const auto command = CommandFromWord(std::string_view(connection->line).substr(0, end));
            const bool taken = command && take_(*command);
            SendLine(connection->fd.Get(), taken ? "ok\n" : "no\n");
            finish();
        });
        QTimer::singleShot(kServerReadMs, notifier, finish);
    }

    std::string path_;
    std::function<bool(platform::Command)> take_;
    UniqueFd listening_;
    bool bound_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    QObject connections_;  // parent of the open connections' notifiers
};

namespace {

// The guard and the socket that lives as long as it is held; the socket is
// closed and removed first, while this copy still holds the guard.
class ListeningLock : public platform::SessionLock {
public:
    ListeningLock(std::unique_ptr<FlockSessionLock> lock, std::unique_ptr<CommandServer> server)
        : lock_(std::move(lock)), server_(std::move(server)) {}
    bool AlreadyExisted() const override { return lock_->AlreadyExisted(); }

private:
    std::unique_ptr<FlockSessionLock> lock_;
    std::unique_ptr<CommandServer> server_;
};

}  // namespace

CommandChannel::CommandChannel(platform::Platform& platform, std::optional<platform::Command> startCommand)
    : platform_(platform), startCommand_(startCommand) {}

CommandChannel::~CommandChannel() = default;

std::unique_ptr<platform::SessionLock> CommandChannel::Guard(std::unique_ptr<FlockSessionLock> lock) {
    socketPath_ = lock->BasePath().empty() ? std::string() : lock->BasePath() + ".sock";
    if (lock->AlreadyExisted() || socketPath_.empty()) return lock;
    try {
        auto server = std::make_unique<CommandServer>(socketPath_, [this](platform::Command c) { return Take(c); });
        return std::make_unique<ListeningLock>(std::move(lock), std::move(server));
    } catch (const std::exception& error) {
        // The program runs as well without; only later starts' commands are lost.
        std::fprintf(stderr, "kwpshot: cannot take commands from other starts: %s\n", error.what());
        return lock;
    }
}

void CommandChannel::SetHandler(std::function<void(platform::Command, platform::CommandFrom)> handler) {
    if (!handler) {
        ending_ = true;
        handler_ = nullptr;
        return;
    }
    handler_ = std::move(handler);
    if (startCommand_ && !startCommandQueued_) {
        startCommandQueued_ = true;
        const platform::Command command = *startCommand_;
        QTimer::singleShot(0, &queue_, [this, command] { Deliver(command, platform::CommandFrom::ThisStart); });
    }
    for (platform::Command command : std::exchange(early_, {}))
        QTimer::singleShot(0, &queue_, [this, command] { Deliver(command, platform::CommandFrom::LaterStart); });
}

bool CommandChannel::HandOver() {
    return startCommand_ && !socketPath_.empty() && SendCommand(socketPath_, *startCommand_);
}

bool CommandChannel::Take(platform::Command command) {
    if (ending_) return false;
    if (!handler_) {  // still starting: carried out once the program takes commands
        early_.push_back(command);
        return true;
    }
    QTimer::singleShot(0, &queue_, [this, command] { Deliver(command, platform::CommandFrom::LaterStart); });
    return true;
}

void CommandChannel::Deliver(platform::Command command, platform::CommandFrom from) {
    if (handler_) RunHandler(platform_, [&] { handler_(command, from); });
}

}  // namespace kwp::qt
