// The results file: run record and tables.
#pragma once

// Appends the run record and the tables to the results file (master only).
void output();
