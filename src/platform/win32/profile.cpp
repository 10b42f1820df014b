#include "platform/win32/profile.h"

#include "core/ini_text.h"
#include "platform/win32/text.h"
#include "platform/win32/win32.h"

namespace kwp::platform::win32 {

namespace {

// The settings file's text is code page 936 (GBK) whatever the system's own
// code page is, so the file reads the same on every Windows and on Linux.
constexpr UINT kSettingsCodePage = 936;

// Bytes that are not GBK come out as the system's conversion shows them.
std::string FromSettingsText(const std::string& gbk) {
    if (gbk.empty()) return {};
    const int size = static_cast<int>(gbk.size());
    const int length = MultiByteToWideChar(kSettingsCodePage, 0, gbk.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(kSettingsCodePage, 0, gbk.data(), size, wide.data(), length);
    return Utf8(wide);
}

// A character with no GBK form is written as "?" (no best-fit look-alikes,
// so a value reads back as what was written or as "?", as on Linux).
std::string ToSettingsText(const std::string& utf8) {
    const std::wstring wide = Wide(utf8);
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(kSettingsCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0,
                                           "?", nullptr);
    std::string gbk(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(kSettingsCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), size, gbk.data(), length, "?", nullptr);
    return gbk;
}

}  // namespace

std::string ReadProfileString(const std::string& file, const std::string& section, const std::string& key,
                              const std::string& fallback) {
    // 2048 bytes with the terminating zero: a longer value is cut to 2047.
    char buffer[2048];
    const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), ToSettingsText(fallback).c_str(),
                                                  buffer, sizeof buffer, file.c_str());
    return FromSettingsText(std::string(buffer, length));
}

bool WriteProfileString(const std::string& file, const std::string& section, const std::string& key,
                        const std::string& value) {
    // The system trims blanks from values it reads back; quoted as the Linux
    // program writes them, " 50" reads back as " 50" on both.
    const std::string written = core::IniValueAsWritten(ToSettingsText(value));
    return WritePrivateProfileStringA(section.c_str(), key.c_str(), written.c_str(), file.c_str()) != FALSE;
}

}  // namespace kwp::platform::win32
