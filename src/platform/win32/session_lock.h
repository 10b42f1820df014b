#pragma once
// The single-instance guard: a named mutex in the log-on session's namespace.
#include <string>

#include "platform/platform.h"
#include "platform/win32/handles.h"

namespace kwp::platform::win32 {

class NamedMutexLock : public SessionLock {
public:
    explicit NamedMutexLock(const std::string& name);
    bool AlreadyExisted() const override { return alreadyExisted_; }

private:
    KernelHandle mutex_;
    bool alreadyExisted_ = false;
};

}  // namespace kwp::platform::win32
