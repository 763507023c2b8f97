#include "run/screen.hpp"

#include <cstdio>

#include "run/variables.hpp"

// Every line goes out when it ends, and so does every progress counter,
// also when the screen is a file or a pipe: progress is seen while the run
// works.  A line left open for more (e.g. "Reading parameter file: X")
// waits for its end, so that in kinex-par another process's message
// cannot land in its middle.
static void put(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void say(const std::string& text)
{
    if (!vars.thd0q) return;
    put(text);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void sayopen(const std::string& text)
{
    if (!vars.thd0q) return;
    put(text);
    if (!text.empty() && (text.front() == '\r' || text.back() == '\n')) std::fflush(stdout);
}

void sayall(const std::string& text)
{
    put(text);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void screenflush() { std::fflush(stdout); }
