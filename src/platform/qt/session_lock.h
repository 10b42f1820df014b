#pragma once
// The single-instance guard on Linux: two flock(2) locks on files named after
// the guard and the X display, in $XDG_RUNTIME_DIR (one per log-on session)
// or else in a private folder of the user's in /tmp.
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
    // `folder` empty: the usual folder for `display`. A guard that cannot be
    // set up at all (no usable folder) lets the start go on as a first copy.
    FlockSessionLock(const std::string& name, const std::string& display, std::string folder = {});
    bool AlreadyExisted() const override { return alreadyExisted_; }

private:
    UniqueFd hold_;
    bool alreadyExisted_ = false;
};

// $XDG_RUNTIME_DIR when it is a usable folder; else /tmp/kwpshot-<uid>, made
// 0700 if missing and used only when it is a real folder of ours that no one
// else can enter. Empty when neither works.
std::string SessionLockFolder();

// The lock file's base name: "<name>-<display>" with "/" made harmless and
// the screen number dropped (":0.0" and ":0" are one session).
std::string SessionLockBaseName(const std::string& name, const std::string& display);

}  // namespace kwp::qt
