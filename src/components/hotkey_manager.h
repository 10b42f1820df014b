#pragma once
// The system-wide hotkey component. Each registration is made under the
// global atom "HotKeyManagerHotKey" + the value in decimal, which is also its
// id; the component keeps the list of what it registered, in order.
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/platform.h"

namespace kwp {

class HotKeyManager {
public:
    using PressedHandler = std::function<void(uint32_t HotKey, uint16_t Index)>;

    HotKeyManager(platform::Platform& platform, PressedHandler onHotKeyPressed);
    // Every listed hotkey is unregistered and its atom deleted.
    ~HotKeyManager();
    HotKeyManager(const HotKeyManager&) = delete;
    HotKeyManager& operator=(const HotKeyManager&) = delete;

    // Registers `value`; its id, or 0 when the system refused it.
    uint16_t AddHotKey(uint32_t value);
    // Drops the registration with `id` (0, changing nothing, when there is
    // none), then registers `value` as AddHotKey does.
    uint16_t ChangeHotKey(uint16_t id, uint32_t value);

    struct Entry {
        uint32_t value;
        uint16_t id;
    };
    const std::vector<Entry>& Registered() const { return list_; }

private:
    void Drop(const Entry& entry);
    void OnHotKeyMessage(uint32_t wParam, uint32_t lParam);

    platform::Platform& platform_;
    PressedHandler onHotKeyPressed_;
    std::vector<Entry> list_;
};

}  // namespace kwp
