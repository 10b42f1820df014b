#include "core/int_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/error.h"

namespace kwp::core {
namespace {

struct IntCase {
    std::string text;
    std::optional<int32_t> value;  // nothing: the text breaks the rule
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << "'" << c.text << "'"; }

class IntTextTest : public testing::TestWithParam<IntCase> {};

TEST_P(IntTextTest, ParsesByTheRule) {
    const IntCase& c = GetParam();
    EXPECT_EQ(TryParseInt(c.text), c.value);
}

TEST_P(IntTextTest, ParseIntThrowsTheNamedErrorExactlyWhenTheRuleBreaks) {
    const IntCase& c = GetParam();
    if (c.value) {
        EXPECT_EQ(ParseInt(c.text), *c.value);
        return;
    }
    try {
        ParseInt(c.text);
        ADD_FAILURE() << "no error for '" << c.text << "'";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "'" + c.text + "' is not a valid integer value");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, IntTextTest,
    testing::Values(IntCase{"0", 0}, IntCase{"100", 100}, IntCase{"-0", 0}, IntCase{"050", 50},
                    IntCase{"+7", 7}, IntCase{"-1", -1}, IntCase{" 50", 50}, IntCase{"    16465", 16465},
                    IntCase{"2147483647", 2147483647}, IntCase{"-2147483648", INT32_MIN},
                    IntCase{"+2147483647", 2147483647}, IntCase{"000000000000000000123", 123},
                    IntCase{"2147483648", std::nullopt}, IntCase{"-2147483649", std::nullopt},
                    IntCase{"+2147483648", std::nullopt}, IntCase{"99999999999999999999", std::nullopt},
                    IntCase{"4294967296", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, IntTextTest,
    testing::Values(IntCase{"$64", 100}, IntCase{"x65", 101}, IntCase{"X65", 101}, IntCase{"0x4051", 16465},
                    IntCase{"0X4051", 16465}, IntCase{"$4051", 16465}, IntCase{"x4051", 16465},
                    IntCase{"$abcDEF", 0xABCDEF}, IntCase{"  $10", 16}, IntCase{"+$10", 16},
                    IntCase{"$FFFFFFFF", -1}, IntCase{"$7FFFFFFF", INT32_MAX}, IntCase{"$80000000", INT32_MIN},
                    IntCase{"-$1", -1}, IntCase{"-$FFFFFFFF", 1}, IntCase{"-0x80000000", INT32_MIN},
                    IntCase{"-x7FFFFFFF", -INT32_MAX}, IntCase{"-$0", 0},
                    // leading zeros do not count towards the eight digits
                    IntCase{"$000000001", 1}, IntCase{"0x00000000FFFFFFFF", -1},
                    IntCase{"$100000000", std::nullopt}, IntCase{"$123456789", std::nullopt}));

INSTANTIATE_TEST_SUITE_P(
    BrokenRule, IntTextTest,
    testing::Values(IntCase{"", std::nullopt}, IntCase{"   ", std::nullopt}, IntCase{"+", std::nullopt},
                    IntCase{"-", std::nullopt}, IntCase{"50 ", std::nullopt}, IntCase{"\t50", std::nullopt},
                    IntCase{"abc", std::nullopt}, IntCase{"5.5", std::nullopt}, IntCase{"1.5", std::nullopt},
                    IntCase{"Q", std::nullopt}, IntCase{"yes", std::nullopt}, IntCase{"+-5", std::nullopt},
                    IntCase{"--5", std::nullopt}, IntCase{"- 5", std::nullopt}, IntCase{"$", std::nullopt},
                    IntCase{"0x", std::nullopt}, IntCase{"-x", std::nullopt}, IntCase{"$G", std::nullopt},
                    IntCase{"$ 1", std::nullopt}, IntCase{"0x$1", std::nullopt}, IntCase{"$$1", std::nullopt},
                    IntCase{"00x1", std::nullopt}, IntCase{"1e3", std::nullopt}, IntCase{"12a", std::nullopt},
                    IntCase{"5\t", std::nullopt}, IntCase{"\xEF\xBC\x95", std::nullopt}));

TEST(IntText, TextGoesOnPastAZeroByte) {
    EXPECT_EQ(TryParseInt(std::string_view("5\0", 2)), std::nullopt);
}

}  // namespace
}  // namespace kwp::core
