#include "platform/dispatch.h"

#include <new>

#include "core/error.h"

namespace kwp::platform {

ErrorReport DefaultErrorReport(const std::exception_ptr& error, const std::string& applicationTitle) {
    std::string message;
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        message = "Out of memory";
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unexpected error";
    }
    return {core::ErrorReportText(message), applicationTitle};
}

void Dispatch(Platform& platform, const std::function<void()>& handler) {
    if (!handler) return;
    ErrorReport report;
    try {
        handler();
        return;
    } catch (const std::exception&) {
        report = DefaultErrorReport(std::current_exception(), platform.ApplicationTitle());
    }
    platform.ShowMessageBox(report.text, report.caption, report.flags);
}

}  // namespace kwp::platform
