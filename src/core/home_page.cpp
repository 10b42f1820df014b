#include "core/home_page.h"

namespace kwp::core {

std::string RestoreScrambledAddress(std::string_view scrambled, std::string_view filler) {
    std::string address(scrambled);
    if (filler.empty()) return address;  // an empty token would be found for ever
    // Always from the start: a deletion can join the pieces of a new token.
    for (size_t at = address.find(filler); at != std::string::npos; at = address.find(filler))
        address.erase(at, filler.size());
    return address;
}

}  // namespace kwp::core
