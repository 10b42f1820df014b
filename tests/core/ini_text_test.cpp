#include "core/ini_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kwp::core {
namespace {

// The program's key names, GBK bytes.
const std::string kQualityKey = "\xBD\xD8\xCD\xBC\xD6\xCA\xC1\xBF";
const std::string kHotKeyKey = "\xBD\xD8\xCD\xBC\xC8\xC8\xBC\xFC";
const std::string kHiddenKey = "\xD2\xFE\xB2\xD8";

std::string Utf16File(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t u : text) {
        bytes += static_cast<char>(u & 0xFF);
        bytes += static_cast<char>(u >> 8);
    }
    return bytes;
}

struct LookupCase {
    const char* what;
    std::string file, section, key;
    std::optional<std::string> value;
};

TEST(IniLookup, FindsValuesByTheFileRules) {
    const std::vector<LookupCase> cases = {
        {"program key", "[jtzl]\r\n" + kQualityKey + "=75\r\n", "jtzl", kQualityKey, "75"},
        {"no file", "", "jtzl", kQualityKey, std::nullopt},
        {"no section", "[other]\r\nk=1\r\n", "s", "k", std::nullopt},
        {"no key", "[s]\r\nother=1\r\n", "s", "k", std::nullopt},
        {"empty value", "[s]\r\nk=\r\n", "s", "k", ""},
        {"section case", "[HOTKEY2]\r\nk=1\r\n", "HotKey2", "k", "1"},
        {"key case", "[s]\r\nKeY=1\r\n", "s", "kEy", "1"},
        {"GBK bytes exact", "[s]\r\n" + kHotKeyKey + "=1\r\n", "s", kQualityKey, std::nullopt},
        {"double quotes", "[s]\r\nk=\"75\"\r\n", "s", "k", "75"},
        {"single quotes", "[s]\r\nk='75'\r\n", "s", "k", "75"},
        {"one pair only", "[s]\r\nk=\"\"75\"\"\r\n", "s", "k", "\"75\""},
        {"unmatched quotes", "[s]\r\nk=\"75'\r\n", "s", "k", "\"75'"},
        {"lone quote", "[s]\r\nk=\"\r\n", "s", "k", "\""},
        {"empty quotes", "[s]\r\nk=\"\"\r\n", "s", "k", ""},
        {"quotes keep blanks", "[s]\r\nk=\" 50 \"\r\n", "s", "k", " 50 "},
        {"blanks trimmed", " \t[ s ]\t \r\n \t k \t=  a b \t\r\n", "s", "k", "a b"},
        {"split at first =", "[s]\r\nk=a=b\r\n", "s", "k", "a=b"},
        {"comment", "[s]\r\n;k=1\r\n  ; k=2\r\nk=3\r\n", "s", "k", "3"},
        {"comment only", "[s]\r\n;k=1\r\n", "s", "k", std::nullopt},
        {"line without =", "[s]\r\nk\r\nk=3\r\n", "s", "k", "3"},
        {"first section wins", "[s]\r\nk=1\r\n[S]\r\nk=2\r\n", "s", "k", "1"},
        {"later section ignored", "[s]\r\na=1\r\n[s]\r\nk=2\r\n", "s", "k", std::nullopt},
        {"first key wins", "[s]\r\nk=1\r\nK=2\r\n", "s", "k", "1"},
        {"before any section", "k=1\r\n[s]\r\n", "s", "k", std::nullopt},
        {"key of another section", "[t]\r\nk=1\r\n[s]\r\n", "s", "k", std::nullopt},
        {"LF only", "[t]\nk=0\n[s]\nk=1\n", "s", "k", "1"},
        {"CR only", "[t]\rk=0\r[s]\rk=1\r", "s", "k", "1"},
        {"no final line end", "[s]\r\nk=1", "s", "k", "1"},
        {"UTF-8 BOM", "\xEF\xBB\xBF[s]\r\nk=1\r\n", "s", "k", "1"},
        {"after the ]", "[s] ; note\r\nk=1\r\n", "s", "k", "1"},
        {"no ]", "[s\r\nk=1\r\n", "s", "k", std::nullopt},
        {"UTF-16 LE", Utf16File(u"[s]\r\n\u540d=\u503c\r\nk=1\r\n"), "s", "k", "1"},
        {"UTF-16 wide unit", Utf16File(u"[s]\r\nk=a\u4e2d\r\n"), "s", "k", "a?"},
        {"UTF-16 stray byte", Utf16File(u"[s]\r\nk=1") + "x", "s", "k", "1"},
    };
    for (const LookupCase& c : cases) EXPECT_EQ(IniLookup(c.file, c.section, c.key), c.value) << c.what;
}

TEST(IniLookup, CutsLongValuesTo2047Bytes) {
    std::string longValue(3000, 'a');
    longValue[2046] = 'b';
    EXPECT_EQ(IniLookup("[s]\r\nk=" + longValue + "\r\n", "s", "k"), longValue.substr(0, 2047));
    // The quotes come off first: 2047 bytes of the value itself.
    std::string inner(2048, 'c');
    EXPECT_EQ(IniLookup("[s]\r\nk=\"" + inner + "\"\r\n", "s", "k"), inner.substr(0, 2047));
}

struct StoreCase {
    const char* what;
    std::string file, section, key, value, stored;
};

TEST(IniStore, ChangesOnlyTheLineItWrites) {
    const std::vector<StoreCase> cases = {
        {"new file", "", "jtzl", kQualityKey, "50", "[jtzl]\r\n" + kQualityKey + "=50\r\n"},
        {"replace", "[s]\r\nk=1\r\n", "s", "k", "2", "[s]\r\nk=2\r\n"},
        {"replace keeps the rest", "; head\n[s]\nA = 1 \n k = 1 \n\n[t]\nk=y\n", "s", "k", "2",
         "; head\n[s]\nA = 1 \nk=2\r\n\n[t]\nk=y\n"},
        {"replace last line", "[s]\r\nk=1", "s", "k", "2", "[s]\r\nk=2\r\n"},
        {"replace quoted", "[s]\r\nk=\"1\"\r\n", "s", "k", "2", "[s]\r\nk=2\r\n"},
        {"key added at section end", "[s]\r\na=1\r\n\r\n[t]\r\nb=2\r\n", "s", "k", "3",
         "[s]\r\na=1\r\nk=3\r\n\r\n[t]\r\nb=2\r\n"},
        {"key after a trailing comment", "[s]\na=1\n; note\n\n", "s", "k", "3", "[s]\na=1\n; note\nk=3\r\n\n"},
        {"key into last section, no final end", "[s]\r\na=1", "s", "k", "3", "[s]\r\na=1\r\nk=3\r\n"},
        {"key under a bare header", "[s]", "s", "k", "3", "[s]\r\nk=3\r\n"},
        {"section appended", "[t]\r\nb=2\r\n", "s", "k", "3", "[t]\r\nb=2\r\n[s]\r\nk=3\r\n"},
        {"section appended, no final end", "[t]\r\nb=2", "s", "k", "3", "[t]\r\nb=2\r\n[s]\r\nk=3\r\n"},
        {"section appended to CR-only file", "[t]\rb=2\r", "s", "k", "3", "[t]\rb=2\r[s]\r\nk=3\r\n"},
        {"section case kept", "[S]\nk=1\n", "s", "k", "2", "[S]\nk=2\r\n"},
        {"first of repeated sections", "[s]\na=1\n[s]\nk=1\n", "s", "k", "2", "[s]\na=1\nk=2\r\n[s]\nk=1\n"},
        {"first of repeated keys", "[s]\nk=1\nk=1\n", "s", "k", "2", "[s]\nk=2\r\nk=1\n"},
        {"key before any section untouched", "k=0\r\n", "s", "k", "1", "k=0\r\n[s]\r\nk=1\r\n"},
        {"commented key untouched", "[s]\r\n;k=0\r\n", "s", "k", "1", "[s]\r\n;k=0\r\nk=1\r\n"},
        {"UTF-8 BOM kept", "\xEF\xBB\xBF", "s", "k", "1", "\xEF\xBB\xBF[s]\r\nk=1\r\n"},
        {"empty value", "", "s", "k", "", "[s]\r\nk=\r\n"},
        {"leading blank quoted", "", "s", "k", " 50", "[s]\r\nk=\" 50\"\r\n"},
        {"trailing tab quoted", "", "s", "k", "50\t", "[s]\r\nk=\"50\t\"\r\n"},
        {"enclosing quotes quoted", "", "s", "k", "'x'", "[s]\r\nk=\"'x'\"\r\n"},
        {"inner quotes as they are", "", "s", "k", "a\"b", "[s]\r\nk=a\"b\r\n"},
        {"line breaks cannot add lines", "", "s", "k", "1\r\n[HotKey2]\nk=2", "[s]\r\nk=1  [HotKey2] k=2\r\n"},
        {"UTF-16 LE stays UTF-16", Utf16File(u"[s]\r\n\u540d=\u503c\r\nk=1"), "s", "k", "2",
         Utf16File(u"[s]\r\n\u540d=\u503c\r\nk=2\r\n")},
        {"UTF-16 LE gets a section", Utf16File(u"[t]\r\n"), "s", "k", "\xB2",
         Utf16File(u"[t]\r\n[s]\r\nk=\u00b2\r\n")},
    };
    for (const StoreCase& c : cases) EXPECT_EQ(IniStore(c.file, c.section, c.key, c.value), c.stored) << c.what;
}

TEST(IniStore, FirstSaveWithDefaultsWritesTheThreeSectionsInOrder) {
    std::string file;
    file = IniStore(file, "jtzl", kQualityKey, "50");
    file = IniStore(file, "HotKey2", kHotKeyKey, "16465");
    file = IniStore(file, "yincang", kHiddenKey, "0");
    EXPECT_EQ(file, "[jtzl]\r\n" + kQualityKey + "=50\r\n[HotKey2]\r\n" + kHotKeyKey + "=16465\r\n[yincang]\r\n" +
                        kHiddenKey + "=0\r\n");
    // A second save with the same values changes nothing.
    EXPECT_EQ(IniStore(file, "HOTKEY2", kHotKeyKey, "16465"), file);
}

// Whatever the file held, a stored value reads back exactly, and every other
// value of the file reads as before.
TEST(IniStore, EveryWrittenValueReadsBack) {
    const std::vector<std::string> files = {
        "",
        "garbage without sections",
        "[s]",
        "[s]\nk=old",
        "k=outside\r\n[t]\r\nk=t1\r\n\r\n[S]\r\n;k=c\r\nx = 1 \r\n[s]\r\nk=dup\r\n",
        "\xEF\xBB\xBF[t]\rk=t1\r[s]\rk=\"q\"\r",
        "[s]\r\nk\r\n[s\r\nk=9",
        Utf16File(u"[s]\r\nk=\u4e2d\r\n[t]\r\nk=t1"),
    };
    const std::vector<std::string> values = {
        "50", " 50", "$64", "", "  ", "\"75\"", "'", "\"", "a=b", "\t x \t", "'a\"", "; not a comment",
        "[t]", std::string(2047, 'v'), "\xBD\xD8", "1\n2",
    };
    const std::vector<std::string> otherKeys = {"x", "k"};
    for (const std::string& file : files) {
        for (const std::string& value : values) {
            std::string stored = IniStore(file, "s", kQualityKey, value);
            std::string expected = value == "1\n2" ? "1 2" : value;
            EXPECT_EQ(IniLookup(stored, "S", kQualityKey), expected) << file << " / " << value;
            for (const std::string& other : otherKeys) {
                EXPECT_EQ(IniLookup(stored, "s", other), IniLookup(file, "s", other)) << file << " / " << value;
                EXPECT_EQ(IniLookup(stored, "t", other), IniLookup(file, "t", other)) << file << " / " << value;
            }
        }
    }
}

TEST(IniTextTest, ValuesAreWrittenSoThatTheSystemsProfileReadGivesThemBack) {
    // The Windows program writes through the system's functions with these
    // bytes, so both systems leave the same file.
    const std::pair<std::string, std::string> cases[] = {
        {"50", "50"}, {"$64", "$64"}, {"", ""}, {" 50", "\" 50\""}, {"50\t", "\"50\t\""},
        {"\"75\"", "\"\"75\"\""}, {"'a'", "\"'a'\""}, {"1\r\n2", "1  2"},
    };
    for (const auto& [value, written] : cases) EXPECT_EQ(IniValueAsWritten(value), written) << value;
}

}  // namespace
}  // namespace kwp::core
