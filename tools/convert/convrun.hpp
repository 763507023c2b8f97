// One conversion from the options in cv to OUT.gen and OUT.par.
#pragma once

// Reads the input, writes both files under temporary names and renames
// them at the end; stops (convfail) on any error, the caller then removes
// the temporary files with tmpdiscard.
void convert();
