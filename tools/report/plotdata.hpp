// What the relationship plot needs, gathered pair by pair.
#pragma once
#include <cstdint>

// The pairs the plot is made of: every pair, or after KIN: those streamed.
int64_t drawnpairs();

// Prepares for drawnpairs() pairs: points, or a grid when there are more
// than rep.maxpoints.  Nothing is set aside for the pairs before they are
// read.
void initplot();

// A pair with its kinship, Delta9 and relationship call (an index into
// relations, or -1 without a maximum-likelihood table).
void addpair(double r, double delta9, int call);
void addindiv(double fmean);
