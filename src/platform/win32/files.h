#pragma once
// Whole files by UTF-8 path, with the system's error descriptions.
#include <string>

#include "core/file_io.h"

namespace kwp::platform::win32 {

// Throws core::Error("Cannot open file "<path>". <reason>"). Others may read
// the file meanwhile, not write it.
core::Bytes ReadWholeFileW(const std::string& path);

// Writes the bytes to a temporary file beside `path`, flushes it, and moves it
// over `path`: a failure leaves the old file whole. Throws
// core::Error("Cannot create file "<path>". <reason>").
void ReplaceWholeFileW(const std::string& path, const core::Bytes& bytes);

}  // namespace kwp::platform::win32
