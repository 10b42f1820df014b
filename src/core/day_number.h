#pragma once
namespace kwp::core {

struct Date {
    int year;
    int month;  // 1..12
    int day;    // 1..31
};

// Whole days since 30 December 1899 (day 0).
int DayNumber(Date date);

}  // namespace kwp::core
