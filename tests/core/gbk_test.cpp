#include "core/gbk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/ini_gbk.h"

namespace kwp::core {
namespace {

struct GbkCase {
    const char* what;
    std::string gbk;
    std::string utf8;
};

TEST(GbkToUtf8, ValidTextAndEachBadByteAsOneReplacement) {
    const std::vector<GbkCase> cases = {
        {"empty", "", ""},
        {"ASCII", "50 $4B abc", "50 $4B abc"},
        {"two characters", "\xCE\xE5\xCA\xAE", "五十"},
        {"key name", "\xBD\xD8\xCD\xBC\xD6\xCA\xC1\xBF", "截图质量"},
        {"mixed", "a\xCE\xE5" "1", "a五1"},
        {"euro at 0x80", "\x80", "€"},
        {"trail byte range 0x40", "\x81\x40", "丂"},
        {"lead byte cut off at the end", "5\xCE", "5\uFFFD"},
        {"lone trail byte", "\xA1", "\uFFFD"},
        {"lead byte before an ASCII byte", "\xCE" "5", "\uFFFD" "5"},
        {"lead byte before a control byte", "\x81\x0A" "x", "\uFFFD\nx"},
        {"0xFF is no character", "a\xFF" "b", "a\uFFFD" "b"},
        {"bad byte then a character", "\xFF\xCE\xE5", "\uFFFD五"},
        {"zero byte kept", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& c : cases) EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8) << c.what;
}

TEST(Utf8ToGbk, ValidTextAndWhatHasNoGbkForm) {
    const std::vector<GbkCase> cases = {
        {"empty", "", ""},
        {"ASCII", "50", "50"},
        {"two characters", "\xCE\xE5\xCA\xAE", "五十"},
        {"euro", "\x80", "€"},
        {"emoji: one ? per UTF-16 unit", "a??b", "a😀b"},
        {"no GBK form in the BMP", "?", "\u0E01"},  // Thai ko kai
        {"replacement character", "?", "\uFFFD"},
        {"invalid UTF-8 byte", "a?b", "a\xFF" "b"},
        {"cut-off UTF-8 sequence", "5??", "5\xE4\xBA"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToGbk(c.utf8), c.gbk) << c.what;
}

TEST(Gbk, TextWithAGbkFormRoundTrips) {
    for (const char* text : {"", "50", "五十", "截图质量 = 75 ", "€ · — “引号”", "一二三四五六七八九十百千万"}) {
        EXPECT_EQ(GbkToUtf8(Utf8ToGbk(text)), text);
    }
    // Every valid double-byte code reads back to the same bytes.
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const std::string bytes{char(lead), char(trail)};
            const std::string text = GbkToUtf8(bytes);
            if (text.find("\uFFFD") != std::string::npos) continue;
            ASSERT_EQ(Utf8ToGbk(text), bytes) << std::hex << lead << trail;
        }
    }
}

TEST(IniGbk, ValuesAreGbkInTheFileAndUtf8Outside) {
    const std::string key = "\xBD\xD8\xCD\xBC\xD6\xCA\xC1\xBF";
    const std::string file = "[jtzl]\r\n" + key + "=\xCE\xE5\xCA\xAE\r\n";
    EXPECT_EQ(IniLookupUtf8(file, "jtzl", key), "五十");
    EXPECT_EQ(IniLookupUtf8(file, "jtzl", "missing"), std::nullopt);
    EXPECT_EQ(IniStoreUtf8("", "jtzl", key, "五十"), file);
    EXPECT_EQ(IniStoreUtf8(file, "jtzl", key, "75"), "[jtzl]\r\n" + key + "=75\r\n");
    // A value cut at 2047 bytes in the middle of a character ends in one U+FFFD.
    std::string longValue;
    for (int i = 0; i < 1100; ++i) longValue += "\xCE\xE5";
    const std::optional<std::string> cut = IniLookupUtf8("[s]\r\nk=" + longValue + "\r\n", "s", "k");
    ASSERT_TRUE(cut);
    EXPECT_TRUE(cut->ends_with("五\uFFFD"));
    EXPECT_EQ(cut->size(), 1023u * 3 + 3);
}

}  // namespace
}  // namespace kwp::core
