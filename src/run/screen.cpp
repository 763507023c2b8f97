#include "run/screen.hpp"

#include <cstdio>

#include "run/variables.hpp"

static void put(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void say(const std::string& text)
{
    if (!vars.thd0q) return;
    put(text);
    std::fputc('\n', stdout);
}

void sayopen(const std::string& text)
{
    if (!vars.thd0q) return;
    put(text);
}

void sayall(const std::string& text)
{
    put(text);
    std::fputc('\n', stdout);
}

void screenflush() { std::fflush(stdout); }
