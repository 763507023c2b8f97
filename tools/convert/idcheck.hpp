// Identifiers that KINEX can read back unchanged.
#pragma once
#include <string>

// With --short-ids, replaces cv.ids by numbers (I1, I2, ... padded with
// zeros to one width: I01 to I30 for 30).  Otherwise stops, listing every offending identifier, unless all
// of cv.ids are at most 20 characters, unique, and free of blanks, commas,
// slashes, semicolons and quotes.  Runs before anything is written.
void checkids();

// The identifier map: a header, then per individual the identifier of the
// genotype file, the family ID (PLINK input only) and the individual ID,
// tab-separated.
std::string maptext();
