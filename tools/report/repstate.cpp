#include "repstate.hpp"
#include "linereader.hpp"
#include "outfiles.hpp"

repstate rep;

void repstop(const std::string& msg)
{
    throw repfail{msg};
}

void linestop(const textin& t, const std::string& msg)
{
    throw repfail{t.name + " line " + std::to_string(t.lineno) + ": " + msg};
}

void linestop(const std::string& msg)
{
    linestop(rep.res, msg);
}

void resetrep()
{
    outdiscard();
    lineclose(rep.res);
    lineclose(rep.mle);
    lineclose(rep.map);
    lineclose(rep.inb);
    lineclose(rep.pcs);
    lineclose(rep.pop);
    rep = repstate();
}
