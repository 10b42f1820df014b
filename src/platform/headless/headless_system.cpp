#include "platform/headless/headless_system.h"

namespace kwp::headless {

HeadlessSystem::HeadlessSystem(int screenWidth, int screenHeight, int depth)
    : screen(screenWidth, screenHeight, depth) {
    for (int y = 0; y < screenHeight; ++y)
        for (int x = 0; x < screenWidth; ++x) screen.SetPixel(x, y, PatternPixel(x, y));
}

uint32_t HeadlessSystem::PatternPixel(int x, int y) {
    // Every pixel of a screen up to 4096 x 4096 differs from its neighbours
    // and from its own inverse.
    return core::Rgb(static_cast<uint8_t>(x), static_cast<uint8_t>(y),
                     static_cast<uint8_t>(((x >> 8) << 4) | ((y >> 8) & 0x0F)) ^ 0x5A);
}

std::string HeadlessSystem::AtomName(uint16_t atom) const {
    for (const auto& [name, entry] : atoms)
        if (entry.atom == atom) return name;
    return {};
}

void HeadlessSystem::HoldHotKeyElsewhere(uint32_t systemModifiers, uint8_t virtualKey) {
    hotkeys[{systemModifiers, virtualKey}] = {nullptr, 0};
}

}  // namespace kwp::headless
