#include "platform/win32/files.h"

#include <algorithm>

#include "core/error.h"
#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace kwp::platform::win32 {
namespace {

[[noreturn]] void Fail(std::string_view pattern, const std::string& path, DWORD code) {
    throw core::Error(core::FillTemplate(pattern, {path, SystemErrorText(code)}));
}

// A name beside `path` that no other writer uses: the path with this
// process's id and a running number appended.
std::wstring TemporaryBeside(const std::wstring& path) {
    static unsigned counter = 0;
    return path + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L".tmp";
}

bool WriteAll(HANDLE file, const core::Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 24));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

}  // namespace

core::Bytes ReadWholeFileW(const std::string& path) {
    FileHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) Fail(core::kCannotOpenFile, path, GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) Fail(core::kCannotOpenFile, path, GetLastError());
    if (size.QuadPart > 0x7fffffff) Fail(core::kCannotOpenFile, path, ERROR_FILE_TOO_LARGE);
    core::Bytes bytes(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &got, nullptr))
            Fail(core::kCannotOpenFile, path, GetLastError());
        if (got == 0) break;  // the file shrank meanwhile
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

void ReplaceWholeFileW(const std::string& path, const core::Bytes& bytes) {
    const std::wstring target = Wide(path);
    const std::wstring temporary = TemporaryBeside(target);
    DWORD error = ERROR_SUCCESS;
    {
        FileHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        // A folder that is missing or not writable, or a name the system
        // refuses, fails here with the system's own reason.
        if (!file) Fail(core::kCannotCreateFile, path, GetLastError());
        if (!WriteAll(file.Get(), bytes) || !FlushFileBuffers(file.Get())) error = GetLastError();
    }
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temporary.c_str());
        Fail(core::kCannotCreateFile, path, error);
    }
}

}  // namespace kwp::platform::win32
