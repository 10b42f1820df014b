#include "core/error.h"

#include <gtest/gtest.h>

#include <vector>

namespace kwp::core {
namespace {

TEST(FillTemplate, FillsPlaceholdersInOrder) {
    EXPECT_EQ(FillTemplate("'%s' is not a valid integer value", {"abc"}), "'abc' is not a valid integer value");
    EXPECT_EQ(FillTemplate("Cannot open file \"%s\". %s", {"/a b/c.ini", "No such file or directory"}),
              "Cannot open file \"/a b/c.ini\". No such file or directory");
    EXPECT_EQ(FillTemplate("JPEG error #%d", {"21"}), "JPEG error #21");
    // A value is inserted as it is, even when it looks like a placeholder.
    EXPECT_EQ(FillTemplate("%s and %s", {"%s", "x"}), "%s and x");
    // Placeholders without a value, and other % sequences, stay as written.
    EXPECT_EQ(FillTemplate("%s %s", {"one"}), "one %s");
    EXPECT_EQ(FillTemplate("100% %x %", {}), "100% %x %");
}

TEST(ErrorReportText, AppendsAFullStopUnlessTheLastCharSortsAtOrBeforeIt) {
    struct Case {
        const char* message;
        const char* shown;
    };
    const std::vector<Case> cases = {
        {"", ""},
        {"Unable to write to kwpshot.ini", "Unable to write to kwpshot.ini."},
        {"Done.", "Done."},
        {"Wow!", "Wow!"},            // "!" sorts before "."
        {"(x)", "(x)"},
        {"a,", "a,"},
        {"a-", "a-"},
        {"a ", "a "},
        {"a/", "a/."},               // "/" sorts after "."
        {"JPEG error #21", "JPEG error #21."},
        {"\xE5\x87\xBA\xE9\x94\x99", "\xE5\x87\xBA\xE9\x94\x99."},  // a multi-byte last char sorts after "."
    };
    for (const Case& c : cases) EXPECT_EQ(ErrorReportText(c.message), c.shown) << c.message;
}

}  // namespace
}  // namespace kwp::core
