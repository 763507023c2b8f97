// The ancestry components that kinex writes beside the results file with
// PCS:k (RESULTS.pcs.tsv): the line naming the run,
//   # kinex run <16 hex digits>; PCS:2; unrelated set 180 of 200; variance explained 0.0213 0.0107
// a header ID UNRELATED PC1 .. PCk, then one tab-separated line per
// individual in sample order: UNRELATED 1 for the individuals the
// components were found on, 0 for those projected onto them.
#pragma once

// Reads rep.pcsname whole into rep (numpcs, pcvar, pc1, pc2, unrel, pcna)
// once the individuals of the results file are known; stops when it is not
// a components table of theirs.
void readpcs();
