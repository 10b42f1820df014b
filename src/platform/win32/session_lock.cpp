#include "platform/win32/session_lock.h"

namespace kwp::platform::win32 {

NamedMutexLock::NamedMutexLock(const std::string& name) {
    // The last error is read at once: no other call may come in between.
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    const DWORD error = GetLastError();
    mutex_.Reset(mutex);
    // Any other outcome, a failed creation included, is a first copy.
    alreadyExisted_ = error == ERROR_ALREADY_EXISTS;
}

}  // namespace kwp::platform::win32
