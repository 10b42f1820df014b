#pragma once
// The settings file's text (GBK, the Windows code page 936) and the UTF-8 the
// program uses inside. The Windows program converts with the system's own
// functions; everywhere else this does it, through the C library's iconv.
#include <string>
#include <string_view>

namespace kwp::core {

// GBK bytes as UTF-8. A byte that does not begin a valid GBK character (a
// stray trail byte, a lead byte whose trail is not valid, a lead byte cut off
// at the end, or a code the table does not map) shows as one U+FFFD, and
// conversion goes on at the next byte: nothing is dropped silently and
// nothing throws.
std::string GbkToUtf8(std::string_view gbk);

// UTF-8 as GBK bytes. A character with no GBK form is written as "?" for each
// of its UTF-16 code units, as the Windows conversion writes it (an emoji
// gives "??"); a byte that is not valid UTF-8 is written as one "?".
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace kwp::core
