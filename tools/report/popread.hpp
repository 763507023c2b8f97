// Population labels for the components plot (--pop FILE): one line per
// individual, its identifier and its label, separated by blanks or tabs;
// empty lines are passed over.
#pragma once

// Reads rep.popname into rep.popof and rep.popnames once the individuals
// of the results file are known.  A line that is not two words, names an
// individual the results file does not hold or one named before stops
// with the line's number; so does a file that leaves an individual out.
void readpop();
