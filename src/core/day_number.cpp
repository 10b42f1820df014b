#include "core/day_number.h"

#include <chrono>

namespace kwp::core {

int DayNumber(Date date) {
    namespace chrono = std::chrono;
    constexpr chrono::sys_days kDayZero = chrono::year{1899} / chrono::December / 30;
    chrono::sys_days days = chrono::year{date.year} / chrono::month{static_cast<unsigned>(date.month)} /
                            chrono::day{static_cast<unsigned>(date.day)};
    return static_cast<int>((days - kDayZero).count());
}

}  // namespace kwp::core
