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

// The folder part of a path ("" for a bare name).
std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : L".";
    if (slash == 0 || (slash == 2 && path[1] == L':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
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
    wchar_t temporary[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(FolderOf(target).c_str(), L"kwp", 0, temporary))
        Fail(core::kCannotCreateFile, path, GetLastError());

    DWORD error = ERROR_SUCCESS;
    {
        FileHandle file(CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
        if (!file || !WriteAll(file.Get(), bytes) || !FlushFileBuffers(file.Get())) error = GetLastError();
    }
    if (error == ERROR_SUCCESS &&
        !MoveFileExW(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(temporary);
        Fail(core::kCannotCreateFile, path, error);
    }
}

}  // namespace kwp::platform::win32
