#include "core/home_page.h"

#include <gtest/gtest.h>

#include <vector>

namespace kwp::core {
namespace {

TEST(HomePage, RemovesTheFillerUntilItNoLongerOccurs) {
    struct Case {
        const char* scrambled;
        const char* address;
    };
    const std::vector<Case> cases = {
        {"http://example.org/", "http://example.org/"},
        {"qzxkwhttp://qzxkwexample.orgqzxkw/qzxkw", "http://example.org/"},
        // Deleting the inner token joins "qz" and "xkw" into a new one, which goes too.
        {"http://qzqzxkwxkwexample.org/", "http://example.org/"},
        {"qzqzqzxkwxkwxkw", ""},
        {"qzxk", "qzxk"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(RestoreScrambledAddress(c.scrambled, "qzxkw"), c.address) << c.scrambled;
}

TEST(HomePage, EmptyFillerLeavesTheAddressAlone) {
    EXPECT_EQ(RestoreScrambledAddress("http://example.org/", ""), "http://example.org/");
}

}  // namespace
}  // namespace kwp::core
