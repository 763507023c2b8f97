// Identifiers that KINEX can read back unchanged.
#pragma once
#include <string>

// Without --short-ids, stops, listing every offending identifier (control
// characters and bytes that are not UTF-8 shown as \xHH), unless all of
// cv.ids that --keep and --remove leave (cv.indivon) are UTF-8 text of at
// most 20 bytes, unique, and free of blanks, commas, slashes, semicolons,
// quotes and control characters.  Runs before any genotype is read.
void checkids();

// With --short-ids, replaces cv.ids by numbers (I1, I2, ... padded with
// zeros to one width: I01 to I30 for 30), once the filters are done.
void numberids();

// The identifier map: a header, then per individual the identifier of the
// genotype file, the family ID (PLINK input only) and the individual ID,
// tab-separated.
std::string maptext();
