// Identifiers that KINEX can read back unchanged.
#pragma once

// Stops, listing every offending identifier, unless all of cv.ids are at
// most 20 characters, unique, and free of blanks, commas, slashes,
// semicolons and quotes.  Runs before anything is written.
void checkids();
