#pragma once
// `kwpshot --capture` and `kwpshot --show` between two starts in one session.
// The copy that holds the guard first listens on a unix socket beside the
// guard's lock files, in a folder only the user can reach. A later start that
// finds the guard held connects, names its command in one line ("capture" or
// "show") and waits for the running copy's "ok"; the running copy answers,
// then carries the command out in its own loop. Each side checks that the
// other runs as the same user (SO_PEERCRED).
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "session_lock.h"

namespace kwp::qt {

// The words on the command line ("--capture") and on the socket ("capture").
std::optional<platform::Command> CommandFromWord(std::string_view word);
const char* CommandWord(platform::Command command);

// Hands `command` to the copy listening at `socketPath`. Waits a little for
// a copy that holds the guard but is not listening yet, and for its answer.
// True when it took the command.
bool SendCommand(const std::string& socketPath, platform::Command command);

// The platform's side of the commands: this start's own command, the
// program's handler, the listening socket while this copy holds the guard.
class CommandChannel {
public:
    CommandChannel(platform::Platform& platform, std::optional<platform::Command> startCommand);
    ~CommandChannel();
    CommandChannel(const CommandChannel&) = delete;
    CommandChannel& operator=(const CommandChannel&) = delete;

    // Wraps the new guard: while this copy holds it first, commands of later
    // starts come in on the socket beside it; the socket goes with the guard.
    std::unique_ptr<platform::SessionLock> Guard(std::unique_ptr<FlockSessionLock> lock);
    // Once the loop runs, this start's own command reaches `handler` first.
    void SetHandler(std::function<void(platform::Command, platform::CommandFrom)> handler);
    bool HandOver();

private:
    bool Take(platform::Command command);
    void Deliver(platform::Command command, platform::CommandFrom from);

    platform::Platform& platform_;
    std::optional<platform::Command> startCommand_;
    bool startCommandQueued_ = false;
    bool ending_ = false;  // the handler came and went: the program is ending
    std::vector<platform::Command> early_;  // from later starts while this copy starts
    std::function<void(platform::Command, platform::CommandFrom)> handler_;
    std::string socketPath_;
    QObject queue_;  // context of queued deliveries; they go with the channel
};

}  // namespace kwp::qt
