// Inputs and outputs compared as files on disk (device and inode, links
// followed; a name that does not exist yet by its folder and last part),
// so that no output replaces an input, or another output, under a second
// name (./r.out, $PWD/r.out, a hard link).
#pragma once
#include <string>

// Stops with a message naming both files when an output is the same file
// as an input or as another output.  Two outputs that are the same device
// or pipe are allowed: they are written one after the other.
void checksame();

// Stops when an output of this run is the same file as the parameter or
// genotype file that the results file's run record names (read from the
// current folder, and from the folder kinex ran in when the recorded
// results file name tells it).
void checkrun();

// Fills rep.stale with the outputs of an earlier report that this one does
// not write: the pair table (rep.pairsname) after KIN:x with x not -1, the
// related-pairs table (rep.relname) without one to write, the components
// plot (rep.pcssvgname) without a components table.  Each
// must be a regular file that is none of this run's inputs or outputs and
// whose first line is that of such an output of kinex-report.
void findstale();

// Why a run with KIN:x, x not -1, has no pair table.
std::string nopairs();
