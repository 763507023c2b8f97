#include "run/banner.hpp"

#include "output/safefile.hpp"
#include "run/screen.hpp"
#include "run/textfile.hpp"
#include "run/variables.hpp"

std::string versiontext() { return "KINEX, Version 1.0.0.0, Build 20211115"; }

void showversion(int unit)
{
    vars.prntline = std::string(65, '-');
    const std::string lines = vars.prntline + "\n" + "  " + versiontext() + "\n" + vars.prntline + "\n\n";
    if (unit == 6) {
        sayopen(lines);
        return;
    }
    textout out;
    safeopen(out, vars.outslot, vars.outfile, false, "ShowVersion");
    textwrite(out, lines);
    textclose(out);
}
