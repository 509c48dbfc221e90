#pragma once
// The wall-clock time in the user's time zone, for names of files.

struct LocalTime {
    int year = 0;
    int month = 0;  // 1..12
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

LocalTime LocalTimeNow();
