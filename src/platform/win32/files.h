#pragma once
// Whole files by UTF-8 path, with the system's error descriptions.
#include <functional>
#include <string>

#include "core/file_io.h"

namespace kwp::platform::win32 {

// Throws core::Error("Cannot open file "<path>". <reason>"). Others may read
// the file meanwhile, not write it. Anything but a disk file (a device such
// as CON, a pipe) is refused before a byte is read.
core::Bytes ReadWholeFileW(const std::string& path);

// Hands a new file beside `path` to `fill`, flushes it (Durability::Flushed)
// and moves it over `path`: a failure, or `fill` throwing, leaves the old file
// whole. The new file is made with the old one's access list, so it is never
// open to more users than the old one was; it is marked for deletion while it
// is written, so a program killed meanwhile leaves nothing behind. A device or
// a pipe at `path` is refused. Throws
// core::Error("Cannot create file "<path>". <reason>").
void ReplaceFileWithW(const std::string& path, core::Durability durability,
                      const std::function<void(core::FileSink&)>& fill);

// = ReplaceFileWithW(path, core::Durability::Flushed, write `bytes`).
void ReplaceWholeFileW(const std::string& path, const core::Bytes& bytes);

}  // namespace kwp::platform::win32
