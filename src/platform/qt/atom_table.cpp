#include "atom_table.h"

namespace kwp::qt {

uint16_t AtomTable::Add(const std::string& name) {
    for (auto& [atom, entry] : atoms_) {
        if (entry.name == name) {
            ++entry.references;
            return atom;
        }
    }
    for (uint32_t atom = 0xC000; atom <= 0xFFFF; ++atom) {
        if (!atoms_.count(uint16_t(atom))) {
            atoms_.emplace(uint16_t(atom), Entry{name, 1});
            return uint16_t(atom);
        }
    }
    return 0;
}

void AtomTable::Delete(uint16_t atom) {
    auto it = atoms_.find(atom);
    if (it != atoms_.end() && --it->second.references == 0) atoms_.erase(it);
}

}  // namespace kwp::qt
