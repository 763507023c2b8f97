// What the relationship plot needs, gathered pair by pair.
#pragma once

// Prepares for rep.numpairs pairs: points, or a grid when there are more
// than rep.maxpoints.
void initplot();

void addpair(double r, double delta9);
void addindiv(double fmean);
