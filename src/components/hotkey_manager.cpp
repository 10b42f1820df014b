#include "components/hotkey_manager.h"

#include <algorithm>

#include "core/hotkey_value.h"

namespace kwp {

HotKeyManager::HotKeyManager(platform::Platform& platform, PressedHandler onHotKeyPressed)
    : platform_(platform), onHotKeyPressed_(std::move(onHotKeyPressed)) {
    platform_.SetHotKeyHandler([this](uint32_t wParam, uint32_t lParam) { OnHotKeyMessage(wParam, lParam); });
}

HotKeyManager::~HotKeyManager() {
    platform_.SetHotKeyHandler(nullptr);
    for (const Entry& entry : list_) Drop(entry);
}

uint16_t HotKeyManager::AddHotKey(uint32_t value) {
    uint16_t atom = platform_.AddGlobalAtom(core::HotKeyAtomName(value));
    if (atom == 0) return 0;
    if (!platform_.RegisterSystemHotKey(atom, core::HotKeySystemModifiers(value), core::HotKeyVirtualKey(value))) {
        platform_.DeleteGlobalAtom(atom);
        return 0;
    }
    list_.push_back({value, atom});
    return atom;
}

uint16_t HotKeyManager::ChangeHotKey(uint16_t id, uint32_t value) {
    auto found = std::find_if(list_.begin(), list_.end(), [id](const Entry& e) { return e.id == id; });
    if (found == list_.end()) return 0;
    Entry old = *found;
    list_.erase(found);
    Drop(old);
    return AddHotKey(value);
}

void HotKeyManager::Drop(const Entry& entry) {
    platform_.UnregisterSystemHotKey(entry.id);
    platform_.DeleteGlobalAtom(entry.id);
}

void HotKeyManager::OnHotKeyMessage(uint32_t wParam, uint32_t lParam) {
    uint32_t value = core::HotKeyValueFromMessage(lParam);
    bool listed = std::any_of(list_.begin(), list_.end(), [value](const Entry& e) { return e.value == value; });
    if (listed && onHotKeyPressed_) onHotKeyPressed_(value, static_cast<uint16_t>(wParam & 0xFFFF));
}

}  // namespace kwp
