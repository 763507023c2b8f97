#include "run/driver.hpp"

#include <new>
#include <stdexcept>

#include "estimation/estimation.hpp"
#include "genotypes/genotypes.hpp"
#include "output/output.hpp"
#include "output/safefile.hpp"
#include "parallel/parlayer.hpp"
#include "run/alloc.hpp"
#include "run/banner.hpp"
#include "run/commands.hpp"
#include "run/parfile.hpp"
#include "run/screen.hpp"
#include "run/stop.hpp"
#include "run/variables.hpp"

int memorystop()
{
    try {
        std::string message = vars.memerr;
        if (message.empty()) message = "Too many individuals and/or loci. Out of memory!";
        stoponerror(message, "Main");
    } catch (const runend& end) {
        return end.status;
    } catch (...) {
        // Not even the message could be made: end quietly with the status.
    }
    return 1;
}

int runkinex(int argc, char** argv)
{
    programargs.assign(argv, argv + argc);
    int status = 0;
    try {
        initializethreads();
        showversion(6);
        getcommands();
        readparfile();
        initialpara();
        if (vars.thd0q) openoutput();
        readgtype();
        replicateloop();
        if (vars.thd0q) {
            showversion(10);
            output();
            say("");
            say("Finished!");
        }
    } catch (const runend& end) {
        status = end.status;
    } catch (const std::bad_alloc&) {
        status = memorystop();
    } catch (const std::length_error&) {
        status = memorystop();
    }
    // A run that stopped leaves no temporary or side file; a results file
    // it had not finished is not put in place.
    safedropall();
    screenflush();
    // After a failure the parallel runtime is left as it is: the process
    // ends at once, and mpirun ends the others.
    if (status == 0) finishthreads();
    return status;
}
