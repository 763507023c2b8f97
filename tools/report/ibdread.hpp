// The IBD coefficient table: one line per ordered pair of individuals.
#pragma once
#include <cstdio>

// Reads the table's numindiv x numindiv lines and writes one line per
// unordered pair to the pair table, the kinship table and, when rel is
// not null, the related-pairs table: the line of (j, k) with j < k, which
// comes first in the file, merged with the pair's line of the
// maximum-likelihood table when there is one.  The line of (k, j) must
// carry the same dyad with the roles exchanged (Delta3/Delta5,
// Delta4/Delta6 and the matching IIS counts), or the run stops.
void readibd(FILE* pairs, FILE* kin, FILE* rel);
