#include "platform/win32/files.h"

#include <aclapi.h>

#include <algorithm>

#include "core/error.h"
#include "platform/win32/handles.h"
#include "platform/win32/text.h"

namespace kwp::platform::win32 {
namespace {

[[noreturn]] void Fail(std::string_view pattern, const std::string& path, DWORD code) {
    throw core::Error(core::FillTemplate(pattern, {path, SystemErrorText(code)}));
}

[[noreturn]] void FailNotRegular(std::string_view pattern, const std::string& path) {
    throw core::Error(core::FillTemplate(pattern, {path, core::kNotRegularFile}));
}

// A name beside `path` that no other writer uses: the path with this
// process's id and a running number appended.
std::wstring TemporaryBeside(const std::wstring& path) {
    static unsigned counter = 0;
    return path + L".~" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L".tmp";
}

// A security descriptor the system allocated, freed with LocalFree.
struct LocalTraits {
    static PSECURITY_DESCRIPTOR Empty() { return nullptr; }
    static void Free(PSECURITY_DESCRIPTOR p) { LocalFree(p); }
};
using SecurityDescriptor = Unique<PSECURITY_DESCRIPTOR, LocalTraits>;

// The access list of the file now at `target`, to give the new file from the
// start; none when there is no file yet or the volume keeps no access lists
// (FAT). A device or a pipe at `target` is refused; an access list that
// cannot be read is a failure, not a file open to everyone.
SecurityDescriptor OldAccessList(const std::wstring& target, const std::string& path) {
    FileHandle old(CreateFileW(target.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!old) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
        Fail(core::kCannotCreateFile, path, error);
    }
    if (GetFileType(old.Get()) != FILE_TYPE_DISK) FailNotRegular(core::kCannotCreateFile, path);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(old.Get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                        nullptr, nullptr, &descriptor);
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) return {};
    if (error != ERROR_SUCCESS) Fail(core::kCannotCreateFile, path, error);
    return SecurityDescriptor(descriptor);
}

// While marked, the system deletes the file when its last handle closes,
// also when the program is killed.
bool MarkForDeletion(HANDLE file, bool deleteIt) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleteIt ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

class HandleSink final : public core::FileSink {
public:
    HandleSink(HANDLE file, const std::string& path) : file_(file), path_(path) {}
    void Write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        while (size > 0) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 24));
            DWORD written = 0;
            if (!WriteFile(file_, bytes, chunk, &written, nullptr))
                Fail(core::kCannotCreateFile, path_, GetLastError());
            if (written == 0) Fail(core::kCannotCreateFile, path_, ERROR_WRITE_FAULT);
            bytes += written;
            size -= written;
        }
    }

private:
    HANDLE file_;
    const std::string& path_;
};

// Removes the temporary file by name unless it was put in place.
class TemporaryName {
public:
    explicit TemporaryName(std::wstring name) : name_(std::move(name)) {}
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    ~TemporaryName() {
        if (!placed_) DeleteFileW(name_.c_str());
    }
    const wchar_t* Get() const { return name_.c_str(); }
    void Placed() { placed_ = true; }

private:
    std::wstring name_;
    bool placed_ = false;
};

}  // namespace

core::Bytes ReadWholeFileW(const std::string& path) {
    FileHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) Fail(core::kCannotOpenFile, path, GetLastError());
    // A console, a printer port or a pipe could keep the read waiting.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) FailNotRegular(core::kCannotOpenFile, path);
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

void ReplaceFileWithW(const std::string& path, core::Durability durability,
                      const std::function<void(core::FileSink&)>& fill) {
    const std::wstring target = Wide(path);
    const SecurityDescriptor accessList = OldAccessList(target, path);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, accessList.Get(), FALSE};
    TemporaryName temporary(TemporaryBeside(target));
    {
        FileHandle file(CreateFileW(temporary.Get(), GENERIC_WRITE | DELETE, 0, &attributes, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        // A folder that is missing or not writable, or a name the system
        // refuses, fails here with the system's own reason.
        if (!file) {
            temporary.Placed();  // nothing was made: another's file of that name stays
            Fail(core::kCannotCreateFile, path, GetLastError());
        }
        // Where the mark is not kept, the name is removed on the way out of
        // an error all the same.
        const bool marked = MarkForDeletion(file.Get(), true);
        HandleSink sink(file.Get(), path);
        fill(sink);
        if (durability == core::Durability::Flushed && !FlushFileBuffers(file.Get()))
            Fail(core::kCannotCreateFile, path, GetLastError());
        // The file stays from here on: only the move below remains.
        if (marked && !MarkForDeletion(file.Get(), false)) Fail(core::kCannotCreateFile, path, GetLastError());
    }
    const DWORD flags =
        MOVEFILE_REPLACE_EXISTING | (durability == core::Durability::Flushed ? MOVEFILE_WRITE_THROUGH : 0);
    if (!MoveFileExW(temporary.Get(), target.c_str(), flags)) Fail(core::kCannotCreateFile, path, GetLastError());
    temporary.Placed();
}

void ReplaceWholeFileW(const std::string& path, const core::Bytes& bytes) {
    ReplaceFileWithW(path, core::Durability::Flushed,
                     [&](core::FileSink& sink) { sink.Write(bytes.data(), bytes.size()); });
}

}  // namespace kwp::platform::win32
