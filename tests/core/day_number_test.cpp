#include "core/day_number.h"

#include <gtest/gtest.h>

#include <vector>

namespace kwp::core {
namespace {

TEST(DayNumber, CountsDaysFrom30December1899) {
    struct Case {
        Date date;
        int day;
    };
    const std::vector<Case> cases = {
        {{1899, 12, 30}, 0},  {{1899, 12, 31}, 1},  {{1900, 1, 1}, 2},     {{1900, 3, 1}, 61},
        {{1899, 12, 29}, -1}, {{2000, 1, 1}, 36526}, {{2000, 2, 29}, 36585}, {{2013, 5, 7}, 41401},
        {{2013, 5, 8}, 41402}, {{2024, 2, 29}, 45351}, {{2100, 3, 1}, 73110},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DayNumber(c.date), c.day) << c.date.year << "-" << c.date.month << "-" << c.date.day;
}

}  // namespace
}  // namespace kwp::core
