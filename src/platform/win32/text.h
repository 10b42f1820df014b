#pragma once
// Text at the edge of the system: UTF-8 inside the program, UTF-16 for the
// W functions, and the system's own error descriptions.
#include <string>

#include "platform/win32/win32.h"

namespace kwp::platform::win32 {

std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& wide);

// The system's description of an error code, without trailing blanks and
// full stops ("Access denied").
std::string SystemErrorText(DWORD code);

// The letter after the first single "&" in a caption, upper case; 0 for none.
wchar_t AcceleratorLetter(const std::wstring& caption);

}  // namespace kwp::platform::win32
