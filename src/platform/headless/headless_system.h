#pragma once
// The in-memory desktop that headless programs run on: what a log-on session
// shares between its processes (screen, clock, clipboard, files, named locks,
// global atoms, system-wide hotkeys, the shell), with switches that make the
// system's operations fail the way real ones can.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/day_number.h"
#include "core/file_io.h"

namespace kwp::headless {

class HeadlessPlatform;

class HeadlessSystem {
public:
    // A screen of the given size and depth filled with a known pattern
    // (PatternPixel).
    explicit HeadlessSystem(int screenWidth = 640, int screenHeight = 480, int depth = 32);

    static uint32_t PatternPixel(int x, int y);

    // ---- screen
    core::Bitmap screen;

    // ---- clock: milliseconds since start; today's local date
    int64_t nowMs = 0;
    core::Date today{2026, 12, 11};

    // ---- clipboard: the bitmap on it; `clipboardHasPicture` false when it
    // was emptied and given nothing usable.
    std::optional<core::Bitmap> clipboard;
    int clipboardWrites = 0;

    // ---- files, by path; the settings file lives at SettingsPath(name)
    std::map<std::string, core::Bytes> files;
    std::string SettingsPath(const std::string& name) const { return "C:\\Windows\\" + name; }

    // ---- the shell: every address opened, in order
    std::vector<std::string> shellOpened;

    // ---- named session locks: holders per name; and per name the first
    // holder, which takes the commands of later starts while it runs
    std::map<std::string, int> lockHolders;
    std::map<std::string, HeadlessPlatform*> commandTakers;

    // ---- global atoms: name -> (atom, reference count)
    struct Atom {
        uint16_t atom;
        int references;
    };
    std::map<std::string, Atom> atoms;
    uint16_t nextAtom = 0xC000;
    std::string AtomName(uint16_t atom) const;

    // ---- system-wide hotkeys: (modifiers, key) -> owner
    struct HotKeyOwner {
        HeadlessPlatform* process;  // null: held by another program
        int id;
    };
    std::map<std::pair<uint32_t, uint8_t>, HotKeyOwner> hotkeys;
    void HoldHotKeyElsewhere(uint32_t systemModifiers, uint8_t virtualKey);

    // ---- failure switches
    bool clipboardBusy = false;                 // "Cannot open clipboard"
    std::set<std::string> unwritablePaths;      // writes to these fail
    int settingsWritesLeft = -1;                // settings writes that succeed before they fail; -1: all
    std::set<std::string> unreadablePaths;      // reads of these fail
    bool screenUnreadable = false;              // "Canvas does not allow drawing"
    int timersLeft = 1000;                      // "Not enough timers available" at 0
};

}  // namespace kwp::headless
