// Inputs and outputs compared as files on disk (device and inode, links
// followed; a name that does not exist yet by its folder and last part),
// so that no output replaces an input, or another output, under a second
// name (./r.out, $PWD/r.out, a hard link).
#pragma once

// Stops with a message naming both files when an output is the same file
// as an input or as another output.  Two outputs that are the same device
// or pipe are allowed: they are written one after the other.
void checksame();

// Stops when an output of this run is the same file as the parameter or
// genotype file that the results file's run record names (read from the
// current folder, and from the folder kinex ran in when the recorded
// results file name tells it).
void checkrun();

// Without a related-pairs table to write, fills rep.stalenames with
// rep.relname when it holds an earlier report's table: a regular file
// whose first line is a kinship or related-pairs header of kinex-report,
// and not one of this run's inputs or outputs.
void findstale();
