#pragma once
// The single-instance guard on Linux: two flock(2) locks on files named after
// the guard and the display session, in $XDG_RUNTIME_DIR (one per log-on
// session) or else in a folder of the user's own under the cache folder.
//
//  - the gate lock: taken exclusively for the few instructions of a start, so
//    starts are judged one at a time;
//  - the hold lock: taken shared by every copy, the first one and the refused
//    ones alike, and kept until the copy ends or gives it up.
// A start that cannot take the hold lock exclusively finds it held: refused.
// So a copy started while a refused copy still shows its box is refused too,
// even when the first copy has ended. The kernel drops both locks when a
// process dies in any way.
#include <string>

#include "platform/platform.h"
#include "unique_fd.h"

namespace kwp::qt {

class FlockSessionLock : public platform::SessionLock {
public:
    // `folder` empty: the usual folder (SessionLockFolder). A guard that
    // cannot be set up at all (no usable folder) lets the start go on as a
    // first copy.
    FlockSessionLock(const std::string& name, const std::string& display, std::string folder = {});
    bool AlreadyExisted() const override { return alreadyExisted_; }
    // The lock files' path without the ending ("<folder>/<name>-<display>"),
    // where the session's other files belong too; empty without a folder.
    const std::string& BasePath() const { return basePath_; }

private:
    UniqueFd hold_;
    bool alreadyExisted_ = false;
    std::string basePath_;
};

// $XDG_RUNTIME_DIR when it is a usable folder of the user's; else
// "kwpshot-<host>" in the user's cache folder ($XDG_CACHE_HOME, or ~/.cache),
// made 0700 where missing and used only when it is a real folder of the
// user's that no one else can enter, in a parent that no one else can write
// to. Other users cannot create or replace anything there, so they cannot
// switch the guard off. Empty when neither works.
std::string SessionLockFolder();

// What the guard is per: the Wayland display for a Wayland session
// (WAYLAND_DISPLAY set, also when Qt itself runs on XWayland), else the X
// display `xDisplay`.
std::string SessionDisplayName(const std::string& xDisplay);

// The lock file's base name: "<name>-<display>" with "/" made harmless and
// the screen number dropped (":0.0" and ":0" are one session).
std::string SessionLockBaseName(const std::string& name, const std::string& display);

}  // namespace kwp::qt
