// Inputs and outputs as files on disk.
#pragma once
#include <string>
#include "fileid.hpp"

// Stops unless name is a regular file (links followed) or does not exist
// (opening it then says so): a folder, a named pipe or a device is refused
// before it is opened, so that reading never blocks or runs without end.
void checkinput(const std::string& name, const char* what);

// Stops when an output of the conversion is the same file on disk as one
// of its inputs (device and inode, links followed; a name that does not
// exist yet by its folder and last part), when two outputs are, and when
// the results file that OUT.par names is an input of the conversion or of
// the kinex run (OUT.gen, OUT.par); and when an output exists and is not a
// regular file.  The inputs include the lists of --keep and --remove, the
// outputs the log OUT.log of a filtering run, which must not replace a
// file that is not a kinex-convert log (PLINK's PREFIX.log).
void checksame();

// The identifier map kinex-report takes for a results file: its name
// without .out, then .ids.tsv.
std::string mapbeside(const std::string& results);

// Fills cv.stalenames with the identifier maps of earlier conversions that
// would go with this one's outputs although this one did not write them:
// OUT.ids.tsv without --short-ids, and the map beside the results file
// unless it is the one written.  A map is a regular file whose first line
// is the map's header; a file that is an input or output of this
// conversion, or its results file, is never one.  Without filters, also
// OUT.log when it is the log of an earlier conversion (its first line is
// loghead).
void findstale();
