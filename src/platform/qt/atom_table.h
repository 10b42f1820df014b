#pragma once
// Global atoms as the hotkey registration uses them: a name gets a number in
// 0xC000..0xFFFF, the same number while it is in use, counted references.
#include <cstdint>
#include <map>
#include <string>

namespace kwp::qt {

class AtomTable {
public:
    uint16_t Add(const std::string& name);  // 0 when the table is full
    void Delete(uint16_t atom);

private:
    struct Entry {
        std::string name;
        int references;
    };
    std::map<uint16_t, Entry> atoms_;
};

}  // namespace kwp::qt
