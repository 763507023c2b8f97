// The stores cut down to the individuals and sites the filters kept.
#pragma once

// Keeps in the stores, identifiers and site tables only the individuals
// marked in cv.indivon and the sites marked in cv.siteon, in their order;
// sets numindiv, numloci, maxallele.  Does nothing when all are kept, so
// that a run without filters writes from the stores as they were read.
void compact();
