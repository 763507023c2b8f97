// One report from the options in rep.
#pragma once

// Streams the results file once (and beside it the maximum-likelihood
// table, when there is one), writing the tables as it goes and the plot at
// the end, all under temporary names renamed when complete.
void report();
