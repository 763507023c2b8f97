#include "repstate.hpp"

repstate rep;

void repstop(const std::string& msg)
{
    throw repfail{msg};
}

void linestop(const std::string& msg)
{
    throw repfail{rep.infile + " line " + std::to_string(rep.lineno) + ": " + msg};
}

void resetrep()
{
    if (rep.in)
        std::fclose(rep.in);
    rep = repstate();
}
