#include "run/clock.hpp"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

static int32_t hour = 0;  // hour seen at the previous call
static int32_t day = 0;   // day changes seen so far

int32_t walltimeat(int h, int minute, int second)
{
    if (h < hour) ++day;
    hour = h;
    return (h + 24 * day) * 3600 + minute * 60 + second;
}

static std::tm localnow(long& millis)
{
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    millis = long(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

int32_t walltime()
{
    long millis = 0;
    std::tm tm = localnow(millis);
    return walltimeat(tm.tm_hour, tm.tm_min, tm.tm_sec);
}

void sleeping(int32_t n)
{
    int32_t t0 = walltime();
    waitpast(t0 + n - 1);
}

void waitpast(int32_t t)
{
    while (walltime() <= t) std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void datestamp(std::string& date, std::string& time)
{
    long millis = 0;
    std::tm tm = localnow(millis);
    char d[64], t[64];
    std::snprintf(d, sizeof d, "%04d%02d%02d", (tm.tm_year + 1900) % 10000, tm.tm_mon + 1, tm.tm_mday);
    std::snprintf(t, sizeof t, "%02d%02d%02d.%03ld", tm.tm_hour, tm.tm_min, tm.tm_sec, millis);
    date = d;
    time = t;
}
