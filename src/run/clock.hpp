// The wall clock: local date and time stamps and a seconds counter that
// keeps increasing across midnight.
#pragma once

#include <cstdint>
#include <string>

// Seconds since the start of the day of the first call, from the local
// hour, minute and second; a smaller hour than at the previous call counts
// as a new day.
int32_t walltime();

// The counter for a given time of day (the step walltime takes per call).
int32_t walltimeat(int hour, int minute, int second);

// Waits until walltime has advanced by at least n seconds.
void sleeping(int32_t n);

// Waits until walltime returns more than t.
void waitpast(int32_t t);

// Local date as CCYYMMDD and time of day as hhmmss.sss.
void datestamp(std::string& date, std::string& time);
